// How SQL writes a name as a quoted identifier.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// "name" between two "quote" characters, each "quote" inside doubled: the
// standard form is double quotes, MariaDB and MySQL take backticks. Never
// throws but for memory.
inline std::string quote_identifier(std::string_view name, char quote = '"') {
  std::string quoted(1, quote);
  for (const char c : name) {
    if (c == quote) quoted += quote;
    quoted += c;
  }
  quoted += quote;
  return quoted;
}

}  // namespace kadrum
