#include "cli/cli_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "actions/resume_run.h"
#include "actions/storing_thread.h"
#include "base/console.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/stop_signal.h"
#include "cli/file_patterns.h"
#include "cli/folder_follow.h"
#include "cli/follow_wait.h"
#include "cli/number_text.h"
#include "cli/progress_display.h"
#include "cli/row_printer.h"
#include "cli/status_file.h"
#include "cli/run_rejects.h"
#include "cli/text_file.h"
#include "db/engine.h"
#include "db/transaction.h"

namespace kadrum {

void run_preview(RunSettings& settings, const CliOptions& options, ImportProgress& progress) {
  // The files after "--" are read as the import reads them: one after the
  // other, each with its header lines.
  const std::vector<std::string> files = options.files_given
                                             ? expand_file_arguments(options.files, false)
                                             : std::vector<std::string>{settings.text_file};
  RowPrinter printer(STDOUT_FILENO);
  for (std::size_t i = 0; i < files.size(); ++i) {
    settings.text_file = files[i];
    TextFile file(settings);
    if (i == 0) check_numbers(settings);
    import_run(settings, file, [&printer](const Row& row) { printer.print(row); }, &progress);
  }
  printer.flush();
}

namespace {

// Converts the numbers and, when asked, creates the database: both before
// the table is touched.
void check_and_create(const RunSettings& settings, const CliOptions& options) {
  check_numbers(settings);
  if (options.create_database && !settings.database_path.empty() &&
      settings.database_path != "?")
    create_database(read_data_source(settings.database_path));
}

// The files of a --follow over many files, for --json: the follower
// counts them, as the progress is shared by all of them.
void report_followed_files(const std::vector<FollowedFile>& files, RunReport& report) {
  report.files.clear();
  for (const FollowedFile& followed : files) {
    FileReport& file = report.files.emplace_back();
    file.path = followed.path;
    file.records = followed.stored;
    file.rejected = followed.rejected;
    file.first_line = followed.first_line;
    file.last_line = followed.last_line;
    file.ended = true;
  }
}

// The summary line on standard error, once the records are known to be in
// the database the path names.
void summarise(DatabaseObjects& db, const CliOptions& options, std::uint64_t stored,
               std::chrono::steady_clock::time_point start, RunRejects& rejects,
               std::uint64_t rejected) {
  db.access_con.engine().check_still_reachable();
  rejects.tell_the_rest();
  // A run that stored every line says nothing when asked to be quiet.
  if (options.quiet && rejected == 0) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const NumberFormat format = user_number_format();
  const std::string files =
      options.files.size() > 1 ? " aus " + format_count(options.files.size(), format) + " Dateien"
                               : std::string();
  const std::string records = format_count(stored, format) + " Datensätze";
  const std::string time = " in " + format_fixed(seconds, 2, format) + " s";
  const std::string together = options.single_transaction ? " gemeinsam in einer Transaktion" : "";
  const std::string turned_away = rejects_summary(rejected);
  const std::string line = records + files + time + together + " gespeichert" + turned_away;
  if (!is_terminal(2)) {
    write_text(2, line + "\n");
    return;
  }
  // On a terminal it fits the width, as the progress line before it did.
  const int columns = terminal_width(2);
  const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 1;
  write_text(2, fit_to_width({line, records + files + time + " gespeichert" + turned_away,
                              records + time + " gespeichert" + turned_away,
                              records + " gespeichert" + turned_away},
                             width) +
                    "\n");
}

// The run of many files, of --resume and of --follow: each file as its own
// run of the same settings, one after the other; in one transaction when asked.
void run_files(RunSettings& settings, const CliOptions& options, ImportProgress& progress,
               std::chrono::steady_clock::time_point start, RunRejects& rejects,
               RunReport& report) {
  const std::vector<std::string> files =
      options.files_given ? options.files : std::vector<std::string>{settings.text_file};
  // What a writer put into a FIFO is gone once its reader closes it: such a
  // file stays open from its check on and is read through that descriptor.
  std::vector<std::unique_ptr<TextFile>> opened(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& name = files[i];
    // Standard input has no place that a later run could come back to.
    if (options.resume && name.empty())
      throw Error("--resume und --follow brauchen eine Textdatei; die Standardeingabe hat "
                  "keinen Stand");
    // Nor has a FIFO or a device: a position in it leads nowhere, and what
    // was read from it cannot be read again once the run has failed.
    FileInfo info;
    if (options.resume && file_info(name, info) && !info.regular && !info.folder)
      throw Error(fill_message("--resume und --follow brauchen eine Textdatei; %s ist keine "
                               "Datei auf einem Datenträger und hat keinen Stand",
                               {name}));
    // Every file opens before the table is touched, "*" or not.
    settings.text_file = name;
    auto probe = std::make_unique<TextFile>(settings);
    if (!options.resume && !probe->regular()) opened[i] = std::move(probe);
  }
  check_and_create(settings, options);

  DatabaseObjects db;
  std::uint64_t stored = 0;
  if (!options.resume) {
    std::optional<Transaction> transaction;
    open_connection(settings, db);
    lock_for_recreate(settings, db);
    if (options.single_transaction) transaction.emplace(db.access_con.engine());
    open_target_table(settings, db, options.single_transaction);
    for (std::size_t i = 0; i < files.size(); ++i) {
      settings.text_file = files[i];
      const std::unique_ptr<TextFile> opened_file =
          opened[i] ? std::move(opened[i]) : std::make_unique<TextFile>(settings);
      TextFile& file = *opened_file;
      ProgressDisplay display(STDERR_FILENO, file);
      const std::uint64_t before = stored;
      const auto notice = [&](std::uint64_t count) {
        stored = before + count;
        report.records = stored;
        display.record_stored(stored);
        check_stop_request();
      };
      report.begin_file(files[i], progress);
      if (transaction) {
        const StoringRejects* storing =
            options.rejects ? rejects.begin_file(db, files[i]) : nullptr;
        StoringThreadSink sink(db.itab, notice, check_stop_request, storing);
        rejects.queue_into(&sink);
        try {
          go(settings, file, sink, &progress, rejects.offered());
        } catch (...) {
          rejects.queue_into(nullptr);
          throw;
        }
        rejects.queue_into(nullptr);
      } else {
        rejects.write_alone(db, files[i]);
        AppendingSink sink(db.itab, notice,
                           options.rejects ? &db.access_con.engine() : nullptr);
        go(settings, file, sink, &progress, rejects.offered());
      }
      report.end_file(progress);
    }
    // A stop requested while the input ended is still a stop.
    check_stop_request();
    if (transaction) transaction->commit();
    summarise(db, options, stored, start, rejects, report.rejected);
    return;
  }

  ResumeHooks hooks;
  hooks.notice = [](const std::string& text) { write_text(2, text + "\n"); };
  hooks.rejects = rejects.offered();
  open_connection(settings, db);
  lock_for_recreate(settings, db);
  if (options.single_transaction) {
    hooks.stored = [&](std::uint64_t count) {
      check_stop_request();
      report.records = stored = count;
    };
    Transaction transaction(db.access_con.engine());
    open_target_table(settings, db, true);
    if (settings.recreate) clear_checkpoints(db, settings.table_name);
    ResumeRun run(settings, db, true, progress, hooks, files.size() > 1);
    for (const std::string& name : files) {
      settings.text_file = name;
      report.begin_file(name, progress);
      run.load(name);
      report.end_file(progress);
    }
    check_stop_request();
    transaction.commit();
  } else if (options.follow) {
    // A stop is follow mode's normal end. A record that it interrupted was
    // undone together with its checkpoint, so the next run stores it.
    FileWatch watch;
    hooks.stored = [&](std::uint64_t count) { report.records = stored = count; };
    hooks.stop_requested = [] { return !stop_request().empty(); };
    hooks.wait_for_change = [&watch](const std::string& path) { watch.wait(path); };
    const bool many_files = options.files_given || !options.status_file.empty();
    try {
      if (many_files) {
        // Files come and go, and another run may store some of them: such
        // a file is passed over, with one notice.
        std::set<std::string> told;
        hooks.notice = [told](const std::string& text) mutable {
          if (!text.ends_with("übergangen") || told.insert(text).second)
            write_text(2, text + "\n");
        };
        // A status file that cannot be written fails before the first
        // record; later, monitoring sees its time stand still.
        if (!options.status_file.empty()) write_status_file(options.status_file, {});
        const auto status = [&options, &report, failed = false](
                                const std::vector<FollowedFile>& state,
                                const std::vector<FollowedFile>& read) mutable {
          report_followed_files(read, report);
          if (options.status_file.empty()) return;
          try {
            write_status_file(options.status_file, state);
            failed = false;
          } catch (const Error& error) {
            if (!failed) write_text(2, "Hinweis: " + display_text(error) + "\n");
            failed = true;
          }
        };
        ResumeRun run(settings, db, false, progress, hooks, true);
        rejects.write_with_checkpoints(db, run);
        follow_files(settings, run,
                     options.files_given ? options.given_files
                                         : std::vector<std::string>{settings.text_file},
                     hooks.stop_requested, status);
        run.finish();
      } else {
        ResumeRun run(settings, db, false, progress, hooks);
        rejects.write_with_checkpoints(db, run);
        settings.text_file = files.front();
        report.begin_file(files.front(), progress);
        run.follow(files.front());
        report.end_file(progress);
        run.finish();
      }
    } catch (...) {
      if (stop_request().empty()) throw;
      if (!many_files) report.end_file(progress);
    }
  } else {
    hooks.stored = [&](std::uint64_t count) {
      report.records = stored = count;
      check_stop_request();
    };
    ResumeRun run(settings, db, false, progress, hooks, files.size() > 1);
    rejects.write_with_checkpoints(db, run);
    for (const std::string& name : files) {
      settings.text_file = name;
      report.begin_file(name, progress);
      run.load(name);
      report.end_file(progress);
    }
    run.finish();
  }
  summarise(db, options, stored, start, rejects, report.rejected);
}

}  // namespace

namespace {

// The single-file run of the default mode and of --single-transaction.
void run_one_file(RunSettings& settings, const CliOptions& options, ImportProgress& progress,
                  std::chrono::steady_clock::time_point start, RunRejects& rejects,
                  RunReport& report) {
  // With "*" the table is emptied before the first line is read: a typo
  // found only then would cost the table its rows.
  TextFile file(settings);
  check_and_create(settings, options);

  DatabaseObjects db;
  std::uint64_t stored = 0;
  {
    ProgressDisplay display(STDERR_FILENO, file);
    const auto notice = [&](std::uint64_t count) {
      report.records = stored = count;
      display.record_stored(count);
      check_stop_request();
    };
    report.begin_file(settings.text_file, progress);
    if (options.single_transaction) {
      connect_and_go_in_one_transaction(settings, db, file, &progress, notice,
                                        check_stop_request, rejects.in_transaction());
    } else {
      db_connect(settings, db);
      rejects.write_alone(db, settings.text_file);
      AppendingSink sink(db.itab, notice, options.rejects ? &db.access_con.engine() : nullptr);
      go(settings, file, sink, &progress, rejects.offered());
    }
    report.end_file(progress);
  }
  summarise(db, options, stored, start, rejects, report.rejected);
}

}  // namespace

void run_import(RunSettings& settings, const CliOptions& options,
                ImportProgress& progress, RunReport& report) {
  const auto start = report.start;
  RunRejects rejects(options, settings, report);
  // SIGINT and SIGTERM end the run with its message, also while it waits
  // for input or for the server: a partial load must never look like a
  // success.
  StopRequests stops;
  try {
    if (options.resume || options.files_given) {
      // Kadrum expands the patterns after "--" itself; under --follow one
      // that matches nothing yet is a folder waiting for its files.
      CliOptions expanded = options;
      if (options.files_given) expanded.files = expand_file_arguments(options.files, options.follow);
      expanded.given_files = options.files;
      run_files(settings, expanded, progress, start, rejects, report);
    }
    else
      run_one_file(settings, options, progress, start, rejects, report);
  } catch (const CommitOutcomeUnknown&) {
    rejects.tell_the_rest();
    throw;
  } catch (...) {
    report.end_file(progress);
    rejects.tell_the_rest();
    if (options.single_transaction) report.none_kept();
    // Whatever a stop made fail (a cancelled statement, a closed
    // connection, an ended read) is told as the stop it was.
    const std::string_view signal = stop_request();
    if (signal.empty()) throw;
    throw Error(fill_message(options.single_transaction
                                 ? "Abgebrochen durch %s; nichts wurde gespeichert"
                                 : "Abgebrochen durch %s; die Datensätze davor sind gespeichert",
                             {signal}));
  }
}

}  // namespace kadrum
