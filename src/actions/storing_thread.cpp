#include "actions/storing_thread.h"

#include <utility>

#include "actions/row_append.h"
#include "base/provider_error.h"

namespace kadrum {

StoringThread::StoringThread(Table& itab, StoredNotice stored, StopCheck stop)
    : itab_(itab),
      stored_(std::move(stored)),
      stop_(std::move(stop)),
      thread_([this] { store_blocks(); }) {}

StoringThread::~StoringThread() {
  if (!finished_) hand_over_.stop();
}

void StoringThread::store_blocks() {
  std::uint64_t count = 0;
  std::uint64_t line = 0;
  try {
    while (std::optional<RecordBlock> block = hand_over_.take_full()) {
      for (ConvertedRecord& record : *block) {
        line = record.line;
        if (stop_) stop_();
        store_row(itab_, record.values, record.line);
        if (stored_) stored_(++count);
      }
      hand_over_.give_back(std::move(*block));
    }
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

void StoringThread::hand_on() {
  if (block_ && !block_->empty()) hand_over_.hand_full(std::move(*block_));
  block_.reset();
}

void StoringThread::add(std::span<const EngineField> fields, const Row& row,
                        const LocaleFormats& formats, std::uint64_t line) {
  if (!block_ && !(block_ = hand_over_.take_empty())) throw Stopped{};
  ConvertedRecord& record = block_->emplace_back();
  record.line = line;
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

StoringThreadSink::StoringThreadSink(Table& itab, StoredNotice stored, StopCheck stop)
    : itab_(itab),
      takes_records_(itab.is_open() && itab.supports_update()),
      fields_(itab.is_open() ? itab.fields() : std::vector<EngineField>{}),
      formats_(locale_formats()),
      stop_(stop),
      storing_(itab, std::move(stored), std::move(stop)) {}

void StoringThreadSink::take(const Row& row, std::uint64_t line) {
  if (stop_) stop_();
  // At the first row, not before: a file without data lines stores nothing
  // and fails nothing.
  if (!takes_records_) check_takes_records(itab_);
  storing_.add(fields_, row, formats_, line);
}

}  // namespace kadrum
