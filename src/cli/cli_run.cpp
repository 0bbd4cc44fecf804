#include "cli/cli_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "db/engine.h"
#include "cli/progress_display.h"
#include "cli/row_printer.h"

namespace kadrum {

void run_preview(const RunSettings& settings, ImportProgress& progress) {
  const auto file = open_text_file(settings);
  check_numbers(settings);
  RowPrinter printer(STDOUT_FILENO);
  import_run(settings, *file, [&printer](const Row& row) { printer.print(row); },
             &progress);
  printer.flush();
}

void run_import(RunSettings& settings, bool create_missing,
                ImportProgress& progress) {
  const auto start = std::chrono::steady_clock::now();
  // With "*" the table is emptied before the first line is read: a typo
  // found only then would cost the table its rows.
  const auto file = open_text_file(settings);
  check_numbers(settings);
  if (create_missing && !settings.database_path.empty() && settings.database_path != "?")
    create_database(settings.database_path);

  DatabaseObjects db;
  db_connect(settings, db);

  std::uint64_t stored = 0;
  {
    ProgressDisplay display(STDERR_FILENO);
    go(settings, *file, db.itab, &progress, [&](std::uint64_t count) {
      stored = count;
      display.record_stored(count);
    });
  }
  // The summary promises the records are in the database the path names.
  db.access_con.engine().check_still_reachable();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%llu Datensätze in %.2f s gespeichert\n",
               static_cast<unsigned long long>(stored), seconds);
}

}  // namespace kadrum
