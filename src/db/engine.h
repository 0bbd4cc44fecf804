// The narrow interface every database engine implements. The component layer
// (Connection, Query, Table) is written against it alone; everything an
// engine's SQL dialect decides (column types, parameter markers, how a table
// name is written, how a table is recreated) lives behind it. Making a
// database is no part of the interface, since no engine is open yet then:
// create_database below picks the engine's own create_database by the form
// of the data source (db/engine.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/provider_error.h"
#include "convert/field_kind.h"
#include "convert/value.h"
#include "db/data_source.h"
#include "db/sql_scan.h"

namespace kadrum {

// A commit whose outcome cannot be known: the connection broke after the
// commit was sent, so the records may or may not be stored.
class CommitOutcomeUnknown : public ProviderError {
 public:
  using ProviderError::ProviderError;
};

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
  // True for a temporary table, which vanishes with the connection.
  virtual bool temporary() const { return false; }
  // Stores one new record: values[i] goes to the field at 0-based
  // positions[i]; other columns get the engine's default. Outside a
  // transaction the record is committed before this returns. Throws
  // ProviderError; nothing of the record is stored then. Inside a
  // transaction an engine may send records in bulk: a record the database
  // refuses then fails a later call, send_held_records or the commit
  // instead, where the error's record() is the "tag" this record came with
  // when the engine can tell which record it was. Refuses a table that
  // takes no new records; prepares anew when the positions change.
  void insert(std::span<const std::size_t> positions, std::span<const Value> values,
              std::uint64_t tag = 0);
  // Sends the records held back to go in bulk, so that a refused one fails
  // here rather than at the commit. Throws ProviderError as insert does.
  virtual void send_held_records() {}
  // With "on", each record goes to the database alone, when it is stored,
  // also inside a transaction: a refused one fails its own insert. For
  // finding the record of a refused bulk send. Does nothing on an engine
  // that always stores records alone.
  virtual void store_one_by_one(bool /*on*/) {}

 protected:
  // Makes the engine ready to store records with values for "positions".
  virtual void prepare(std::span<const std::size_t> positions) = 0;
  // Stores one record for the positions last prepared, as insert says.
  virtual void store(std::span<const Value> values, std::uint64_t tag) = 0;

 private:
  bool prepared_ = false;
  std::vector<std::size_t> prepared_positions_;
};

// The value of one parameter of a prepared statement: a text or a whole
// number (std::monostate is NULL).
using StatementValue = std::variant<std::monostate, std::string, std::int64_t>;

// A statement prepared once and run again and again with new values, so
// that the engine reads its text only once: Kadrum's own bookkeeping (the
// checkpoints of --resume) that is written with every record.
class EngineStatement {
 public:
  virtual ~EngineStatement() = default;
  // Runs the statement with "values" for its parameters, in marker order.
  // Throws ProviderError; inside a transaction, as Engine::execute does.
  // A statement prepared with a "one_row_failure" throws
  // ProviderError(one_row_failure) when it changed no row or more than one;
  // inside a short transaction (Engine::begin_short) possibly only at a
  // later call or the commit, and the transaction is then rolled back.
  virtual void run(std::span<const StatementValue> values) = 0;
  // Runs the statement, a query, with "values" for its parameters and
  // returns every row of its result, each cell as text (NULL as empty
  // text). Throws ProviderError.
  virtual std::vector<std::vector<std::string>> rows(std::span<const StatementValue> values) = 0;
};

// A lock of Kadrum's own on the database, held while the object lives.
class EngineLock {
 public:
  virtual ~EngineLock() = default;
};

// An open connection to one database.
class Engine {
 public:
  virtual ~Engine() = default;

  // Executes exactly one statement with "parameter_count" parameters, written
  // with parameter_marker, that have no value. Text after the first statement
  // is refused. Throws ProviderError; inside a transaction a failed statement
  // leaves the transaction usable, undoing only that statement.
  virtual void execute(std::string_view statement,
                       std::size_t parameter_count) = 0;
  // How the engine's SQL quotes and comments: every statement text, marker
  // scan and table-name check reads the text this way.
  virtual const SqlDialect& sql_dialect() const = 0;

  // Executes a command's statement text, its ":name" parameter markers
  // written in the engine's form first (see scan_parameter_markers).
  void execute_command(std::string_view text);

  // Prepares exactly one statement with "parameter_count" parameters,
  // written with parameter_marker; text after the first statement is
  // refused. With a "one_row_failure" (not empty) the statement is an
  // UPDATE or DELETE that must change exactly one row each time it runs
  // (see EngineStatement::run). The statement lives no longer than the
  // engine. Throws ProviderError.
  virtual std::unique_ptr<EngineStatement> prepare(std::string_view statement,
                                                   std::size_t parameter_count,
                                                   const std::string& one_row_failure) = 0;
  // Prepares a command's statement text, its ":name" parameter markers
  // written in the engine's form first (see scan_parameter_markers).
  std::unique_ptr<EngineStatement> prepare_command(std::string_view text,
                                                   const std::string& one_row_failure = {});

  // Runs one statement line (without its line end) of the recreate, as
  // the caller's statement object does; throws what the engine throws.
  using RunStatement = std::function<void(const std::string& line)>;
  // Replaces the table "name" (as typed; a name that check_statement_name
  // refuses in the engine's dialect is refused with kadrum::Error before
  // anything runs) by an
  // empty one with the three "columns" of the engine's number type, all or
  // nothing: a failed create, or a kill, leaves the old table as it was.
  // Inside the caller's transaction ("inside_transaction") the new table
  // takes the old one's place at its commit; otherwise at once, in a
  // transaction of its own. Every statement goes through "run". The
  // default drops, ignoring any failure of the drop (the table may not be
  // there), and creates, which suits engines whose drop and create are
  // transactional. Throws ProviderError.
  virtual void recreate_table(const std::string& name,
                              const std::array<std::string_view, 3>& columns,
                              bool inside_transaction, const RunStatement& run);
  // Throws ProviderError with a German message when a part of the table
  // name "name", as typed by the user (schema or table, counted in UTF-8
  // bytes), is longer than the engine allows, since the engine would cut it
  // and reach another table. Does nothing on an engine without a limit.
  virtual void check_table_name(std::string_view /*name*/) {}
  // Holds, until the engine closes, a lock keyed by the table "name" that
  // makes another Kadrum asking for the same lock wait: two recreates of
  // one table at once would drop each other's records. Inside a
  // transaction the engine's own locks do that already. Throws
  // ProviderError, and StopRequested when a stop ends the wait. Does
  // nothing on an engine that needs no such lock.
  virtual void hold_recreate_lock(std::string_view /*name*/) {}
  // Takes the lock "key" of Kadrum's own (any text) on the database without
  // waiting, and returns it; null when another connection holds it. The
  // key names what is locked ("resume", a table, a file), so that two runs
  // on other things never wait for each other; a hash of it may stand for
  // it, so that now and then two keys share one lock. Throws ProviderError.
  // An engine without such locks returns a lock that holds nothing.
  virtual std::unique_ptr<EngineLock> try_lock(std::string_view key);
  // The name under which Kadrum keeps its bookkeeping of the table "name"
  // as typed: the catalogue's name of the table the name reaches, with its
  // schema only when that is not the connection's default, so that "t",
  // "T" and "main.t" on SQLite are one table; "name" itself when no such
  // table is found. Throws ProviderError.
  virtual std::string table_key(std::string_view name) { return std::string(name); }
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
  // does nothing without a transaction. commit throws CommitOutcomeUnknown
  // when the connection broke after the commit was sent.
  virtual void begin() = 0;
  // As begin, for a transaction that holds one record or a few and Kadrum's
  // bookkeeping, committed a moment later: an engine that streams a long
  // transaction's records in bulk sends these as single statements, and may
  // hold them back to send them with the commit in one go; a statement or
  // record refused then fails a later call or the commit instead, and the
  // transaction can only be rolled back.
  virtual void begin_short() { begin(); }
  virtual void commit() = 0;
  virtual void rollback() noexcept = 0;

  // Throws ProviderError when the database written to can no longer be
  // reached by the name it was opened with (its file deleted, renamed or
  // replaced meanwhile), so that records stored in it are not reported as
  // kept. Does nothing where the engine has no such notion.
  virtual void check_still_reachable() const {}

  // Inside the caller's transaction: sets the savepoint "name" (Kadrum's
  // own fixed name), releases it, or undoes everything since it and keeps
  // it. A record held back for a bulk send belongs to what follows the
  // last call. Each throws ProviderError. The default runs the SQL
  // statements.
  virtual void set_savepoint(std::string_view name);
  virtual void release_savepoint(std::string_view name);
  virtual void roll_back_to_savepoint(std::string_view name);
  // False where a savepoint does not last beyond the next statement (a
  // driver that wraps every statement in a savepoint of its own and
  // releases it), but every failed statement is undone alone.
  virtual bool keeps_savepoints() const { return true; }

 protected:
  // The column type of the recreated table's three number columns.
  virtual std::string_view number_type() const = 0;
  // How the engine writes parameter marker "index" (0-based) in a statement.
  virtual std::string parameter_marker(std::size_t index) const = 0;
};

// Opens the engine and database that "source" names (read_data_source
// chose the engine). Throws ProviderError with a German description when
// the data source is unusable.
std::unique_ptr<Engine> open_engine(const DataSource& source);
// The engine of the data source that "connection_string" holds
// (connection_data_source); throws also when that is refused.
std::unique_ptr<Engine> open_engine(std::string_view connection_string);

// Creates the empty database that "source" names when it does not exist
// yet and returns true; returns false, changing nothing, when it exists.
// Throws ProviderError when it cannot be created.
bool create_database(const DataSource& source);
// The same for a data source as typed (read_data_source); a refused one
// throws and creates nothing.
bool create_database(std::string_view data_source);

}  // namespace kadrum
