// Dates and times written in the locale's short date and time formats.
//
// The rules are kept simple and predictable:
// - Date: three whole numbers separated by one separator character. Their
//   order (day, month, year) is the order of the %d or %e, %m and %y or %Y
//   conversions in the short date format (%D counts as %m/%d/%y and %F as
//   %Y-%m-%d); the separator is the first character of the format that is no
//   conversion and stands between the first and the last of the three. A
//   format without each of the three once, or without a character between
//   them, is read as %m/%d/%y.
// - Day and month have one or two digits, the year one to four. A year of one
//   or two digits lies in 1950 to 2049 (00 to 49 are 20xx, 50 to 99 are 19xx);
//   a longer year stands as written and must not be 0. The date must exist
//   (29 February only in leap years).
// - Time: hours:minutes or hours:minutes:seconds, each one or two digits,
//   hours 0 to 23, minutes and seconds 0 to 59. When the time format uses %p
//   or %r, blanks and "AM" or "PM" (any case) may follow, and the hours are
//   then 1 to 12.
// - Date and time: a date, optionally followed by one or more blanks and a
//   time.
// - Blanks (U+0020) may stand before and after the whole text.
// A time alone keeps the date 1899-12-30; a date alone has the time 00:00:00.
#pragma once

#include <optional>
#include <string_view>

#include "convert/locale_formats.h"
#include "convert/value.h"

namespace kadrum {

// The date of "text" by the short date format of "formats"; nullopt when the
// text breaks the rules above.
std::optional<DateTime> parse_date_text(std::string_view text,
                                        const LocaleFormats& formats);

// The time of "text" by the time format of "formats"; nullopt when the text
// breaks the rules above.
std::optional<DateTime> parse_time_text(std::string_view text,
                                        const LocaleFormats& formats);

// The date and optional time of "text"; nullopt when the text breaks the rules
// above.
std::optional<DateTime> parse_datetime_text(std::string_view text,
                                            const LocaleFormats& formats);

}  // namespace kadrum
