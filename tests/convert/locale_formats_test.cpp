#include "convert/locale_formats.h"

#include <gtest/gtest.h>

#include "support/locale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kadrum {
namespace {

using testing::ScopedEnvironment;

void clear_locale_variables(ScopedEnvironment& env) {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"})
    env.set(name, nullptr);
}

TEST(LocaleFormats, GermanLocaleGivesCommaAndItsDateFormat) {
  const std::string locales = testing::german_locale_folder();
  if (locales.empty()) GTEST_SKIP() << "no German locale was built for the tests";
  ScopedEnvironment env;
  clear_locale_variables(env);
  env.set("LOCPATH", locales.c_str());
  env.set("LC_ALL", "de_DE.UTF-8");
  const LocaleFormats formats = read_locale_formats();
  EXPECT_EQ(formats.decimal_separator, ",");
  EXPECT_EQ(formats.short_date_format, "%d.%m.%Y");
  EXPECT_EQ(formats.time_format, "%T");
  // The process's own locale stays as it was.
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

// Windows reads the regional settings, not the environment.
#ifndef _WIN32
TEST(LocaleFormats, LcAllWinsOverTheCategoryAndLang) {
  ScopedEnvironment env;
  clear_locale_variables(env);
  env.set("LC_ALL", "C");
  env.set("LC_NUMERIC", "xx_NOWHERE.UTF-8");
  env.set("LANG", "xx_NOWHERE.UTF-8");
  const LocaleFormats formats = read_locale_formats();
  EXPECT_EQ(formats.decimal_separator, ".");
  EXPECT_EQ(formats.short_date_format, "%m/%d/%y");
  EXPECT_EQ(formats.time_format, "%H:%M:%S");
}

TEST(LocaleFormats, UnknownOrMissingLocaleFallsBackToPoint) {
  for (const char* lang : {"xx_NOWHERE.UTF-8", "C", "POSIX", ""}) {
    ScopedEnvironment env;
    clear_locale_variables(env);
    env.set("LANG", lang);
    const LocaleFormats formats = read_locale_formats();
    EXPECT_EQ(formats.decimal_separator, ".") << lang;
    EXPECT_EQ(formats.short_date_format, "%m/%d/%y") << lang;
    EXPECT_EQ(formats.time_format, "%H:%M:%S") << lang;
  }
}
#endif

TEST(LocaleFormats, WindowsPicturesBecomeStrftimeFormats) {
  const std::pair<const char*, const char*> cases[] = {
      {"dd.MM.yyyy", "%d.%m.%Y"},   {"M/d/yyyy", "%m/%d/%Y"},   {"yy-MM-dd", "%y-%m-%d"},
      {"HH:mm:ss", "%H:%M:%S"},     {"h:mm:ss tt", "%I:%M:%S %p"},
      {"H 'h' mm", "%H h %M"},      {"d''MM''yy", "%d'%m'%y"},  {"dddd, d. MMMM yyyy", "%A, %d. %B %Y"},
  };
  for (const auto& [picture, format] : cases) EXPECT_EQ(strftime_format_of_picture(picture), format);
}

TEST(LocaleFormats, ReloadReplacesTheProgramWideFormats) {
  const std::string locales = testing::german_locale_folder();
  if (locales.empty()) GTEST_SKIP() << "no German locale was built for the tests";
  ScopedEnvironment env;
  clear_locale_variables(env);
  env.set("LANG", "C");
  reload_locale_formats();
  EXPECT_EQ(locale_formats().decimal_separator, ".");
  env.set("LOCPATH", locales.c_str());
  env.set("LC_NUMERIC", "de_DE.UTF-8");
  EXPECT_EQ(locale_formats().decimal_separator, ".");  // not read yet
  reload_locale_formats();
  EXPECT_EQ(locale_formats().decimal_separator, ",");
  // LC_NUMERIC alone leaves the date and time formats at LANG's.
  EXPECT_EQ(locale_formats().short_date_format, "%m/%d/%y");
  env.set("LC_NUMERIC", nullptr);
  reload_locale_formats();
}

}  // namespace
}  // namespace kadrum
