#include "cli/cli_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "base/error.h"
#include "base/stop_signal.h"
#include "cli/number_text.h"
#include "cli/progress_display.h"
#include "cli/row_printer.h"
#include "cli/text_file.h"
#include "db/engine.h"

namespace kadrum {

void run_preview(const RunSettings& settings, ImportProgress& progress) {
  TextFile file(settings);
  check_numbers(settings);
  RowPrinter printer(STDOUT_FILENO);
  import_run(settings, file, [&printer](const Row& row) { printer.print(row); },
             &progress);
  printer.flush();
}

void run_import(RunSettings& settings, const CliOptions& options,
                ImportProgress& progress) {
  const auto start = std::chrono::steady_clock::now();
  // With "*" the table is emptied before the first line is read: a typo
  // found only then would cost the table its rows.
  TextFile file(settings);
  check_numbers(settings);
  if (options.create_database && !settings.database_path.empty() &&
      settings.database_path != "?")
    create_database(settings.database_path);

  DatabaseObjects db;
  std::uint64_t stored = 0;
  // SIGINT and SIGTERM end the run with its message, also while it waits
  // for input or for the server: a partial load must never look like a
  // success.
  StopRequests stops;
  try {
    ProgressDisplay display(STDERR_FILENO, file);
    const auto notice = [&](std::uint64_t count) {
      stored = count;
      display.record_stored(count);
      check_stop_request();
    };
    if (options.single_transaction) {
      connect_and_go_in_one_transaction(settings, db, file, &progress, notice,
                                        check_stop_request);
    } else {
      db_connect(settings, db);
      go(settings, file, db.itab, &progress, notice);
    }
  } catch (const CommitOutcomeUnknown&) {
    throw;
  } catch (...) {
    // Whatever a stop made fail (a cancelled statement, a closed
    // connection, an ended read) is told as the stop it was.
    const std::string_view signal = stop_request();
    if (signal.empty()) throw;
    throw Error(fill_message(options.single_transaction
                                 ? "Abgebrochen durch %s; nichts wurde gespeichert"
                                 : "Abgebrochen durch %s; die Datensätze davor sind gespeichert",
                             {signal}));
  }
  // The summary promises the records are in the database the path names.
  db.access_con.engine().check_still_reachable();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const NumberFormat format = user_number_format();
  std::fprintf(stderr,
               options.single_transaction
                   ? "%s Datensätze in %s s gemeinsam in einer Transaktion gespeichert\n"
                   : "%s Datensätze in %s s gespeichert\n",
               format_count(stored, format).c_str(), format_fixed(seconds, 2, format).c_str());
}

}  // namespace kadrum
