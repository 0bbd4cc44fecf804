#include "db/database_file.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>

#include "base/provider_error.h"

namespace kadrum {

namespace {
struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
}  // namespace

bool create_database_file(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return false;
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, CloseDatabase> db(raw);
  if (rc != SQLITE_OK)
    throw ProviderError(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc), rc);
  // SQLite writes nothing until asked to; switching to write-ahead logging
  // writes the header, so the file is a real database from now on.
  if (sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw ProviderError(sqlite3_errmsg(db.get()), sqlite3_errcode(db.get()));
  return true;
}

}  // namespace kadrum
