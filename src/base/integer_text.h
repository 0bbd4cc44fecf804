// The integer-text rule for nhdl, itmnr, the itemlist entries and integer
// columns: leading blanks, one optional sign, decimal or hexadecimal digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kadrum {

// The value of the hexadecimal digit "c" (0-9, a-f, A-F), or -1.
int hex_digit(char c);

// The value of "text", or nothing when it is no integer text. Accepts leading
// U+0020 blanks only, then "+" or "-", then decimal digits within the signed
// 32-bit range, or a prefix "$", "x", "X", "0x", "0X" and at most eight
// significant hex digits read as a 32-bit two's-complement pattern ("-"
// negates it, wrapping). Nothing may follow the digits.
std::optional<std::int32_t> parse_integer_text(std::string_view text);

// The value of "text" as above; throws kadrum::Error "'%s' ist kein gültiger
// Integerwert" with the whole text when it is no integer text.
std::int32_t integer_text_value(std::string_view text);

}  // namespace kadrum
