// The user's locale, as the platform keeps it: the numeric and time
// conventions that conversions and messages follow, and lower-casing. The
// process's global locale is never touched.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// What the user's locale states; empty texts where it states nothing.
struct UserLocale {
  std::string decimal_separator;    // UTF-8, as the locale words it
  std::string thousands_separator;
  int group_size = 0;               // the first digit group's size; 0: not grouped
  std::string short_date_format;    // strftime-style
  std::string time_format;
};

// POSIX: the locale named by LC_ALL, then LC_NUMERIC (LC_TIME for the date
// and time formats), then LANG; nothing when that locale is missing.
// Windows: the regional settings of the user's default locale
// (GetLocaleInfoEx), read anew at every call.
UserLocale read_user_locale();

// The strftime-style format of a Windows date or time picture
// ("dd.MM.yyyy" gives "%d.%m.%Y", "h:mm:ss tt" gives "%I:%M:%S %p").
std::string strftime_format_of_picture(std::string_view picture);

// "text" (UTF-8) with every character replaced by its lower-case form; other
// characters, and bytes that are no valid UTF-8, stay as they are. The same
// whatever the user's locale. Never throws but std::bad_alloc.
std::string lower_case(std::string_view text);

}  // namespace kadrum
