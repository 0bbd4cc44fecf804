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
