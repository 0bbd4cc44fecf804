// SQLite's failures as Kadrum reports them: a German description first,
// SQLite's own words and its extended result code after it.
#pragma once

#include "base/provider_error.h"

struct sqlite3;

namespace kadrum::sqlite {

// The engine's description of the last failure on "db", behind a German one
// for the everyday failures (locked, full, read-only, missing table).
ProviderError last_error(sqlite3* db);
[[noreturn]] void throw_last_error(sqlite3* db);

}  // namespace kadrum::sqlite
