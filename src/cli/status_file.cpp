#include "cli/status_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "base/error.h"
#include "base/file_io.h"
#include "import/file_byte_source.h"

namespace kadrum {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + '"';
}

}  // namespace

std::string utc_time_text() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string status_json(const std::string& time, const std::vector<FollowedFile>& files) {
  std::string out = "{\"time\": " + quoted(time) + ", \"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FollowedFile& f = files[i];
    if (i > 0) out += ",";
    out += "\n  {\"path\": " + quoted(f.path) + ", \"offset\": " + std::to_string(f.offset) +
           ", \"size\": " + std::to_string(f.size) + ", \"records\": " +
           std::to_string(f.records) + ", \"rejected\": 0, \"last_commit\": " +
           (f.last_commit.empty() ? std::string("null") : quoted(f.last_commit)) + "}";
  }
  return out + (files.empty() ? "]}\n" : "\n]}\n");
}

void write_status_file(const std::string& path, const std::vector<FollowedFile>& files) {
  if (!replace_file(path, status_json(utc_time_text(), files)))
    throw Error("--status-file=" + path + ": " + file_error_message(errno, path));
}

}  // namespace kadrum
