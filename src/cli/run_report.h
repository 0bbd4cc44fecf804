// What a kadrum-cli run did, file by file: the records it stored and the
// lines it turned away, for the summary and for --json, which writes it as
// one JSON object on standard output, so that a monitoring script reads
// numbers instead of German text.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "import/import_run.h"

namespace kadrum {

struct FileReport {
  std::string path;             // as given; "-" for standard input
  std::uint64_t records = 0;    // stored from it by this run
  std::uint64_t rejected = 0;   // turned away from it by this run
  std::uint64_t first_line = 0; // the first data line read, 0 when none
  std::uint64_t last_line = 0;  // the last data line read, 0 when none
  std::uint64_t records_before = 0;   // the run's counts when it began
  std::uint64_t rejected_before = 0;
  bool ended = false;  // its counts are final
};

struct RunReport {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::uint64_t records = 0;   // kept up to date while the run stores
  std::uint64_t rejected = 0;
  std::vector<FileReport> files;

  // A new file "name" begins; "progress" starts counting its lines anew.
  void begin_file(const std::string& name, ImportProgress& progress);
  // Fills in the counts of the file begun last from "progress" and the
  // run's counts, once: a second call changes nothing.
  void end_file(const ImportProgress& progress);
  // Nothing of the run stays (one transaction that failed).
  void none_kept();
};

// The JSON object of --json: records, rejected, seconds, exit, message
// (null without a failure) and files, on one line with its line end.
std::string json_report(const RunReport& report, int exit_status, const std::string& message);

}  // namespace kadrum
