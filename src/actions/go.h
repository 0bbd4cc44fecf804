// The "go" action: the rows of the import run (import/import_run.h)
// appended to the open table. The ways of storing differ only in the sink
// the one loop hands the rows to: one commit per record (AppendingSink), or
// a second thread inside the caller's transaction (StoringThreadSink, in
// actions/storing_thread.h); --resume adds its checkpoint (resume_run.h).
#pragma once

#include <cstdint>
#include <functional>

#include "base/run_settings.h"
#include "actions/db_connect.h"
#include "convert/locale_formats.h"
#include "db/table.h"
#include "import/import_run.h"

namespace kadrum {

// Called after each stored record with the number stored so far.
using StoredNotice = std::function<void(std::uint64_t stored)>;

// Throws to end a run from outside (a signal, say); called often enough that
// the run ends soon after it would throw.
using StopCheck = std::function<void()>;

// Where the rows of a run go.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Stores or queues "row", the file's data line "line". Throws with the
  // German message of its failure.
  virtual void take(const Row& row, std::uint64_t line) = 0;
  // As take, for the row of the data line "at" stands at (its number, text
  // and start), for a sink that needs more of the line than its number.
  virtual void take_line(const Row& row, const ImportProgress& at) { take(row, at.line); }
  // After the last row, and also after a failure of the reading side:
  // waits for what was queued. Throws its failure; "at" then names the line
  // of the record it met.
  virtual void finish(ImportProgress& /*at*/) {}
};

// Each row one new record of "itab", converted with the current locale
// formats and committed at once unless the caller holds a transaction;
// "stored" after each. With "own_transactions", each record is stored in a
// short transaction of its own on that engine, so that a record the
// database would keep changed (a value cut to fit) is undone with its
// failure instead.
class AppendingSink final : public RecordSink {
 public:
  explicit AppendingSink(Table& itab, StoredNotice stored = {},
                         Engine* own_transactions = nullptr);
  void take(const Row& row, std::uint64_t line) override;

 private:
  Table& itab_;
  StoredNotice stored_;
  Engine* own_transactions_;
  const LocaleFormats& formats_;
  std::uint64_t count_ = 0;
};

// Reads "file", opened by open_text_file, with "settings" and hands the row
// of each data line to "sink", in file order, then finishes the sink. Throws
// with the German message of the first failure: of a failure of the reading
// side and one the sink finds later, the one at the earlier line of the
// file, and "progress" then names that line. What the sink stored before
// stays. "progress", when given, tells where the run stood, also after a
// failure. With "rejects", a line whose row fails is offered to it and the
// run goes on when it takes the line (see LineRejects).
void go(const RunSettings& settings, ByteSource& file, RecordSink& sink,
        ImportProgress* progress = nullptr, LineRejects* rejects = nullptr);

class TransactionRejects;

// "db connect" and "go" as one transaction: on success every record and the
// recreated table become visible at once; on any error nothing of the run
// stays and the table is as it was before. Reads "file", opened by
// open_text_file. Throws what those actions throw, and StopRequested when
// a stop was requested before the commit began; of several failures, the
// one at the earliest line of the file, and "progress" then names that line.
// Reading and converting run on the calling thread, storing on a second one
// that ends before this returns; "stored" is called on that second thread,
// "stop" on both, before each record. With "rejects", a line whose record
// fails is kept as a reject in the same transaction and the run goes on.
void connect_and_go_in_one_transaction(RunSettings& settings, DatabaseObjects& db,
                                       ByteSource& file, ImportProgress* progress = nullptr,
                                       const StoredNotice& stored = {},
                                       const StopCheck& stop = {},
                                       TransactionRejects* rejects = nullptr);

}  // namespace kadrum
