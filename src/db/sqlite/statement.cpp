#include "db/sqlite/statement.h"

#include <sqlite3.h>

#include "base/messages.h"
#include "base/provider_error.h"
#include "db/sql_scan.h"
#include "db/sql_text.h"

namespace kadrum::sqlite {

void CloseDatabase::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

DatabaseHandle adopt_database(sqlite3* db) {
  return DatabaseHandle(db, CloseDatabase{});
}

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

void Statement::Finalize::operator()(sqlite3_stmt* stmt) const {
  sqlite3_finalize(stmt);
}

Statement Statement::prepare(sqlite3* db, std::string_view sql,
                             std::string_view* rest) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()),
                                    &raw, &tail);
  Statement statement;
  statement.stmt_.reset(raw);
  if (rc != SQLITE_OK) throw_last_error(db);
  if (rest) {
    const auto used = tail ? static_cast<std::size_t>(tail - sql.data()) : sql.size();
    *rest = sql.substr(used);
  }
  return statement;
}

Statement Statement::prepare_single(sqlite3* db, std::string_view sql) {
  std::string_view rest;
  Statement statement = prepare(db, sql, &rest);
  if (!statement)
    throw ProviderError(messages::no_statement);
  // One command runs one statement, so a name that carries "; drop table"
  // can never add a second one. SQLite found the end; the rest is read by
  // the rule every engine shares.
  check_statement_tail(rest, sqlite_sql);
  return statement;
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3* db = sqlite3_db_handle(stmt_.get());
  ProviderError error = last_error(db);
  sqlite3_reset(stmt_.get());
  throw error;
}

void Statement::reset() {
  sqlite3_reset(stmt_.get());
  sqlite3_clear_bindings(stmt_.get());
}

std::string Statement::text(int index) const {
  const auto* bytes = sqlite3_column_text(stmt_.get(), index);
  if (!bytes) return {};
  return std::string(reinterpret_cast<const char*>(bytes),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), index)));
}

int Statement::integer(int index) const {
  return sqlite3_column_int(stmt_.get(), index);
}

std::string open_form(std::string_view name) {
  return kadrum::open_form(name, "[", [](std::string_view part) {
    std::string bracketed = "[";
    bracketed.append(part);
    bracketed += ']';
    return bracketed;
  });
}

}  // namespace kadrum::sqlite
