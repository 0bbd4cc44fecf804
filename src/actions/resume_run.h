// kadrum-cli's --resume and --follow: each data line of a text file stored
// once, however often the run is repeated or killed. Each record is stored
// in one transaction with the checkpoint of its file (actions/checkpoint.h);
// while more complete lines are waiting, up to 10,000 records, or what
// 250 ms bring, share one such transaction. In one-transaction mode every
// record and checkpoint go at the caller's one commit. A last line without its line end is held back: its writer may
// still be in the middle of it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "actions/checkpoint.h"
#include "actions/db_connect.h"
#include "actions/go.h"
#include "base/run_settings.h"
#include "import/import_run.h"

namespace kadrum {

class StoringThreadSink;

struct ResumeHooks {
  StoredNotice stored;                         // after each record, the run's count
  std::function<bool()> stop_requested;        // follow mode ends when true
  std::function<void(const std::string&)> notice;  // one German line, no line end
  // Waits until the file at "path" may have changed, at most about a second,
  // or until a stop is requested.
  std::function<void(const std::string& path)> wait_for_change;
  // Offered each line whose row fails (see LineRejects); none: a failing
  // row ends the run.
  LineRejects* rejects = nullptr;
};

// Deletes the checkpoints of "table" (it is being recreated), creating the
// checkpoint table on first use. Throws ProviderError.
void clear_checkpoints(DatabaseObjects& db, const std::string& table);

class ResumeRun {
 public:
  // "db" has its connection open. In one-transaction mode the caller holds
  // the transaction and has opened (and recreated) the table already;
  // otherwise the table is opened here, and with settings.recreate it is
  // recreated, its checkpoints cleared, in the transaction of the run's
  // first record. "progress" tells the line of a failure.
  // With "skip_busy_files" a file that another run is storing into the
  // same table is passed over with a notice; otherwise load and follow
  // throw kadrum::Error for it.
  ResumeRun(const RunSettings& settings, DatabaseObjects& db, bool one_transaction,
            ImportProgress& progress, ResumeHooks hooks, bool skip_busy_files = false);
  ~ResumeRun();
  ResumeRun(const ResumeRun&) = delete;
  ResumeRun& operator=(const ResumeRun&) = delete;

  // Stores the complete data lines of "file" after its checkpoint. Throws
  // kadrum::Error naming the file for a file that cannot be read; errors of
  // the records pass through (progress names the line).
  // A file that another run is storing into the same table throws
  // kadrum::Error, or is passed over with a notice (see the constructor).
  void load(const std::string& file);
  // As load, then keeps storing lines as they arrive, following the path
  // through rotation and truncation, until a stop is requested.
  void follow(const std::string& file);
  // Keeps the data line "line" of the file being read as a reject:
  // "write" writes its row, given the file's path as its checkpoint keeps
  // it, in one transaction with the checkpoint that passes the line, so
  // that a rerun neither keeps it twice nor loses it. For a LineRejects'
  // Keep; not in one-transaction mode. Throws what "write" and the
  // checkpoint throw; nothing is committed then.
  void keep_reject(const RejectedLine& line, const std::function<void(const std::string&)>& write);
  // The recreate of a run that stored no record, alone. Call after the
  // last file.
  void finish();

  std::uint64_t records() const { return stored_; }
  // The lines kept as rejects through keep_reject, committed.
  std::uint64_t rejected() const { return rejected_; }

  // --follow over many files: each stays open between calls, under the
  // name it was given by, until let_go or close_idle.
  // Stores the lines added to the file "name" since the last call. Opens it
  // on first use and after close_idle: its checkpoint, or that of the same
  // file under another name, says where to go on; with "fresh" it is
  // another file than the one its checkpoint was written for, whatever its
  // first bytes say, and starts at line 1. False when another run stores
  // it and it was passed over with a notice. Throws as load does.
  bool follow_pass(const std::string& name, bool fresh = false);
  // Reads what is left of the file open as "name" through its descriptor
  // (its name now holds another file, or none), saves its checkpoint and
  // closes it. Throws as load does.
  void let_go(const std::string& name);
  // Saves the checkpoint of the file open as "name" and closes it (it has
  // been idle; follow_pass opens it again). Throws ProviderError.
  void close_idle(const std::string& name);

  struct FileState {
    std::string path;          // the checkpoint's key
    std::uint64_t offset = 0;  // just after the last line used up
    std::uint64_t size = 0;    // the file's size now
    std::uint64_t records = 0; // stored from it, over all runs
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
  };
  // The file open as "name" under follow_pass; false when none is.
  bool file_state(const std::string& name, FileState& state) const;
  // The first and last data line that follow_pass and let_go have read
  // since the last call, of whichever file; 0 and 0 for none.
  std::pair<std::uint64_t, std::uint64_t> take_lines_read();

 private:
  struct OpenFile;
  struct Group;
  // Opens "file" and finds where to go on; false when another run stores
  // it and it is passed over.
  bool open(const std::string& file);
  void keep_lock();
  void pass();
  // A pass of follow_pass or let_go, its data lines counted for
  // take_lines_read.
  void following_pass();
  // Stores the lines of the open file that are there, in commit groups;
  // those of a group that failed are read again one commit each.
  void read_lines();
  void read_available_lines();
  // True while the unfinished last line that the pass before ended on has
  // still no line end (and is not over the length limit).
  bool unfinished_line_still_open();
  // Runs "write" and saves the checkpoint after the data line "line"
  // (from "start" to "end_offset", "records" stored up to it) in one short
  // transaction, recreating the table first when that is still pending.
  // With "may_group" the line joins the open commit group instead (see
  // Group), which is committed when full; a failure in the group rolls it
  // back and throws past import_lines for read_lines to read its lines
  // again, one commit each.
  void commit_line(std::uint64_t start, std::uint64_t end_offset, std::uint64_t line,
                   std::uint64_t records, const std::function<void()>& write, bool may_group);
  // Commits the open commit group, if any, with the checkpoint of its last
  // line. False when it failed and was rolled back: its lines are to be
  // read again. A stop request and a commit of unknown outcome are thrown.
  bool end_group();
  // The open file's position is after the data line "line", which has
  // gone into the database.
  void moved_past(std::uint64_t start, std::uint64_t end_offset, std::uint64_t line);
  // Rolls the open group back, the file's position with it, and marks its
  // lines up to "through" for one commit each. Never throws.
  void roll_back_group(std::uint64_t through) noexcept;
  // Stores "row", the data line "line" from "start" to "end_offset".
  void store(const Row& row, std::uint64_t start, std::uint64_t end_offset, std::uint64_t line);
  void save_full_fingerprint();
  // The open file is read again from its first line, with "notice".
  void start_from_line_one(const char* notice);
  Checkpoint checkpoint_at(std::uint64_t start, std::uint64_t offset, std::uint64_t line,
                           std::uint64_t records, bool full);

  const RunSettings& settings_;
  DatabaseObjects& db_;
  bool one_transaction_;
  ImportProgress& progress_;
  ResumeHooks hooks_;
  bool recreate_pending_;
  std::uint64_t stored_ = 0;
  std::uint64_t rejected_ = 0;
  std::pair<std::uint64_t, std::uint64_t> lines_read_;  // see take_lines_read
  std::unique_ptr<OpenFile> file_;
  // In one-transaction mode, while a pass runs: the thread that stores, and
  // what the records are converted by.
  StoringThreadSink* storing_ = nullptr;
  bool skip_busy_files_;
  std::string table_key_;  // Engine::table_key of the table, once asked
  std::vector<std::unique_ptr<EngineLock>> kept_locks_;  // see keep_lock
  std::map<std::string, std::unique_ptr<OpenFile>> following_;  // see follow_pass
  bool indexes_added_ = false;
  bool fresh_ = false;  // see follow_pass
  std::unique_ptr<Group> group_;  // the commit group open, see commit_line
  // The lines up to this one of the file being read are committed one by
  // one: they are read again after a group of them failed.
  std::uint64_t replay_through_ = 0;
};

}  // namespace kadrum
