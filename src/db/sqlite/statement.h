// RAII wrappers around the SQLite C handles, and the few calls on them that
// every part of the SQLite engine repeats.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/provider_error.h"
#include "db/identifier.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kadrum::sqlite {

struct CloseDatabase {
  void operator()(sqlite3* db) const;
};

// Shared by the engine and its open tables: a table's statements must be
// finalized before the connection goes, whatever order the owners end in.
using DatabaseHandle = std::shared_ptr<sqlite3>;

// Wraps an open connection; "db" may be null.
DatabaseHandle adopt_database(sqlite3* db);

// The engine's description of the last failure on "db", behind a German one
// for the everyday failures (locked, full, read-only, missing table).
ProviderError last_error(sqlite3* db);
[[noreturn]] void throw_last_error(sqlite3* db);

// One prepared statement. Moves, never copies; finalizes on destruction.
class Statement {
 public:
  Statement() = default;

  // Prepares the first statement of "sql" and returns it; "rest" receives the
  // text after it. The statement is empty when "sql" holds only blanks and
  // comments. Throws ProviderError with the engine's description.
  static Statement prepare(sqlite3* db, std::string_view sql,
                           std::string_view* rest = nullptr);
  // As prepare, but refuses (ProviderError) an empty text and any text
  // after the first statement other than blanks, comments and semicolons
  // (check_statement_tail).
  static Statement prepare_single(sqlite3* db, std::string_view sql);

  sqlite3_stmt* get() const { return stmt_.get(); }
  explicit operator bool() const { return stmt_ != nullptr; }

  // Steps once: true while a row is there, false when done. On failure resets
  // the statement and throws ProviderError with the engine's description.
  bool step();
  // Makes the statement ready to run again; keeps nothing bound.
  void reset();

  // Column "index" of the current row as text; empty for NULL.
  std::string text(int index) const;
  int integer(int index) const;

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* stmt) const;
  };
  std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
};

// How a table name typed by the user is written in a statement: brackets go
// around its part after the first "." (or the whole name) when it holds a
// blank and does not begin with "[": "my data" gives "[my data]", "a.b c"
// gives "a.[b c]", "x y;z" gives "[x y];z". Any other name comes back
// unchanged. Never throws.
std::string open_form(std::string_view name);

}  // namespace kadrum::sqlite
