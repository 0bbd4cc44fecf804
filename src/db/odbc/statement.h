// RAII wrappers around the ODBC handles, the one helper that turns a failed
// call into a ProviderError, and the text conversions every part of the
// ODBC engine repeats. Only the wide (W) and undecorated functions are
// used: every driver manager has them, some lack the A-suffixed ones.
#pragma once

#include "db/odbc/odbc_api.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/provider_error.h"
#include "db/data_source.h"

namespace kadrum::odbc {

using WideString = std::basic_string<SQLWCHAR>;

// UTF-8 to the driver manager's wide characters (UTF-16) and back; a byte
// that begins no valid sequence becomes U+FFFD. Never throw but for memory.
WideString widen(std::string_view text);
std::string narrow(const SQLWCHAR* text, std::size_t length);
std::string narrow(const WideString& text);

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

inline bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

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
