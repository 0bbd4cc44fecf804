// The user's locale on POSIX: the locale that the environment names.
#include "base/user_locale.h"

#include <langinfo.h>
#include <locale.h>
#include <wctype.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
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

// C.UTF-8 knows the case of every Unicode letter and is there on every
// Debian system; the user's own locale might know only ASCII.
locale_t unicode_locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

}  // namespace

UserLocale read_user_locale() {
  UserLocale user;
  const LocaleHandle numeric =
      open_locale(LC_NUMERIC_MASK, locale_name({"LC_ALL", "LC_NUMERIC", "LANG"}));
  if (numeric) {
    user.decimal_separator = nl_langinfo_l(RADIXCHAR, numeric.get());
    user.thousands_separator = nl_langinfo_l(THOUSEP, numeric.get());
    // Locales that vary the size (India's 2 after 3) are shown with the
    // first size throughout; CHAR_MAX means no grouping.
    const char group = nl_langinfo_l(GROUPING, numeric.get())[0];
    user.group_size = group > 0 && group != 127 ? group : 0;
  }
  const LocaleHandle time = open_locale(LC_TIME_MASK, locale_name({"LC_ALL", "LC_TIME", "LANG"}));
  if (time) {
    user.short_date_format = nl_langinfo_l(D_FMT, time.get());
    user.time_format = nl_langinfo_l(T_FMT, time.get());
  }
  return user;
}

std::string lower_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const locale_t locale = unicode_locale();
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    const char32_t c = utf8_decode(text, pos, size);
    if (c == 0xFFFD && size == 1) {
      out += text[pos];  // not UTF-8: kept as it is
    } else {
      const wint_t lower = locale != locale_t{} ? towlower_l(static_cast<wint_t>(c), locale)
                           : c >= U'A' && c <= U'Z' ? c + 32 : c;
      char bytes[4];
      out.append(bytes, utf8_encode(static_cast<char32_t>(lower), bytes));
    }
    pos += size;
  }
  return out;
}

}  // namespace kadrum
