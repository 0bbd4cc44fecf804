// The ODBC headers: unixODBC's on POSIX, the Windows SDK's (MinGW) on
// Windows, which need <windows.h> first. SQLWCHAR is 16 bits on both.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == 2, "Kadrum's ODBC texts are UTF-16");
