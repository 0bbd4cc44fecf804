// A plain sqlite3 connection for looking at what Kadrum wrote, independent
// of its own database layer.
#pragma once

#include "support/temp_folder.h"

#include <sqlite3.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kadrum::testing {

// A second connection, as another program would hold it.
class Inspector {
 public:
  // Opens "path", creating the database when asked.
  explicit Inspector(const std::string& path, bool create = false) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_busy_timeout(db_, 5000);
  }
  Inspector(const Inspector&) = delete;
  Inspector& operator=(const Inspector&) = delete;
  ~Inspector() { sqlite3_close_v2(db_); }

  void exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(message + " in " + sql);
    }
  }

  // All rows of "sql", each column as text, NULL as "NULL".
  std::vector<std::vector<std::string>> rows(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
    std::vector<std::vector<std::string>> result;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = sqlite3_column_text(stmt, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
      }
      result.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    return result;
  }

  // The first column of the first row of "sql".
  std::string value(const std::string& sql) {
    auto all = rows(sql);
    return all.empty() ? "" : all.front().front();
  }

  bool has_table(const std::string& name) {
    return value("SELECT count(*) FROM sqlite_schema WHERE name = '" + name + "'") == "1";
  }

 private:
  sqlite3* db_ = nullptr;
};

// Creates the database file "path" and runs "sql" in it.
inline void make_database(const std::string& path, const std::string& sql = "") {
  Inspector db(path, true);
  db.exec(sql.empty() ? "PRAGMA user_version = 1" : sql);
}

}  // namespace kadrum::testing
