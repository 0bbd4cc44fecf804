#include "actions/go.h"

#include <exception>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "actions/record_hand_over.h"
#include "actions/row_append.h"
#include "base/stop_signal.h"
#include "base/error.h"
#include "base/provider_error.h"
#include "base/messages.h"
#include "convert/locale_formats.h"
#include "db/transaction.h"

namespace kadrum {

namespace {

// Thrown on the converting side when the storing side has stopped the
// hand-over; the storing side's own error is the one reported.
struct HandOverStopped {};

// How the storing side ended: its error and the line of the record it
// failed on (the refused one, when the engine names it); no error when it
// stored every record handed over.
struct StoreOutcome {
  std::exception_ptr error;
  std::uint64_t line = 0;
};

void store_blocks(RecordHandOver& hand_over, Table& itab, const StoredNotice& stored,
                  const StopCheck& stop, StoreOutcome& outcome) {
  std::uint64_t count = 0;
  std::uint64_t line = 0;
  try {
    while (std::optional<RecordBlock> block = hand_over.take_full()) {
      for (ConvertedRecord& record : *block) {
        line = record.line;
        if (stop) stop();
        store_row(itab, record.values, record.line);
        if (stored) stored(++count);
      }
      hand_over.give_back(std::move(*block));
    }
    // Records the engine holds back for a bulk send are sent now, not at
    // the commit: a refused one is then a failure of the run, reported at
    // its line and before a later failure of the reading side.
    itab.send_held_records();
  } catch (const ProviderError& error) {
    // A record refused in a bulk send is named by the line it came with,
    // not by the line being stored when the send happened.
    outcome.error = std::current_exception();
    outcome.line = error.record() ? error.record() : line;
    hand_over.stop();
  } catch (...) {
    outcome.error = std::current_exception();
    outcome.line = line;
    hand_over.stop();
  }
}

// go, with the storing on a second thread, so that reading and converting
// the next lines overlap with the engine's work on the records before.
void go_on_two_threads(const RunSettings& settings, ByteSource& file, Table& itab,
                       ImportProgress* progress, const StoredNotice& stored,
                       const StopCheck& stop) {
  const LocaleFormats& formats = locale_formats();
  ImportProgress local;
  ImportProgress& at = progress ? *progress : local;
  // Read here, once: the converting side never touches itab while the
  // storing side works on it.
  const bool open = itab.is_open();
  const bool takes_records = open && itab.supports_update();
  const std::vector<EngineField> fields = open ? itab.fields() : std::vector<EngineField>{};

  RecordHandOver hand_over;
  StoreOutcome outcome;
  std::exception_ptr read_error;
  {
    std::jthread storing(
        [&] { store_blocks(hand_over, itab, stored, stop, outcome); });
    std::optional<RecordBlock> block;
    const auto hand_on = [&] {
      if (block && !block->empty()) hand_over.hand_full(std::move(*block));
      block.reset();
    };
    try {
      import_run(
          settings, file,
          [&](const Row& row) {
            if (stop) stop();
            if (!open) throw Error(messages::for_object("itab", messages::dataset_closed));
            if (!takes_records)
              throw Error(messages::for_object("itab", messages::dataset_read_only));
            if (!block && !(block = hand_over.take_empty())) throw HandOverStopped{};
            ConvertedRecord& record = block->emplace_back();
            record.line = at.line;
            try {
              convert_row(fields, row, formats, record.values);
            } catch (...) {
              block->pop_back();
              throw;
            }
            if (block->size() == hand_over.block_records()) hand_on();
          },
          &at);
    } catch (...) {
      read_error = std::current_exception();
    }
    // Also after a failure: a record before the failing line that the
    // database refuses is the failure to report, as when storing in turn.
    hand_on();
    hand_over.finish();
  }
  if (outcome.error) {
    at.line = outcome.line;
    at.in_data_line = true;
    std::rethrow_exception(outcome.error);
  }
  if (read_error) std::rethrow_exception(read_error);
}

}  // namespace

void go(const RunSettings& settings, Table& itab, ImportProgress* progress,
        const StoredNotice& stored) {
  if (progress) *progress = ImportProgress{};
  const auto file = open_text_file(settings);
  go(settings, *file, itab, progress, stored);
}

void go(const RunSettings& settings, ByteSource& file, Table& itab,
        ImportProgress* progress, const StoredNotice& stored) {
  const LocaleFormats& formats = locale_formats();
  std::uint64_t count = 0;
  import_run(settings, file,
             [&](const Row& row) {
               append_row(itab, row, formats);
               if (stored) stored(++count);
             },
             progress);
}

void connect_and_go_in_one_transaction(RunSettings& settings, DatabaseObjects& db,
                                       ByteSource& file, ImportProgress* progress,
                                       const StoredNotice& stored, const StopCheck& stop) {
  open_connection(settings, db);
  Transaction transaction(db.access_con.engine());
  open_target_table(settings, db, true);
  go_on_two_threads(settings, file, db.itab, progress, stored, stop);
  // A stop requested while the input ended is still a stop: nothing of a
  // partial run may be committed.
  check_stop_request();
  transaction.commit();
}

}  // namespace kadrum
