// The ODBC engine: one connection through the system's ODBC driver manager
// to any database that has an ODBC driver (MariaDB, MySQL, PostgreSQL,
// SQLite, SQL Server, Access). What the database's SQL does differently is
// asked of the driver, not guessed.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/stop_signal.h"
#include "db/engine.h"
#include "db/lock_file.h"
#include "db/odbc/statement.h"

namespace kadrum::odbc {

// What the driver says of its database's dialect.
struct Dialect {
  std::string dbms;               // SQL_DBMS_NAME: "MariaDB", "PostgreSQL", ...
  char quote = '"';               // SQL_IDENTIFIER_QUOTE_CHAR
  std::string double_type = "double precision";  // SQLGetTypeInfo(SQL_DOUBLE)
  // Whether drop and create run inside a transaction (SQL_TXN_CAPABLE);
  // where they commit at once, RENAME TABLE (MariaDB, MySQL) swaps a fresh
  // table in instead.
  bool transactional_ddl = true;
  bool rename_swap = false;
  // Whether one execution takes many rows of parameters (the Access driver
  // refuses arrays).
  bool parameter_arrays = false;
  // How an INSERT without columns is written.
  std::string no_columns = " DEFAULT VALUES";
  bool read_only = false;  // SQL_DATA_SOURCE_READ_ONLY
  // How the database's SQL quotes and comments, known by its SQL_DBMS_NAME;
  // the standard's for a database Kadrum does not know.
  const SqlDialect* sql = &standard_sql;
};

class Block;

// Which locks of its own the database offers Kadrum (see Engine::try_lock).
enum class LockKind {
  none,
  named,        // MariaDB, MySQL: GET_LOCK
  advisory,     // PostgreSQL: pg_try_advisory_lock
  application,  // SQL Server: sp_getapplock
  file,         // a database that is a file: its lock file (db/lock_file.h)
};

// The connection and the records that wait to be sent; the engine and its
// open tables share it, so that a table never outlives its connection and
// every command and commit sends waiting records first. A stop request
// cancels the statement executing on it (see Running).
class Session {
 public:
  // While one lives, "statement", which the thread that made the Running
  // executes on the session's connection, is the one a stop request
  // cancels.
  class Running {
   public:
    Running(Session& session, SQLHANDLE statement);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    Session& session_;
    SQLHANDLE before_;
  };

  // Connects with "connection_string" (without "odbc:"). Throws
  // ProviderError with a German description, the driver's text and the
  // SQLSTATE, never with a password in it.
  explicit Session(const std::string& connection_string);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  SQLHANDLE connection() const { return connection_.get(); }
  const Dialect& dialect() const { return dialect_; }
  const std::vector<std::string>& secrets() const { return secrets_; }
  // Runs one statement at once, without parameters. Throws ProviderError.
  void run(const std::string& sql);

  bool in_transaction() const { return in_transaction_; }
  void set_in_transaction(bool inside);

  // The block that holds records not yet sent, or none.
  void set_waiting(std::shared_ptr<Block> block) { waiting_ = std::move(block); }
  // Sends the waiting records. Throws ProviderError when one is refused.
  void send_waiting();
  // Forgets the waiting records. Never throws.
  void drop_waiting() noexcept;

 private:
  void read_dialect();
  // Cancels the statement executing now, if any. Any thread; never throws.
  void cancel_running() noexcept;

  std::vector<std::string> secrets_;
  Environment environment_;
  ConnectionHandle connection_;
  Dialect dialect_;
  bool in_transaction_ = false;
  std::shared_ptr<Block> waiting_;
  std::mutex running_mutex_;             // guards running_ and its cancel
  SQLHANDLE running_ = SQL_NULL_HANDLE;  // the statement executing now
  StopHook stop_hook_;                   // ends before the handles it uses
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
  // The swap waiting for the commit: "fresh" takes the place of "name".
  struct Swap {
    std::string name;
    std::string fresh;
    std::string aside;
  };
  void swap_in(const Swap& swap);
  // Refuses (kadrum::Error) a name that check_statement_name refuses; with
  // RENAME TABLE, which lists tables, also one with a "," outside quotes
  // ("t, u" would reach u).
  void check_recreate_name(std::string_view name) const;
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
