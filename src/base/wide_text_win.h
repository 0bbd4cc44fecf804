// UTF-8 inside, UTF-16 at the Windows API: the two conversions, and one
// setting of the user's locale read through them, for the Windows files of
// each seam.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kadrum {

inline std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

inline std::string from_wide(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                      nullptr, nullptr);
  return narrow;
}

// One setting of the user's default locale (LOCALE_SDECIMAL and the like);
// empty when it has none.
inline std::string user_locale_setting(LCTYPE setting) {
  wchar_t value[128] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, setting, value, 128);
  if (n <= 1) return {};
  return from_wide(std::wstring_view(value, static_cast<std::size_t>(n - 1)));
}

}  // namespace kadrum
