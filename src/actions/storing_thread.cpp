#include "actions/storing_thread.h"

#include <utility>

#include "actions/row_append.h"
#include "actions/rejects.h"
#include "base/provider_error.h"

namespace kadrum {

namespace {

// Each savepoint ends a COPY, and the next COPY waits for the server to
// finish the one before and takes buffers of its own anew: one savepoint
// covers up to this many records, kept in the log to store them again one
// by one when the database refuses one, and up to this many bytes of them
// (a line's text takes up to 4 KB).
constexpr std::size_t kChunkRecords = 65536;
constexpr std::size_t kChunkBytes = std::size_t{16} << 20;

constexpr std::string_view kBlockSavepoint = "kadrum_block_rejects";
constexpr std::string_view kPartSavepoint = "kadrum_part_rejects";
constexpr std::string_view kRecordSavepoint = "kadrum_record_rejects";

}  // namespace

StoringThread::StoringThread(Table& itab, StoredNotice stored, StopCheck stop,
                             const StoringRejects* rejects)
    : itab_(itab),
      stored_(std::move(stored)),
      stop_(std::move(stop)),
      rejects_(rejects),
      hand_over_(kHandOverBlocks, kHandOverBlockRecords),
      thread_([this] { store_blocks(); }) {}

StoringThread::~StoringThread() {
  if (!finished_) hand_over_.stop();
}

void StoringThread::store_blocks() {
  std::uint64_t count = 0;
  std::uint64_t line = 0;
  try {
    while (std::optional<RecordBlock> block = hand_over_.take_full()) {
      if (rejects_) {
        store_keeping_rejects(std::move(*block), count, line);
        continue;
      }
      for (ConvertedRecord& record : *block) {
        line = record.line;
        if (stop_) stop_();
        store_row(itab_, record.values, record.line);
        if (stored_) stored_(++count);
      }
      hand_over_.give_back(std::move(*block));
    }
    if (rejects_) finish_chunk(count, line);
    // Records the engine holds back for a bulk send are sent now, not at
    // the commit: a refused one is then a failure of the run, reported at
    // its line and before a later failure of the reading side.
    itab_.send_held_records();
  } catch (const ProviderError& error) {
    // A record refused in a bulk send is named by the line it came with,
    // not by the line being stored when the send happened.
    error_ = std::current_exception();
    error_line_ = error.stopped_by_server() ? 0 : error.record() ? error.record() : line;
    hand_over_.stop();
  } catch (...) {
    error_ = std::current_exception();
    error_line_ = line;
    hand_over_.stop();
  }
}

void StoringThread::write_reject(const ConvertedRecord& record) {
  rejects_->write(RejectedLine{record.line, record.start, 0, record.text(), record.cut},
                  record.reason);
}

bool StoringThread::store_alone(const ConvertedRecord& record, bool savepoint) {
  Engine& engine = rejects_->engine;
  if (savepoint) engine.set_savepoint(kRecordSavepoint);
  try {
    store_row(itab_, record.values, record.line);
    itab_.send_held_records();
    if (savepoint) engine.release_savepoint(kRecordSavepoint);
    return true;
  } catch (const std::exception& error) {
    if (!is_line_fault(error)) throw;
    if (savepoint) {
      engine.roll_back_to_savepoint(kRecordSavepoint);
      engine.release_savepoint(kRecordSavepoint);
    }
    if (!rejects_->rejects.reject(RejectedLine{record.line, record.start, 0, record.text(), false},
                                  error))
      throw;
    return false;
  }
}

void StoringThread::store_one_by_one(const ConvertedRecord& record, std::uint64_t& count,
                                     std::uint64_t& line, bool savepoint) {
  line = record.line;
  if (record.rejected) {
    write_reject(record);
    return;
  }
  if (stop_) stop_();
  if (store_alone(record, savepoint) && stored_) stored_(++count);
}

void StoringThread::store_keeping_rejects(RecordBlock block, std::uint64_t& count,
                                          std::uint64_t& line) {
  Engine& engine = rejects_->engine;
  // Without savepoints that last, only records stored one by one, each
  // undone alone when refused, keep the others.
  if (!engine.keeps_savepoints()) {
    itab_.store_one_by_one(true);
    for (const ConvertedRecord& record : block) store_one_by_one(record, count, line, false);
    itab_.store_one_by_one(false);
    hand_over_.give_back(std::move(block));
    return;
  }
  if (chunk_.records() == 0) {
    // Its room at once: grown step by step, the log would copy itself and
    // touch each new page twice.
    chunk_.reserve(kChunkBytes);
    engine.set_savepoint(kBlockSavepoint);
    chunk_stored_ = 0;
    chunk_failed_ = false;
  }
  if (!chunk_failed_) {
    try {
      for (const ConvertedRecord& record : block) {
        line = record.line;
        if (record.rejected) continue;  // written at the chunk's end
        if (stop_) stop_();
        store_row(itab_, record.values, record.line);
        ++chunk_stored_;
      }
    } catch (const std::exception& error) {
      if (!is_line_fault(error)) throw;
      chunk_failed_ = true;
    }
  }
  // The block goes back to the reading side at once: the log keeps what
  // the chunk needs.
  for (const ConvertedRecord& record : block) chunk_.add(record);
  hand_over_.give_back(std::move(block));
  if (chunk_failed_ || chunk_.records() >= kChunkRecords || chunk_.bytes() >= kChunkBytes)
    finish_chunk(count, line);
}

void StoringThread::finish_chunk(std::uint64_t& count, std::uint64_t& line) {
  if (chunk_.records() == 0) return;
  Engine& engine = rejects_->engine;
  if (!chunk_failed_) {
    try {
      // A bulk send refuses its records only here. The rejects go after
      // the records: written between them they would end every COPY.
      itab_.send_held_records();
      if (chunk_.rejected() > 0) {
        RecordLog::Reader reader(chunk_);
        while (reader.next(replayed_))
          if (replayed_.rejected) {
            line = replayed_.line;
            write_reject(replayed_);
          }
      }
      engine.release_savepoint(kBlockSavepoint);
      for (std::uint64_t i = 0; i < chunk_stored_; ++i)
        if (stored_) stored_(++count);
    } catch (const std::exception& error) {
      if (!is_line_fault(error)) throw;
      chunk_failed_ = true;
    }
  }
  if (chunk_failed_) {
    // The chunk again, in parts of a block each behind a savepoint of its
    // own, still in bulk: only a part the database refuses again is stored
    // one by one, which tells the refused record; every other record of
    // the chunk is stored.
    engine.roll_back_to_savepoint(kBlockSavepoint);
    RecordLog::Reader reader(chunk_);
    for (;;) {
      std::size_t size = 0;
      for (; size < kHandOverBlockRecords; ++size) {
        if (size == part_.size()) part_.emplace_back();
        if (!reader.next(part_[size])) break;
      }
      if (size == 0) break;
      store_part(std::span(part_).first(size), count, line);
    }
    engine.release_savepoint(kBlockSavepoint);
  }
  chunk_.clear();
  chunk_failed_ = false;
}

void StoringThread::store_part(std::span<const ConvertedRecord> part, std::uint64_t& count,
                               std::uint64_t& line) {
  Engine& engine = rejects_->engine;
  engine.set_savepoint(kPartSavepoint);
  std::uint64_t stored = 0;
  try {
    for (const ConvertedRecord& record : part) {
      line = record.line;
      if (record.rejected) continue;
      if (stop_) stop_();
      store_row(itab_, record.values, record.line);
      ++stored;
    }
    itab_.send_held_records();
    for (const ConvertedRecord& record : part)
      if (record.rejected) {
        line = record.line;
        write_reject(record);
      }
    engine.release_savepoint(kPartSavepoint);
    for (std::uint64_t i = 0; i < stored; ++i)
      if (stored_) stored_(++count);
    return;
  } catch (const std::exception& error) {
    if (!is_line_fault(error)) throw;
  }
  engine.roll_back_to_savepoint(kPartSavepoint);
  itab_.store_one_by_one(true);
  for (const ConvertedRecord& record : part) store_one_by_one(record, count, line, true);
  itab_.store_one_by_one(false);
  engine.release_savepoint(kPartSavepoint);
}

void StoringThread::add_reject(const RejectedLine& line, const std::string& reason) {
  if (!block_ && !(block_ = hand_over_.take_empty())) throw Stopped{};
  ConvertedRecord& record = block_->emplace_back();
  record.line = line.line;
  record.start = line.byte_offset;
  record.set_text(line.text.substr(0, kRejectTextBytes));
  record.rejected = true;
  record.cut = line.cut || line.text.size() > kRejectTextBytes;
  record.reason = reason;
  if (block_->size() == hand_over_.block_records()) hand_on();
}

void StoringThread::hand_on() {
  if (block_ && !block_->empty()) hand_over_.hand_full(std::move(*block_));
  block_.reset();
}

void StoringThread::add(std::span<const EngineField> fields, const Row& row,
                        const LocaleFormats& formats, std::uint64_t line, std::uint64_t start,
                        std::string_view text) {
  if (!block_ && !(block_ = hand_over_.take_empty())) throw Stopped{};
  ConvertedRecord& record = block_->emplace_back();
  record.line = line;
  if (rejects_) {
    // Blocks come back for reuse: the text's room stays from line to line.
    record.start = start;
    record.set_text(text.substr(0, kRejectTextBytes + 1));
    record.rejected = false;
  }
  try {
    convert_row(fields, row, formats, record.values);
  } catch (...) {
    block_->pop_back();
    throw;
  }
  if (block_->size() == hand_over_.block_records()) hand_on();
}

void StoringThread::finish(ImportProgress& at) {
  if (finished_) return;
  hand_on();
  hand_over_.finish();
  finished_ = true;
  thread_.join();
  if (error_) {
    // A stop from the server's side names no line: it is no record's fault.
    if (error_line_ != 0) at.line = error_line_;
    at.in_data_line = error_line_ != 0;
    std::rethrow_exception(error_);
  }
}

StoringThreadSink::StoringThreadSink(Table& itab, StoredNotice stored, StopCheck stop,
                                     const StoringRejects* rejects)
    : itab_(itab),
      takes_records_(itab.is_open() && itab.supports_update()),
      fields_(itab.is_open() ? itab.fields() : std::vector<EngineField>{}),
      formats_(locale_formats()),
      stop_(stop),
      keeps_rejects_(rejects != nullptr),
      storing_(itab, std::move(stored), std::move(stop), rejects) {}

void StoringThreadSink::take_line(const Row& row, const ImportProgress& at) {
  if (!keeps_rejects_) {
    take(row, at.line);
    return;
  }
  if (stop_) stop_();
  if (!takes_records_) check_takes_records(itab_);
  storing_.add(fields_, row, formats_, at.line, at.line_start, at.line_text);
}

void StoringThreadSink::take(const Row& row, std::uint64_t line) {
  if (stop_) stop_();
  // At the first row, not before: a file without data lines stores nothing
  // and fails nothing.
  if (!takes_records_) check_takes_records(itab_);
  storing_.add(fields_, row, formats_, line);
}

}  // namespace kadrum
