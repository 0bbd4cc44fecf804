// Character-wise views of UTF-8 text: a character is one code point, and a
// byte that does not begin a valid sequence counts as one character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kadrum {

// The byte length of the character that begins at "pos" of "text": 1 to 4,
// 1 for an invalid byte, 0 when "pos" is at or past the end.
std::size_t utf8_char_size(std::string_view text, std::size_t pos);

// The number of characters in "text".
std::size_t utf8_length(std::string_view text);

// The first "count" characters of "text", or the whole text if it is shorter.
std::string_view utf8_prefix(std::string_view text, std::size_t count);

// "text" without its first "count" characters; empty if it has no more.
std::string_view utf8_after(std::string_view text, std::size_t count);

// The character at index "index" (0-based) as a view, empty when there is none.
std::string_view utf8_char_at(std::string_view text, std::size_t index);

// The code point of the character that begins at "pos" of "text" and is
// "size" (utf8_char_size) bytes long; U+FFFD for an invalid byte.
char32_t utf8_decode(std::string_view text, std::size_t pos, std::size_t size);

// Writes "c" (at most U+10FFFF, no surrogate) as UTF-8 into "out", which has
// room for 4 bytes; returns the number of bytes written.
std::size_t utf8_encode(char32_t c, char* out);

// "text" with only the letters a to z upper-cased; every other byte is kept.
std::string ascii_upper(std::string_view text);

}  // namespace kadrum
