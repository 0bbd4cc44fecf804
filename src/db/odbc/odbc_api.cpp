#include "db/odbc/odbc_api.h"

#include "base/utf8.h"

namespace kadrum::odbc {

WideString widen(std::string_view text) {
  WideString wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t size = utf8_char_size(text, i);
    char32_t c = utf8_decode(text, i, size);
    if (c >= 0x10000) {
      c -= 0x10000;
      wide += static_cast<SQLWCHAR>(0xd800 + (c >> 10));
      wide += static_cast<SQLWCHAR>(0xdc00 + (c & 0x3ff));
    } else {
      wide += static_cast<SQLWCHAR>(c);
    }
    i += size;
  }
  return wide;
}

std::string narrow(const SQLWCHAR* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xd800 && c <= 0xdbff && i + 1 < length && text[i + 1] >= 0xdc00 &&
        text[i + 1] <= 0xdfff) {
      c = 0x10000 + ((c - 0xd800) << 10) + (text[i + 1] - 0xdc00);
      ++i;
    } else if (c >= 0xd800 && c <= 0xdfff) {
      c = 0xfffd;
    }
    char bytes[4];
    out.append(bytes, utf8_encode(c, bytes));
  }
  return out;
}

std::string narrow(const WideString& text) { return narrow(text.data(), text.size()); }

}  // namespace kadrum::odbc
