// The narrow interface every database engine implements. The component layer
// (Connection, Query, Table) is written against it alone; everything an
// engine's SQL dialect decides (column types, parameter markers, how a table
// name is written, how a database is made) lives behind it.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/field_kind.h"
#include "convert/value.h"

namespace kadrum {

// One column of an open table, as the append needs it.
struct EngineField {
  std::string name;
  FieldKind kind = FieldKind::floating;
  int declared_size = 0;  // characters, for ansi_text; 0 when none
  bool updatable = true;  // false for generated and auto-increment columns
};

// An open table. Holds no rows: only its fields and what adding needs.
class EngineTable {
 public:
  virtual ~EngineTable() = default;
  // The table's columns in table order.
  virtual const std::vector<EngineField>& fields() const = 0;
  // False for views and read-only databases.
  virtual bool accepts_new_records() const = 0;
  // Stores one new record: values[i] goes to the field at 0-based
  // positions[i]; other columns get the engine's default. Outside a
  // transaction the record is committed before this returns. Throws
  // ProviderError; nothing of the record is stored then. Inside a
  // transaction an engine may send records in bulk: a record the database
  // refuses then fails a later call or the commit instead.
  virtual void insert(std::span<const std::size_t> positions,
                      std::span<const Value> values) = 0;
};

// An open connection to one database.
class Engine {
 public:
  virtual ~Engine() = default;

  // The column type of the recreated table's three number columns.
  virtual std::string_view number_type() const = 0;
  // How the engine writes parameter marker "index" (0-based) in a statement.
  virtual std::string parameter_marker(std::size_t index) const = 0;

  // Executes exactly one statement with "parameter_count" parameters, written
  // with parameter_marker, that have no value. Text after the first statement
  // is refused. Throws ProviderError; inside a transaction a failed statement
  // leaves the transaction usable, undoing only that statement.
  virtual void execute(std::string_view statement,
                       std::size_t parameter_count) = 0;
  // Opens the table "name", as typed by the user; a name with a blank is
  // taken as one name. Throws ProviderError when it is missing or cannot be
  // read.
  virtual std::unique_ptr<EngineTable> open_table(std::string_view name) = 0;
  // Runs exactly one statement without parameters and returns every row of
  // its result, each cell as text (NULL as empty text). Kadrum reads only its
  // own bookkeeping this way (the checkpoints of --resume). Throws
  // ProviderError; inside a transaction, as execute does.
  virtual std::vector<std::vector<std::string>> select_text(std::string_view statement);

  // One transaction at a time: everything executed or inserted between begin
  // and commit becomes visible to others at once on commit, and is gone
  // after rollback. Each throws ProviderError; rollback never throws and
  // does nothing without a transaction.
  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() noexcept = 0;

  // Throws ProviderError when the database written to can no longer be
  // reached by the name it was opened with (its file deleted, renamed or
  // replaced meanwhile), so that records stored in it are not reported as
  // kept. Does nothing where the engine has no such notion.
  virtual void check_still_reachable() const {}
};

// Opens the engine and database that "connection_string" names: a data
// source beginning with "postgresql://" or "postgres://" is a PostgreSQL
// server, anything else the path of a SQLite database file. Throws
// ProviderError with a German description when the data source is unusable.
std::unique_ptr<Engine> open_engine(std::string_view connection_string);

// Creates the empty database that "data_source" names when it does not exist
// yet and returns true; returns false, changing nothing, when it exists.
// Throws ProviderError when it cannot be created.
bool create_database(const std::string& data_source);

}  // namespace kadrum
