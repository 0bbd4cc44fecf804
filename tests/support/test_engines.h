// The engines the shared test bodies run against: each makes a fresh, empty
// database and looks into it the way another program would, independent of
// Kadrum's own database layer.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/sqlite_inspector.h"
#include "support/temp_folder.h"

namespace kadrum::testing {

using Rows = std::vector<std::vector<std::string>>;

class TestDatabase {
 public:
  virtual ~TestDatabase() = default;
  // What DB= names to reach this database.
  virtual const std::string& data_source() const = 0;
  // Runs one or more statements, as another program would.
  virtual void exec(const std::string& sql) = 0;
  // Every row of "sql" in the order the engine gives, cells as text, NULL as "NULL".
  virtual Rows rows(const std::string& sql) = 0;
  // True when the engine finds the database sound after whatever happened.
  virtual bool sound() = 0;

  std::string value(const std::string& sql) {
    const Rows all = rows(sql);
    return all.empty() || all.front().empty() ? "" : all.front().front();
  }
  // The rows of table "table" with numbers written alike on every engine
  // ("%g"), so that 3, 3.0 and 3.000 compare equal.
  Rows numbers(const std::string& table, const std::string& columns = "*") {
    Rows all = rows("SELECT " + columns + " FROM " + table);
    for (auto& row : all)
      for (auto& cell : row)
        if (cell != "NULL") {
          char text[32];
          std::snprintf(text, sizeof text, "%g", std::stod(cell));
          cell = text;
        }
    return all;
  }
};

class SqliteTestDatabase final : public TestDatabase {
 public:
  explicit SqliteTestDatabase(const TempFolder& folder)
      : path_(folder.file("test.db")) {
    make_database(path_);
  }
  const std::string& data_source() const override { return path_; }
  void exec(const std::string& sql) override { Inspector(path_).exec(sql); }
  Rows rows(const std::string& sql) override { return Inspector(path_).rows(sql); }
  bool sound() override { return Inspector(path_).value("PRAGMA integrity_check") == "ok"; }

 private:
  std::string path_;
};

struct TestEngine {
  std::string name;
  std::function<std::unique_ptr<TestDatabase>(const TempFolder&)> make;
  // Whether another connection reads the old table while a transaction that
  // dropped and re-created it runs.
  bool readers_see_the_old_table = true;
};

inline void PrintTo(const TestEngine& engine, std::ostream* out) { *out << engine.name; }

#ifdef KADRUM_PG_SERVER
// A fresh database on the PostgreSQL test server (postgresql_test_database.h,
// included at the end).
inline std::unique_ptr<TestDatabase> make_postgres_test_database();
#endif

#ifdef KADRUM_MARIADB_SERVER
// Databases reached through ODBC (odbc_test_database.h, included at the end).
inline std::unique_ptr<TestDatabase> make_mariadb_test_database();
inline std::unique_ptr<TestDatabase> make_sqlite_odbc_test_database(const TempFolder& folder);
#ifdef KADRUM_PG_SERVER
inline std::unique_ptr<TestDatabase> make_postgres_odbc_test_database();
#endif
#endif

// SQLite always; every other engine when its test server is there.
inline std::vector<TestEngine> test_engines() {
  std::vector<TestEngine> engines;
  engines.push_back({"SQLite", [](const TempFolder& folder) {
                       return std::make_unique<SqliteTestDatabase>(folder);
                     }});
#ifdef KADRUM_PG_SERVER
  engines.push_back({"PostgreSQL", [](const TempFolder&) {
                       return make_postgres_test_database();
                     },
                     false});
#endif
#ifdef KADRUM_MARIADB_SERVER
  // The old table stays until the fresh one is swapped in at the commit.
  engines.push_back({"OdbcMariaDB", [](const TempFolder&) { return make_mariadb_test_database(); }});
  // The SQLite ODBC driver keeps SQLite's rollback journal, which locks
  // readers out while a large transaction writes.
  engines.push_back({"OdbcSQLite", make_sqlite_odbc_test_database, false});
#ifdef KADRUM_PG_SERVER
  engines.push_back({"OdbcPostgreSQL", [](const TempFolder&) {
                       return make_postgres_odbc_test_database();
                     },
                     false});
#endif
#endif
  return engines;
}

}  // namespace kadrum::testing

#ifdef KADRUM_PG_SERVER
#include "support/postgresql_test_database.h"
#endif
#ifdef KADRUM_MARIADB_SERVER
#include "support/odbc_test_database.h"
#endif
