// Numbers as kadrum-cli shows them to people: with the decimal mark and the
// digit grouping of the user's numeric locale ("15.375" and "1,87" under
// German, "15375" and "1.87" under C).
#pragma once

#include <cstdint>
#include <string>

namespace kadrum {

struct NumberFormat {
  std::string decimal_point = ".";
  std::string thousands_separator;  // empty: no grouping
  int group_size = 3;
};

// The format of the user's numeric locale (read_user_locale; values are
// converted elsewhere, with their own rule). The "C" format when that locale
// is missing.
NumberFormat user_number_format();

// "n" in decimal, its digits grouped.
std::string format_count(std::uint64_t n, const NumberFormat& format);

// "value" (not negative) rounded to "decimals" places, the whole part grouped.
std::string format_fixed(double value, int decimals, const NumberFormat& format);

}  // namespace kadrum
