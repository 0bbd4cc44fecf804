// SQLite's side of a connection: the database handle, shared by the engine
// and its open tables, and the RAII wrapper of a prepared statement on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

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

}  // namespace kadrum::sqlite
