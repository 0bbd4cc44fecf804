// Locales for tests: every test process starts under C.UTF-8 whatever the
// caller's locale; a test about locales sets its own for a while.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kadrum::testing {

#ifdef _WIN32
// The C runtime of Windows has neither; an empty value removes a variable.
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif

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

// Puts the process, and every program it starts, under C.UTF-8: the
// expected texts of the tests are written for it.
inline void use_test_locale() {
  for (const char* name : {"LANG", "LANGUAGE", "LC_NUMERIC", "LC_TIME", "LC_CTYPE",
                           "LC_MESSAGES", "LC_COLLATE", "LC_MONETARY"})
    unsetenv(name);
  setenv("LC_ALL", "C.UTF-8", 1);
}

// The folder holding de_DE.UTF-8, built once per test run by the ctest
// fixture; empty when the test runs without it.
inline std::string german_locale_folder() {
  const char* folder = std::getenv("KADRUM_TEST_LOCPATH");
  return folder ? folder : "";
}

}  // namespace kadrum::testing
