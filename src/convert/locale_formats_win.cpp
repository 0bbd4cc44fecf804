// The user's formats on Windows: the regional settings of the user's
// default locale.
#include <windows.h>

#include "base/utf8.h"
#include "base/wide_text_win.h"
#include "convert/locale_formats.h"

namespace kadrum {

namespace {

// One setting of the user's locale; empty when it has none.
std::string locale_setting(LCTYPE setting) {
  wchar_t value[128] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, setting, value, 128);
  if (n <= 1) return {};
  return from_wide(std::wstring_view(value, static_cast<std::size_t>(n - 1)));
}

}  // namespace

LocaleFormats read_locale_formats() {
  LocaleFormats formats;
  const std::string decimal = locale_setting(LOCALE_SDECIMAL);
  if (utf8_length(decimal) == 1) formats.decimal_separator = decimal;
  const std::string date = locale_setting(LOCALE_SSHORTDATE);
  const std::string time = locale_setting(LOCALE_STIMEFORMAT);
  if (!date.empty()) formats.short_date_format = strftime_format_of_picture(date);
  if (!time.empty()) formats.time_format = strftime_format_of_picture(time);
  return formats;
}

}  // namespace kadrum
