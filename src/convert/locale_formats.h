// The user's locale formats that value conversion needs.
#pragma once

#include <string>

#include "base/user_locale.h"  // strftime_format_of_picture, for the formats' users

namespace kadrum {

struct LocaleFormats {
  // One character (UTF-8), the locale's decimal symbol; "." when the locale
  // has none or its symbol is longer than one character.
  std::string decimal_separator = ".";
  // strftime-style formats of the locale's short date and its time.
  std::string short_date_format = "%m/%d/%y";
  std::string time_format = "%H:%M:%S";
};

// Reads the formats of the user's locale (read_user_locale), falling back
// to the "C" formats for what it lacks.
LocaleFormats read_locale_formats();

// The program-wide formats, read on first use.
const LocaleFormats& locale_formats();

// Makes "separator" (one character) the program-wide decimal separator,
// whatever the locale says: kadrum-cli's --decimal=, for files written
// under another locale. reload_locale_formats reads the locale's again.
void set_decimal_separator(const std::string& separator);

// Reads the program-wide formats again, after the user changed the settings.
void reload_locale_formats();

}  // namespace kadrum
