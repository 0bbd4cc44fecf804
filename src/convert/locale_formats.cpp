#include "convert/locale_formats.h"

#include "base/utf8.h"

namespace kadrum {

LocaleFormats read_locale_formats() {
  const UserLocale user = read_user_locale();
  LocaleFormats formats;
  if (utf8_length(user.decimal_separator) == 1) formats.decimal_separator = user.decimal_separator;
  if (!user.short_date_format.empty()) formats.short_date_format = user.short_date_format;
  if (!user.time_format.empty()) formats.time_format = user.time_format;
  return formats;
}

namespace {

LocaleFormats& program_formats() {
  static LocaleFormats formats = read_locale_formats();
  return formats;
}

}  // namespace

const LocaleFormats& locale_formats() { return program_formats(); }

void set_decimal_separator(const std::string& separator) {
  program_formats().decimal_separator = separator;
}

void reload_locale_formats() { program_formats() = read_locale_formats(); }

}  // namespace kadrum
