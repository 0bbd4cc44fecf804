#include "db/odbc/engine.h"

#include <algorithm>
#include <utility>

#include "base/messages.h"
#include "db/odbc/table.h"
#include "db/sql_text.h"

namespace kadrum::odbc {

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string info_text(SQLHANDLE connection, SQLUSMALLINT type) {
  SQLWCHAR text[256] = {};
  SQLSMALLINT bytes = 0;
  if (!succeeded(SQLGetInfoW(connection, type, text, sizeof text, &bytes))) return {};
  return narrow(text, std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) /
                                                sizeof(SQLWCHAR),
                                            255));
}

SQLUSMALLINT info_small(SQLHANDLE connection, SQLUSMALLINT type) {
  SQLUSMALLINT number = 0;
  SQLGetInfoW(connection, type, &number, sizeof number, nullptr);
  return number;
}

// The name of the database's own type for SQL_DOUBLE, the first the driver
// lists; "fallback" when it lists none.
std::string double_type_name(SQLHANDLE connection, const std::string& fallback) {
  StatementHandle types(connection);
  if (!succeeded(SQLGetTypeInfoW(types.get(), SQL_DOUBLE))) return fallback;
  std::string name = fallback;
  if (succeeded(SQLFetch(types.get()))) {
    SQLWCHAR text[128] = {};
    SQLLEN length = 0;
    if (succeeded(SQLGetData(types.get(), 1, SQL_C_WCHAR, text, sizeof text, &length)) &&
        length > 0)
      name = narrow(text, std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), 127));
  }
  return name;
}

// An environment that speaks ODBC 3, as it must before a connection is
// allocated in it.
Environment odbc3_environment() {
  Environment environment(SQL_NULL_HANDLE);
  SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  return environment;
}

}  // namespace

Session::Running::Running(Session& session, SQLHANDLE statement)
    : session_(session) {
  std::lock_guard lock(session_.running_mutex_);
  before_ = std::exchange(session_.running_, statement);
}

Session::Running::~Running() {
  // Waits for a cancel in progress: the statement handle may be freed next.
  std::lock_guard lock(session_.running_mutex_);
  session_.running_ = before_;
}

Session::Session(const std::string& connection_string)
    : secrets_(odbc_passwords(connection_string)),
      environment_(odbc3_environment()),
      connection_(environment_),
      // SQLCancel may be called from another thread for a statement that
      // executes on one; the driver then has the server stop it (MariaDB:
      // KILL QUERY, PostgreSQL: a cancel request). A second later the
      // cancel is repeated for a statement begun meanwhile (undoing a
      // savepoint, say): ODBC has no call that drops a connection from
      // another thread.
      stop_hook_([this] { cancel_running(); }, [this] { cancel_running(); }) {
  // Gives up after 10 s, as the PostgreSQL engine does, unless the driver
  // ignores it.
  SQLSetConnectAttrW(connection(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
  WideString text = widen(connection_string);
  check(SQLDriverConnectW(connection(), nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                          nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, connection(), secrets_);
  connection_.set_connected();
  read_dialect();
  // Without a strict mode MariaDB and MySQL store a value that does not fit
  // its column as the nearest one that does (300 in a tinyint as 127) and
  // only warn, which their driver does not pass on: in strict mode, added
  // to the server's own, the server refuses the value, at its line.
  const std::string dbms = lower(dialect_.dbms);
  if (dbms.find("mariadb") != std::string::npos || dbms.find("mysql") != std::string::npos)
    run("SET SESSION sql_mode = CONCAT(@@sql_mode, ',STRICT_ALL_TABLES')");
}

void Session::read_dialect() {
  SQLHANDLE dbc = connection();
  dialect_.dbms = info_text(dbc, SQL_DBMS_NAME);
  const std::string quote = info_text(dbc, SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote.size() == 1 && quote != " ") dialect_.quote = quote[0];
  dialect_.double_type = double_type_name(dbc, dialect_.double_type);
  const SQLUSMALLINT transactions = info_small(dbc, SQL_TXN_CAPABLE);
  dialect_.transactional_ddl = transactions == SQL_TC_ALL;
  const std::string dbms = lower(dialect_.dbms);
  // MariaDB and MySQL commit every drop and create at once, whatever the
  // driver says; RENAME TABLE swaps several tables in one step.
  if (dbms.find("mariadb") != std::string::npos || dbms.find("mysql") != std::string::npos) {
    dialect_.transactional_ddl = false;
    dialect_.rename_swap = true;
    dialect_.no_columns = " () VALUES ()";
  }
  // A driver without parameter arrays refuses the size, or changes it.
  StatementHandle probe(dbc);
  SQLULEN size = 0;
  dialect_.parameter_arrays =
      succeeded(SQLSetStmtAttrW(probe.get(), SQL_ATTR_PARAMSET_SIZE,
                                reinterpret_cast<SQLPOINTER>(SQLULEN{2000}), 0)) &&
      succeeded(SQLGetStmtAttrW(probe.get(), SQL_ATTR_PARAMSET_SIZE, &size, 0, nullptr)) &&
      size == 2000;
  dialect_.read_only = info_text(dbc, SQL_DATA_SOURCE_READ_ONLY) == "Y";
  if (dialect_.rename_swap)
    dialect_.sql = &mysql_sql;
  else if (dbms.find("postgresql") != std::string::npos)
    dialect_.sql = &postgresql_sql;
  else if (dbms.find("sqlite") != std::string::npos)
    dialect_.sql = &sqlite_sql;
  else if (dbms.find("sql server") != std::string::npos || dbms.find("access") != std::string::npos)
    dialect_.sql = &microsoft_sql;
}

void Session::cancel_running() noexcept {
  std::lock_guard lock(running_mutex_);
  if (running_ != SQL_NULL_HANDLE) SQLCancel(running_);
}

void Session::run(const std::string& sql) {
  send_waiting();
  StatementHandle statement(connection());
  WideString text = widen(sql);
  const Running running(*this, statement.get());
  check(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, statement.get(), secrets_);
}

void Session::set_in_transaction(bool inside) {
  check(SQLSetConnectAttrW(connection(), SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(inside ? SQL_AUTOCOMMIT_OFF
                                                               : SQL_AUTOCOMMIT_ON),
                           0),
        SQL_HANDLE_DBC, connection(), secrets_);
  in_transaction_ = inside;
}

void Session::send_waiting() {
  if (!waiting_) return;
  const std::shared_ptr<Block> block = std::move(waiting_);
  waiting_.reset();
  block->send();
}

void Session::drop_waiting() noexcept {
  if (waiting_) waiting_->clear();
  waiting_.reset();
}

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
  const std::string sql(statement);
  check_single_statement(sql, sql_dialect());
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

namespace {

// Every row of the result on "handle", each cell as text (NULL as empty).
std::vector<std::vector<std::string>> fetch_all(SQLHANDLE handle, const Session& session) {
  SQLSMALLINT columns = 0;
  check(SQLNumResultCols(handle, &columns), SQL_HANDLE_STMT, handle, session.secrets());
  std::vector<std::vector<std::string>> rows;
  for (;;) {
    const SQLRETURN fetched = SQLFetch(handle);
    if (fetched == SQL_NO_DATA) break;
    check(fetched, SQL_HANDLE_STMT, handle, session.secrets());
    std::vector<std::string>& row = rows.emplace_back();
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
      // A long value comes in pieces: each call returns the next one, and
      // SQL_SUCCESS with the last.
      WideString value;
      SQLWCHAR piece[256];
      for (;;) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(handle, column, SQL_C_WCHAR, piece, sizeof piece, &length);
        if (rc == SQL_NO_DATA || length == SQL_NULL_DATA) break;
        check(rc, SQL_HANDLE_STMT, handle, session.secrets());
        const std::size_t room = sizeof piece / sizeof piece[0] - 1;
        const std::size_t got =
            length == SQL_NO_TOTAL || static_cast<std::size_t>(length) / sizeof(SQLWCHAR) > room
                ? room
                : static_cast<std::size_t>(length) / sizeof(SQLWCHAR);
        value.append(piece, got);
        if (rc == SQL_SUCCESS) break;
      }
      row.push_back(narrow(value));
    }
  }
  return rows;
}

class OdbcStatement final : public EngineStatement {
 public:
  OdbcStatement(std::shared_ptr<Session> session, const std::string& sql,
                std::string one_row_failure)
      : session_(std::move(session)),
        handle_(session_->connection()),
        one_row_failure_(std::move(one_row_failure)) {
    check_single_statement(sql, *session_->dialect().sql);
    session_->send_waiting();
    WideString text = widen(sql);
    check(SQLPrepareW(handle_.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
          SQL_HANDLE_STMT, handle_.get(), session_->secrets());
  }

  void run(std::span<const StatementValue> values) override {
    execute(values);
    SQLLEN changed = -1;
    if (!one_row_failure_.empty() &&
        (!succeeded(SQLRowCount(handle_.get(), &changed)) || changed != 1)) {
      SQLFreeStmt(handle_.get(), SQL_CLOSE);
      throw ProviderError(one_row_failure_);
    }
    SQLFreeStmt(handle_.get(), SQL_CLOSE);
  }

  std::vector<std::vector<std::string>> rows(std::span<const StatementValue> values) override {
    execute(values);
    struct CloseAfterwards {
      SQLHANDLE handle;
      ~CloseAfterwards() { SQLFreeStmt(handle, SQL_CLOSE); }
    } close{handle_.get()};
    return fetch_all(handle_.get(), *session_);
  }

 private:
  void execute(std::span<const StatementValue> values) {
    session_->send_waiting();
    // Sized first: the bound buffers must stay put until the execution.
    texts_.resize(values.size());
    numbers_.resize(values.size());
    indicators_.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      const auto index = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN rc;
      if (const auto* text = std::get_if<std::string>(&values[i])) {
        texts_[i] = widen(*text);
        indicators_[i] = static_cast<SQLLEN>(texts_[i].size() * sizeof(SQLWCHAR));
        rc = SQLBindParameter(handle_.get(), index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                              std::max<SQLULEN>(texts_[i].size(), 1), 0, texts_[i].data(),
                              indicators_[i], &indicators_[i]);
      } else {
        const auto* number = std::get_if<std::int64_t>(&values[i]);
        numbers_[i] = number ? *number : 0;
        indicators_[i] = number ? 0 : SQL_NULL_DATA;
        rc = SQLBindParameter(handle_.get(), index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT,
                              0, 0, &numbers_[i], 0, &indicators_[i]);
      }
      check(rc, SQL_HANDLE_STMT, handle_.get(), session_->secrets());
    }
    const Session::Running running(*session_, handle_.get());
    check(SQLExecute(handle_.get()), SQL_HANDLE_STMT, handle_.get(), session_->secrets());
  }

  std::shared_ptr<Session> session_;  // outlives the handle
  StatementHandle handle_;
  std::string one_row_failure_;
  std::vector<WideString> texts_;
  std::vector<SQLBIGINT> numbers_;
  std::vector<SQLLEN> indicators_;
};

}  // namespace

std::unique_ptr<EngineStatement> OdbcEngine::prepare(std::string_view statement,
                                                     std::size_t /*parameter_count*/,
                                                     const std::string& one_row_failure) {
  return std::make_unique<OdbcStatement>(session_, std::string(statement), one_row_failure);
}

std::vector<std::vector<std::string>> OdbcEngine::select_text(std::string_view statement) {
  const std::string sql(statement);
  check_single_statement(sql, sql_dialect());
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

void OdbcEngine::swap_in(const Swap& swap) {
  // One RENAME TABLE moves the old table aside and the fresh one in: other
  // programs see either the old or the new table, never none.
  try {
    session_->run("RENAME TABLE " + swap.name + " TO " + swap.aside + ", " + swap.fresh + " TO " +
                  swap.name);
  } catch (const ProviderError& error) {
    if (error.code() != "42S02") throw;
    session_->run("RENAME TABLE " + swap.fresh + " TO " + swap.name);  // no old table
  }
  session_->run("DROP TABLE IF EXISTS " + swap.aside);
  try {
    // The table is the user's now, no helper to be dropped.
    session_->run("ALTER TABLE " + swap.name + " COMMENT = ''");
  } catch (const ProviderError&) {
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
