#include "cli/folder_follow.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <set>

#include "base/file_io.h"
#include "base/utc_time.h"
#include "cli/file_patterns.h"
#include "cli/folder_listing.h"
#include "cli/folder_watch.h"

namespace kadrum {

namespace {

using Clock = std::chrono::steady_clock;
// A file unwritten this long is closed and watched by its name alone.
constexpr auto kIdle = std::chrono::seconds(30);
constexpr auto kReportEvery = std::chrono::seconds(10);
// A file renamed away or deleted is read on through its descriptor until it
// has not grown for this long: its writer may not have moved on yet.
constexpr auto kDrain = std::chrono::seconds(1);

struct Identity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool known() const { return device != 0 || inode != 0; }
  bool operator==(const Identity&) const = default;
};

Identity identity_of(const FileInfo& info) { return {info.device, info.inode}; }

std::string folder_of(const std::string& path) {
  std::size_t slash = path.size();
  while (slash > 0 && !is_path_separator(path[slash - 1])) --slash;
  if (slash == 0) return ".";
  if (slash == 1) return path.substr(0, 1);
  return path.substr(0, slash - 1);
}

class Follower {
 public:
  Follower(RunSettings& settings, ResumeRun& run, const std::vector<std::string>& arguments)
      : settings_(settings), run_(run) {
    // A name that exists is that file, whatever it holds; the others
    // that hold a pattern are patterns.
    for (const std::string& argument : arguments) {
      FileInfo info;
      const bool pattern = holds_pattern(argument) && !file_info(argument, info);
      patterns_.push_back({argument, pattern});
    }
  }

  void start() {
    for (const auto& [name, size] : scan()) {
      pass(name, false);
      bound_open_files();
    }
  }

  void round() {
    // Open files are looked at after two seconds even without an event,
    // one being drained four times a second; with every file closed only
    // the 10 s of the report wake the process.
    const FolderChanges changes = watch_.wait(draining() ? 250 : any_open() ? 2000 : 10000);
    const std::set<std::string> written(changes.written.begin(), changes.written.end());
    for (const std::string& path : changes.removed) {
      const auto found = tracked_.find(path);
      if (found != tracked_.end()) gone_.insert(path);
    }
    for (const std::string& path : changes.arrived) read_tail_of_rotated(path);
    if (changes.everything || !changes.removed.empty() || !changes.arrived.empty() || rescan_) {
      rescan_ = false;
      reconcile(scan(), written);
    } else {
      for (const std::string& path : written) {
        const auto found = tracked_.find(path);
        if (found != tracked_.end() && !found->second.open) pass(path, false);
      }
    }
    std::vector<std::string> open;
    for (const auto& [name, t] : tracked_)
      if (t.open) open.push_back(name);
    for (const std::string& name : open) pass(name, false);
    const auto now = Clock::now();
    for (auto it = tracked_.begin(); it != tracked_.end();) {
      if (!it->second.draining || now - it->second.last_change < kDrain) {
        ++it;
        continue;
      }
      let_go(it->first, it->second);
      gone_.insert(it->first);
      it = retire(it);
      rescan_ = true;  // a new file under its name waited for it
    }
    bound_open_files();
  }

  void close_all() {
    for (auto& [name, t] : tracked_)
      if (t.open) {
        run_.close_idle(name);
        t.open = false;
      }
  }

  bool report_due() {
    const auto now = Clock::now();
    if (!stored_ && now - reported_ < kReportEvery) return false;
    stored_ = false;
    reported_ = now;
    return true;
  }

  std::vector<FollowedFile> states() const {
    std::vector<FollowedFile> all;
    for (const auto& [name, t] : tracked_) all.push_back(t.state);
    return all;
  }

  // Every file this run read, those followed now and those let go, by the
  // name it was read under: a name read again adds to its counts.
  std::vector<FollowedFile> files_read() const {
    std::map<std::string, FollowedFile> all = let_go_;
    for (const auto& [name, t] : tracked_) add_up(all, t.state);
    std::vector<FollowedFile> files;
    for (auto& [path, state] : all) files.push_back(std::move(state));
    return files;
  }

 private:
  struct Pattern {
    std::string text;
    bool pattern;  // false: the name of one file
  };
  struct Tracked {
    bool open = false;
    bool draining = false;  // gone from its name, read on until it stops growing
    std::uint64_t size = 0;  // as last seen
    Identity identity;       // of the file last open under the name
    Clock::time_point last_change;
    FollowedFile state;
  };

  // Every file the arguments name or match now, with its size, in the
  // order of the arguments and each pattern's name order; each once.
  std::vector<std::pair<std::string, std::uint64_t>> scan() {
    std::vector<std::pair<std::string, std::uint64_t>> found;
    std::set<std::string> seen;
    for (const Pattern& p : patterns_) {
      if (!p.pattern) {
        watch_.watch(folder_of(p.text));
        FileInfo info;
        if (file_info(p.text, info) && !info.folder && seen.insert(p.text).second)
          found.emplace_back(p.text, info.size);
        continue;
      }
      const PatternMatches matches = match_pattern(p.text);
      for (const std::string& folder : matches.folders) watch_.watch(folder);
      for (std::size_t i = 0; i < matches.files.size(); ++i)
        if (seen.insert(matches.files[i]).second)
          found.emplace_back(matches.files[i], matches.sizes[i]);
    }
    return found;
  }

  bool any_open() const {
    for (const auto& [name, t] : tracked_)
      if (t.open) return true;
    return false;
  }

  bool draining() const {
    for (const auto& [name, t] : tracked_)
      if (t.draining) return true;
    return false;
  }

  void drain(Tracked& t) {
    t.draining = true;
    t.last_change = Clock::now();
  }

  bool matches_any(const std::string& path) const {
    for (const Pattern& p : patterns_)
      if (p.pattern ? path_matches(p.text, path) : p.text == path) return true;
    return false;
  }

  void pass(const std::string& name, bool fresh) {
    Tracked& t = tracked_[name];
    gone_.erase(name);
    settings_.text_file = name;
    bool opened = false;
    const bool stored = counted(t, [&] { opened = run_.follow_pass(name, fresh); });
    if (!opened) {
      // Another run stores it: looked at again when it changes.
      t.open = false;
      FileInfo info;
      if (file_info(name, info)) t.size = info.size;
      return;
    }
    ResumeRun::FileState s;
    run_.file_state(name, s);
    const auto now = Clock::now();
    if (!t.open || s.size != t.size) t.last_change = now;
    t.open = true;
    t.identity = {s.device, s.inode};
    t.size = s.size;
    if (stored) {
      t.state.last_commit = utc_text(std::time(nullptr), true);
      t.last_change = now;
      stored_ = true;
    }
    t.state.path = s.path;
    t.state.offset = s.offset;
    t.state.size = s.size;
    t.state.records = s.records;
  }

  // A file renamed so that it no longer matches (rotation) while it was
  // closed: what was written just before is stored from its new name,
  // where its checkpoint follows it, then it is let go.
  void read_tail_of_rotated(const std::string& path) {
    if (matches_any(path)) return;
    FileInfo info;
    if (!file_info(path, info) || info.folder) return;
    for (auto it = tracked_.begin(); it != tracked_.end(); ++it) {
      Tracked& t = it->second;
      if (t.open || !t.identity.known() || !(t.identity == identity_of(info))) continue;
      FileInfo now;
      if (file_info(it->first, now) && identity_of(now) == t.identity) return;  // a second link
      settings_.text_file = path;
      counted(t, [&] {
        if (run_.follow_pass(path)) run_.let_go(path);
      });
      gone_.insert(it->first);
      retire(it);
      return;
    }
  }

  void reconcile(const std::vector<std::pair<std::string, std::uint64_t>>& found,
                 const std::set<std::string>& written) {
    std::set<std::string> names;
    // The files under names not followed yet: one of them may be a
    // followed file renamed.
    std::set<std::pair<std::uint64_t, std::uint64_t>> newcomers;
    for (const auto& entry : found) {
      names.insert(entry.first);
      FileInfo info;
      if (!tracked_.count(entry.first) && file_info(entry.first, info))
        newcomers.emplace(info.device, info.inode);
    }
    // Those that went first: a file renamed to another name that matches
    // takes its checkpoint along once its old name has let go of it.
    for (auto it = tracked_.begin(); it != tracked_.end();) {
      if (names.count(it->first) || it->second.draining) {
        ++it;
        continue;
      }
      gone_.insert(it->first);
      Tracked& t = it->second;
      if (t.open && !newcomers.count({t.identity.device, t.identity.inode})) {
        drain(t);
        ++it;
        continue;
      }
      if (t.open) let_go(it->first, t);
      it = retire(it);
    }
    for (const auto& [name, size] : found) {
      const auto it = tracked_.find(name);
      if (it == tracked_.end()) {
        pass(name, gone_.count(name) > 0);
        continue;
      }
      Tracked& t = it->second;
      // Another file under the name waits until the old one is drained
      // through its descriptor; then it is read from its first line.
      if (t.draining) continue;
      if (t.open) {
        FileInfo info;
        if (file_info(name, info) && !(identity_of(info) == t.identity)) {
          gone_.insert(name);
          drain(t);
        }
        continue;
      }
      if (size != t.size || written.count(name) || gone_.count(name)) pass(name, gone_.count(name) > 0);
    }
  }

  static void add_up(std::map<std::string, FollowedFile>& files, const FollowedFile& state) {
    if (state.path.empty()) return;  // passed over: another run stores it
    const auto [it, added] = files.try_emplace(state.path, state);
    if (added) return;
    FollowedFile& sum = it->second;
    sum.stored += state.stored;
    sum.rejected += state.rejected;
    if (sum.first_line == 0) sum.first_line = state.first_line;
    if (state.last_line != 0) sum.last_line = state.last_line;
  }

  // The records, rejects and lines of "read", a read of t's file, count
  // as t's; true when it stored records.
  template <typename Read>
  bool counted(Tracked& t, const Read& read) {
    const std::uint64_t stored_before = run_.records();
    const std::uint64_t rejected_before = run_.rejected();
    read();
    t.state.stored += run_.records() - stored_before;
    t.state.rejected += run_.rejected() - rejected_before;
    add_lines_read(t);
    return run_.records() != stored_before;
  }

  void add_lines_read(Tracked& t) {
    const auto [first, last] = run_.take_lines_read();
    if (first == 0) return;
    if (t.state.first_line == 0) t.state.first_line = first;
    t.state.last_line = last;
  }

  void let_go(const std::string& name, Tracked& t) {
    settings_.text_file = name;
    counted(t, [&] { run_.let_go(name); });
  }

  // Forgets a file no longer followed; what this run read of it stays.
  std::map<std::string, Tracked>::iterator retire(std::map<std::string, Tracked>::iterator it) {
    add_up(let_go_, it->second.state);
    return tracked_.erase(it);
  }

  void close(const std::string& name, Tracked& t) {
    run_.close_idle(name);
    t.open = false;
  }

  void bound_open_files() {
    const auto now = Clock::now();
    std::vector<std::pair<Clock::time_point, std::string>> open;
    for (auto& [name, t] : tracked_) {
      if (!t.open || t.draining) continue;
      if (now - t.last_change >= kIdle)
        close(name, t);
      else
        open.emplace_back(t.last_change, name);
    }
    if (open.size() <= kMaxOpenFollowedFiles) return;
    std::sort(open.begin(), open.end());
    for (std::size_t i = 0; i < open.size() - kMaxOpenFollowedFiles; ++i)
      close(open[i].second, tracked_[open[i].second]);
  }

  RunSettings& settings_;
  ResumeRun& run_;
  std::vector<Pattern> patterns_;
  FolderWatch watch_;
  std::map<std::string, Tracked> tracked_;
  std::map<std::string, FollowedFile> let_go_;  // what this run read of files let go
  // Names whose file was seen to go: a file that comes under one is new.
  std::set<std::string> gone_;
  bool stored_ = false;
  bool rescan_ = false;  // every file is looked at in the next round
  Clock::time_point reported_{};
};

}  // namespace

void follow_files(RunSettings& settings, ResumeRun& run, const std::vector<std::string>& arguments,
                  const std::function<bool()>& stopping,
                  const FollowReport& report) {
  Follower follower(settings, run, arguments);
  try {
    follower.start();
    while (!stopping()) {
      if (report && follower.report_due()) report(follower.states(), follower.files_read());
      follower.round();
    }
  } catch (...) {
    // The files closed with their full fingerprints, as far as the
    // database still lets them.
    try {
      follower.close_all();
    } catch (...) {
    }
    // What was stored up to the failure stays: monitoring sees it too.
    if (report) report(follower.states(), follower.files_read());
    throw;
  }
  follower.close_all();
  if (report) report(follower.states(), follower.files_read());
}

}  // namespace kadrum
