#include "db/odbc/session.h"

#include <algorithm>

#include "db/data_source.h"
#include "db/odbc/table.h"

namespace kadrum::odbc {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

namespace {

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

}  // namespace kadrum::odbc
