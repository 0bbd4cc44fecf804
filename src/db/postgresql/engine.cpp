#include "db/postgresql/engine.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/provider_error.h"
#include "db/data_source.h"
#include "db/identifier.h"
#include "db/postgresql/errors.h"
#include "db/postgresql/statement.h"
#include "db/postgresql/table.h"

namespace kadrum::postgresql {

namespace {

[[noreturn]] void refuse_uri(std::string_view reason, std::string_view uri) {
  throw ProviderError(described("Die Angabe der PostgreSQL-Datenbank ist ungültig",
                                without_passwords(one_line(reason), uri)));
}

// Whether the URI sets connect_timeout itself; throws for a URI that libpq
// cannot read.
bool sets_own_timeout(const std::string& uri) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
  if (!options) {
    const std::string reason = error ? error : "";
    PQfreemem(error);
    refuse_uri(reason, uri);
  }
  bool found = false;
  for (const PQconninfoOption* o = options; o->keyword; ++o)
    if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && *o->val) found = true;
  PQconninfoFree(options);
  return found;
}

void ignore_notice(void*, const char*) {}

// A connection attempt to "uri", or to its server's database "database"
// when that is given; the connection may have failed.
ConnectionHandle attempt(const std::string& uri, const char* database) {
  const bool own_timeout = sets_own_timeout(uri) || std::getenv("PGCONNECT_TIMEOUT");
  // Later entries override earlier ones: the URI may set its own timeout and
  // application name, but not the database asked for nor the encoding, as
  // Kadrum's texts are UTF-8.
  std::vector<const char*> keys{"fallback_application_name"};
  std::vector<const char*> values{"kadrum"};
  if (!own_timeout) {
    keys.push_back("connect_timeout");
    values.push_back("10");
  }
  keys.push_back("dbname");
  values.push_back(uri.c_str());
  if (database) {
    keys.push_back("dbname");
    values.push_back(database);
  }
  keys.push_back("client_encoding");
  values.push_back("UTF8");
  keys.push_back(nullptr);
  values.push_back(nullptr);
  ConnectionHandle conn(PQconnectdbParams(keys.data(), values.data(), 1));
  if (!conn) throw ProviderError("Für die Verbindung zum PostgreSQL-Server fehlt der Speicher");
  // Notices ("table does not exist, skipping") are no failures; libpq would
  // print them on standard error.
  PQsetNoticeProcessor(conn.get(), ignore_notice, nullptr);
  return conn;
}

ProviderError connection_error(pg_conn* conn, std::string_view uri, std::string_view german) {
  const char* used = PQpass(conn);
  const std::string reason =
      without_passwords(one_line(PQerrorMessage(conn)), uri, used ? used : "");
  if (PQconnectionNeedsPassword(conn))
    german = "Der PostgreSQL-Server verlangt ein Kennwort, und es wurde keines angegeben";
  return ProviderError(described(german, reason));
}

ConnectionHandle connect(const std::string& uri) {
  ConnectionHandle conn = attempt(uri, nullptr);
  if (PQstatus(conn.get()) != CONNECTION_OK)
    throw connection_error(conn.get(), uri, "Keine Verbindung zum PostgreSQL-Server");
  return conn;
}

}  // namespace

std::string without_passwords(std::string_view text, std::string_view uri,
                              std::string_view password) {
  std::vector<std::string> secrets = uri_passwords(uri);
  add_password_forms(secrets, password);
  if (const char* from_environment = std::getenv("PGPASSWORD"))
    add_password_forms(secrets, from_environment);
  return masked_apart(text, secrets);
}

PostgresEngine::PostgresEngine(const std::string& uri)
    : session_(std::make_shared<Session>(connect(uri))) {}

std::string PostgresEngine::parameter_marker(std::size_t index) const {
  std::string marker(1, '$');
  marker += std::to_string(index + 1);
  return marker;
}

void PostgresEngine::execute(std::string_view statement, std::size_t parameter_count) {
  const std::string sql(statement);
  check_single_statement(sql, postgresql_sql);
  pg_conn* conn = session_->command();
  // Parameters without value are NULL, as SQLite takes unbound ones.
  const std::vector<const char*> values(parameter_count, nullptr);
  guarded(conn, [&] { run(conn, sql, values); });
}

namespace {

// A session-level advisory lock, given up when it ends.
class AdvisoryLock final : public EngineLock {
 public:
  AdvisoryLock(std::shared_ptr<Session> session, std::string key)
      : session_(std::move(session)), key_(std::move(key)) {}
  ~AdvisoryLock() override {
    try {
      const char* const values[] = {key_.c_str()};
      run(session_->command(),
          "SELECT pg_advisory_unlock(hashtext('kadrum'), hashtext($1::text))", values);
    } catch (const std::exception&) {
      // A lost connection has given the lock up already.
    }
  }

 private:
  std::shared_ptr<Session> session_;
  std::string key_;
};

}  // namespace

std::unique_ptr<EngineStatement> PostgresEngine::prepare(std::string_view statement,
                                                         std::size_t /*parameter_count*/,
                                                         const std::string& one_row_failure) {
  return std::make_unique<PostgresStatement>(session_, std::string(statement), one_row_failure);
}

std::unique_ptr<EngineLock> PostgresEngine::try_lock(std::string_view key) {
  const std::string text(key);
  const char* const values[] = {text.c_str()};
  const Result result = run(session_->command(),
                            "SELECT pg_try_advisory_lock(hashtext('kadrum'), hashtext($1::text))",
                            values);
  if (std::string_view(PQgetvalue(result.get(), 0, 0)) != "t") return nullptr;
  return std::make_unique<AdvisoryLock>(session_, text);
}

std::string PostgresEngine::table_key(std::string_view name) {
  // to_regclass reads the name as a statement does: folded, quoted, found
  // along the search path.
  const std::string typed = open_form(name);
  const char* const values[] = {typed.c_str()};
  pg_conn* conn = session_->command();
  std::string key(name);
  guarded(conn, [&] {
    const Result result = run(conn,
                              "SELECT n.nspname = current_schema(), n.nspname, c.relname "
                              "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                              "WHERE c.oid = to_regclass($1::text)",
                              values);
    if (PQntuples(result.get()) != 1) return;
    const std::string table = PQgetvalue(result.get(), 0, 2);
    key = std::string_view(PQgetvalue(result.get(), 0, 0)) == "t"
              ? table
              : std::string(PQgetvalue(result.get(), 0, 1)) + "." + table;
  });
  return key;
}

std::vector<std::string> name_parts(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  for (;;) {
    while (i < name.size() && name[i] == ' ') ++i;
    std::string part;
    if (i < name.size() && name[i] == '"') {
      for (++i; i < name.size(); ++i) {
        if (name[i] != '"') {
          part += name[i];
        } else if (i + 1 < name.size() && name[i + 1] == '"') {
          part += '"';
          ++i;
        } else {
          break;
        }
      }
    }
    const std::size_t dot = std::min(name.find('.', i), name.size());
    if (part.empty()) {
      part = name.substr(i, dot - i);
      while (!part.empty() && part.back() == ' ') part.pop_back();
    }
    parts.push_back(std::move(part));
    if (dot == name.size()) return parts;
    i = dot + 1;
  }
}

void PostgresEngine::check_table_name(std::string_view name) {
  if (identifier_limit_ == 0) {
    const Result shown = run(session_->command(), "SHOW max_identifier_length");
    identifier_limit_ = std::strtoul(PQgetvalue(shown.get(), 0, 0), nullptr, 10);
  }
  // Measured as the drop and create write it, and as the open does, which
  // quotes a name with a blank.
  std::vector<std::string> parts = name_parts(name);
  for (std::string& part : name_parts(open_form(name))) parts.push_back(std::move(part));
  for (const std::string& part : parts)
    if (part.size() > identifier_limit_)
      throw ProviderError(fill_message(
          "Der Tabellenname '%s' ist zu lang: '%s' hat %d Bytes, PostgreSQL erlaubt für "
          "jeden Teil des Namens höchstens %d und würde ihn kürzen",
          {std::string(name), part, std::to_string(part.size()),
           std::to_string(identifier_limit_)}));
}

void PostgresEngine::hold_recreate_lock(std::string_view name) {
  // A session lock, held until the connection closes; keyed by the name as
  // the server folds it, so that "T" and "t" wait for each other. A stop
  // request cancels the wait.
  std::string key(name);
  if (key.find('"') == std::string::npos)
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const char* const values[] = {key.c_str()};
  run(session_->command(),
      "SELECT pg_advisory_lock(hashtext('kadrum recreate'), hashtext($1::text))", values);
}

std::vector<std::vector<std::string>> PostgresEngine::select_text(std::string_view statement) {
  const std::string sql(statement);
  check_single_statement(sql, postgresql_sql);
  pg_conn* conn = session_->command();
  std::vector<std::vector<std::string>> rows;
  guarded(conn, [&] {
    const Result result = run(conn, sql);
    for (int r = 0; r < PQntuples(result.get()); ++r) {
      rows.emplace_back();
      for (int c = 0; c < PQnfields(result.get()); ++c)
        rows.back().emplace_back(PQgetvalue(result.get(), r, c));
    }
  });
  return rows;
}

std::unique_ptr<EngineTable> PostgresEngine::open_table(std::string_view name) {
  return std::make_unique<PostgresTable>(session_, open_form(name));
}

void PostgresEngine::begin() {
  pg_conn* conn = session_->command();
  // PostgreSQL only warns about a second BEGIN; the interface refuses it.
  if (in_transaction(conn)) throw ProviderError("Es läuft bereits eine Transaktion");
  run(conn, "BEGIN");
}

void PostgresEngine::begin_short() { session_->begin_short(); }

void PostgresEngine::commit() {
  if (session_->short_transaction() && session_->commit_short()) return;
  pg_conn* conn = session_->command();
  if (!in_transaction(conn)) throw ProviderError("Es läuft keine Transaktion");
  Result result(PQexec(conn, "COMMIT"));
  // Once COMMIT is sent, a broken connection says nothing of its outcome:
  // the server may have committed before it went.
  if (PQstatus(conn) == CONNECTION_BAD)
    throw CommitOutcomeUnknown(described(
        "Die Verbindung zum PostgreSQL-Server ist beim Festschreiben abgebrochen; ob die "
        "Datensätze gespeichert wurden, ist unbekannt",
        one_line(PQerrorMessage(conn))));
  result = checked(conn, result.release());
  // COMMIT of a failed transaction answers ROLLBACK, without an error.
  if (std::strcmp(PQcmdStatus(result.get()), "COMMIT") != 0)
    throw ProviderError("Die Transaktion ist gescheitert und wurde zurückgenommen");
}

void PostgresEngine::set_savepoint(std::string_view name) {
  run(session_->command(), "SAVEPOINT " + std::string(name));
}

void PostgresEngine::release_savepoint(std::string_view name) {
  run(session_->command(), "RELEASE SAVEPOINT " + std::string(name));
}

void PostgresEngine::roll_back_to_savepoint(std::string_view name) {
  // A COPY still running belongs to what is undone.
  session_->abandon_copy();
  run(session_->command(), "ROLLBACK TO SAVEPOINT " + std::string(name));
}

void PostgresEngine::rollback() noexcept {
  session_->abandon_copy();
  session_->abandon_short();
  pg_conn* conn = session_->command();
  if (in_transaction(conn)) PQclear(PQexec(conn, "ROLLBACK"));
}

bool create_database(const std::string& uri) {
  ConnectionHandle target = attempt(uri, nullptr);
  if (PQstatus(target.get()) == CONNECTION_OK) return false;
  // libpq has filled in the name that the URI, the environment or the
  // service file give, or the user's name.
  const std::string name = PQdb(target.get()) ? PQdb(target.get()) : "";

  ConnectionHandle server = attempt(uri, "postgres");
  if (PQstatus(server.get()) != CONNECTION_OK) {
    ConnectionHandle fallback = attempt(uri, "template1");
    if (PQstatus(fallback.get()) != CONNECTION_OK)
      throw connection_error(server.get(), uri, "Keine Verbindung zum PostgreSQL-Server");
    server = std::move(fallback);
  }
  const char* const values[] = {name.c_str()};
  if (PQntuples(run(server.get(), "SELECT 1 FROM pg_database WHERE datname = $1", values).get()) > 0)
    return false;  // there, but closed to this user: db connect says why

  const Result created(PQexec(server.get(), ("CREATE DATABASE " + quote_identifier(name)).c_str()));
  if (PQresultStatus(created.get()) == PGRES_COMMAND_OK) return true;
  const char* state = PQresultErrorField(created.get(), PG_DIAG_SQLSTATE);
  const char* primary = PQresultErrorField(created.get(), PG_DIAG_MESSAGE_PRIMARY);
  if (state && std::strcmp(state, "42P04") == 0) return false;  // made meanwhile
  if (state && std::strcmp(state, "42501") == 0)
    throw ProviderError(described(
        fill_message("Die Datenbank '%s' gibt es nicht, und der Benutzer '%s' darf auf "
                     "dem PostgreSQL-Server keine Datenbank anlegen",
                     {name, PQuser(server.get())}),
        primary ? primary : ""));
  throw result_error(server.get(), created.get());
}

}  // namespace kadrum::postgresql
