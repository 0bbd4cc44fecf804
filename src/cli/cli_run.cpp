#include "cli/cli_run.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "base/error.h"
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

namespace {

// Atomic, not only volatile: the import reads it on two threads, and the
// signal may arrive on either. A lock-free atomic is safe in a handler.
std::atomic<int> stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void note_stop_signal(int signal) { stop_signal.store(signal); }

// While it lives, SIGINT and SIGTERM only ask the run to stop at the next
// record, so that its transaction is rolled back and the reason is told.
class StopSignals {
 public:
  StopSignals() {
    struct sigaction action {};
    action.sa_handler = note_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }
  static void check() {
    const int signal = stop_signal.load();
    if (signal != 0)
      throw Error(fill_message("Abgebrochen durch %s; nichts wurde gespeichert",
                               {signal == SIGINT ? "SIGINT" : "SIGTERM"}));
  }

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

}  // namespace

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
  {
    ProgressDisplay display(STDERR_FILENO, file);
    const auto notice = [&](std::uint64_t count) {
      stored = count;
      display.record_stored(count);
    };
    if (options.single_transaction) {
      StopSignals signals;
      connect_and_go_in_one_transaction(settings, db, file, &progress, notice,
                                        &StopSignals::check);
    } else {
      db_connect(settings, db);
      go(settings, file, db.itab, &progress, notice);
    }
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
