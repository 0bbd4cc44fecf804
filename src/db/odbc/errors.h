// The ODBC driver's failures as Kadrum reports them: the diagnostics of a
// handle, a German description first, the driver's text and the SQLSTATE
// after it.
#pragma once

#include "db/odbc/odbc_api.h"

#include <string>
#include <string_view>
#include <vector>

#include "base/provider_error.h"

namespace kadrum::odbc {

// The first diagnostic record of "handle": its SQLSTATE and the driver's
// text without the driver manager's "[vendor][driver]" prefixes.
struct Diagnostic {
  std::string sqlstate;
  std::string text;
  SQLINTEGER native = 0;  // the driver's own error number
};
Diagnostic diagnostic(SQLSMALLINT type, SQLHANDLE handle);

// Whether "found" tells of a connection to the server that broke or is
// gone (SQLSTATE 08S01, 08003, 08006, 08007, and MariaDB's and MySQL's
// "server has gone away" and "Lost connection" under HY000).
bool connection_lost(const Diagnostic& found);

// The first diagnostic record of "handle" that tells of a value the driver
// or the database changed to make it fit (cut or rounded: 01004, 01S07,
// 22001, 22003), which a success with information may carry; an empty
// SQLSTATE when none does.
Diagnostic value_changed(SQLSMALLINT type, SQLHANDLE handle);

// The German description of the everyday SQLSTATE classes (no driver,
// cannot connect, login failed, table missing, locked, data out of range,
// disk full); empty for any other.
std::string_view german_for(std::string_view sqlstate);

// The failure that the diagnostics of "handle" describe: the German
// description for its SQLSTATE ("german" when given, a general one for the
// rest), the driver's text and the SQLSTATE as its code, every one of
// "secrets" masked; marked stopped_by_server when the connection broke,
// the server ended it or the statement, or a time-out did. Never throws
// but for memory.
ProviderError failure(SQLSMALLINT type, SQLHANDLE handle,
                      const std::vector<std::string>& secrets = {}, std::string_view german = {});

// Returns when "rc" is a success (with or without information) or
// SQL_NO_DATA; otherwise throws the failure() of "handle".
void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle,
           const std::vector<std::string>& secrets = {}, std::string_view german = {});

// The refusal of a value that the driver or the database changed to make
// it fit (see value_changed), which it reported as a success with
// information; "stored" when the record is stored so (outside a
// transaction). Every one of "secrets" is masked. Never throws but for
// memory.
ProviderError changed_value(const Diagnostic& found, bool stored,
                            const std::vector<std::string>& secrets);

}  // namespace kadrum::odbc
