// The user's formats on Windows: the regional settings of the user's
// default locale.
#include <windows.h>

#include "base/utf8.h"
#include "base/wide_text_win.h"
#include "convert/locale_formats.h"

namespace kadrum {

LocaleFormats read_locale_formats() {
  LocaleFormats formats;
  const std::string decimal = user_locale_setting(LOCALE_SDECIMAL);
  if (utf8_length(decimal) == 1) formats.decimal_separator = decimal;
  const std::string date = user_locale_setting(LOCALE_SSHORTDATE);
  const std::string time = user_locale_setting(LOCALE_STIMEFORMAT);
  if (!date.empty()) formats.short_date_format = strftime_format_of_picture(date);
  if (!time.empty()) formats.time_format = strftime_format_of_picture(time);
  return formats;
}

}  // namespace kadrum
