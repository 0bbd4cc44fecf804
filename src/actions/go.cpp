#include "actions/go.h"

#include <exception>

#include "actions/rejects.h"
#include "actions/row_append.h"
#include "actions/storing_thread.h"
#include "base/stop_signal.h"
#include "db/transaction.h"

namespace kadrum {

AppendingSink::AppendingSink(Table& itab, StoredNotice stored, Engine* own_transactions)
    : itab_(itab),
      stored_(std::move(stored)),
      own_transactions_(own_transactions),
      formats_(locale_formats()) {}

void AppendingSink::take(const Row& row, std::uint64_t /*line*/) {
  if (own_transactions_) {
    Transaction transaction(*own_transactions_, Transaction::Length::short_one);
    append_row(itab_, row, formats_);
    transaction.commit();
  } else {
    append_row(itab_, row, formats_);
  }
  if (stored_) stored_(++count_);
}

void go(const RunSettings& settings, ByteSource& file, RecordSink& sink,
        ImportProgress* progress, LineRejects* rejects) {
  ImportProgress local;
  ImportProgress& at = progress ? *progress : local;
  std::exception_ptr read_error;
  try {
    import_run(settings, file, [&](const Row& row) { sink.take_line(row, at); }, &at, rejects);
  } catch (...) {
    read_error = std::current_exception();
  }
  // A record before the failing line that the database refuses later is
  // the failure to report.
  sink.finish(at);
  if (read_error) std::rethrow_exception(read_error);
}

void connect_and_go_in_one_transaction(RunSettings& settings, DatabaseObjects& db,
                                       ByteSource& file, ImportProgress* progress,
                                       const StoredNotice& stored, const StopCheck& stop,
                                       TransactionRejects* rejects) {
  open_connection(settings, db);
  lock_for_recreate(settings, db);
  Transaction transaction(db.access_con.engine());
  open_target_table(settings, db, true);
  const StoringRejects* storing_rejects =
      rejects ? rejects->begin_file(db, settings.text_file) : nullptr;
  {
    StoringThreadSink sink(db.itab, stored, stop, storing_rejects);
    if (rejects) rejects->queue_into(&sink);
    try {
      go(settings, file, sink, progress, rejects ? &rejects->lines() : nullptr);
    } catch (...) {
      if (rejects) rejects->queue_into(nullptr);
      throw;
    }
    if (rejects) rejects->queue_into(nullptr);
  }
  // A stop requested while the input ended is still a stop: nothing of a
  // partial run may be committed.
  check_stop_request();
  transaction.commit();
}

}  // namespace kadrum
