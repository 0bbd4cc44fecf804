#include "db/sqlite/errors.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "base/messages.h"

namespace kadrum::sqlite {

ProviderError last_error(sqlite3* db) {
  const int code = sqlite3_errcode(db) & 0xff;
  const std::string_view text = sqlite3_errmsg(db);
  // Every failure gets a German description; SQLite's own words follow it,
  // so nothing of the cause is lost.
  std::string_view german = messages::engine_failure;
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
    german = messages::database_locked;
  else if (code == SQLITE_FULL)
    german = messages::disk_full;
  else if (code == SQLITE_READONLY)
    german = messages::database_read_only;
  else if (code == SQLITE_ERROR && text.rfind("no such table", 0) == 0)
    german = messages::table_missing;
  else if (code == SQLITE_ERROR)
    german = messages::statement_faulty;
  else if (code == SQLITE_CONSTRAINT)
    german = messages::constraint_violated;
  else if (code == SQLITE_MISMATCH || code == SQLITE_TOOBIG || code == SQLITE_RANGE)
    german = messages::value_mismatch;
  else if (code == SQLITE_PERM || code == SQLITE_AUTH)
    german = messages::no_permission;
  else if (code == SQLITE_NOMEM)
    german = messages::out_of_memory;
  else if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
    german = "Die Datenbankdatei ist beschädigt";
  else if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN)
    german = "Die Datenbankdatei kann nicht gelesen oder geschrieben werden";
  return ProviderError(german, text, std::to_string(sqlite3_extended_errcode(db)));
}

void throw_last_error(sqlite3* db) { throw last_error(db); }

}  // namespace kadrum::sqlite
