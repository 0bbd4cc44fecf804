#include "window/lower_case.h"

#include <windows.h>

#include "base/utf8.h"

namespace kadrum {

std::string lower_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    char32_t c = utf8_decode(text, pos, size);
    if (c == 0xFFFD && size == 1) {
      out += text[pos];  // not UTF-8: kept as it is
    } else {
      // Case pairs outside the BMP are few and not in any file name worth a
      // title; they keep their case.
      if (c < 0x10000) {
        wchar_t unit = static_cast<wchar_t>(c);
        CharLowerBuffW(&unit, 1);
        c = unit;
      }
      char bytes[4];
      out.append(bytes, utf8_encode(c, bytes));
    }
    pos += size;
  }
  return out;
}

}  // namespace kadrum
