#include "db/sqlite/statement.h"

#include <sqlite3.h>

#include <cstdint>
#include <utility>

#include "base/provider_error.h"
#include "db/sqlite/errors.h"

namespace kadrum::sqlite {

namespace {

struct ResetAfterwards {
  sqlite3_stmt* stmt;
  ~ResetAfterwards() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
};

}  // namespace

SqliteStatement::SqliteStatement(DatabaseHandle db, std::string_view sql,
                                 std::string one_row_failure)
    : db_(std::move(db)),
      statement_(Statement::prepare_single(db_.get(), sql)),
      one_row_failure_(std::move(one_row_failure)) {}

void SqliteStatement::run(std::span<const StatementValue> values) {
  const ResetAfterwards reset{statement_.get()};
  bind(values);
  while (statement_.step()) {
  }
  if (!one_row_failure_.empty() && sqlite3_changes(db_.get()) != 1)
    throw ProviderError(one_row_failure_);
}

std::vector<std::vector<std::string>> SqliteStatement::rows(
    std::span<const StatementValue> values) {
  const ResetAfterwards reset{statement_.get()};
  bind(values);
  const int columns = sqlite3_column_count(statement_.get());
  std::vector<std::vector<std::string>> rows;
  while (statement_.step()) {
    rows.emplace_back();
    for (int i = 0; i < columns; ++i) rows.back().push_back(statement_.text(i));
  }
  return rows;
}

void SqliteStatement::bind(std::span<const StatementValue> values) {
  sqlite3_stmt* stmt = statement_.get();
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    int rc = SQLITE_OK;
    if (const auto* text = std::get_if<std::string>(&values[i]))
      rc = sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()),
                             SQLITE_STATIC);
    else if (const auto* number = std::get_if<std::int64_t>(&values[i]))
      rc = sqlite3_bind_int64(stmt, index, *number);
    else
      rc = sqlite3_bind_null(stmt, index);
    if (rc != SQLITE_OK) throw_last_error(db_.get());
  }
}

}  // namespace kadrum::sqlite
