// The "db connect" action and the objects it works on.
#pragma once

#include <string>
#include <string_view>

#include "base/run_settings.h"
#include "db/connection.h"
#include "db/query.h"
#include "db/table.h"

namespace kadrum {

// The three database objects and the connection string last built. Created
// once and kept for the program's whole life; creating them opens nothing.
struct DatabaseObjects {
  Connection access_con;
  Query qry{access_con};
  Table itab{access_con};
  std::string connstr;
};

// Settles dbpath ("?" takes dbname), builds connstr, reopens access_con,
// drops and creates the table when settings.recreate is set, and opens itab
// on settings.table_name. Throws on failure, leaving what was done done. The
// drop and the create run in one transaction, undone when the create fails;
// a table name holding ";", "--", "/*" or a NUL byte is refused first.
void db_connect(RunSettings& settings, DatabaseObjects& db);

// The two halves of db_connect, for a caller that puts a transaction between
// them: the connection (settling database_path), then the recreate and the
// opening of itab. The recreate runs in a transaction of its own unless
// "inside_transaction" says the caller has one open. Each throws as
// db_connect does.
void open_connection(RunSettings& settings, DatabaseObjects& db);
void open_target_table(const RunSettings& settings, DatabaseObjects& db,
                       bool inside_transaction = false);

// With settings.recreate: refuses a table name the recreate cannot take
// and waits (until a stop request) for the recreate lock of the table,
// which the connection holds until it closes, so that a second recreate of
// the same table never starts while this run still stores. Call it before
// a transaction that will recreate the table: a database whose transaction
// holds its write lock could otherwise wait for this run forever. Throws
// what the engine throws. Does nothing without settings.recreate.
void lock_for_recreate(const RunSettings& settings, DatabaseObjects& db);

}  // namespace kadrum
