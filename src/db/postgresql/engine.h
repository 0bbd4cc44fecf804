// The PostgreSQL engine: one libpq connection to one database of a server.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/postgresql/session.h"

namespace kadrum::postgresql {

class PostgresEngine final : public Engine {
 public:
  // Connects through the libpq connection URI "uri" (postgresql://...), with
  // libpq's environment and files (PGPASSWORD, ~/.pgpass, PGSERVICE, ...) as
  // every libpq program has them, giving up after 10 s unless the URI or
  // PGCONNECT_TIMEOUT sets connect_timeout. Throws ProviderError with a
  // German description and libpq's reason, never with a password in it.
  explicit PostgresEngine(const std::string& uri);

  void execute(std::string_view statement, std::size_t parameter_count) override;
  std::unique_ptr<EngineStatement> prepare(std::string_view statement,
                                           std::size_t parameter_count,
                                           const std::string& one_row_failure) override;
  std::string table_key(std::string_view name) override;
  // A session-level advisory lock keyed by a hash of "key".
  std::unique_ptr<EngineLock> try_lock(std::string_view key) override;
  void check_table_name(std::string_view name) override;
  void hold_recreate_lock(std::string_view name) override;
  std::unique_ptr<EngineTable> open_table(std::string_view name) override;
  std::vector<std::vector<std::string>> select_text(std::string_view statement) override;
  void begin() override;
  // The BEGIN, each record and each prepared statement wait and go to the
  // server with the COMMIT, in one round trip.
  void begin_short() override;
  void commit() override;
  void rollback() noexcept override;
  // Straight on the connection: behind the savepoint of a command, as
  // execute runs it, a savepoint would end with that command's.
  void set_savepoint(std::string_view name) override;
  void release_savepoint(std::string_view name) override;
  void roll_back_to_savepoint(std::string_view name) override;
  const SqlDialect& sql_dialect() const override { return postgresql_sql; }

 protected:
  std::string_view number_type() const override { return "double precision"; }
  std::string parameter_marker(std::size_t index) const override;

 private:
  std::shared_ptr<Session> session_;
  std::size_t identifier_limit_ = 0;  // bytes; 0 until asked
};

// Creates the database that "uri" names, through the server's maintenance
// database ("postgres", else "template1"), when it does not exist, and
// returns true; returns false, changing nothing, when it exists. Throws
// ProviderError when the server cannot be reached or refuses, with a German
// description that says so when the user may not create databases.
bool create_database(const std::string& uri);

// The parts of the table name "name" as written in a statement: split at
// each "." outside double quotes, a quoted part without its quotes (a
// doubled quote is one), an unquoted one without the blanks around it.
// Never throws.
std::vector<std::string> name_parts(std::string_view name);

// "text" with every password that "uri" may carry (in its user part or as
// a password parameter, as written and percent-decoded, and the pieces a
// misplaced "/", "@" or ":" would make libpq read elsewhere), "password"
// and PGPASSWORD replaced by "***" where each stands as a value of its own,
// not inside a longer word. Never throws.
std::string without_passwords(std::string_view text, std::string_view uri,
                              std::string_view password = {});

}  // namespace kadrum::postgresql
