// The user's formats on POSIX: the locale that the environment names.
#include "convert/locale_formats.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>

#include "base/utf8.h"

namespace kadrum {

namespace {

struct LocaleFree {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

// The first non-empty variable of "names", as the C library would pick it.
const char* locale_name(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// A locale of its own, so the process's global locale is never touched.
LocaleHandle open_locale(int category_mask, const char* name) {
  return LocaleHandle(newlocale(category_mask, name, locale_t{}));
}

}  // namespace

LocaleFormats read_locale_formats() {
  LocaleFormats formats;

  const LocaleHandle numeric = open_locale(
      LC_NUMERIC_MASK, locale_name({"LC_ALL", "LC_NUMERIC", "LANG"}));
  if (numeric) {
    const std::string_view radix = nl_langinfo_l(RADIXCHAR, numeric.get());
    if (utf8_length(radix) == 1) formats.decimal_separator = radix;
  }

  const LocaleHandle time =
      open_locale(LC_TIME_MASK, locale_name({"LC_ALL", "LC_TIME", "LANG"}));
  if (time) {
    const std::string_view date_format = nl_langinfo_l(D_FMT, time.get());
    const std::string_view time_format = nl_langinfo_l(T_FMT, time.get());
    if (!date_format.empty()) formats.short_date_format = date_format;
    if (!time_format.empty()) formats.time_format = time_format;
  }
  return formats;
}

}  // namespace kadrum
