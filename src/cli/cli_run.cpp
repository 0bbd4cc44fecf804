#include "cli/cli_run.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "actions/resume_run.h"
#include "base/error.h"
#include "cli/follow_wait.h"
#include "cli/number_text.h"
#include "cli/progress_display.h"
#include "cli/row_printer.h"
#include "cli/text_file.h"
#include "db/engine.h"
#include "db/transaction.h"

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

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void note_stop_signal(int signal) { stop_signal = signal; }

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
    if (stop_signal != 0)
      throw Error(fill_message("Abgebrochen durch %s; nichts wurde gespeichert",
                               {stop_signal == SIGINT ? "SIGINT" : "SIGTERM"}));
  }

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

}  // namespace

namespace {

// The summary line on standard error, once the records are known to be in
// the database the path names.
void summarise(DatabaseObjects& db, const CliOptions& options, std::uint64_t stored,
               std::chrono::steady_clock::time_point start) {
  db.access_con.engine().check_still_reachable();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const NumberFormat format = user_number_format();
  const std::string files =
      options.files.size() > 1 ? " aus " + format_count(options.files.size(), format) + " Dateien"
                               : std::string();
  std::fprintf(stderr,
               options.single_transaction
                   ? "%s Datensätze%s in %s s gemeinsam in einer Transaktion gespeichert\n"
                   : "%s Datensätze%s in %s s gespeichert\n",
               format_count(stored, format).c_str(), files.c_str(),
               format_fixed(seconds, 2, format).c_str());
}

// The run of many files, of --resume and of --follow: each file as its own
// run of the same settings, one after the other; in one transaction when asked.
void run_files(RunSettings& settings, const CliOptions& options, ImportProgress& progress,
               std::chrono::steady_clock::time_point start) {
  const std::vector<std::string> files =
      options.files_given ? options.files : std::vector<std::string>{settings.text_file};
  for (const std::string& name : files) {
    // Standard input has no place that a later run could come back to.
    if (options.resume && name.empty())
      throw Error("--resume und --follow brauchen eine Textdatei; die Standardeingabe hat "
                  "keinen Stand");
    // Every file opens before the table is touched, "*" or not.
    settings.text_file = name;
    TextFile probe(settings);
  }
  check_numbers(settings);
  if (options.create_database && !settings.database_path.empty() &&
      settings.database_path != "?")
    create_database(settings.database_path);

  DatabaseObjects db;
  std::uint64_t stored = 0;
  if (!options.resume) {
    std::optional<StopSignals> signals;
    std::optional<Transaction> transaction;
    open_connection(settings, db);
    if (options.single_transaction) {
      signals.emplace();
      transaction.emplace(db.access_con.engine());
    }
    open_target_table(settings, db, options.single_transaction);
    for (const std::string& name : files) {
      settings.text_file = name;
      TextFile file(settings);
      ProgressDisplay display(STDERR_FILENO, file);
      const std::uint64_t before = stored;
      go(settings, file, db.itab, &progress, [&](std::uint64_t count) {
        if (signals) StopSignals::check();
        stored = before + count;
        display.record_stored(stored);
      });
    }
    if (transaction) transaction->commit();
    summarise(db, options, stored, start);
    return;
  }

  ResumeHooks hooks;
  hooks.notice = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  open_connection(settings, db);
  if (options.single_transaction) {
    StopSignals signals;
    hooks.stored = [&](std::uint64_t count) {
      StopSignals::check();
      stored = count;
    };
    Transaction transaction(db.access_con.engine());
    open_target_table(settings, db, true);
    if (settings.recreate) clear_checkpoints(db, settings.table_name);
    ResumeRun run(settings, db, true, progress, hooks);
    for (const std::string& name : files) {
      settings.text_file = name;
      run.load(name);
    }
    transaction.commit();
  } else if (options.follow) {
    FollowStop stop;
    FileWatch watch;
    hooks.stored = [&](std::uint64_t count) { stored = count; };
    hooks.stop_requested = [] { return FollowStop::requested(); };
    hooks.wait_for_change = [&watch](const std::string& path) { watch.wait(path); };
    ResumeRun run(settings, db, false, progress, hooks);
    settings.text_file = files.front();
    run.follow(files.front());
    run.finish();
  } else {
    hooks.stored = [&](std::uint64_t count) { stored = count; };
    ResumeRun run(settings, db, false, progress, hooks);
    for (const std::string& name : files) {
      settings.text_file = name;
      run.load(name);
    }
    run.finish();
  }
  summarise(db, options, stored, start);
}

}  // namespace

void run_import(RunSettings& settings, const CliOptions& options,
                ImportProgress& progress) {
  const auto start = std::chrono::steady_clock::now();
  if (options.resume || options.files_given) {
    run_files(settings, options, progress, start);
    return;
  }
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
      connect_and_go_in_one_transaction(settings, db, file, &progress, [&](std::uint64_t count) {
        StopSignals::check();
        notice(count);
      });
    } else {
      db_connect(settings, db);
      go(settings, file, db.itab, &progress, notice);
    }
  }
  summarise(db, options, stored, start);
}

}  // namespace kadrum
