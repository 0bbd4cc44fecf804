// ODBC's side of a connection: RAII wrappers around the ODBC handles, the
// dialect the driver tells of, and the session the engine and its tables
// share.
#pragma once

#include "db/odbc/odbc_api.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/provider_error.h"
#include "base/stop_signal.h"
#include "db/odbc/errors.h"
#include "db/sql_scan.h"

namespace kadrum::odbc {

// One ODBC handle of "Type", freed on destruction. Moves, never copies.
template <SQLSMALLINT Type>
class Handle {
 public:
  Handle() = default;
  // Allocates a handle under "parent" (none for the environment); throws
  // ProviderError when the driver manager cannot.
  explicit Handle(SQLHANDLE parent);
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = SQL_NULL_HANDLE; }
  Handle& operator=(Handle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(Type, handle_);
  }
  SQLHANDLE get() const { return handle_; }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

using Environment = Handle<SQL_HANDLE_ENV>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

// A connection handle that is disconnected before it is freed.
class ConnectionHandle {
 public:
  explicit ConnectionHandle(const Environment& environment) : handle_(environment.get()) {}
  ConnectionHandle(const ConnectionHandle&) = delete;
  ConnectionHandle& operator=(const ConnectionHandle&) = delete;
  // A transaction still open is rolled back: a driver refuses to
  // disconnect inside one.
  ~ConnectionHandle() {
    if (!connected_) return;
    SQLEndTran(SQL_HANDLE_DBC, handle_.get(), SQL_ROLLBACK);
    SQLDisconnect(handle_.get());
  }
  SQLHANDLE get() const { return handle_.get(); }
  void set_connected() { connected_ = true; }

 private:
  Handle<SQL_HANDLE_DBC> handle_;
  bool connected_ = false;
};

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

// "text" with A to Z in lower case, and every other byte as it is: how a
// driver's DBMS name is compared. Never throws but for memory.
std::string lower(std::string_view text);

class Block;

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

template <SQLSMALLINT Type>
Handle<Type>::Handle(SQLHANDLE parent) {
  const SQLRETURN rc = SQLAllocHandle(Type, parent, &handle_);
  if (!succeeded(rc)) {
    handle_ = SQL_NULL_HANDLE;
    // A statement cannot be made on a connection that is lost: the
    // connection's diagnostics say so, and that it is no record's fault.
    if (Type == SQL_HANDLE_STMT && parent != SQL_NULL_HANDLE) {
      ProviderError refused = failure(SQL_HANDLE_DBC, parent);
      if (!refused.code().empty()) throw refused;
    }
    throw ProviderError("Der ODBC-Treibermanager kann keine Verbindung anlegen");
  }
}

}  // namespace kadrum::odbc
