// The user's locale formats that value conversion needs.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

struct LocaleFormats {
  // One character (UTF-8), the locale's decimal symbol; "." when the locale
  // has none or its symbol is longer than one character.
  std::string decimal_separator = ".";
  // strftime-style formats of the locale's short date and its time.
  std::string short_date_format = "%m/%d/%y";
  std::string time_format = "%H:%M:%S";
};

// Reads the formats of the user's locale, as named by LC_ALL, then
// LC_NUMERIC (LC_TIME for the date and time formats), then LANG, without
// touching the process's global locale. Falls back to the "C" formats.
// On Windows: the user's regional settings (GetLocaleInfoEx).
LocaleFormats read_locale_formats();

// The strftime-style format of a Windows date or time picture
// ("dd.MM.yyyy" gives "%d.%m.%Y", "h:mm:ss tt" gives "%I:%M:%S %p").
std::string strftime_format_of_picture(std::string_view picture);

// The program-wide formats, read on first use.
const LocaleFormats& locale_formats();

// Reads the program-wide formats again, after the user changed the settings.
void reload_locale_formats();

}  // namespace kadrum
