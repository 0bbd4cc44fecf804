#include "db/sqlite/session.h"

#include <sqlite3.h>

#include "base/messages.h"
#include "base/provider_error.h"
#include "db/sql_scan.h"
#include "db/sqlite/errors.h"

namespace kadrum::sqlite {

void CloseDatabase::operator()(sqlite3* db) const {
  if (!db) return;
  // A stop request's sqlite3_interrupt stays in force until the next
  // statement, and would also cut short the checkpoint that closing makes
  // before it removes the -wal and -shm files. A checkpoint of its own ends
  // the interrupt once no statement runs; the closing one then completes.
  sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  sqlite3_close_v2(db);
}

DatabaseHandle adopt_database(sqlite3* db) {
  return DatabaseHandle(db, CloseDatabase{});
}

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

}  // namespace kadrum::sqlite
