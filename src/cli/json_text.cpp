#include "cli/json_text.h"

#include <cstdio>

#include "base/utf8.h"

namespace kadrum {

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (size == 1 && byte >= 0x80) {
      out += "\\ufffd";
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out.append(text.substr(pos, size));
    }
    pos += size;
  }
  return out + "\"";
}

}  // namespace kadrum
