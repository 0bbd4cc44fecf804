// How a fuzz target reports a broken promise: it prints what broke and
// aborts, which libFuzzer counts as a crash and keeps the input for.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kadrum::fuzz {

// "text" with every byte outside printable ASCII written as \xNN, for a
// readable report.
inline std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    }
  }
  return out;
}

// Returns when "condition" holds; otherwise prints "what" and "text" and
// aborts.
inline void require(bool condition, const char* what,
                    std::string_view text = {}) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s [%s]\n", what,
               printable(text).c_str());
  std::abort();
}

}  // namespace kadrum::fuzz
