#include "cli/run_report.h"

#include <cstdio>

#include "base/utf8.h"

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
  if (files.empty()) return;
  FileReport& file = files.back();
  file.records = records - file.records_before;
  file.rejected = rejected - file.rejected_before;
  file.first_line = progress.first_line;
  file.last_line = progress.first_line == 0 ? 0 : progress.line;
}

void RunReport::none_kept() {
  records = rejected = 0;
  for (FileReport& file : files) file.records = file.rejected = 0;
}

namespace {

// A JSON string: quotes, backslashes and control characters escaped, and
// every byte that is not UTF-8 as U+FFFD, so that any parser takes it.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (size == 1 && byte >= 0x80) {
      out += "\\ufffd";
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out.append(text.substr(pos, size));
    }
    pos += size;
  }
  return out + "\"";
}

}  // namespace

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
