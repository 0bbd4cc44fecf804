#include "actions/go.h"

#include "actions/row_append.h"
#include "base/stop_signal.h"
#include "convert/locale_formats.h"
#include "db/transaction.h"

namespace kadrum {

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
                                       const StoredNotice& stored) {
  open_connection(settings, db);
  Transaction transaction(db.access_con.engine());
  open_target_table(settings, db, true);
  go(settings, file, db.itab, progress, stored);
  // A stop requested while the input ended is still a stop: nothing of a
  // partial run may be committed.
  check_stop_request();
  transaction.commit();
}

}  // namespace kadrum
