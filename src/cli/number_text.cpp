#include "cli/number_text.h"

#include <cmath>
#include <cstdio>

#include "base/user_locale.h"

namespace kadrum {

namespace {

std::string grouped(const std::string& digits, const NumberFormat& format) {
  if (format.thousands_separator.empty()) return digits;
  std::string text;
  const std::size_t size = static_cast<std::size_t>(format.group_size);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % size == 0) text += format.thousands_separator;
    text += digits[i];
  }
  return text;
}

}  // namespace

NumberFormat user_number_format() {
  const UserLocale user = read_user_locale();
  return NumberFormat{user.decimal_separator.empty() ? std::string(".") : user.decimal_separator,
                      user.group_size > 0 ? user.thousands_separator : std::string(),
                      user.group_size > 0 ? user.group_size : 3};
}

std::string format_count(std::uint64_t n, const NumberFormat& format) {
  return grouped(std::to_string(n), format);
}

std::string format_fixed(double value, int decimals, const NumberFormat& format) {
  char text[64];
  // Written under the C locale's rules, then the marks are replaced.
  std::snprintf(text, sizeof text, "%.*f", decimals, std::isfinite(value) ? value : 0.0);
  const std::string written = text;
  const std::size_t point = written.find('.');
  if (point == std::string::npos) return grouped(written, format);
  return grouped(written.substr(0, point), format) + format.decimal_point +
         written.substr(point + 1);
}

}  // namespace kadrum
