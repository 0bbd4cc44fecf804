// The throwaway PostgreSQL server of the tests (started by the ctest
// fixture, see postgresql_server.sh), a fresh database on it per test, and
// a plain libpq connection for looking at what Kadrum wrote.
#pragma once

#include <libpq-fe.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_engines.h"

namespace kadrum::testing {

// The socket folder of the test server, from the file the fixture wrote.
inline std::string postgresql_socket_folder() {
  std::ifstream in(KADRUM_PG_SERVER);
  std::string folder;
  if (!std::getline(in, folder) || folder.empty())
    throw std::runtime_error(
        "no PostgreSQL test server: run the tests through ctest, which starts one");
  return folder;
}

// "text" with every byte but letters, digits and "-._~/" percent-encoded.
inline std::string uri_encoded(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// A URI for "database" on the test server, as the user "user" with the
// URI's user part "credentials" ("name:password@") when given.
inline std::string postgresql_uri(const std::string& database, const std::string& user = "postgres",
                                  const std::string& credentials = "") {
  return "postgresql://" + credentials + "/" + database +
         "?host=" + uri_encoded(postgresql_socket_folder()) +
         (credentials.empty() ? "&user=" + user : "");
}

// One libpq connection, as another program would hold it.
class PostgresInspector {
 public:
  explicit PostgresInspector(const std::string& uri)
      : conn_(PQconnectdb(uri.c_str()), PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK)
      throw std::runtime_error(PQerrorMessage(conn_.get()));
    PQsetNoticeProcessor(conn_.get(), [](void*, const char*) {}, nullptr);
  }

  // Runs "sql" (one or more statements); every row of the last, cells as
  // text, NULL as "NULL".
  Rows rows(const std::string& sql) {
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn_.get(), sql.c_str()),
                                                         PQclear);
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
      throw std::runtime_error(PQerrorMessage(conn_.get()) + (" in " + sql));
    Rows all;
    for (int r = 0; r < PQntuples(result.get()); ++r) {
      all.emplace_back();
      for (int c = 0; c < PQnfields(result.get()); ++c)
        all.back().push_back(PQgetisnull(result.get(), r, c) ? "NULL"
                                                             : PQgetvalue(result.get(), r, c));
    }
    return all;
  }

 private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> conn_;
};

// A new, empty database of its own on the test server, dropped at the end.
class PostgresTestDatabase final : public TestDatabase {
 public:
  PostgresTestDatabase() : name_(next_name()), uri_(postgresql_uri(name_)) {
    PostgresInspector(postgresql_uri("postgres")).rows("CREATE DATABASE " + name_);
    inspector_ = std::make_unique<PostgresInspector>(uri_);
  }
  ~PostgresTestDatabase() override {
    inspector_.reset();
    try {
      PostgresInspector(postgresql_uri("postgres"))
          .rows("DROP DATABASE " + name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
      // The server goes with the fixture anyway.
    }
  }
  const std::string& data_source() const override { return uri_; }
  void exec(const std::string& sql) override { inspector_->rows(sql); }
  Rows rows(const std::string& sql) override { return inspector_->rows(sql); }
  // The server's write-ahead log keeps a database sound whatever happens to
  // a client; what is checked is that it still answers.
  bool sound() override {
    return PostgresInspector(uri_).rows("SELECT 1").size() == 1;
  }
  const std::string& name() const { return name_; }

 private:
  static std::string next_name() {
    static int count = 0;
    return "kadrum_" + std::to_string(getpid()) + "_" + std::to_string(++count);
  }

  std::string name_;
  std::string uri_;
  std::unique_ptr<PostgresInspector> inspector_;
};

inline std::unique_ptr<TestDatabase> make_postgres_test_database() {
  return std::make_unique<PostgresTestDatabase>();
}

}  // namespace kadrum::testing
