// Kadrum's own locks on a database that is a file (SQLite, Access): bytes
// of the file "<database>-kadrum-lock" beside it, locked through one open
// file description per connection, so that another Kadrum, and another
// connection of the same Kadrum, waits. The database's own locks end with each commit and
// cannot serve.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"

namespace kadrum {

class LockFile {
 public:
  // Opens (or makes) the lock file of the database file "database" when
  // first needed. Never throws but for memory.
  explicit LockFile(std::string database) : path_(std::move(database) + "-kadrum-lock") {}
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;
  ~LockFile();

  // Waits, until a stop is requested (StopRequested), for the byte of the
  // table "name" (ASCII case ignored, as SQLite and Access read names) and
  // holds it until this object ends. Does nothing where the lock file
  // cannot be made: a folder Kadrum may not write to holds no other
  // writer's lock either.
  void hold_table_lock(std::string_view name);
  // Takes the lock of "key" without waiting (see Engine::try_lock); null
  // when another holds it. The lock must end before this object.
  std::unique_ptr<EngineLock> try_lock(std::string_view key);

 private:
  bool open();

  std::string path_;
  int fd_ = -1;
  std::vector<std::uint64_t> table_locks_;  // the bytes hold_table_lock holds
};

}  // namespace kadrum
