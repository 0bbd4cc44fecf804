// How SQL writes a name as a quoted identifier: the same in every engine.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// "name" in double quotes, each double quote inside doubled. Never throws.
inline std::string quote_identifier(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace kadrum
