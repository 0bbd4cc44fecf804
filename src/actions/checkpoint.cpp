#include "actions/checkpoint.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "base/error.h"
#include "base/file_io.h"
#include "import/file_byte_source.h"

namespace kadrum {

namespace {

constexpr std::uint64_t kSample = 64 * 1024;

// A SQL string literal: single quotes around, each one inside doubled.
std::string literal(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  quoted += '\'';
  return quoted;
}

std::string number(std::uint64_t n) { return std::to_string(n); }

// Now, in UTC, as "2026-03-01 14:05:09": readable and sorting as text.
std::string utc_now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

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
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fnv.value()));
  return text;
}

CheckpointRow::CheckpointRow(Query& qry, std::string table, std::string path)
    : qry_(qry), table_(std::move(table)), path_(std::move(path)) {}

std::optional<Checkpoint> CheckpointRow::load() {
  const std::string where =
      " where target_table = " + literal(table_) + " and file_path = " + literal(path_);
  std::vector<std::vector<std::string>> rows;
  try {
    qry_.clear();
    qry_.add(std::string("select fingerprint, fingerprint_bytes, byte_offset, line_number, "
                         "records from ") + kCheckpointTable + where);
    rows = qry_.rows();
  } catch (const std::exception&) {
    // Missing on first use. Any other reason shows up at the create.
    qry_.clear();
    qry_.add(std::string("create table ") + kCheckpointTable +
             " ( target_table varchar(255), file_path varchar(4000), fingerprint varchar(16),"
             " fingerprint_bytes bigint, byte_offset bigint, line_number bigint,"
             " records bigint, saved_at_utc varchar(19) )");
    qry_.execute();
    exists_ = false;
    return std::nullopt;
  }
  exists_ = !rows.empty();
  if (rows.empty() || rows.front().size() < 5) return std::nullopt;
  const auto& row = rows.front();
  return Checkpoint{row[0], parse_count(row[1]), parse_count(row[2]), parse_count(row[3]),
                    parse_count(row[4])};
}

void CheckpointRow::save(const Checkpoint& c) {
  qry_.clear();
  if (exists_) {
    qry_.add(std::string("update ") + kCheckpointTable + " set fingerprint = " +
             literal(c.fingerprint) + ", fingerprint_bytes = " + number(c.fingerprint_bytes) +
             ", byte_offset = " + number(c.byte_offset) + ", line_number = " +
             number(c.line_number) + ", records = " + number(c.records) +
             ", saved_at_utc = " + literal(utc_now()) + " where target_table = " +
             literal(table_) + " and file_path = " + literal(path_));
  } else {
    qry_.add(std::string("insert into ") + kCheckpointTable +
             " ( target_table, file_path, fingerprint, fingerprint_bytes, byte_offset,"
             " line_number, records, saved_at_utc ) values ( " +
             literal(table_) + ", " + literal(path_) + ", " + literal(c.fingerprint) + ", " +
             number(c.fingerprint_bytes) + ", " + number(c.byte_offset) + ", " +
             number(c.line_number) + ", " + number(c.records) + ", " + literal(utc_now()) + " )");
  }
  qry_.execute();
  exists_ = true;
}

void CheckpointRow::clear_table() {
  qry_.clear();
  qry_.add(std::string("delete from ") + kCheckpointTable + " where target_table = " +
           literal(table_));
  qry_.execute();
  exists_ = false;
}

}  // namespace kadrum
