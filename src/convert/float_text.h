// The float-text rule: a number text with the locale's decimal separator
// becomes an extended-precision value, then a double.
//
// The text is: U+0020 blanks, at most one "+" or "-", digits, the separator
// and more digits, an optional exponent ("E" or "e", an optional sign, digits),
// U+0020 blanks. At least one digit or the separator must stand before the
// exponent. Digits are gathered into an 80-bit extended mantissa M, the
// exponent is read until it reaches 500, and the value is M times or divided
// by the power of ten, in extended precision.
#pragma once

#include <optional>
#include <string_view>

namespace kadrum {

enum class FloatTextStatus { ok, invalid, overflow };

struct FloatTextResult {
  FloatTextStatus status = FloatTextStatus::invalid;
  double value = 0.0;  // set when status is ok
};

// The value of "text" in extended precision, multiplied by 10^"scale" (exact
// in the decimal exponent, so currency can ask for the amount times 10 000).
// Returns nullopt when the text breaks the rule or the extended range
// overflows. "separator" is one UTF-8 character. Keeps nothing, allocates
// nothing.
std::optional<long double> parse_extended_float_text(std::string_view text,
                                                     std::string_view separator,
                                                     int scale = 0);

// The value of "text" rounded to the nearest double: invalid as above,
// overflow when it lies beyond the double range; values below the smallest
// double become subnormal or zero. "-0" gives negative zero.
FloatTextResult parse_float_text(std::string_view text,
                                 std::string_view separator);

// 10^"n" in extended precision, correctly rounded for every "n" >= 0; infinity
// when it lies beyond the extended range.
long double extended_power_of_ten(long n);

}  // namespace kadrum
