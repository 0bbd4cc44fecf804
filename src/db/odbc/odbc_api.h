// The ODBC API as every part of the engine calls it: unixODBC's headers on
// POSIX, the Windows SDK's (MinGW) on Windows, which need <windows.h>
// first, and the wide texts it takes. SQLWCHAR is 16 bits on both. Only
// the wide (W) and undecorated functions are used: every driver manager
// has them, some lack the A-suffixed ones.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <string>
#include <string_view>

static_assert(sizeof(SQLWCHAR) == 2, "Kadrum's ODBC texts are UTF-16");

namespace kadrum::odbc {

using WideString = std::basic_string<SQLWCHAR>;

// UTF-8 to the driver manager's wide characters (UTF-16) and back; a byte
// that begins no valid sequence becomes U+FFFD. Never throw but for memory.
WideString widen(std::string_view text);
std::string narrow(const SQLWCHAR* text, std::size_t length);
std::string narrow(const WideString& text);

// Whether "rc" is a success, with or without information.
inline bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace kadrum::odbc
