#include "actions/checkpoint.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "base/error.h"
#include "base/file_io.h"
#include "base/utc_time.h"
#include "import/file_byte_source.h"

namespace kadrum {

namespace {

constexpr std::uint64_t kSample = 64 * 1024;

std::string number(std::uint64_t n) { return std::to_string(n); }

std::int64_t count(std::uint64_t n) { return static_cast<std::int64_t>(n); }

// The widths of the key columns: a longer key would be cut, or refused at
// the first record.
constexpr std::size_t kTableWidth = 255;
constexpr std::size_t kPathWidth = 4000;
// The line hash covers at most the last bytes of a long line.
constexpr std::uint64_t kLineTail = 4096;

// 16 lower-case hex digits; by hand, since it runs with every record.
std::string hex(std::uint64_t value) {
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 0xf];
  return text;
}

constexpr const char* kColumns =
    "fingerprint, fingerprint_bytes, byte_offset, line_number, records";

std::uint64_t parse_count(const std::string& text) {
  try {
    return std::stoull(text);
  } catch (const std::exception&) {
    throw Error(fill_message("Der Stand in %s ist unlesbar: '%s'", {kCheckpointTable, text}));
  }
}

class Fnv {
 public:
  void add(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      hash_ ^= static_cast<unsigned char>(bytes[i]);
      hash_ *= 0x100000001b3ULL;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

void hash_range(int fd, std::uint64_t from, std::uint64_t to, Fnv& fnv) {
  std::vector<char> buffer(kSample);
  while (from < to) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, kSample));
    const std::int64_t n = read_at(fd, buffer.data(), want, from);
    if (n <= 0)
      throw Error(n == 0 ? std::string("Die Textdatei ist kürzer als ihr Stand")
                         : file_error_message(errno, ""));
    fnv.add(buffer.data(), static_cast<std::size_t>(n));
    from += static_cast<std::uint64_t>(n);
  }
}

}  // namespace

std::string file_fingerprint(int fd, std::uint64_t length) {
  Fnv fnv;
  const std::string size = number(length);
  fnv.add(size.data(), size.size());
  if (length <= 2 * kSample) {
    hash_range(fd, 0, length, fnv);
  } else {
    hash_range(fd, 0, kSample, fnv);
    hash_range(fd, length - kSample, length, fnv);
  }
  return hex(fnv.value());
}

std::string line_hash(int fd, std::uint64_t start, std::uint64_t end) {
  // Written with every record: a buffer of the line's size on the stack,
  // not hash_range's sample-sized one.
  std::array<char, kLineTail> bytes;
  std::uint64_t from = std::max(start, end > kLineTail ? end - kLineTail : 0);
  Fnv fnv;
  while (from < end) {
    const std::int64_t n = read_at(fd, bytes.data(), static_cast<std::size_t>(end - from), from);
    if (n <= 0)
      throw Error(n == 0 ? std::string("Die Textdatei ist kürzer als ihr Stand")
                         : file_error_message(errno, ""));
    fnv.add(bytes.data(), static_cast<std::size_t>(n));
    from += static_cast<std::uint64_t>(n);
  }
  return hex(fnv.value());
}

bool line_ends_at(int fd, std::uint64_t offset, const std::string& hash) noexcept {
  if (offset == 0) return true;
  // The bytes before the offset: the line's own end and, before it, the
  // end of the line before, or the start of the file.
  const std::uint64_t from = offset > kLineTail + 1 ? offset - kLineTail - 1 : 0;
  std::vector<char> bytes(static_cast<std::size_t>(offset - from));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::int64_t n = read_at(fd, bytes.data() + got, bytes.size() - got, from + got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  if (bytes.back() != '\n' && bytes.back() != '\x1a') return false;
  if (hash.empty()) return true;
  std::uint64_t start = offset > kLineTail ? offset - kLineTail : 0;
  for (std::size_t i = bytes.size() - 1; i-- > 0;) {
    if (bytes[i] == '\n' || bytes[i] == '\x1a') {
      start = std::max(start, from + i + 1);
      break;
    }
  }
  try {
    return line_hash(fd, start, offset) == hash;
  } catch (const Error&) {
    return false;
  }
}

void add_checkpoint_indexes(Query& qry) noexcept {
  const std::string table = kCheckpointTable;
  for (const std::string& sql :
       {"create index if not exists kadrum_checkpoints_path on " + table + " using hash (file_path)",
        "create index if not exists kadrum_checkpoints_path on " + table + " (file_path)",
        "create index if not exists kadrum_checkpoints_identity on " + table + " (file_inode)",
        "create index kadrum_checkpoints_identity on " + table + " (file_inode)"}) {
    try {
      qry.clear();
      qry.add(sql);
      qry.execute();
    } catch (const std::exception&) {
    }
  }
}

CheckpointRow::CheckpointRow(Query& qry, std::string table, std::string typed, std::string path,
                             std::string given_path, std::uint64_t device, std::uint64_t inode)
    : qry_(qry),
      table_(std::move(table)),
      typed_(std::move(typed)),
      path_(std::move(path)),
      given_path_(std::move(given_path)),
      device_(count(device)),
      inode_(count(inode)) {
  if (path_.size() > kPathWidth)
    throw Error(fill_message("%s: der Pfad ist %d Bytes lang; %s hält Pfade bis %d Bytes",
                             {path_, std::to_string(path_.size()), kCheckpointTable,
                              std::to_string(kPathWidth)}));
  if (table_.size() > kTableWidth)
    throw Error(fill_message("Der Tabellenname '%s' ist für %s zu lang (höchstens %d Bytes)",
                             {table_, kCheckpointTable, std::to_string(kTableWidth)}));
}

std::unique_ptr<EngineStatement> CheckpointRow::prepared(const std::string& sql,
                                                         const std::string& one_row_failure) {
  qry_.clear();
  qry_.add(sql);
  return qry_.prepare(one_row_failure);
}

std::vector<std::vector<std::string>> CheckpointRow::select(const std::string& table,
                                                            const std::string& path) {
  const StatementValue values[] = {table, path};
  return prepared(std::string("select ") + kColumns + ", line_hash from " + kCheckpointTable +
                  " where target_table = :target_table and file_path = :file_path")
      ->rows(values);
}

void CheckpointRow::make_ready() {
  const auto probe = [&] {
    qry_.clear();
    qry_.add(std::string("select line_hash, file_device, file_inode from ") + kCheckpointTable +
             " where 1 = 0");
    qry_.rows();
  };
  try {
    probe();
    return;
  } catch (const std::exception&) {
  }
  bool made_before = false;
  try {
    qry_.clear();
    qry_.add(std::string("select target_table from ") + kCheckpointTable + " where 1 = 0");
    qry_.rows();
    made_before = true;
  } catch (const std::exception&) {
  }
  if (made_before) {
    // A checkpoint table of an earlier Kadrum gets the columns it lacks;
    // its rows keep their offsets and are checked as before. Another run
    // may add them at the same moment.
    for (const char* column :
         {"line_hash varchar(16)", "file_device bigint", "file_inode bigint"}) {
      try {
        qry_.clear();
        qry_.add(std::string("alter table ") + kCheckpointTable + " add " + column);
        qry_.execute();
      } catch (const std::exception&) {
      }
    }
  } else {
    // Missing on first use; another run may make it at the same moment.
    try {
      qry_.clear();
      qry_.add(std::string("create table ") + kCheckpointTable +
               " ( target_table varchar(255), file_path varchar(4000), fingerprint varchar(16),"
               " fingerprint_bytes bigint, byte_offset bigint, line_number bigint,"
               " records bigint, saved_at_utc varchar(19), line_hash varchar(16),"
               " file_device bigint, file_inode bigint )");
      qry_.execute();
    } catch (const std::exception&) {
    }
  }
  probe();  // it is ready now, or its failure is the one to show
}

void CheckpointRow::move(const std::string& table, const std::string& path) {
  const StatementValue values[] = {table_, path_, table, path};
  prepared(std::string("update ") + kCheckpointTable +
           " set target_table = :key, file_path = :path"
           " where target_table = :old_key and file_path = :old_path")
      ->run(values);
}

std::optional<Checkpoint> CheckpointRow::load() {
  make_ready();
  std::vector<std::vector<std::string>> rows = select(table_, path_);
  // Written by a Kadrum that keyed by the table as typed, or by the path
  // as given: moved to the keys.
  if (rows.empty() && typed_ != table_ && !select(typed_, path_).empty()) {
    move(typed_, path_);
    rows = select(table_, path_);
  }
  if (rows.empty() && given_path_ != path_ && !select(table_, given_path_).empty()) {
    move(table_, given_path_);
    rows = select(table_, path_);
  }
  renamed_from_.clear();
  if (rows.empty() && (device_ != 0 || inode_ != 0)) {
    // The same file (device and inode) under another name: renamed. Its
    // checkpoint counts once the caller finds it matches the file.
    const StatementValue values[] = {table_, device_, inode_};
    const auto same = prepared(std::string("select file_path from ") + kCheckpointTable +
                               " where target_table = :target_table and file_device = :device"
                               " and file_inode = :inode")
                          ->rows(values);
    if (!same.empty() && !same.front().empty() && same.front().front() != path_) {
      renamed_from_ = same.front().front();
      rows = select(table_, renamed_from_);
    }
  }
  exists_ = !rows.empty() && renamed_from_.empty();
  if (rows.empty() || rows.front().size() < 6) return std::nullopt;
  const auto& row = rows.front();
  Checkpoint checkpoint{row[0], parse_count(row[1]), parse_count(row[2]), parse_count(row[3]),
                        parse_count(row[4]), row[5]};
  saved_offset_ = checkpoint.byte_offset;
  return checkpoint;
}

std::string CheckpointRow::copy_of(const std::string& fingerprint, std::uint64_t bytes) {
  const StatementValue values[] = {table_, fingerprint, count(bytes), count(bytes)};
  const auto rows = prepared(std::string("select file_path, file_device, file_inode from ") +
                             kCheckpointTable +
                             " where target_table = :target_table and fingerprint = :fingerprint"
                             " and fingerprint_bytes = :bytes and byte_offset = :offset")
                        ->rows(values);
  for (const auto& row : rows) {
    if (row.size() < 3 || row[0] == path_) continue;
    // The same file under another name is renamed, not copied.
    const bool same_file = (device_ != 0 || inode_ != 0) && row[1] == std::to_string(device_) &&
                           row[2] == std::to_string(inode_);
    if (!same_file) return row[0];
  }
  return {};
}

void CheckpointRow::adopt_renamed() {
  if (renamed_from_.empty()) return;
  move(table_, renamed_from_);
  renamed_from_.clear();
  exists_ = true;
}

void CheckpointRow::save(const Checkpoint& c) {
  // Written with every record: the text of the time changes once a second.
  if (const std::time_t now = std::time(nullptr); now != saved_second_) {
    saved_at_ = utc_text(now);
    saved_second_ = now;
  }
  if (exists_) {
    if (!update_)
      update_ = prepared(
          std::string("update ") + kCheckpointTable +
              " set fingerprint = :fingerprint, fingerprint_bytes = :fingerprint_bytes,"
              " byte_offset = :byte_offset, line_number = :line_number, records = :records,"
              " saved_at_utc = :saved_at_utc, line_hash = :line_hash, file_device = :device,"
              " file_inode = :inode where target_table = :target_table and file_path = :file_path"
              " and byte_offset = :saved_offset",
          fill_message("Der Stand von %s in %s wurde während des Laufs von anderer Seite "
                       "geändert oder gelöscht; was danach kam, wurde nicht gespeichert",
                       {path_, kCheckpointTable}));
    const StatementValue values[] = {c.fingerprint,        count(c.fingerprint_bytes),
                                     count(c.byte_offset), count(c.line_number),
                                     count(c.records),     saved_at_,
                                     c.line_hash,          device_,
                                     inode_,               table_,
                                     path_,                count(saved_offset_)};
    update_->run(values);
    saved_offset_ = c.byte_offset;
    return;
  }
  const StatementValue values[] = {table_,
                                   path_,
                                   c.fingerprint,
                                   count(c.fingerprint_bytes),
                                   count(c.byte_offset),
                                   count(c.line_number),
                                   count(c.records),
                                   saved_at_,
                                   c.line_hash,
                                   device_,
                                   inode_};
  prepared(std::string("insert into ") + kCheckpointTable +
           " ( target_table, file_path, fingerprint, fingerprint_bytes, byte_offset,"
           " line_number, records, saved_at_utc, line_hash, file_device, file_inode ) values"
           " ( :target_table, :file_path, :fingerprint, :fingerprint_bytes, :byte_offset,"
           " :line_number, :records, :saved_at_utc, :line_hash, :device, :inode )")
      ->run(values);
  exists_ = true;
  saved_offset_ = c.byte_offset;
}

void CheckpointRow::clear_table() {
  // Those kept under the typed name go too: they would be adopted later.
  const StatementValue values[] = {table_, typed_};
  prepared(std::string("delete from ") + kCheckpointTable +
           " where target_table = :key or target_table = :typed")
      ->run(values);
  exists_ = false;
}

}  // namespace kadrum
