// The user's number format on Windows: the regional settings.
#include <windows.h>

#include "base/wide_text_win.h"
#include "cli/number_text.h"

namespace kadrum {

NumberFormat user_number_format() {
  const std::string point = user_locale_setting(LOCALE_SDECIMAL);
  std::string separator = user_locale_setting(LOCALE_STHOUSAND);
  // "3;0" and the like: the first group's size, as on POSIX.
  const std::string grouping = user_locale_setting(LOCALE_SGROUPING);
  const int group = grouping.empty() || grouping[0] < '1' || grouping[0] > '9' ? 0 : grouping[0] - '0';
  if (group <= 0) separator.clear();
  return NumberFormat{point.empty() ? std::string(".") : point, separator, group > 0 ? group : 3};
}

}  // namespace kadrum
