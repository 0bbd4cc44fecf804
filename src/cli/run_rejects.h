// kadrum-cli's side of --rejects: where the rejected lines of a run go
// (kadrum_rejects, through the sink of the run), what standard error shows
// of them, and their count for the summary and --json.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "actions/db_connect.h"
#include "actions/rejects.h"
#include "actions/resume_run.h"
#include "actions/storing_thread.h"
#include "base/run_settings.h"
#include "cli/cli_options.h"
#include "cli/run_report.h"

namespace kadrum {

// How many rejects standard error shows one by one; the rest by their count.
inline constexpr std::uint64_t kRejectsShown = 10;

class RunRejects final : public TransactionRejects {
 public:
  // Reads the text file's name from "settings" at each reject, for the
  // "file:line: reason" it shows (unless options.quiet); counts into
  // "report".
  RunRejects(const CliOptions& options, const RunSettings& settings, RunReport& report);
  ~RunRejects();

  // What the import loop offers its bad lines to; null without --rejects.
  LineRejects* offered() { return rejects_ ? &*rejects_ : nullptr; }
  // Null without --rejects.
  TransactionRejects* in_transaction() { return rejects_ ? this : nullptr; }

  // In one transaction (see TransactionRejects): each reject is written
  // by the storing thread among the records.
  LineRejects& lines() override { return *rejects_; }
  const StoringRejects* begin_file(DatabaseObjects& db, const std::string& name) override;
  void queue_into(StoringThreadSink* sink) override { queue_ = sink; }

  // With "db" connected and its table open: makes kadrum_rejects ready and
  // writes each reject by itself, as coming from the text file "name"
  // (empty: standard input). Call again for each further file. Throws
  // ProviderError.
  void write_alone(DatabaseObjects& db, const std::string& name);
  // With "db" connected: makes kadrum_rejects ready and writes each reject
  // with the checkpoint of "run". Throws ProviderError.
  void write_with_checkpoints(DatabaseObjects& db, ResumeRun& run);

  // The count of the rejects beyond those shown, on standard error; once.
  void tell_the_rest();

 private:
  void make_table(DatabaseObjects& db);

  const CliOptions& options_;
  const RunSettings& settings_;
  RunReport& report_;
  std::optional<Rejects> rejects_;
  std::unique_ptr<RejectTable> table_;
  std::string source_;
  bool told_ = false;
  std::optional<StoringRejects> storing_;
  StoringThreadSink* queue_ = nullptr;
  const std::thread::id reading_ = std::this_thread::get_id();
};

// ", 5 Zeilen abgewiesen (kadrum_rejects)", or nothing without rejects.
std::string rejects_summary(std::uint64_t rejected);

}  // namespace kadrum
