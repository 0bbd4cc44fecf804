#include "db/odbc/engine.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "base/error.h"
#include "base/stop_signal.h"
#include "db/data_source.h"
#include "db/identifier.h"
#include "db/odbc/statement.h"
#include "db/odbc/table.h"
#include "db/sql_text.h"

namespace kadrum::odbc {

namespace {

// The statements that take and give up the lock of one key, the key as
// their one parameter; the first returns one row whose cell says whether
// it was taken.
struct LockStatements {
  const char* take;
  const char* give_up;
};

// Lock names of MariaDB and MySQL are the server's, at most 64 characters:
// a hash of the database and the key stands for them.
constexpr LockStatements kNamedLock{
    "SELECT GET_LOCK(CONCAT('kadrum ', SHA2(CONCAT(IFNULL(DATABASE(), ''), CHAR(10), ?), 224)), 0)",
    "SELECT RELEASE_LOCK(CONCAT('kadrum ', SHA2(CONCAT(IFNULL(DATABASE(), ''), CHAR(10), ?), "
    "224)))"};
constexpr LockStatements kAdvisoryLock{
    "SELECT pg_try_advisory_lock(hashtext('kadrum'), hashtext(CAST(? AS text)))",
    "SELECT pg_advisory_unlock(hashtext('kadrum'), hashtext(CAST(? AS text)))"};
// sp_getapplock answers by its return value, 0 or 1 when granted; its
// resource names are at most 255 characters.
constexpr LockStatements kApplicationLock{
    "SET NOCOUNT ON DECLARE @granted int, @key nvarchar(255) = N'kadrum ' + "
    "CONVERT(nvarchar(64), HASHBYTES('SHA2_256', CAST(? AS nvarchar(4000))), 2) "
    "EXEC @granted = sp_getapplock @Resource = @key, @LockMode = 'Exclusive', "
    "@LockOwner = 'Session', @LockTimeout = 0 SELECT CASE WHEN @granted >= 0 THEN 1 ELSE 0 END",
    "SET NOCOUNT ON DECLARE @key nvarchar(255) = N'kadrum ' + "
    "CONVERT(nvarchar(64), HASHBYTES('SHA2_256', CAST(? AS nvarchar(4000))), 2) "
    "EXEC sp_releaseapplock @Resource = @key, @LockOwner = 'Session'"};

class ServerLock final : public EngineLock {
 public:
  ServerLock(OdbcEngine& engine, const char* give_up, std::string key)
      : engine_(engine), give_up_(give_up), key_(std::move(key)) {}
  ~ServerLock() override {
    try {
      const StatementValue values[] = {key_};
      engine_.prepare(give_up_, 1, {})->rows(values);
    } catch (const std::exception&) {
      // A lost connection has given the lock up already.
    }
  }

 private:
  OdbcEngine& engine_;
  const char* give_up_;
  std::string key_;
};

// "text" in lower case by the C library's rules.
std::string lower_case(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

OdbcEngine::OdbcEngine(const std::string& connection_string)
    : session_(std::make_shared<Session>(connection_string)) {
  const std::string dbms = lower(session_->dialect().dbms);
  const auto names = [&dbms](std::string_view part) { return dbms.find(part) != std::string::npos; };
  // A database that is a file is named by "Database=" (SQLite) or "DBQ="
  // (Access) in the connection string.
  std::optional<std::string> file;
  if (names("sqlite")) file = odbc_setting(connection_string, "database");
  if (names("access")) file = odbc_setting(connection_string, "dbq");
  if (file && !file->empty()) {
    lock_kind_ = LockKind::file;
    lock_file_ = std::make_unique<LockFile>(*file);
  } else if (session_->dialect().rename_swap) {
    lock_kind_ = LockKind::named;
  } else if (names("postgresql")) {
    lock_kind_ = LockKind::advisory;
  } else if (names("sql server")) {
    lock_kind_ = LockKind::application;
  }
}

void OdbcEngine::execute(std::string_view statement, std::size_t parameter_count) {
  const std::string sql(check_single_statement(statement, sql_dialect()));
  session_->send_waiting();
  StatementHandle handle(session_->connection());
  WideString text = widen(sql);
  check(SQLPrepareW(handle.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, handle.get(), session_->secrets());
  // Parameters without value are NULL, as SQLite takes unbound ones.
  static SQLLEN null_indicator = SQL_NULL_DATA;
  for (std::size_t i = 0; i < parameter_count; ++i)
    check(SQLBindParameter(handle.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                           SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &null_indicator),
          SQL_HANDLE_STMT, handle.get(), session_->secrets());
  const Session::Running running(*session_, handle.get());
  check(SQLExecute(handle.get()), SQL_HANDLE_STMT, handle.get(), session_->secrets());
}

std::unique_ptr<EngineStatement> OdbcEngine::prepare(std::string_view statement,
                                                     std::size_t /*parameter_count*/,
                                                     const std::string& one_row_failure) {
  return std::make_unique<OdbcStatement>(session_, std::string(statement), one_row_failure);
}

std::vector<std::vector<std::string>> OdbcEngine::select_text(std::string_view statement) {
  const std::string sql(check_single_statement(statement, sql_dialect()));
  session_->send_waiting();
  StatementHandle handle(session_->connection());
  WideString text = widen(sql);
  const Session::Running running(*session_, handle.get());
  check(SQLExecDirectW(handle.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, handle.get(), session_->secrets());
  return fetch_all(handle.get(), *session_);
}

std::unique_ptr<EngineTable> OdbcEngine::open_table(std::string_view name) {
  // A table replaced at the commit is filled under its fresh name.
  if (swap_ && name == swap_->name) return std::make_unique<OdbcTable>(session_, swap_->fresh);
  if (session_->dialect().rename_swap && !session_->in_transaction())
    finish_pending_swaps(std::string(name));
  const char quote = session_->dialect().quote;
  return std::make_unique<OdbcTable>(
      session_, open_form(name, "[\"`", [quote](std::string_view part) {
        return quote_identifier(part, quote);
      }));
}

void OdbcEngine::begin() {
  if (session_->in_transaction()) throw ProviderError("Es läuft bereits eine Transaktion");
  session_->send_waiting();
  session_->set_in_transaction(true);
}

bool OdbcEngine::keeps_savepoints() const { return session_->dialect().dbms != "PostgreSQL"; }

void OdbcEngine::commit() {
  if (!session_->in_transaction()) throw ProviderError("Es läuft keine Transaktion");
  session_->send_waiting();
  const SQLHANDLE connection = session_->connection();
  if (!succeeded(SQLEndTran(SQL_HANDLE_DBC, connection, SQL_COMMIT))) {
    // Once COMMIT is sent, a broken connection says nothing of its outcome:
    // the server may have committed before it went. A connection the
    // driver knew closed (08003) never sent it.
    const Diagnostic found = diagnostic(SQL_HANDLE_DBC, connection);
    if (connection_lost(found) && found.sqlstate != "08003") {
      const std::string& dbms = session_->dialect().dbms;
      throw CommitOutcomeUnknown(
          fill_message("Die Verbindung zum %s ist beim Festschreiben abgebrochen; ob die "
                       "Datensätze gespeichert wurden, ist unbekannt",
                       {dbms.empty() ? std::string("Datenbankserver") : dbms + "-Server"}),
          masked(found.text, session_->secrets()), found.sqlstate);
    }
    throw failure(SQL_HANDLE_DBC, connection, session_->secrets());
  }
  session_->set_in_transaction(false);
  if (swap_) {
    const Swap swap = *swap_;
    swap_.reset();
    swap_in(swap);
  }
}

void OdbcEngine::rollback() noexcept {
  session_->drop_waiting();
  if (!session_->in_transaction()) return;
  SQLEndTran(SQL_HANDLE_DBC, session_->connection(), SQL_ROLLBACK);
  try {
    session_->set_in_transaction(false);
    if (swap_) {
      const Swap swap = *swap_;
      swap_.reset();
      session_->run("DROP TABLE IF EXISTS " + swap.fresh);
    }
  } catch (const std::exception&) {
    // The fresh table is dropped at the next recreate.
  }
}

void OdbcEngine::recreate_table(const std::string& name,
                                const std::array<std::string_view, 3>& columns,
                                bool inside_transaction, const RunStatement& run) {
  const Dialect& dialect = session_->dialect();
  if (dialect.transactional_ddl) {
    Engine::recreate_table(name, columns, inside_transaction, run);
    return;
  }
  check_recreate_name(name);
  if (!dialect.rename_swap) {
    if (inside_transaction)
      throw ProviderError(fill_message(
          "'*' und --single-transaction lassen sich mit %s nicht verbinden: die Datenbank "
          "legt Tabellen sofort und außerhalb jeder Transaktion an und löscht sie ebenso, "
          "und ein Austausch in einem Schritt ist für sie nicht bekannt",
          {dialect.dbms.empty() ? "diesem ODBC-Treiber" : dialect.dbms}));
    Engine::recreate_table(name, columns, false, run);
    return;
  }
  // The old table stays untouched until the fresh one is complete. What a
  // killed run left is finished or removed first; a table of the helper's
  // name that Kadrum did not make is left alone, and another name taken.
  finish_pending_swaps(name);
  Swap swap{name, helper_table(name, "_kadrum_neu"), helper_table(name, "_kadrum_alt")};
  std::string create = " create table " + swap.fresh + " ( ";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) create += ", ";
    create += columns[i];
    create += ' ';
    create += dialect.double_type;
  }
  create += " ) ";
  create += kHelperComment;
  run(create);
  if (inside_transaction)
    swap_ = swap;
  else
    swap_in(swap);
}

std::unique_ptr<EngineLock> OdbcEngine::try_lock(std::string_view key) {
  if (lock_file_) return lock_file_->try_lock(key);
  const auto* statements =
      lock_kind_ == LockKind::named      ? &kNamedLock
      : lock_kind_ == LockKind::advisory ? &kAdvisoryLock
      : lock_kind_ == LockKind::application ? &kApplicationLock
                                            : nullptr;
  if (!statements) return std::make_unique<EngineLock>();
  const StatementValue values[] = {std::string(key)};
  const auto rows = prepare(statements->take, 1, {})->rows(values);
  const std::string taken =
      rows.empty() || rows.front().empty() ? "" : lower_case(rows.front().front());
  if (taken != "1" && taken != "t" && taken != "true") return nullptr;
  return std::make_unique<ServerLock>(*this, statements->give_up, std::string(key));
}

void OdbcEngine::hold_recreate_lock(std::string_view name) {
  check_recreate_name(name);
  if (lock_file_) {
    lock_file_->hold_table_lock(name);
    return;
  }
  if (lock_kind_ == LockKind::none)
    throw ProviderError(fill_message(
        "'*' wird für %s abgelehnt: die Datenbank bietet keine Sperre, mit der ein zweites "
        "Neuanlegen derselben Tabelle warten müsste, bis dieser Lauf endet",
        {dialect().dbms.empty() ? "diesen ODBC-Treiber" : dialect().dbms}));
  // PostgreSQL and SQL Server read names without quotes in any case alike.
  std::string key = "recreate\n" + std::string(name);
  if (lock_kind_ != LockKind::named && key.find('"') == std::string::npos) key = lower_case(key);
  // Tried again and again rather than waited for, so that a stop request
  // ends the wait.
  for (;;) {
    if (std::unique_ptr<EngineLock> lock = try_lock(key)) {
      held_locks_.push_back(std::move(lock));
      return;
    }
    check_stop_request();
    wait_for_stop_request(50);
  }
}

std::string OdbcEngine::table_key(std::string_view name) {
  const std::vector<std::string> parts = unquoted_name_parts(name);
  if (parts.size() > 2 || parts.back().empty()) return std::string(name);
  const std::string schema = parts.size() == 2 ? parts[0] : std::string();
  const char* lookup = nullptr;
  if (lock_kind_ == LockKind::named) {
    // Names compare by the column's collation: an exact match first.
    lookup =
        "SELECT table_schema = DATABASE(), table_schema, table_name FROM information_schema.tables "
        "WHERE table_schema = COALESCE(NULLIF(?, ''), DATABASE()) AND table_name = ? "
        "ORDER BY table_name = CAST(? AS BINARY) DESC";
  } else if (lock_kind_ == LockKind::advisory) {
    lookup =
        "SELECT CASE WHEN n.nspname = current_schema() THEN 1 ELSE 0 END, n.nspname, c.relname "
        "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE c.oid = to_regclass(CAST(? AS text))";
  }
  if (!lookup) {
    // Without a catalogue to ask, the quotes alone are dropped.
    std::string current;
    SQLWCHAR text[256] = {};
    SQLINTEGER bytes = 0;
    if (succeeded(SQLGetConnectAttrW(session_->connection(), SQL_ATTR_CURRENT_CATALOG, text,
                                     sizeof text - sizeof(SQLWCHAR), &bytes)))
      current = narrow(text, static_cast<std::size_t>(std::max<SQLINTEGER>(bytes, 0)) / sizeof(SQLWCHAR));
    return schema.empty() || schema == current ? parts.back() : schema + "." + parts.back();
  }
  std::vector<std::vector<std::string>> found;
  if (lock_kind_ == LockKind::named) {
    const StatementValue values[] = {schema, parts.back(), parts.back()};
    found = prepare(lookup, 3, {})->rows(values);
  } else {
    const StatementValue values[] = {std::string(open_form(name, "\"", [](std::string_view part) {
      return quote_identifier(part, '"');
    }))};
    found = prepare(lookup, 1, {})->rows(values);
  }
  if (found.empty() || found.front().size() < 3) return std::string(name);
  const auto& row = found.front();
  return row[0] == "1" || row[0] == "t" ? row[2] : row[1] + "." + row[2];
}

void OdbcEngine::check_recreate_name(std::string_view name) const {
  check_statement_name(name, sql_dialect(), session_->dialect().rename_swap);
}

bool create_database(const std::string& connection_string) {
  std::optional<std::string> name = odbc_setting(connection_string, "database");
  if (!name) name = odbc_setting(connection_string, "db");
  const std::vector<std::string> secrets = odbc_passwords(connection_string);
  if (!name || name->empty())
    throw ProviderError(masked(
        "Die ODBC-Verbindung nennt keine Datenbank (Database=), die angelegt werden könnte",
        secrets));
  // The same connection without a database reaches the server itself.
  std::string server_string;
  for (const OdbcSetting& setting : odbc_settings(connection_string)) {
    if (setting.part.find_first_not_of(' ') != std::string_view::npos &&
        setting.key != "database" && setting.key != "db")
      (server_string += setting.part) += ';';
  }
  std::optional<ProviderError> missing;
  try {
    Session target(connection_string);
    return false;
  } catch (const ProviderError& error) {
    missing = error;
  }
  std::optional<Session> reached;
  try {
    reached.emplace(server_string);
  } catch (const ProviderError&) {
    throw *missing;  // the server itself is out of reach: its reason stands
  }
  Session& server = *reached;
  if (!server.dialect().rename_swap)
    throw ProviderError(fill_message("Der ODBC-Treiber für %s kann keine Datenbank anlegen",
                                     {server.dialect().dbms}),
                        missing->engine_text(), missing->code());
  // MariaDB says "Unknown database" (42000); anything else is no missing
  // database and is reported as it is.
  if (missing->engine_text().find("Unknown database") == std::string::npos) throw *missing;
  try {
    server.run("CREATE DATABASE " + quote_identifier(*name, server.dialect().quote));
  } catch (const ProviderError& error) {
    if (error.engine_text().find("database exists") != std::string::npos) return false;
    throw;
  }
  return true;
}

}  // namespace kadrum::odbc
