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
#include "actions/record_log.h"
#include "convert/locale_formats.h"
#include "db/table.h"
#include "import/import_run.h"

namespace kadrum {

// What a storing side that keeps rejects needs: the run's rejects, offered
// each record the database refuses (on the storing thread), how a reject
// row is written there, and the engine whose savepoints undo a block of
// records that held a refused one.
struct StoringRejects {
  LineRejects& rejects;
  std::function<void(const RejectedLine& line, const std::string& reason)> write;
  Engine& engine;
};

class StoringThread {
 public:
  // Thrown by add when the storing side has stopped on a failure, which
  // finish then throws.
  struct Stopped {};

  // Starts the second thread, which stores into "itab" (open, taking new
  // records): from now until finish only that thread touches it. "stored"
  // and "stop" are called there, "stop" before each record, "stored" after.
  // With "rejects", the records are stored behind savepoints, many blocks
  // each; when the database refuses one, the records behind its savepoint
  // are undone and stored again in parts, a part refused again record by
  // record, each behind a savepoint of its own, and a refused record's line
  // is offered to the rejects; the others are stored.
  StoringThread(Table& itab, StoredNotice stored, StopCheck stop,
                const StoringRejects* rejects = nullptr);
  // Stops the second thread, storing nothing more, and waits for it.
  ~StoringThread();
  StoringThread(const StoringThread&) = delete;
  StoringThread& operator=(const StoringThread&) = delete;

  // Converts "row", the data line "line", by "fields" and queues it. Throws
  // what convert_row throws (nothing is queued then), and Stopped.
  void add(std::span<const EngineField> fields, const Row& row, const LocaleFormats& formats,
           std::uint64_t line, std::uint64_t start = 0, std::string_view text = {});
  // Queues the reject of "line", refused on the converting side with
  // "reason", to be written in its place among the records. Throws
  // Stopped.
  void add_reject(const RejectedLine& line, const std::string& reason);
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
  // Stores "block" keeping rejects (see the constructor) into the chunk of
  // records behind one savepoint, and gives it back; "count" counts the
  // records stored, "line" names the record being stored.
  void store_keeping_rejects(RecordBlock block, std::uint64_t& count, std::uint64_t& line);
  // Sends the chunk's records and writes its rejects, or, when the
  // database refused one, undoes the chunk and stores it again in parts.
  void finish_chunk(std::uint64_t& count, std::uint64_t& line);
  // Stores "part" of a chunk undone behind a savepoint of its own, or, when
  // the database refuses one of its records, one by one.
  void store_part(std::span<const ConvertedRecord> part, std::uint64_t& count,
                  std::uint64_t& line);
  // Stores "record" alone, behind a savepoint of its own when "savepoint",
  // or writes its reject; a refused one is offered to the rejects.
  void store_one_by_one(const ConvertedRecord& record, std::uint64_t& count, std::uint64_t& line,
                        bool savepoint);
  // One record alone; false when it was refused and kept as a reject.
  bool store_alone(const ConvertedRecord& record, bool savepoint);
  void write_reject(const ConvertedRecord& record);

  Table& itab_;
  StoredNotice stored_;
  StopCheck stop_;
  const StoringRejects* rejects_;
  RecordLog chunk_;  // stored behind the savepoint, kept to store again
  ConvertedRecord replayed_;  // a record of the chunk read back
  RecordBlock part_;          // records of an undone chunk read back
  std::uint64_t chunk_stored_ = 0;
  bool chunk_failed_ = false;
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
  StoringThreadSink(Table& itab, StoredNotice stored, StopCheck stop,
                    const StoringRejects* rejects = nullptr);
  // Throws as append_row does for a table that takes no records, and what
  // StoringThread::add throws.
  void take(const Row& row, std::uint64_t line) override;
  // With rejects, the line's text goes along with its record.
  void take_line(const Row& row, const ImportProgress& at) override;
  // See StoringThread::add_reject.
  void add_reject(const RejectedLine& line, const std::string& reason) {
    storing_.add_reject(line, reason);
  }
  void finish(ImportProgress& at) override { storing_.finish(at); }

 private:
  Table& itab_;
  const bool takes_records_;
  const std::vector<EngineField> fields_;
  const LocaleFormats& formats_;
  StopCheck stop_;
  const bool keeps_rejects_;
  StoringThread storing_;  // last: ends before the members it uses
};

}  // namespace kadrum
