// The user's locale on Windows: the regional settings of the user's default
// locale.
#include "base/user_locale.h"

#include <windows.h>

#include "base/utf8.h"
#include "base/wide_text_win.h"

namespace kadrum {

namespace {

// One setting of the user's default locale (LOCALE_SDECIMAL and the like);
// empty when it has none.
std::string setting(LCTYPE type) {
  wchar_t value[128] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 128);
  if (n <= 1) return {};
  return from_wide(std::wstring_view(value, static_cast<std::size_t>(n - 1)));
}

}  // namespace

UserLocale read_user_locale() {
  UserLocale user;
  user.decimal_separator = setting(LOCALE_SDECIMAL);
  user.thousands_separator = setting(LOCALE_STHOUSAND);
  // "3;0" and the like: the first group's size, as on POSIX.
  const std::string grouping = setting(LOCALE_SGROUPING);
  user.group_size =
      grouping.empty() || grouping[0] < '1' || grouping[0] > '9' ? 0 : grouping[0] - '0';
  const std::string date = setting(LOCALE_SSHORTDATE);
  const std::string time = setting(LOCALE_STIMEFORMAT);
  if (!date.empty()) user.short_date_format = strftime_format_of_picture(date);
  if (!time.empty()) user.time_format = strftime_format_of_picture(time);
  return user;
}

std::string lower_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    char32_t c = utf8_decode(text, pos, size);
    if (c == 0xFFFD && size == 1) {
      out += text[pos];  // not UTF-8: kept as it is
    } else {
      // Case pairs outside the BMP are few and not in any file name worth a
      // title; they keep their case.
      if (c < 0x10000) {
        // Kernel32's plain mapping, the one CharLowerBuffW makes: that one
        // would load user32 (and Wine sets it up) at every start of
        // kadrum-cli.
        const wchar_t unit = static_cast<wchar_t>(c);
        wchar_t lower = unit;
        if (LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, &unit, 1, &lower, 1,
                          nullptr, nullptr, 0) == 1)
          c = lower;
      }
      char bytes[4];
      out.append(bytes, utf8_encode(c, bytes));
    }
    pos += size;
  }
  return out;
}

}  // namespace kadrum
