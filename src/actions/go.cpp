#include "actions/go.h"

#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "actions/storing_thread.h"
#include "actions/row_append.h"
#include "base/stop_signal.h"
#include "base/error.h"
#include "base/provider_error.h"
#include "base/messages.h"
#include "convert/locale_formats.h"
#include "db/transaction.h"

namespace kadrum {

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

  StoringThread storing(itab, stored, stop);
  std::exception_ptr read_error;
  try {
    import_run(
        settings, file,
        [&](const Row& row) {
          if (stop) stop();
          if (!open) throw Error(messages::for_object("itab", messages::dataset_closed));
          if (!takes_records)
            throw Error(messages::for_object("itab", messages::dataset_read_only));
          storing.add(fields, row, formats, at.line);
        },
        &at);
  } catch (...) {
    read_error = std::current_exception();
  }
  storing.finish(at);
  if (read_error) std::rethrow_exception(read_error);
}

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
  lock_for_recreate(settings, db);
  Transaction transaction(db.access_con.engine());
  open_target_table(settings, db, true);
  go_on_two_threads(settings, file, db.itab, progress, stored, stop);
  // A stop requested while the input ended is still a stop: nothing of a
  // partial run may be committed.
  check_stop_request();
  transaction.commit();
}

}  // namespace kadrum
