// Access files (.mdb, .accdb) on Windows: opened through the Access ODBC
// driver that the free Microsoft Access Database Engine (64-bit) or a
// 64-bit Office installs. Linux has no such driver; there the SQLite engine
// names an Access file as such and refuses it.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// The name of the Access ODBC driver of 64-bit Windows.
inline constexpr std::string_view kAccessDriver = "Microsoft Access Driver (*.mdb, *.accdb)";

// Whether the data source is a path ending in .mdb or .accdb (any case).
bool is_access_file(std::string_view source);

// The ODBC data source ("odbc:Driver={…};DBQ=<path>") that opens "path"
// through the Access driver.
std::string access_odbc_source(std::string_view path);

// Throws ProviderError, naming the package to install, when the Access
// driver is missing (access_win.cpp).
void check_access_driver();

// Creates an empty Access file at "path" through the driver and returns
// true; false, changing nothing, when a file is already there.
bool create_access_database(const std::string& path);

}  // namespace kadrum
