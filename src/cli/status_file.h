// --status-file=PATH under --follow: a small JSON file that monitoring reads
// to see how far Kadrum is, file by file:
//   {"time": "2026-12-10T14:05:09Z", "files": [{"path": "/data/a.txt",
//    "offset": 4711, "size": 4711, "records": 120, "rejected": 0,
//    "last_commit": "2026-12-10T14:05:08Z"}]}
// "size" - "offset" is how far the load is behind; "rejected" counts the
// lines this run kept as rejects (--rejects); "last_commit" is null until
// the run stored a record from the file.
#pragma once

#include <string>
#include <vector>

#include "cli/folder_follow.h"

namespace kadrum {

// The JSON text of the state of "files" at "time" (as "…Z").
std::string status_json(const std::string& time, const std::vector<FollowedFile>& files);

// Replaces the file "path" at once with the state of "files" now. Throws
// kadrum::Error naming the file when it cannot be written.
void write_status_file(const std::string& path, const std::vector<FollowedFile>& files);

}  // namespace kadrum
