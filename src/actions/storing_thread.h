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
#include <vector>

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

// The rows of a run in one transaction the caller holds: converted on the
// calling thread and stored by a StoringThread, so that reading and
// converting the next lines overlap with the engine's work on the records
// before. "stop" is called on both threads before each record, "stored" on
// the second one after it.
class StoringThreadSink final : public RecordSink {
 public:
  // Reads "itab"'s fields now, once: the converting side never touches
  // itab while the storing side works on it.
  StoringThreadSink(Table& itab, StoredNotice stored, StopCheck stop);
  // Throws as append_row does for a table that takes no records, and what
  // StoringThread::add throws.
  void take(const Row& row, std::uint64_t line) override;
  void finish(ImportProgress& at) override { storing_.finish(at); }

 private:
  Table& itab_;
  const bool takes_records_;
  const std::vector<EngineField> fields_;
  const LocaleFormats& formats_;
  StopCheck stop_;
  StoringThread storing_;  // last: ends before the members it uses
};

}  // namespace kadrum
