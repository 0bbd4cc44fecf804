// The databases that the tests reach through ODBC: a fresh database on the
// throwaway MariaDB server (started by the ctest fixture, see
// mariadb_server.sh) or on the PostgreSQL one, or a fresh SQLite file, each
// named in the ODBC connection string Kadrum is given, and a plain ODBC
// connection for looking at what Kadrum wrote.
#pragma once

#include "db/odbc/odbc_api.h"
#include <unistd.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/test_engines.h"

namespace kadrum::testing {

// The socket of the MariaDB test server, from the file the fixture wrote.
inline std::string mariadb_socket() {
  std::ifstream in(KADRUM_MARIADB_SERVER);
  std::string socket;
  if (!std::getline(in, socket) || socket.empty())
    throw std::runtime_error("no MariaDB test server: run the tests through ctest, which starts one");
  return socket;
}

// A DSN-less connection string for "database" on the MariaDB test server.
inline std::string mariadb_odbc(const std::string& database, const std::string& user = "kadrum") {
  return "Driver={MariaDB Unicode};Socket=" + mariadb_socket() +
         (database.empty() ? "" : ";Database=" + database) + ";User=" + user;
}

// One ODBC connection, as another program would hold it.
class OdbcInspector {
 public:
  explicit OdbcInspector(const std::string& connection_string) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    std::string text = connection_string;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                        SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
      const std::string message = diagnostic(SQL_HANDLE_DBC, dbc_);
      free();
      throw std::runtime_error(message);
    }
  }
  OdbcInspector(const OdbcInspector&) = delete;
  OdbcInspector& operator=(const OdbcInspector&) = delete;
  ~OdbcInspector() {
    SQLDisconnect(dbc_);
    free();
  }

  // Runs each statement of "sql" (split at ";"); every row of the last,
  // cells as text, NULL as "NULL".
  Rows rows(const std::string& sql) {
    Rows all;
    std::size_t at = 0;
    while (at < sql.size()) {
      const auto end = std::min(sql.find(';', at), sql.size());
      const std::string one = sql.substr(at, end - at);
      at = end + 1;
      if (one.find_first_not_of(" \n") == std::string::npos) continue;
      all = run(one);
    }
    return all;
  }

 private:
  Rows run(std::string sql) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
    std::unique_ptr<void, void (*)(void*)> guard(stmt, [](void* s) { SQLFreeHandle(SQL_HANDLE_STMT, s); });
    const SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
      throw std::runtime_error(diagnostic(SQL_HANDLE_STMT, stmt) + " in " + sql);
    Rows all;
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    while (columns > 0 && SQL_SUCCEEDED(SQLFetch(stmt))) {
      all.emplace_back();
      for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        char cell[1024] = {};
        SQLLEN length = 0;
        SQLGetData(stmt, c, SQL_C_CHAR, cell, sizeof cell, &length);
        all.back().push_back(length == SQL_NULL_DATA ? "NULL" : cell);
      }
    }
    return all;
  }
  static std::string diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {}, text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(text);
  }
  void free() {
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// A database reached through ODBC; "data_source" is what DB= names.
class OdbcTestDatabase : public TestDatabase {
 public:
  const std::string& data_source() const override { return source_; }
  void exec(const std::string& sql) override { inspector().rows(sql); }
  Rows rows(const std::string& sql) override { return inspector().rows(sql); }
  bool sound() override { return OdbcInspector(connection_).rows("SELECT 1").size() == 1; }
  const std::string& connection_string() const { return connection_; }

 protected:
  void use(const std::string& connection_string) {
    connection_ = connection_string;
    source_ = "odbc:" + connection_string;
  }
  OdbcInspector& inspector() {
    if (!inspector_) inspector_ = std::make_unique<OdbcInspector>(connection_);
    return *inspector_;
  }
  std::unique_ptr<OdbcInspector> inspector_;

 private:
  std::string connection_;
  std::string source_;
};

inline std::string odbc_test_name() {
  static int count = 0;
  return "kadrum_" + std::to_string(getpid()) + "_" + std::to_string(++count);
}

// A new, empty database of its own on the MariaDB test server, dropped at
// the end.
class MariadbTestDatabase final : public OdbcTestDatabase {
 public:
  MariadbTestDatabase() : name_(odbc_test_name()) {
    OdbcInspector(mariadb_odbc("")).rows("CREATE DATABASE " + name_);
    use(mariadb_odbc(name_));
  }
  ~MariadbTestDatabase() override {
    inspector_.reset();
    try {
      OdbcInspector(mariadb_odbc("")).rows("DROP DATABASE IF EXISTS " + name_);
    } catch (const std::exception&) {
      // The server goes with the fixture anyway.
    }
  }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// A new SQLite database file in "folder", through the SQLite ODBC driver.
class SqliteOdbcTestDatabase final : public OdbcTestDatabase {
 public:
  explicit SqliteOdbcTestDatabase(const TempFolder& folder) {
    make_database(folder.file("test.db"));
    // Write-ahead log and no fsync per commit, as Kadrum's own SQLite
    // engine sets them.
    use("Driver={SQLite3};Database=" + folder.file("test.db") +
        ";Timeout=5000;JournalMode=WAL;SyncPragma=NORMAL");
  }
};

#ifdef KADRUM_PG_SERVER
// A new, empty database on the PostgreSQL test server, through the
// PostgreSQL ODBC driver.
class PostgresOdbcTestDatabase final : public OdbcTestDatabase {
 public:
  PostgresOdbcTestDatabase() {
    use("Driver={PostgreSQL Unicode};Servername=" + postgresql_socket_folder() +
        ";Port=5432;Database=" + server_.name() + ";Username=postgres");
  }

 private:
  PostgresTestDatabase server_;
};

inline std::unique_ptr<TestDatabase> make_postgres_odbc_test_database() {
  return std::make_unique<PostgresOdbcTestDatabase>();
}
#endif

inline std::unique_ptr<TestDatabase> make_mariadb_test_database() {
  return std::make_unique<MariadbTestDatabase>();
}
inline std::unique_ptr<TestDatabase> make_sqlite_odbc_test_database(const TempFolder& folder) {
  return std::make_unique<SqliteOdbcTestDatabase>(folder);
}

}  // namespace kadrum::testing
