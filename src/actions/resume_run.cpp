#include "actions/resume_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>

#include "actions/row_append.h"
#include "actions/storing_thread.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/messages.h"
#include "base/integer_text.h"
#include "convert/locale_formats.h"
#include "db/transaction.h"
#include "import/file_byte_source.h"
#include "import/line_cursor.h"

namespace kadrum {

namespace {

// A commit group ends after this many records or this long, and whenever
// no complete line is waiting: a backlog commits a few times a second, and
// a line that arrives alone is committed as soon as it is read.
constexpr std::uint64_t kGroupLines = 10'000;
constexpr auto kGroupTime = std::chrono::milliseconds(250);

// Thrown past import_lines when a commit group failed and was rolled back,
// so that read_lines reads its lines again. No std::exception: no handler
// of a line's fault may take it for one.
struct GroupRolledBack {};

// Reads an open file from where its descriptor stands; the descriptor stays
// open, so that a later pass starts again from the checkpoint.
class DescriptorSource : public ByteSource {
 public:
  DescriptorSource(int fd, const std::string& label) : fd_(fd), label_(label) {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::int64_t n = read_some(fd_, buffer, size);
    if (n < 0) throw Error(label_ + ": " + file_error_message(errno, label_));
    return static_cast<std::size_t>(n);
  }

 private:
  int fd_;
  const std::string& label_;
};

}  // namespace

void clear_checkpoints(DatabaseObjects& db, const std::string& table) {
  const std::string key = db.access_con.engine().table_key(table);
  CheckpointRow any(db.qry, key, table, "");
  any.load();  // creates the checkpoint table on first use
  any.clear_table();
}

struct ResumeRun::OpenFile {
  std::string label;  // as given, for messages
  std::string path;   // absolute, the checkpoint's key
  int fd = -1;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t offset = 0;  // just after the last line used up
  std::uint64_t line = 0;    // the number of that line
  std::uint64_t records = 0; // stored from this file, over all runs
  std::uint64_t stored_now = 0;  // stored from this file by this run
  std::int64_t headers_left = 0;
  bool past_first_data_line = false;  // a byte 26 at a line's start ends the data
  std::string fingerprint;
  std::uint64_t fingerprint_bytes = 0;
  std::uint64_t line_start = 0;  // where the last line used up starts
  std::string line_hash;         // that line's, once a checkpoint is written
  // The bytes from offset up to here hold no line end: an unfinished last
  // line read before.
  std::uint64_t no_line_end_before = 0;
  std::unique_ptr<CheckpointRow> row;
  // Keeps a second run off this file and table while this one stores it.
  std::unique_ptr<EngineLock> lock;

  ~OpenFile() {
    close_file(fd);
  }
  std::uint64_t size() const {
    FileInfo info;
    return file_info(fd, info) ? info.size : 0;
  }
  // True when the path now names another file than the one open.
  bool replaced() const {
    FileInfo info;
    return file_info(label, info) && (info.device != device || info.inode != inode);
  }
};

// Lines committed in one transaction with the checkpoint of the last, and
// where the file stood before them, to read them again one by one when the
// group fails.
struct ResumeRun::Group {
  explicit Group(Engine& engine) : transaction(engine) {}
  Transaction transaction;
  std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
  std::uint64_t lines = 0;
  std::uint64_t offset = 0;
  std::uint64_t line = 0;
  std::uint64_t records = 0;
  std::uint64_t stored_now = 0;
  std::uint64_t line_start = 0;
  std::uint64_t run_stored = 0;
  std::uint64_t fingerprint_bytes = 0;
  std::string fingerprint;
  std::int64_t headers_left = 0;
  bool past_first_data_line = false;
  CheckpointRow::Known known;
  ImportProgress progress;
};

ResumeRun::ResumeRun(const RunSettings& settings, DatabaseObjects& db, bool one_transaction,
                     ImportProgress& progress, ResumeHooks hooks, bool skip_busy_files)
    : settings_(settings),
      db_(db),
      one_transaction_(one_transaction),
      progress_(progress),
      hooks_(std::move(hooks)),
      recreate_pending_(settings.recreate && !one_transaction),
      skip_busy_files_(skip_busy_files) {
  if (!one_transaction_ && !recreate_pending_) open_target_table(settings_, db_);
}

ResumeRun::~ResumeRun() = default;

bool ResumeRun::open(const std::string& name) {
  auto file = std::make_unique<OpenFile>();
  file->label = name;
  file->fd = open_for_reading(name);
  FileInfo info;
  if (file->fd < 0 || !file_info(file->fd, info))
    throw Error(name + ": " + file_error_message(errno, name));
  if (info.folder) throw Error(name + ": " + file_error_message(EISDIR, name));
  file->device = info.device;
  file->inode = info.inode;
  // One file has one key, however its name is written.
  file->path = final_path(file->fd, name);
  file->headers_left = integer_text_value(settings_.header_lines);
  Engine& engine = db_.access_con.engine();
  if (table_key_.empty()) table_key_ = engine.table_key(settings_.table_name);
  file->row = std::make_unique<CheckpointRow>(db_.qry, table_key_, settings_.table_name, file->path,
                                              absolute_path(name), info.device, info.inode);
  // Taken before the checkpoint is read: two runs that both read it would
  // both store the lines after it.
  file->lock = engine.try_lock("resume\n" + table_key_ + "\n" + file->path);
  if (!file->lock) {
    const std::string busy = fill_message(
        "%s wird gerade von einem anderen Lauf in die Tabelle %s geladen", {name, table_key_});
    if (!skip_busy_files_) throw Error(busy + "; dieser Lauf speichert nichts davon");
    if (hooks_.notice) hooks_.notice("Hinweis: " + busy + " und wird übergangen");
    return false;
  }

  const std::optional<Checkpoint> saved = file->row->load();
  // Outside a transaction a statement the engine refuses costs nothing.
  if (!indexes_added_ && !one_transaction_) add_checkpoint_indexes(db_.qry);
  indexes_added_ = true;
  // "*" starts over: the checkpoints from before the run go with the table.
  if (saved && !recreate_pending_) {
    const std::uint64_t size = file->size();
    bool matches = false;
    if (size >= saved->byte_offset && saved->fingerprint_bytes <= saved->byte_offset) {
      try {
        matches = file_fingerprint(file->fd, saved->fingerprint_bytes) == saved->fingerprint;
      } catch (const Error&) {
      }
    }
    // A file rewritten so that its first bytes stayed may have other lines
    // after them: the offset must still end the same line.
    matches = matches && line_ends_at(file->fd, saved->byte_offset, saved->line_hash);
    // The file its path's checkpoint was written for went: this one is new.
    matches = matches && !(fresh_ && file->row->renamed_from().empty());
    if (matches) {
      file->row->adopt_renamed();
      file->offset = saved->byte_offset;
      file->line_hash = saved->line_hash;
      file->line = saved->line_number;
      file->records = saved->records;
      file->headers_left = 0;
      file->past_first_data_line = true;
      file->fingerprint = saved->fingerprint;
      file->fingerprint_bytes = saved->fingerprint_bytes;
    } else if (hooks_.notice && file->row->renamed_from().empty()) {
      hooks_.notice(fill_message(
          "Hinweis: %s passt nicht mehr zu ihrem Stand in %s (ersetzt, rotiert oder "
          "gekürzt) und wird ab Zeile 1 geladen",
          {name, kCheckpointTable}));
    }
  }
  // A second copy of a file the table holds already stores its records
  // again: that is what the user asked for, but rarely what was meant.
  if (!saved && hooks_.notice) {
    if (const std::uint64_t size = file->size(); size > 0) {
      std::string fingerprint;
      try {
        fingerprint = file_fingerprint(file->fd, size);
      } catch (const Error&) {
      }
      const std::string original =
          fingerprint.empty() ? std::string() : file->row->copy_of(fingerprint, size);
      if (!original.empty())
        hooks_.notice(fill_message("Hinweis: %s hat denselben Inhalt wie %s, die schon in die "
                                   "Tabelle %s geladen ist, ist aber eine andere Datei (eine "
                                   "Kopie?) und wird ab Zeile 1 geladen",
                                   {name, original, table_key_}));
    }
  }
  keep_lock();
  file_ = std::move(file);
  return true;
}

void ResumeRun::keep_lock() {
  // In one transaction the checkpoints are written at the commit: until
  // then each file stays locked.
  if (one_transaction_ && file_ && file_->lock) kept_locks_.push_back(std::move(file_->lock));
}

void ResumeRun::load(const std::string& name) {
  if (!open(name)) return;
  pass();
  save_full_fingerprint();
  keep_lock();
}

void ResumeRun::follow(const std::string& name) {
  open(name);
  const auto start_over = [&](const char* notice) {
    if (hooks_.notice) hooks_.notice(fill_message(notice, {file_->label}));
    file_->offset = 0;
    file_->no_line_end_before = 0;
    file_->line_start = 0;
    file_->line = 0;
    file_->records = 0;
    file_->fingerprint_bytes = 0;
    file_->headers_left = integer_text_value(settings_.header_lines);
    file_->past_first_data_line = false;
  };
  const auto stopping = [&] { return hooks_.stop_requested && hooks_.stop_requested(); };
  while (!stopping()) {
    pass();
    if (stopping()) break;
    if (file_->replaced()) {
      // Rotation: the old file's last lines first, then the new one from
      // its first line.
      pass();
      if (stopping()) break;
      save_full_fingerprint();
      std::unique_ptr<CheckpointRow> row = std::move(file_->row);
      std::unique_ptr<EngineLock> lock = std::move(file_->lock);
      const std::string label = file_->label;
      file_.reset();
      auto fresh = std::make_unique<OpenFile>();
      fresh->label = label;
      fresh->fd = open_for_reading(label);
      FileInfo info;
      if (fresh->fd < 0 || !file_info(fresh->fd, info))
        throw Error(label + ": " + file_error_message(errno, label));
      fresh->device = info.device;
      fresh->inode = info.inode;
      fresh->path = final_path(fresh->fd, label);
      fresh->headers_left = integer_text_value(settings_.header_lines);
      fresh->row = std::move(row);
      fresh->row->set_identity(info.device, info.inode);
      fresh->lock = std::move(lock);
      file_ = std::move(fresh);
      continue;
    }
    if (file_->size() < file_->offset) {
      start_over("Hinweis: %s wurde gekürzt und wird ab Zeile 1 geladen");
      continue;
    }
    // Written anew in place ("cat new > file"): the line before the
    // offset is another one now.
    if (!line_ends_at(file_->fd, file_->offset, file_->line_hash)) {
      start_over("Hinweis: %s wurde neu geschrieben und wird ab Zeile 1 geladen");
      continue;
    }
    if (hooks_.wait_for_change) hooks_.wait_for_change(file_->label);
  }
  save_full_fingerprint();
}

void ResumeRun::pass() {
  if (!one_transaction_) {
    read_lines();
    return;
  }
  // Nothing commits before the end: the records are stored on a second
  // thread while this one reads and converts the next lines.
  StoringThreadSink storing(db_.itab, {}, {});
  storing_ = &storing;
  try {
    read_lines();
  } catch (...) {
    storing_ = nullptr;
    storing.finish(progress_);
    throw;
  }
  storing_ = nullptr;
  storing.finish(progress_);
}

bool ResumeRun::unfinished_line_still_open() {
  OpenFile& f = *file_;
  if (f.no_line_end_before <= f.offset) return false;
  // Only the bytes added since are looked at: a long line written slowly
  // is not read again at every change.
  std::vector<char> bytes(64 * 1024);
  for (;;) {
    const std::int64_t n = read_at(f.fd, bytes.data(), bytes.size(), f.no_line_end_before);
    if (n < 0) return false;  // the pass reports it
    if (n == 0) break;
    const auto* begin = bytes.data();
    const auto* end = begin + n;
    if (std::find_if(begin, end, [](char c) { return c == '\n' || c == '\x1a'; }) != end)
      return false;
    f.no_line_end_before += static_cast<std::uint64_t>(n);
  }
  // Beyond the limit the pass reports the line as too long.
  return f.no_line_end_before - f.offset <= kMaxLineLength;
}

void ResumeRun::read_lines() {
  for (;;) {
    try {
      read_available_lines();
      if (end_group()) break;
    } catch (const GroupRolledBack&) {
    } catch (...) {
      // A line that cannot be read or converted ends the run after the
      // lines before it; an earlier line that the database refused only
      // at the group's commit is the one found when they are read again.
      if (!group_) {
        replay_through_ = 0;
        throw;
      }
      const std::exception_ptr failure = std::current_exception();
      const std::uint64_t failed_at = progress_.line;
      if (end_group()) {
        replay_through_ = 0;
        std::rethrow_exception(failure);
      }
      replay_through_ = std::max(replay_through_, failed_at);
    }
  }
  replay_through_ = 0;
}

void ResumeRun::read_available_lines() {
  OpenFile& f = *file_;
  if (unfinished_line_still_open()) return;
  if (seek_to(f.fd, static_cast<std::int64_t>(f.offset)) < 0)
    throw Error(f.label + ": " + file_error_message(errno, f.label));
  if (f.offset == 0) {
    // The offsets are those of the file's bytes: a UTF-16 file's are not.
    char mark[2];
    if (read_at(f.fd, mark, 2, 0) == 2 &&
        ((mark[0] == '\xFF' && mark[1] == '\xFE') || (mark[0] == '\xFE' && mark[1] == '\xFF')))
      throw Error(f.label + ": --resume und --follow lesen nur 8-Bit- und UTF-8-Dateien, "
                            "keine UTF-16-Dateien");
  }
  DescriptorSource source(f.fd, f.label);
  LineCursor cursor(source, CursorStart{f.offset, f.line, f.headers_left, f.past_first_data_line},
                    true);
  const auto stopping = [&] { return hooks_.stop_requested && hooks_.stop_requested(); };
  import_lines(
      settings_, cursor,
      [&](const Row& row) { store(row, cursor.line_start(), cursor.offset(), cursor.lines()); },
      progress_, stopping, hooks_.rejects);
  // Header lines used up count as the data lines stored do.
  f.offset = cursor.offset();
  f.line = cursor.lines();
  f.headers_left = cursor.headers_left();
  f.past_first_data_line = cursor.past_first_data_line();
  if (cursor.holding()) f.no_line_end_before = cursor.read_end();
}

Checkpoint ResumeRun::checkpoint_at(std::uint64_t start, std::uint64_t offset, std::uint64_t line,
                                    std::uint64_t records, bool full) {
  OpenFile& f = *file_;
  // Hashing up to 128 KiB per record would cost more than the record: the
  // fingerprint moves on only when the offset has doubled, and to the end
  // when a file is done. The bytes between stay covered by the offset alone.
  if (full ? f.fingerprint_bytes != offset
           : f.fingerprint_bytes == 0 || offset >= 2 * f.fingerprint_bytes) {
    f.fingerprint = file_fingerprint(f.fd, offset);
    f.fingerprint_bytes = offset;
  }
  return Checkpoint{f.fingerprint, f.fingerprint_bytes, offset, line, records,
                    line_hash(f.fd, start, offset)};
}

void ResumeRun::commit_line(std::uint64_t start, std::uint64_t end_offset, std::uint64_t line,
                            std::uint64_t records, const std::function<void()>& write,
                            bool may_group) {
  OpenFile& f = *file_;
  if (may_group && !recreate_pending_ && line > replay_through_) {
    if (!group_) {
      group_ = std::make_unique<Group>(db_.access_con.engine());
      Group& g = *group_;
      g.offset = f.offset;
      g.line = f.line;
      g.records = f.records;
      g.stored_now = f.stored_now;
      g.line_start = f.line_start;
      g.run_stored = stored_;
      g.fingerprint_bytes = f.fingerprint_bytes;
      g.fingerprint = f.fingerprint;
      g.headers_left = f.headers_left;
      g.past_first_data_line = f.past_first_data_line;
      g.known = f.row->known();
      g.progress = progress_;
    }
    try {
      write();
    } catch (const ProviderError& error) {
      roll_back_group(error.stopped_by_server() ? 0 : line);
      if (error.stopped_by_server()) throw;
      throw GroupRolledBack{};
    } catch (...) {
      roll_back_group(line);
      throw GroupRolledBack{};
    }
    f.records = records;
    moved_past(start, end_offset, line);
    if (++group_->lines >= kGroupLines ||
        std::chrono::steady_clock::now() - group_->began >= kGroupTime) {
      if (!end_group()) throw GroupRolledBack{};
    }
    return;
  }
  const bool recreating = recreate_pending_;
  // A refused record may surface only at the commit, after the
  // checkpoint's save: with rejects the run goes on, from the checkpoint
  // as it was.
  const CheckpointRow::Known known = f.row->known();
  Checkpoint checkpoint;
  try {
    Transaction transaction(db_.access_con.engine(), Transaction::Length::short_one);
    // "*" happens with the run's first line, whether it is stored or
    // rejected: a recreate after it would take its checkpoint along.
    if (recreating) {
      open_target_table(settings_, db_, true);
      f.row->clear_table();
    }
    write();
    checkpoint = checkpoint_at(start, end_offset, line, records, false);
    f.row->save(checkpoint);
    transaction.commit();
  } catch (...) {
    f.row->restore(known);
    throw;
  }
  f.line_hash = checkpoint.line_hash;
  f.records = records;
  recreate_pending_ = false;
  if (recreating) {
    // An engine whose drop and create commit at once fills the new table
    // under another name until the commit swaps it in; the later records
    // go to the table by its own name.
    RunSettings plain = settings_;
    plain.recreate = false;
    open_target_table(plain, db_, false);
  }
  moved_past(start, end_offset, line);
}

void ResumeRun::moved_past(std::uint64_t start, std::uint64_t end_offset, std::uint64_t line) {
  OpenFile& f = *file_;
  f.line_start = start;
  f.offset = end_offset;
  f.line = line;
  // Past a data line the headers are behind, and a byte 26 at a line's
  // start ends the data: a group read again starts from here.
  f.headers_left = 0;
  f.past_first_data_line = true;
  // A rejected line moves the checkpoint as a stored record does: the
  // full fingerprint follows it at the file's end.
  ++f.stored_now;
}

bool ResumeRun::end_group() {
  if (!group_) return true;
  OpenFile& f = *file_;
  Checkpoint checkpoint;
  try {
    checkpoint = checkpoint_at(f.line_start, f.offset, f.line, f.records, false);
    f.row->save(checkpoint);
    group_->transaction.commit();
  } catch (const CommitOutcomeUnknown&) {
    roll_back_group(0);
    throw;
  } catch (const ProviderError& error) {
    if (error.stopped_by_server()) {
      roll_back_group(0);
      throw;
    }
    roll_back_group(f.line);
    return false;
  } catch (...) {
    roll_back_group(f.line);
    return false;
  }
  f.line_hash = checkpoint.line_hash;
  group_.reset();
  return true;
}

void ResumeRun::roll_back_group(std::uint64_t through) noexcept {
  OpenFile& f = *file_;
  Group& g = *group_;
  f.offset = g.offset;
  f.line = g.line;
  f.records = g.records;
  f.stored_now = g.stored_now;
  f.line_start = g.line_start;
  f.headers_left = g.headers_left;
  f.past_first_data_line = g.past_first_data_line;
  f.row->restore(g.known);
  stored_ = g.run_stored;
  // A checkpoint never covers bytes beyond its offset with its fingerprint.
  f.fingerprint_bytes = g.fingerprint_bytes;
  f.fingerprint = std::move(g.fingerprint);
  progress_ = g.progress;
  replay_through_ = std::max(replay_through_, through);
  group_.reset();  // rolls the transaction back
}

void ResumeRun::store(const Row& row, std::uint64_t start, std::uint64_t end_offset,
                      std::uint64_t line) {
  OpenFile& f = *file_;
  if (one_transaction_) {
    storing_->take(row, line);
    ++f.records;
    ++f.stored_now;
    f.line_start = start;
    f.offset = end_offset;
    f.line = line;
  } else {
    const LocaleFormats& formats = locale_formats();
    commit_line(start, end_offset, line, f.records + 1,
                [&] { append_row(db_.itab, row, formats); }, true);
  }
  if (hooks_.stored) hooks_.stored(++stored_);
}

void ResumeRun::keep_reject(const RejectedLine& line,
                            const std::function<void(const std::string&)>& write) {
  // A reject is counted as it is kept: it never waits in a group that
  // could still be rolled back and read again.
  if (!end_group()) throw GroupRolledBack{};
  commit_line(line.byte_offset, line.end_offset, line.line, file_->records,
              [&] { write(file_->path); }, false);
  ++rejected_;
}

void ResumeRun::save_full_fingerprint() {
  OpenFile& f = *file_;
  if (one_transaction_) {
    // At the one commit: the caller's transaction.
    if (f.stored_now > 0) f.row->save(checkpoint_at(f.line_start, f.offset, f.line, f.records, true));
    return;
  }
  if (f.stored_now == 0 || f.fingerprint_bytes == f.offset) return;
  Transaction transaction(db_.access_con.engine());
  f.row->save(checkpoint_at(f.line_start, f.offset, f.line, f.records, true));
  transaction.commit();
}

void ResumeRun::finish() {
  if (!recreate_pending_) return;
  Transaction transaction(db_.access_con.engine());
  open_target_table(settings_, db_, true);
  clear_checkpoints(db_, settings_.table_name);
  transaction.commit();
  recreate_pending_ = false;
}

void ResumeRun::start_from_line_one(const char* notice) {
  OpenFile& f = *file_;
  if (hooks_.notice) hooks_.notice(fill_message(notice, {f.label}));
  f.offset = 0;
  f.no_line_end_before = 0;
  f.line_start = 0;
  f.line = 0;
  f.records = 0;
  f.fingerprint_bytes = 0;
  f.headers_left = integer_text_value(settings_.header_lines);
  f.past_first_data_line = false;
}

bool ResumeRun::follow_pass(const std::string& name, bool fresh) {
  const auto found = following_.find(name);
  if (found != following_.end()) {
    file_ = std::move(found->second);
    following_.erase(found);
    if (file_->size() < file_->offset)
      start_from_line_one("Hinweis: %s wurde gekürzt und wird ab Zeile 1 geladen");
    else if (!line_ends_at(file_->fd, file_->offset, file_->line_hash))
      start_from_line_one("Hinweis: %s wurde neu geschrieben und wird ab Zeile 1 geladen");
  } else {
    fresh_ = fresh;
    const bool opened = open(name);
    fresh_ = false;
    if (!opened) return false;
  }
  following_pass();
  following_[name] = std::move(file_);
  return true;
}

void ResumeRun::let_go(const std::string& name) {
  const auto found = following_.find(name);
  if (found == following_.end()) return;
  file_ = std::move(found->second);
  following_.erase(found);
  following_pass();
  save_full_fingerprint();
  file_.reset();
}

void ResumeRun::following_pass() {
  // Counted anew for each pass: the progress is shared by all the files.
  progress_.first_line = 0;
  pass();
  if (progress_.first_line == 0) return;
  if (lines_read_.first == 0) lines_read_.first = progress_.first_line;
  lines_read_.second = progress_.line;
}

std::pair<std::uint64_t, std::uint64_t> ResumeRun::take_lines_read() {
  return std::exchange(lines_read_, {});
}

void ResumeRun::close_idle(const std::string& name) {
  const auto found = following_.find(name);
  if (found == following_.end()) return;
  file_ = std::move(found->second);
  following_.erase(found);
  save_full_fingerprint();
  file_.reset();
}

bool ResumeRun::file_state(const std::string& name, FileState& state) const {
  const auto found = following_.find(name);
  if (found == following_.end()) return false;
  const OpenFile& f = *found->second;
  state = {f.path, f.offset, f.size(), f.records, f.device, f.inode};
  return true;
}

}  // namespace kadrum
