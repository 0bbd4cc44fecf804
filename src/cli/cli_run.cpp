#include "cli/cli_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "db/database_file.h"
#include "actions/db_connect.h"
#include "convert/locale_formats.h"
#include "actions/row_append.h"
#include "cli/progress_display.h"
#include "cli/row_printer.h"

namespace kadrum {

void run_preview(const RunSettings& settings, ImportProgress& progress) {
  RowPrinter printer(STDOUT_FILENO);
  import_run(settings, [&printer](const Row& row) { printer.print(row); },
             &progress);
  printer.flush();
}

void run_import(RunSettings& settings, bool create_database,
                ImportProgress& progress) {
  const auto start = std::chrono::steady_clock::now();
  if (create_database && !settings.dbpath.empty() && settings.dbpath != "?")
    create_database_file(settings.dbpath);

  DatabaseObjects db;
  db_connect(settings, db);

  const LocaleFormats& formats = locale_formats();
  std::uint64_t stored = 0;
  {
    ProgressDisplay display(STDERR_FILENO);
    import_run(settings,
               [&](const Row& row) {
                 append_row(db.itab, row, formats);
                 display.record_stored(++stored);
               },
               &progress);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%llu Datensätze in %.2f s gespeichert\n",
               static_cast<unsigned long long>(stored), seconds);
}

}  // namespace kadrum
