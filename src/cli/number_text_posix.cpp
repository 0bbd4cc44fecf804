// The user's number format on POSIX: the locale that the environment names.
#include <langinfo.h>
#include <locale.h>

#include "cli/number_text.h"

namespace kadrum {

NumberFormat user_number_format() {
  const locale_t numeric = newlocale(LC_NUMERIC_MASK, "", nullptr);
  if (numeric == nullptr) return NumberFormat{};
  const std::string point(nl_langinfo_l(RADIXCHAR, numeric));
  std::string separator(nl_langinfo_l(THOUSEP, numeric));
  // The first group's size; locales that vary it (India's 2 after 3) are
  // shown with the first size throughout.
  const char group = nl_langinfo_l(GROUPING, numeric)[0];
  freelocale(numeric);
  if (group <= 0 || group == 127) separator.clear();
  return NumberFormat{point.empty() ? std::string(".") : point, separator,
                      group > 0 ? group : 3};
}

}  // namespace kadrum
