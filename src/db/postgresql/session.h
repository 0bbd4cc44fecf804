// PostgreSQL's side of a connection: RAII wrappers around the libpq handles,
// the session the engine and its tables share, and the few calls on a
// connection that every part of the PostgreSQL engine repeats.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/provider_error.h"
#include "base/stop_signal.h"

struct pg_conn;
struct pg_result;
struct pg_cancel;

namespace kadrum::postgresql {

struct FinishConnection {
  void operator()(pg_conn* conn) const;
};
using ConnectionHandle = std::unique_ptr<pg_conn, FinishConnection>;

struct FreeCancel {
  void operator()(pg_cancel* cancel) const;
};
using CancelHandle = std::unique_ptr<pg_cancel, FreeCancel>;

// One connection and the COPY that may be running on it; the engine and its
// open tables share it, so that a table never outlives its connection and
// every command ends a running COPY first. A stop request cancels the
// statement in progress, and closes the connection under a server that
// does not answer the cancel.
class Session {
 public:
  explicit Session(ConnectionHandle conn);

  // The connection for a command: a running COPY is ended first, and what
  // a short transaction holds back (see begin_short) is sent. Throws
  // ProviderError when the server refuses the COPY's rows; they are undone
  // and the transaction stays usable. Throws the first failure of the
  // statements held back; the transaction then fails at its commit.
  pg_conn* command();
  // Begins a short transaction: a few records and statements, answered
  // together. The BEGIN and each statement run by run_prepared are held
  // back and sent in one round trip with the COMMIT (commit_short), or
  // with the next command. Records go by INSERT, never by COPY. Throws
  // ProviderError inside a transaction.
  void begin_short();
  bool short_transaction() const { return short_; }
  // True inside an explicit transaction (also a failed one, and a short
  // one whose BEGIN is still held back).
  bool in_transaction();
  // Runs the prepared statement "name" with "values" (text, null for NULL);
  // inside a transaction behind a savepoint, as guarded does, in one round
  // trip. Inside a short transaction it is held back: a refusal fails the
  // next command or the commit instead. Throws ProviderError.
  // "one_row_failure", when not empty, is the failure to throw in place of
  // the division by zero with which a statement made by one_row_statement
  // says that it changed no row or more than one.
  void run_prepared(const std::string& name, std::span<const char* const> values,
                    const std::string& one_row_failure = {});
  // Commits the short transaction with all it holds back, in one round
  // trip, and returns true; false when the BEGIN went out with another
  // command and the commit is an ordinary one. Throws as
  // PostgresEngine::commit says.
  bool commit_short();
  // Forgets what a short transaction holds back and ends its pipeline.
  // Never throws.
  void abandon_short() noexcept;
  // Sends "row" (in the format of "statement", with its line end) into the
  // COPY "statement", starting it first, followed by "header", unless it
  // runs already; another COPY is ended. The COPY runs behind a savepoint,
  // so a refused COPY leaves the transaction usable. Throws ProviderError.
  void copy_row(const std::string& statement, std::string_view row,
                std::string_view header = {});
  // Ends a running COPY without keeping its rows. Never throws.
  void abandon_copy() noexcept;
  bool copying() const { return !copy_statement_.empty(); }

 private:
  ConnectionHandle conn_;
  CancelHandle cancel_;
  StopHook stop_hook_;          // ends before the handles it uses
  std::string copy_statement_;  // empty while no COPY runs
  bool short_ = false;          // inside a transaction of begin_short
  bool begin_held_ = false;     // its BEGIN not sent yet
  int held_ = 0;                // statements sent in pipeline mode, unanswered
  std::string held_one_row_failure_;  // of the last one-row statement held back
  bool one_row_held_ = false;         // one is among the statements held back
  // The failure in "result" of the statements held back, as run_prepared
  // says; forgets the one-row statement held.
  ProviderError held_failure(pg_conn* conn, const pg_result* result);
};

// "update", an UPDATE or DELETE, as one statement that fails with a
// division by zero (SQLSTATE 22012) when it changes no row or more than
// one: inside a pipeline a count read afterwards would come after the
// COMMIT, too late to keep the transaction from committing.
std::string one_row_statement(std::string_view update);

struct ClearResult {
  void operator()(pg_result* result) const;
};
using Result = std::unique_ptr<pg_result, ClearResult>;

// Runs "sql" through the extended protocol with "values" as text parameters
// of unknown type (null for NULL); the server refuses a second statement
// there. Returns the result, or throws result_error (errors.h).
Result run(pg_conn* conn, const std::string& sql,
           std::span<const char* const> values = {});

// Throws the failure in "result" unless it is a success; returns it.
Result checked(pg_conn* conn, pg_result* result);

// True inside an explicit transaction (also a failed one).
bool in_transaction(pg_conn* conn);

// Runs "action"; inside a transaction it runs behind a savepoint, so that
// its failure undoes only what it did and leaves the transaction usable,
// as a failed statement does in SQLite.
template <class Action>
void guarded(pg_conn* conn, Action&& action);

// The savepoint calls behind guarded.
void set_savepoint(pg_conn* conn);
void release_savepoint(pg_conn* conn);
void roll_back_to_savepoint(pg_conn* conn) noexcept;

template <class Action>
void guarded(pg_conn* conn, Action&& action) {
  if (!in_transaction(conn)) {
    action();
    return;
  }
  set_savepoint(conn);
  try {
    action();
  } catch (...) {
    roll_back_to_savepoint(conn);
    throw;
  }
  release_savepoint(conn);
}

}  // namespace kadrum::postgresql
