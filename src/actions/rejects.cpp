#include "actions/rejects.h"

#include <array>
#include <ctime>

#include "base/error.h"
#include "base/provider_error.h"
#include "base/stop_signal.h"
#include "base/utc_time.h"
#include "base/utf8.h"

namespace kadrum {

namespace {

constexpr std::string_view kCutMark = " […]";

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// SQLite's result codes, whose low byte is the primary code.
bool sqlite_row_refused(int code) {
  constexpr int constraint = 19, mismatch = 20, too_big = 18;
  const int primary = code & 0xff;
  return primary == constraint || primary == mismatch || primary == too_big;
}

// SQLSTATEs of a row the database refuses: data exceptions (22: a value of
// the wrong type, out of range or too long), integrity constraints (23),
// WITH CHECK OPTION (44), a trigger's RAISE EXCEPTION (PostgreSQL's P0001)
// or SIGNAL (45000 in MariaDB and MySQL), and the warnings with which a
// driver tells of a value it cut or rounded (01004, 01S07).
bool sqlstate_row_refused(std::string_view state) {
  for (const std::string_view prefix : {"22", "23", "44"})
    if (state.starts_with(prefix)) return true;
  for (const std::string_view exact : {"P0001", "45000", "01004", "01S07"})
    if (state == exact) return true;
  return false;
}

}  // namespace

bool is_line_fault(const std::exception& error) {
  // Whatever fails once a stop is requested fails because of the stop.
  if (!stop_request().empty()) return false;
  if (dynamic_cast<const LineFault*>(&error)) return true;
  const auto* provider = dynamic_cast<const ProviderError*>(&error);
  if (!provider || provider->stopped_by_server()) return false;
  const std::string& code = provider->code();
  // An SQLSTATE has five characters, digits alone for the standard's own;
  // SQLite's extended result codes have at most four digits.
  if (code.size() < 5 && all_digits(code)) return sqlite_row_refused(std::stoi(code));
  return code.size() == 5 && sqlstate_row_refused(code);
}

std::string reject_text(std::string_view text, bool cut) {
  constexpr std::string_view replacement = "\xEF\xBF\xBD";
  const std::size_t room = kRejectTextBytes - kCutMark.size();
  std::string kept;
  std::size_t fits = 0;  // the longest start, at a character's end, that leaves room for the mark
  std::size_t pos = 0;
  while (pos < text.size() && kept.size() <= kRejectTextBytes) {
    if (kept.size() <= room) fits = kept.size();
    const std::size_t size = utf8_char_size(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    const bool valid = lead != 0 && (size > 1 || lead < 0x80);
    kept += valid ? text.substr(pos, size) : replacement;
    pos += size;
  }
  if (kept.size() <= room) fits = kept.size();
  if (!cut && pos == text.size() && kept.size() <= kRejectTextBytes) return kept;
  kept.resize(fits);
  kept += kCutMark;
  return kept;
}

RejectTable::RejectTable(Query& qry, std::string table) : qry_(qry), table_(std::move(table)) {
  const auto probe = [&] {
    qry_.clear();
    qry_.add(std::string("select line_text from ") + kRejectsTable + " where 1 = 0");
    qry_.rows();
  };
  try {
    probe();
    return;
  } catch (const std::exception&) {
  }
  // Missing on first use; another run may make it at the same moment.
  try {
    qry_.clear();
    qry_.add(std::string("create table ") + kRejectsTable +
             " ( target_table varchar(255), source varchar(4000), line_number bigint,"
             " byte_offset bigint, line_text varchar(4000), reason varchar(4000),"
             " saved_at_utc varchar(19) )");
    qry_.execute();
  } catch (const std::exception&) {
  }
  probe();  // it is ready now, or its failure is the one to show
}

void RejectTable::save(const std::string& source, const RejectedLine& line,
                       std::string_view reason) {
  if (!insert_) {
    qry_.clear();
    qry_.add(std::string("insert into ") + kRejectsTable +
             " ( target_table, source, line_number, byte_offset, line_text, reason,"
             " saved_at_utc ) values ( :target_table, :source, :line_number, :byte_offset,"
             " :line_text, :reason, :saved_at_utc )");
    insert_ = qry_.prepare();
  }
  const StatementValue values[] = {table_,
                                   reject_text(source),
                                   static_cast<std::int64_t>(line.line),
                                   static_cast<std::int64_t>(line.byte_offset),
                                   reject_text(line.text, line.cut),
                                   reject_text(reason),
                                   utc_text(std::time(nullptr))};
  insert_->run(values);
}

Rejects::Rejects(std::optional<std::uint64_t> max_errors, Kept kept)
    : max_errors_(max_errors), kept_(std::move(kept)) {}

bool Rejects::reject(const RejectedLine& line, const std::exception& error) {
  if (!keep_ || !is_line_fault(error)) return false;
  std::uint64_t count = 0;
  {
    const std::lock_guard lock(mutex_);
    if (max_errors_ && count_ >= *max_errors_) return false;
    count = ++count_;
  }
  const std::string reason = display_text(error);
  try {
    keep_(line, reason);
  } catch (...) {
    // Not kept: the line may be offered again (a resumed run reads it
    // again after a failed commit group).
    const std::lock_guard lock(mutex_);
    --count_;
    throw;
  }
  if (kept_) kept_(line, reason, count);
  return true;
}

}  // namespace kadrum
