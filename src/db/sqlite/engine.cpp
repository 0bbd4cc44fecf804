#include "db/sqlite/engine.h"

#include <sqlite3.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "base/file_io.h"
#include "base/messages.h"
#include "base/provider_error.h"
#include "db/data_source.h"
#include "db/identifier.h"
#include "db/sql_text.h"
#include "db/sqlite/errors.h"
#include "db/sqlite/statement.h"
#include "db/sqlite/table.h"

namespace kadrum::sqlite {

namespace {

// The name to give SQLite for the file "path". SQLite reads ":memory:" as a
// database in memory and names beginning with "file:" as URIs; "./" keeps
// such a relative path the plain file name it is.
std::string sqlite_file_name(const std::string& path) {
  if (path == ":memory:" || path.rfind("file:", 0) == 0) return "./" + path;
  return path;
}

// Opens the database file "path" with "flags". Throws ProviderError with
// SQLite's description.
DatabaseHandle open_file(const std::string& path, int flags) {
  // Kadrum never asks SQLite how much memory it holds; without that count no
  // allocation takes SQLite's global memory mutex. SQLite takes the setting
  // only before its first use in the process, hence once, here.
  static const int no_memory_count = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)no_memory_count;
  sqlite3* raw = nullptr;
  // One connection serves one thread: SQLite's own mutexes would only cost.
  const int rc = sqlite3_open_v2(sqlite_file_name(path).c_str(), &raw,
                                 flags | SQLITE_OPEN_NOMUTEX, nullptr);
  DatabaseHandle db = adopt_database(raw);
  if (rc != SQLITE_OK) {
    if (raw) throw_last_error(raw);
    throw ProviderError(messages::engine_failure, sqlite3_errstr(rc), std::to_string(rc));
  }
  return db;
}

// The path may be a mistyped connection string or URI: its passwords never
// stand in the message.
[[noreturn]] void refuse(std::string_view format, const std::string& path) {
  throw ProviderError(fill_message(format, {shown_data_source(path)}));
}

// Looks at the first bytes, so that an Access file or a stray text file is
// named as such instead of failing later with a vague engine message.
void check_file_format(const std::string& path, std::uint64_t size) {
  // SQLite takes an empty file as an empty database.
  if (size == 0) return;
  const int fd = open_for_reading(path);
  if (fd < 0) refuse("Die Datenbankdatei '%s' kann nicht gelesen werden", path);
  char head[20] = {};
  std::size_t got = 0;
  for (std::int64_t n = 1; n > 0 && got < sizeof head; got += static_cast<std::size_t>(n))
    if ((n = read_some(fd, head + got, sizeof head - got)) < 0) n = 0;
  close_file(fd);
  if (got >= 19 && (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 ||
                    std::memcmp(head + 4, "Standard ACE DB", 15) == 0))
    refuse("Die Datei '%s' ist eine Access-Datenbank; das Access-Format wird "
           "nicht unterstützt, nur SQLite-Datenbanken",
           path);
  if (got < 16 || std::memcmp(head, "SQLite format 3", 16) != 0)
    refuse("Die Datei '%s' ist keine SQLite-Datenbank", path);
}

// SQLite's busy handler: waits up to 5 s in steps of 10 ms for another
// writer, and gives up at once when a stop is requested.
int wait_while_busy(void*, int tries) {
  if (tries >= 500 || !stop_request().empty()) return 0;
  wait_for_stop_request(10);
  return 1;
}

void run(sqlite3* db, std::string_view sql) {
  Statement statement = Statement::prepare_single(db, sql);
  while (statement.step()) {
  }
}

// Runs "statement", preparing it from "sql" on first use, and leaves it
// ready to run again.
void run_kept(sqlite3* db, Statement& statement, std::string_view sql) {
  if (!statement) statement = Statement::prepare_single(db, sql);
  while (statement.step()) {
  }
  sqlite3_reset(statement.get());
}

}  // namespace

SqliteEngine::SqliteEngine(const std::string& path) : path_(path), locks_(path) {
  if (path.empty()) throw ProviderError("Keine Datenbankdatei angegeben");
  FileInfo info;
  if (!file_info(path, info)) {
    if (errno == ENOENT || errno == ENOTDIR)
      refuse("Die Datenbankdatei '%s' wurde nicht gefunden", path);
    refuse("Auf die Datenbankdatei '%s' kann nicht zugegriffen werden", path);
  }
  if (info.folder)
    refuse("'%s' ist ein Ordner und keine Datenbankdatei", path);
  if (!info.regular)
    refuse("'%s' ist keine Datei und damit keine Datenbankdatei", path);
  check_file_format(path, info.size);
  device_ = info.device;
  inode_ = info.inode;

  // Decided by the permission bits, so that a write-protected file stays
  // read-only even for root. No SQLITE_OPEN_CREATE: a database is never made
  // here by accident.
  const bool read_only = !info.writable;
  const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  db_ = open_file(path, flags);
  // A stop request ends a long statement; sqlite3_interrupt may be called
  // from another thread.
  stop_hook_ = std::make_unique<StopHook>([db = db_.get()] { sqlite3_interrupt(db); },
                                          [] {});

  // Another writer (or a reader taking a checkpoint) is waited for, not failed.
  sqlite3_busy_handler(db_.get(), wait_while_busy, nullptr);
  // Appends touch only the right edge of the table's tree, so a small page
  // cache is as fast as a big one and keeps memory flat for any file size.
  run(db_.get(), "PRAGMA cache_size=-128");
  if (!read_only) {
    // Every record commits by itself; WAL with synchronous=NORMAL makes that
    // cheap: no fsync per commit. A killed program loses nothing committed;
    // a power failure may lose the last commits but never damages the file.
    run(db_.get(), "PRAGMA journal_mode=WAL");
    run(db_.get(), "PRAGMA synchronous=NORMAL");
  }
}

void SqliteEngine::execute(std::string_view statement, std::size_t /*parameter_count*/) {
  // Parameters are left unbound, which SQLite takes as NULL. Inside a
  // transaction SQLite undoes a failed statement alone and keeps the rest.
  transactions_->send_waiting();
  run(db_.get(), statement);
}

std::unique_ptr<EngineStatement> SqliteEngine::prepare(std::string_view statement,
                                                      std::size_t /*parameter_count*/,
                                                      const std::string& one_row_failure) {
  return std::make_unique<SqliteStatement>(db_, statement, one_row_failure);
}

std::vector<std::vector<std::string>> SqliteEngine::select_text(std::string_view statement) {
  transactions_->send_waiting();
  Statement query = Statement::prepare_single(db_.get(), statement);
  const int columns = sqlite3_column_count(query.get());
  std::vector<std::vector<std::string>> rows;
  while (query.step()) {
    rows.emplace_back();
    for (int i = 0; i < columns; ++i) rows.back().push_back(query.text(i));
  }
  return rows;
}

std::unique_ptr<EngineTable> SqliteEngine::open_table(std::string_view name) {
  return std::make_unique<SqliteTable>(db_, open_form(name), transactions_);
}

void SqliteEngine::begin() {
  // IMMEDIATE takes the write lock now, so that a concurrent writer is found
  // (and waited for) before any work is done rather than at the commit.
  run_kept(db_.get(), begin_, "BEGIN IMMEDIATE");
  // Its records may wait to go many to a statement.
  transactions_->set_long_one(true);
}

void SqliteEngine::begin_short() {
  if (!short_transactions_) {
    // A short transaction writes two pages: its record's and Kadrum's
    // bookkeeping row's, which is the same page every time. The automatic
    // checkpoint counts pages written (1000 by default) and syncs the file
    // twice each time, but its copying costs only the distinct pages: at
    // twice the count it comes as often per record as for single records.
    run(db_.get(), "PRAGMA wal_autocheckpoint=2000");
    short_transactions_ = true;
  }
  begin();
  // A record and Kadrum's bookkeeping, committed a moment later: nothing
  // to gain by holding the record back.
  transactions_->set_long_one(false);
}

void SqliteEngine::commit() {
  transactions_->send_waiting();
  run_kept(db_.get(), commit_, "COMMIT");
  transactions_->set_long_one(false);
}

void SqliteEngine::rollback() noexcept {
  transactions_->drop_waiting();
  transactions_->set_long_one(false);
  if (sqlite3_get_autocommit(db_.get()) == 0)
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteEngine::check_still_reachable() const {
  FileInfo info;
  if (!file_info(path_, info) || info.device != device_ || info.inode != inode_)
    refuse("Die Datenbankdatei '%s' wurde gelöscht oder ersetzt, während Kadrum in sie "
           "schrieb; die Datensätze sind unter diesem Namen nicht zu finden",
           path_);
}

std::string SqliteEngine::table_key(std::string_view name) {
  const std::vector<std::string> parts = unquoted_name_parts(name);
  if (parts.size() > 2) return std::string(name);
  // An unqualified name finds a temporary table first, as SQLite does.
  const std::vector<std::string> schemas =
      parts.size() == 2 ? std::vector<std::string>{parts[0]} : std::vector<std::string>{"temp", "main"};
  for (const std::string& schema : schemas) {
    std::vector<std::vector<std::string>> found;
    try {
      SqliteStatement lookup(db_,
                             "SELECT name FROM " + quote_identifier(schema) +
                                 ".sqlite_schema WHERE type IN ('table', 'view') AND name = ? "
                                 "COLLATE NOCASE",
                             {});
      const StatementValue values[] = {parts.back()};
      found = lookup.rows(values);
    } catch (const ProviderError&) {
      continue;  // no such schema
    }
    if (found.empty()) continue;
    std::string folded = schema;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded == "main" ? found.front().front() : folded + "." + found.front().front();
  }
  return std::string(name);
}

void SqliteEngine::hold_recreate_lock(std::string_view name) {
  locks_.hold_table_lock(name);
}

std::unique_ptr<EngineLock> SqliteEngine::try_lock(std::string_view key) {
  return locks_.try_lock(key);
}

bool create_database(const std::string& path) {
  if (path.empty()) throw ProviderError("Keine Datenbankdatei angegeben");
  // The file itself is made here, exclusively, so that exactly the named
  // file comes into being and an existing one is never touched.
  const int fd = create_new_file(path);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw ProviderError(described(
        fill_message("Die Datenbankdatei '%s' kann nicht angelegt werden",
                     {shown_data_source(path)}),
        std::strerror(errno)));
  }
  close_file(fd);
  DatabaseHandle db = open_file(path, SQLITE_OPEN_READWRITE);
  // SQLite writes nothing until asked to; switching to write-ahead logging
  // writes the header, so the file is a real database from now on.
  run(db.get(), "PRAGMA journal_mode=WAL");
  return true;
}

}  // namespace kadrum::sqlite
