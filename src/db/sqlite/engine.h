// The SQLite engine: one connection to one existing database file.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stop_signal.h"
#include "db/engine.h"
#include "db/lock_file.h"
#include "db/sqlite/multirow/row_block.h"
#include "db/sqlite/session.h"

namespace kadrum::sqlite {

class SqliteEngine final : public Engine {
 public:
  // Opens the SQLite database file "path"; never creates one. Throws
  // ProviderError with a German description for an empty path, a missing
  // file, a folder, an Access file or any other file that is no SQLite
  // database, and with the engine's description when SQLite refuses it.
  explicit SqliteEngine(const std::string& path);

  void execute(std::string_view statement, std::size_t parameter_count) override;
  std::unique_ptr<EngineStatement> prepare(std::string_view statement,
                                           std::size_t parameter_count,
                                           const std::string& one_row_failure) override;
  std::unique_ptr<EngineTable> open_table(std::string_view name) override;
  std::vector<std::vector<std::string>> select_text(std::string_view statement) override;
  void begin() override;
  // As begin; the automatic checkpoint of the write-ahead log comes after
  // twice as many pages from then on (see there).
  void begin_short() override;
  void commit() override;
  void rollback() noexcept override;
  // Compares the device and inode that "path" names now with those of the
  // file opened.
  void check_still_reachable() const override;
  // An open-file-description lock on one byte, chosen by the name, of the
  // file "<path>-kadrum-lock" beside the database; the database's own write
  // lock ends with each commit.
  void hold_recreate_lock(std::string_view name) override;
  std::string table_key(std::string_view name) override;
  // A byte of the same file, chosen by the key.
  std::unique_ptr<EngineLock> try_lock(std::string_view key) override;
  const SqlDialect& sql_dialect() const override { return sqlite_sql; }

 protected:
  std::string_view number_type() const override { return "double"; }
  std::string parameter_marker(std::size_t) const override { return "?"; }

 private:
  DatabaseHandle db_;
  // Shared with the open tables: records waiting in a long transaction go
  // before any other statement and the commit.
  std::shared_ptr<Transactions> transactions_ = std::make_shared<Transactions>();
  std::string path_;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::unique_ptr<StopHook> stop_hook_;  // ends before db_
  // Prepared once: a run of --resume begins and commits with every record.
  Statement begin_;
  Statement commit_;
  bool short_transactions_ = false;  // begin_short was called
  LockFile locks_;
};

// Creates an empty SQLite database at "path" when no file is there and
// returns true; returns false, changing nothing, when a file exists. Throws
// ProviderError when the file cannot be created.
bool create_database(const std::string& path);

}  // namespace kadrum::sqlite
