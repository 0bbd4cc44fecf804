// The ODBC engine: one connection through the system's ODBC driver manager
// to any database that has an ODBC driver (MariaDB, MySQL, PostgreSQL,
// SQLite, SQL Server, Access). What the database's SQL does differently is
// asked of the driver, not guessed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/lock_file.h"
#include "db/odbc/session.h"

namespace kadrum::odbc {

// Which locks of its own the database offers Kadrum (see Engine::try_lock).
enum class LockKind {
  none,
  named,        // MariaDB, MySQL: GET_LOCK
  advisory,     // PostgreSQL: pg_try_advisory_lock
  application,  // SQL Server: sp_getapplock
  file,         // a database that is a file: its lock file (db/lock_file.h)
};

// The comment on the helper tables Kadrum makes, and the only ones it drops.
inline constexpr std::string_view kHelperMark = "kadrum helper";
// The clause of the create statement that puts it on.
inline constexpr std::string_view kHelperComment = "COMMENT = 'kadrum helper'";

class OdbcEngine final : public Engine {
 public:
  // Connects through the ODBC connection string "connection_string"
  // ("DSN=lab" or "Driver={...};...", without "odbc:"), autocommit on.
  // Throws ProviderError as Session does.
  explicit OdbcEngine(const std::string& connection_string);

  void execute(std::string_view statement, std::size_t parameter_count) override;
  std::unique_ptr<EngineStatement> prepare(std::string_view statement,
                                           std::size_t parameter_count,
                                           const std::string& one_row_failure) override;
  std::vector<std::vector<std::string>> select_text(std::string_view statement) override;
  std::unique_ptr<EngineTable> open_table(std::string_view name) override;
  void begin() override;
  void commit() override;
  // PostgreSQL's driver wraps each statement in a savepoint of its own.
  bool keeps_savepoints() const override;
  void rollback() noexcept override;
  // Where drop and create commit at once: with RENAME TABLE a fresh table
  // is filled and swapped in (at once, or at the commit inside a
  // transaction), otherwise inside a transaction the recreate is refused.
  void recreate_table(const std::string& name, const std::array<std::string_view, 3>& columns,
                      bool inside_transaction, const RunStatement& run) override;
  // The database's own named lock, the lock file beside a database that is
  // a file; refuses with a German message where the database has neither.
  void hold_recreate_lock(std::string_view name) override;
  std::unique_ptr<EngineLock> try_lock(std::string_view key) override;
  // MariaDB and MySQL: the table as information_schema lists it;
  // PostgreSQL as its own engine finds it; other databases: the name
  // without its quotes and without the connection's own catalogue.
  std::string table_key(std::string_view name) override;

  const Dialect& dialect() const { return session_->dialect(); }
  const SqlDialect& sql_dialect() const override { return *session_->dialect().sql; }

 protected:
  std::string_view number_type() const override { return session_->dialect().double_type; }
  std::string parameter_marker(std::size_t) const override { return "?"; }

 private:
  // Refuses (kadrum::Error) a name that check_statement_name refuses; with
  // RENAME TABLE, which lists tables, also one with a "," outside quotes
  // ("t, u" would reach u).
  void check_recreate_name(std::string_view name) const;
  // The RENAME TABLE swap of MariaDB and MySQL (mariadb/table_swap.cpp).
  // The swap waiting for the commit: "fresh" takes the place of "name".
  struct Swap {
    std::string name;
    std::string fresh;
    std::string aside;
  };
  void swap_in(const Swap& swap);
  // The helper table "name" + "suffix" (+ a number), quoted, that is free
  // or one Kadrum made (its comment says so; such a leftover is dropped).
  std::string helper_table(const std::string& name, std::string_view suffix);
  // Swaps in a filled fresh table that a run killed after its commit left
  // for "name", and drops empty ones, while no other Kadrum recreates it.
  void finish_pending_swaps(const std::string& name);

  std::shared_ptr<Session> session_;
  std::optional<Swap> swap_;
  LockKind lock_kind_ = LockKind::none;
  std::unique_ptr<LockFile> lock_file_;  // for LockKind::file
  // The recreate locks, held until the engine ends; they end before the
  // session they were taken on.
  std::vector<std::unique_ptr<EngineLock>> held_locks_;
};

// Creates the database that the ODBC connection string (without "odbc:")
// names ("Database=" or "DB="), through the server, when the driver's database
// can (MariaDB, MySQL: CREATE DATABASE), and returns true; returns false,
// changing nothing, when it exists. Throws ProviderError when it cannot be
// created, with a German description that says so when the driver cannot
// create databases.
bool create_database(const std::string& connection_string);

}  // namespace kadrum::odbc
