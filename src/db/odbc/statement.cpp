#include "db/odbc/statement.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "db/sql_scan.h"

namespace kadrum::odbc {

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

OdbcStatement::OdbcStatement(std::shared_ptr<Session> session, const std::string& sql,
                             std::string one_row_failure)
    : session_(std::move(session)),
      handle_(session_->connection()),
      one_row_failure_(std::move(one_row_failure)) {
  WideString text = widen(check_single_statement(sql, *session_->dialect().sql));
  session_->send_waiting();
  check(SQLPrepareW(handle_.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, handle_.get(), session_->secrets());
}

void OdbcStatement::run(std::span<const StatementValue> values) {
  execute(values);
  SQLLEN changed = -1;
  if (!one_row_failure_.empty() &&
      (!succeeded(SQLRowCount(handle_.get(), &changed)) || changed != 1)) {
    SQLFreeStmt(handle_.get(), SQL_CLOSE);
    throw ProviderError(one_row_failure_);
  }
  SQLFreeStmt(handle_.get(), SQL_CLOSE);
}

std::vector<std::vector<std::string>> OdbcStatement::rows(
    std::span<const StatementValue> values) {
  execute(values);
  struct CloseAfterwards {
    SQLHANDLE handle;
    ~CloseAfterwards() { SQLFreeStmt(handle, SQL_CLOSE); }
  } close{handle_.get()};
  return fetch_all(handle_.get(), *session_);
}

void OdbcStatement::execute(std::span<const StatementValue> values) {
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

}  // namespace kadrum::odbc
