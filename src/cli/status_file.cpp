#include "cli/status_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "base/error.h"
#include "base/file_io.h"
#include "base/utc_time.h"
#include "cli/json_text.h"
#include "import/file_byte_source.h"

namespace kadrum {

std::string status_json(const std::string& time, const std::vector<FollowedFile>& files) {
  std::string out = "{\"time\": " + json_string(time) + ", \"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FollowedFile& f = files[i];
    if (i > 0) out += ",";
    out += "\n  {\"path\": " + json_string(f.path) + ", \"offset\": " + std::to_string(f.offset) +
           ", \"size\": " + std::to_string(f.size) + ", \"records\": " +
           std::to_string(f.records) + ", \"rejected\": " + std::to_string(f.rejected) +
           ", \"last_commit\": " +
           (f.last_commit.empty() ? std::string("null") : json_string(f.last_commit)) + "}";
  }
  return out + (files.empty() ? "]}\n" : "\n]}\n");
}

void write_status_file(const std::string& path, const std::vector<FollowedFile>& files) {
  if (!replace_file(path, status_json(utc_text(std::time(nullptr), true), files)))
    throw Error("--status-file=" + path + ": " + file_error_message(errno, path));
}

}  // namespace kadrum
