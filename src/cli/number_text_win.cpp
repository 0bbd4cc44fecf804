// The user's number format on Windows: the regional settings.
#include <windows.h>

#include "base/wide_text_win.h"
#include "cli/number_text.h"

namespace kadrum {

namespace {

std::string locale_setting(LCTYPE setting) {
  wchar_t value[64] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, setting, value, 64);
  if (n <= 1) return {};
  return from_wide(std::wstring_view(value, static_cast<std::size_t>(n - 1)));
}

}  // namespace

NumberFormat user_number_format() {
  const std::string point = locale_setting(LOCALE_SDECIMAL);
  std::string separator = locale_setting(LOCALE_STHOUSAND);
  // "3;0" and the like: the first group's size, as on POSIX.
  const std::string grouping = locale_setting(LOCALE_SGROUPING);
  const int group = grouping.empty() || grouping[0] < '1' || grouping[0] > '9' ? 0 : grouping[0] - '0';
  if (group <= 0) separator.clear();
  return NumberFormat{point.empty() ? std::string(".") : point, separator, group > 0 ? group : 3};
}

}  // namespace kadrum
