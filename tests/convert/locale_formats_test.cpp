#include "convert/locale_formats.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kadrum {
namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

  // "value" nullptr removes the variable.
  void set(const std::string& name, const char* value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old)
                                  : std::nullopt);
    if (value)
      setenv(name.c_str(), value, 1);
    else
      unsetenv(name.c_str());
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A temporary folder that is removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kadrum-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void clear_locale_variables(ScopedEnvironment& env) {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"})
    env.set(name, nullptr);
}

// Builds de_DE.UTF-8 from the system's locale sources into "dir"; false when
// that is not possible here. localedef may warn with status 1 and still
// write the locale, so the result is judged by the files.
bool build_german_locale(const std::string& dir) {
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) == -1) return false;
  return std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC") &&
         std::filesystem::exists(dir + "/de_DE.UTF-8/LC_TIME");
}

TEST(LocaleFormats, GermanLocaleGivesCommaAndItsDateFormat) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  if (!build_german_locale(dir.path()))
    GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
  ScopedEnvironment env;
  clear_locale_variables(env);
  env.set("LOCPATH", dir.path().c_str());
  env.set("LC_ALL", "de_DE.UTF-8");
  const LocaleFormats formats = read_locale_formats();
  EXPECT_EQ(formats.decimal_separator, ",");
  EXPECT_EQ(formats.short_date_format, "%d.%m.%Y");
  EXPECT_EQ(formats.time_format, "%T");
  // The process's own locale stays as it was.
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

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

TEST(LocaleFormats, ReloadReplacesTheProgramWideFormats) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  if (!build_german_locale(dir.path()))
    GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
  ScopedEnvironment env;
  clear_locale_variables(env);
  env.set("LANG", "C");
  reload_locale_formats();
  EXPECT_EQ(locale_formats().decimal_separator, ".");
  env.set("LOCPATH", dir.path().c_str());
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
