#include "base/utf8.h"

namespace kadrum {

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::size_t utf8_char_size(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const auto at = [&](std::size_t i) {
    return static_cast<unsigned char>(text[pos + i]);
  };
  const unsigned char lead = at(0);
  std::size_t size = 1;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 1;
  }
  if (pos + size > text.size()) return 1;
  if (at(1) < low || at(1) > high) return 1;
  for (std::size_t i = 2; i < size; ++i)
    if (!is_continuation(at(i))) return 1;
  return size;
}

char32_t utf8_decode(std::string_view text, std::size_t pos, std::size_t size) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (size == 1) return lead < 0x80 ? lead : 0xFFFD;
  char32_t c = lead & (0xFFu >> (size + 1));
  for (std::size_t i = 1; i < size; ++i)
    c = (c << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  return c;
}

std::size_t utf8_encode(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

std::size_t utf8_length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += utf8_char_size(text, pos))
    ++count;
  return count;
}

std::string_view utf8_prefix(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < count && pos < text.size(); ++i)
    pos += utf8_char_size(text, pos);
  return text.substr(0, pos);
}

std::string_view utf8_after(std::string_view text, std::size_t count) {
  return text.substr(utf8_prefix(text, count).size());
}

std::string_view utf8_char_at(std::string_view text, std::size_t index) {
  const std::string_view rest = utf8_after(text, index);
  return rest.substr(0, utf8_char_size(rest, 0));
}

std::string ascii_upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace kadrum
