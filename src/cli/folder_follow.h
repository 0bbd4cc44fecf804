// --follow over the files after "--": every file they name or match, also
// one that begins to match later, loaded exactly once through rotation,
// renames, deletes and files made anew, with a bounded number of files
// open however many match.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "actions/resume_run.h"

namespace kadrum {

// At most this many files stay open; the others are watched by name.
inline constexpr std::size_t kMaxOpenFollowedFiles = 64;

struct FollowedFile {
  std::string path;  // the checkpoint's key
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t records = 0;  // stored from it, over all runs
  std::uint64_t rejected = 0; // kept as rejects by this run
  std::uint64_t stored = 0;   // stored from it by this run
  std::uint64_t first_line = 0;  // the first and last data line this run read; 0 for none
  std::uint64_t last_line = 0;
  std::string last_commit;    // "2026-12-10T14:05:09Z" of this run's last record; "" for none
};

// The files followed now, as the status file shows them, and every file
// the run has read, with what it read of each.
using FollowReport = std::function<void(const std::vector<FollowedFile>& followed,
                                        const std::vector<FollowedFile>& read)>;

// Stores, through "run" (made to pass over files another run stores), the
// lines of every file that "arguments" (the files after "--", patterns
// unexpanded) name or match, as they arrive, until "stopping" says so:
//  - a file that begins to match is loaded from its first line, a file
//    renamed to a name that still matches keeps its checkpoint, and one
//    renamed away or deleted is read to its end through its descriptor;
//  - a new file under a name another file had is read from line 1, even
//    on the same inode (its fingerprint tells), and so is a file truncated
//    or written anew in place;
//  - files idle for 30 s, and the least recently written beyond
//    kMaxOpenFollowedFiles, are closed and watched by name.
// After each round that stored records, at least every 10 s and at the
// end, also one by a failure, "report" gets the state of every file
// followed and the counts of every file read (when set). Throws what the
// run throws, and kadrum::Error for a folder of a pattern that went away.
// "settings" names the file being read, for the message of a failure.
void follow_files(RunSettings& settings, ResumeRun& run, const std::vector<std::string>& arguments,
                  const std::function<bool()>& stopping,
                  const FollowReport& report);

}  // namespace kadrum
