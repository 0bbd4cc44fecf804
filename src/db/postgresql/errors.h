// libpq's failures as Kadrum reports them: a German description first, the
// server's own words and its SQLSTATE after it.
#pragma once

#include <string>
#include <string_view>

#include "base/provider_error.h"

struct pg_conn;
struct pg_result;

namespace kadrum::postgresql {

// libpq's text on one line: its line breaks and the tabs after them become
// single blanks, nothing at the end.
std::string one_line(std::string_view text);

// The failure behind "result" (null when libpq gave none) as the server
// worded it: its primary message, behind a German description (the
// everyday failures by their SQLSTATE, such as a missing table, no
// permission, read-only, disk full, lock or lost connection; a refused
// statement, record or value by its class; any other failure a general
// one). Without a server message, libpq's own text behind the general one.
ProviderError result_error(pg_conn* conn, const pg_result* result);

// Whether "state", an SQLSTATE (may be null), stops the connection or the
// statement from the server's side, whatever record was being sent. Never
// throws.
bool server_side_stop(const char* state);

}  // namespace kadrum::postgresql
