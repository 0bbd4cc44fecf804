// A second thread that stores converted records while the calling thread
// reads and converts the next lines, so that the two overlap: the store of
// a run in one transaction, where no record needs to wait for the one
// before it to commit.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <thread>

#include "actions/go.h"
#include "actions/record_hand_over.h"
#include "convert/locale_formats.h"
#include "db/table.h"
#include "import/import_run.h"

namespace kadrum {

class StoringThread {
 public:
  // Thrown by add when the storing side has stopped on a failure, which
  // finish then throws.
  struct Stopped {};

  // Starts the second thread, which stores into "itab" (open, taking new
  // records): from now until finish only that thread touches it. "stored"
  // and "stop" are called there, "stop" before each record, "stored" after.
  StoringThread(Table& itab, StoredNotice stored, StopCheck stop);
  // Stops the second thread, storing nothing more, and waits for it.
  ~StoringThread();
  StoringThread(const StoringThread&) = delete;
  StoringThread& operator=(const StoringThread&) = delete;

  // Converts "row", the data line "line", by "fields" and queues it. Throws
  // what convert_row throws (nothing is queued then), and Stopped.
  void add(std::span<const EngineField> fields, const Row& row, const LocaleFormats& formats,
           std::uint64_t line);
  // Hands on the records queued and waits until the second thread has
  // stored them and ended. Throws its failure, "at" then naming the line
  // of the record it met, or none when the server ended the statement or
  // the connection. Call once, also after a failure of the reading
  // side: a record before the failing line that the database refuses is
  // the failure to report.
  void finish(ImportProgress& at);

 private:
  void store_blocks();
  void hand_on();

  Table& itab_;
  StoredNotice stored_;
  StopCheck stop_;
  RecordHandOver hand_over_;
  std::optional<RecordBlock> block_;  // being filled by the calling thread
  std::exception_ptr error_;          // the storing side's failure
  std::uint64_t error_line_ = 0;
  bool finished_ = false;
  std::jthread thread_;  // last: ends before the members it uses
};

}  // namespace kadrum
