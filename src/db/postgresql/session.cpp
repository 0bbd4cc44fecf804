#include "db/postgresql/session.h"

#include <libpq-fe.h>
#include <sys/socket.h>

#include <string_view>
#include <utility>

#include "db/engine.h"
#include "db/postgresql/errors.h"

namespace kadrum::postgresql {

void FinishConnection::operator()(pg_conn* conn) const { PQfinish(conn); }

void ClearResult::operator()(pg_result* result) const { PQclear(result); }

void FreeCancel::operator()(pg_cancel* cancel) const { PQfreeCancel(cancel); }

Result checked(pg_conn* conn, pg_result* raw) {
  Result result(raw);
  const ExecStatusType status = PQresultStatus(raw);
  if (raw && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)) return result;
  throw result_error(conn, raw);
}

Result run(pg_conn* conn, const std::string& sql, std::span<const char* const> values) {
  return checked(conn, PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()),
                                    nullptr, values.data(), nullptr, nullptr, 0));
}

bool in_transaction(pg_conn* conn) {
  const PGTransactionStatusType status = PQtransactionStatus(conn);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

void set_savepoint(pg_conn* conn) { run(conn, "SAVEPOINT kadrum_statement"); }

void release_savepoint(pg_conn* conn) { run(conn, "RELEASE SAVEPOINT kadrum_statement"); }

void roll_back_to_savepoint(pg_conn* conn) noexcept {
  // Two statements in one simple query: both are Kadrum's own fixed text.
  PQclear(PQexec(conn,
                 "ROLLBACK TO SAVEPOINT kadrum_statement; "
                 "RELEASE SAVEPOINT kadrum_statement"));
}

namespace {

// Takes the results a finished COPY leaves, so that the connection is ready
// for the next command; returns the first.
Result finish_copy(pg_conn* conn) {
  Result first(PQgetResult(conn));
  while (pg_result* more = PQgetResult(conn)) PQclear(more);
  return first;
}

}  // namespace

Session::Session(ConnectionHandle conn)
    : conn_(std::move(conn)),
      cancel_(PQgetCancel(conn_.get())),
      // PQcancel is safe on another thread; shutting the socket down wakes a
      // wait on it at once, where closing it would not.
      stop_hook_(
          [this] {
            char reason[256];
            if (cancel_) PQcancel(cancel_.get(), reason, sizeof reason);
          },
          [this] {
            if (const int socket = PQsocket(conn_.get()); socket >= 0)
              ::shutdown(socket, SHUT_RDWR);
          }) {}

namespace {

// What the sync of a pipeline brought: the first failure among its
// commands, and the status of the last command that succeeded ("COMMIT",
// or "ROLLBACK" for the commit of a failed transaction).
struct PipelineOutcome {
  bool failed = false;
  Result failure;  // null when libpq gave no result for the failure
  std::string last_status;
};

// Sends a sync after the "commands" sent in pipeline mode, reads every
// answer up to the sync's and leaves pipeline mode. Never throws but for
// memory.
PipelineOutcome sync_pipeline(pg_conn* conn, int commands) {
  PipelineOutcome outcome;
  if (PQpipelineSync(conn) != 1) {
    outcome.failed = true;
  } else {
    // A null result ends each command's answers; more of them than
    // commands means the sync will not come (a lost connection).
    int ends = 0;
    for (;;) {
      pg_result* raw = PQgetResult(conn);
      if (!raw) {
        if (PQstatus(conn) == CONNECTION_BAD || ++ends > commands + 1) {
          outcome.failed = true;
          break;
        }
        continue;
      }
      Result result(raw);
      const ExecStatusType status = PQresultStatus(raw);
      if (status == PGRES_PIPELINE_SYNC) break;
      // Skipped after a failure: that failure is the one to report.
      if (status == PGRES_PIPELINE_ABORTED) continue;
      if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        outcome.last_status = PQcmdStatus(raw);
      } else if (!outcome.failed) {
        outcome.failed = true;
        outcome.failure = std::move(result);
      }
    }
  }
  PQexitPipelineMode(conn);
  return outcome;
}

void send_prepared(pg_conn* conn, const std::string& name, std::span<const char* const> values) {
  if (PQsendQueryPrepared(conn, name.c_str(), static_cast<int>(values.size()), values.data(),
                          nullptr, nullptr, 0) != 1)
    throw result_error(conn, nullptr);
}

void send_command(pg_conn* conn, const char* sql) {
  if (PQsendQueryParams(conn, sql, 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
    throw result_error(conn, nullptr);
}

void enter_pipeline(pg_conn* conn) {
  if (PQenterPipelineMode(conn) != 1) throw result_error(conn, nullptr);
}

}  // namespace

bool Session::in_transaction() {
  return begin_held_ || held_ > 0 || postgresql::in_transaction(conn_.get());
}

void Session::begin_short() {
  if (in_transaction()) throw ProviderError("Es läuft bereits eine Transaktion");
  short_ = true;
  begin_held_ = true;
}

std::string one_row_statement(std::string_view update) {
  return "WITH kadrum_changed AS (" + std::string(update) +
         " RETURNING 1) SELECT 1 / (count(*) = 1)::int FROM kadrum_changed";
}

namespace {

// The failure in "result": "one_row_failure" where it is the division by
// zero of a one_row_statement, the server's failure otherwise.
ProviderError failure_in(pg_conn* conn, const pg_result* result,
                         const std::string* one_row_failure) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (one_row_failure && !one_row_failure->empty() && state && std::string_view(state) == "22012")
    return ProviderError(*one_row_failure);
  return result_error(conn, result);
}

}  // namespace

ProviderError Session::held_failure(pg_conn* conn, const pg_result* result) {
  const bool one_row = std::exchange(one_row_held_, false);
  return failure_in(conn, result, one_row ? &held_one_row_failure_ : nullptr);
}

void Session::run_prepared(const std::string& name, std::span<const char* const> values,
                           const std::string& one_row_failure) {
  pg_conn* conn = conn_.get();
  if (short_) {
    // Kept from one record to the next: the checkpoint's statement is the
    // same every time.
    if (!one_row_failure.empty()) {
      if (held_one_row_failure_ != one_row_failure) held_one_row_failure_ = one_row_failure;
      one_row_held_ = true;
    }
    // A failure leaves the transaction failed, so that the commit fails as
    // well: no savepoint would make it usable, as the statements held back
    // after the failing one are skipped.
    if (held_ == 0) enter_pipeline(conn);
    ++held_;  // from here on the pipeline must be synced, whatever fails
    if (begin_held_) {
      send_command(conn, "BEGIN");
      begin_held_ = false;
      ++held_;
    }
    send_prepared(conn, name, values);
    return;
  }
  conn = command();
  if (!postgresql::in_transaction(conn)) {
    const Result result(PQexecPrepared(conn, name.c_str(), static_cast<int>(values.size()),
                                       values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      throw failure_in(conn, result.get(), &one_row_failure);
    return;
  }
  // The savepoint, the statement and the release in one round trip.
  enter_pipeline(conn);
  int sent = 0;
  PipelineOutcome outcome;
  try {
    send_command(conn, "SAVEPOINT kadrum_statement");
    ++sent;
    send_prepared(conn, name, values);
    ++sent;
    send_command(conn, "RELEASE SAVEPOINT kadrum_statement");
    ++sent;
  } catch (...) {
    sync_pipeline(conn, sent);
    throw;
  }
  outcome = sync_pipeline(conn, sent);
  if (!outcome.failed) return;
  const ProviderError failure = failure_in(conn, outcome.failure.get(), &one_row_failure);
  // Undoes the statement alone; the transaction stays usable.
  roll_back_to_savepoint(conn);
  throw failure;
}

bool Session::commit_short() {
  pg_conn* conn = conn_.get();
  short_ = false;
  if (begin_held_) {
    // Nothing was sent: there is nothing to commit.
    begin_held_ = false;
    return true;
  }
  if (held_ == 0) return false;
  int sent = held_;
  held_ = 0;
  try {
    send_command(conn, "COMMIT");
    ++sent;
  } catch (...) {
    sync_pipeline(conn, sent);
    throw;
  }
  const PipelineOutcome outcome = sync_pipeline(conn, sent);
  // Once COMMIT is sent, a broken connection says nothing of its outcome.
  if (PQstatus(conn) == CONNECTION_BAD)
    throw CommitOutcomeUnknown(described(
        "Die Verbindung zum PostgreSQL-Server ist beim Festschreiben abgebrochen; ob die "
        "Datensätze gespeichert wurden, ist unbekannt",
        one_line(PQerrorMessage(conn))));
  if (outcome.failed) throw held_failure(conn, outcome.failure.get());
  one_row_held_ = false;
  if (outcome.last_status != "COMMIT")
    throw ProviderError("Die Transaktion ist gescheitert und wurde zurückgenommen");
  return true;
}

void Session::abandon_short() noexcept {
  short_ = false;
  begin_held_ = false;
  one_row_held_ = false;
  if (held_ == 0) return;
  const int sent = held_;
  held_ = 0;
  try {
    sync_pipeline(conn_.get(), sent);
  } catch (...) {
  }
}

pg_conn* Session::command() {
  pg_conn* conn = conn_.get();
  if (held_ > 0) {
    const int sent = held_;
    held_ = 0;
    const PipelineOutcome outcome = sync_pipeline(conn, sent);
    // The transaction stays failed: see run_prepared.
    if (outcome.failed) throw held_failure(conn, outcome.failure.get());
    one_row_held_ = false;
  }
  if (begin_held_) {
    begin_held_ = false;
    run(conn, "BEGIN");
  }
  if (!copying()) return conn;
  copy_statement_.clear();
  const int ended = PQputCopyEnd(conn, nullptr);
  const Result result = finish_copy(conn);
  if (ended == 1 && result && PQresultStatus(result.get()) == PGRES_COMMAND_OK) {
    release_savepoint(conn);
    return conn;
  }
  const ProviderError failure = result_error(conn, result.get());
  // Undoes the COPY's rows alone; the transaction stays usable.
  roll_back_to_savepoint(conn);
  // The server reads the rows only now: its context says which record
  // ("COPY t, line 1234, column w1"), counted from the first of the COPY.
  const char* context = result ? PQresultErrorField(result.get(), PG_DIAG_CONTEXT) : nullptr;
  // A stop from the server's side (a shutdown, a cancel) is no fault of
  // the record it met.
  if (!context || server_side_stop(PQresultErrorField(result.get(), PG_DIAG_SQLSTATE)))
    throw failure;
  // Its SQLSTATE goes along: the record's fault stays told apart from the
  // server's.
  throw ProviderError(failure.german(),
                      trim_description(failure.engine_text()) + ") (" + one_line(context),
                      failure.code());
}

void Session::copy_row(const std::string& statement, std::string_view row,
                       std::string_view header) {
  pg_conn* conn = conn_.get();
  if (copy_statement_ != statement) {
    command();
    // The savepoint lasts as long as the COPY: no command can run inside it.
    set_savepoint(conn);
    const Result started(PQexec(conn, statement.c_str()));
    if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
      const ProviderError failure = result_error(conn, started.get());
      roll_back_to_savepoint(conn);
      throw failure;
    }
    copy_statement_ = statement;
    if (!header.empty()) copy_row(statement, header);
  }
  // libpq collects the rows and sends them in blocks of a few kilobytes;
  // only a lost connection fails here, a refused row fails the COPY's end.
  if (PQputCopyData(conn, row.data(), static_cast<int>(row.size())) != 1) {
    const ProviderError failure = result_error(conn, nullptr);
    command();  // throws the server's reason when it gave one
    throw failure;
  }
}

void Session::abandon_copy() noexcept {
  if (!copying()) return;
  copy_statement_.clear();
  PQputCopyEnd(conn_.get(), "abgebrochen");
  finish_copy(conn_.get());
}

}  // namespace kadrum::postgresql
