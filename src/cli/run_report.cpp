#include "cli/run_report.h"

#include <cstdio>

#include "cli/json_text.h"

namespace kadrum {

void RunReport::begin_file(const std::string& name, ImportProgress& progress) {
  progress.first_line = 0;
  progress.line = 0;
  FileReport file;
  file.path = name.empty() ? "-" : name;
  file.records_before = records;
  file.rejected_before = rejected;
  files.push_back(std::move(file));
}

void RunReport::end_file(const ImportProgress& progress) {
  if (files.empty() || files.back().ended) return;
  FileReport& file = files.back();
  file.ended = true;
  file.records = records - file.records_before;
  file.rejected = rejected - file.rejected_before;
  file.first_line = progress.first_line;
  file.last_line = progress.first_line == 0 ? 0 : progress.line;
}

void RunReport::none_kept() {
  records = rejected = 0;
  for (FileReport& file : files) file.records = file.rejected = 0;
}

std::string json_report(const RunReport& report, int exit_status, const std::string& message) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - report.start).count();
  char number[32];
  std::snprintf(number, sizeof number, "%.3f", seconds);
  std::string json = "{\"records\": " + std::to_string(report.records) +
                     ", \"rejected\": " + std::to_string(report.rejected) +
                     ", \"seconds\": " + number + ", \"exit\": " + std::to_string(exit_status) +
                     ", \"message\": " + (message.empty() ? "null" : json_string(message)) +
                     ", \"files\": [";
  for (std::size_t i = 0; i < report.files.size(); ++i) {
    const FileReport& file = report.files[i];
    json += (i > 0 ? ", " : "") + std::string("{\"path\": ") + json_string(file.path) +
            ", \"records\": " + std::to_string(file.records) +
            ", \"rejected\": " + std::to_string(file.rejected) +
            ", \"first_line\": " + std::to_string(file.first_line) +
            ", \"last_line\": " + std::to_string(file.last_line) + "}";
  }
  return json + "]}\n";
}

}  // namespace kadrum
