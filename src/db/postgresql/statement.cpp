#include "db/postgresql/statement.h"

#include <libpq-fe.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "db/sql_scan.h"

namespace kadrum::postgresql {

PostgresStatement::PostgresStatement(std::shared_ptr<Session> session, std::string sql,
                                     std::string one_row_failure)
    : session_(std::move(session)),
      sql_(one_row_failure.empty() ? std::move(sql) : one_row_statement(sql)),
      one_row_failure_(std::move(one_row_failure)) {
  check_single_statement(sql_, postgresql_sql);
}

void PostgresStatement::run(std::span<const StatementValue> values) {
  bind(values);
  session_->run_prepared(name_, parameters_, one_row_failure_);
}

std::vector<std::vector<std::string>> PostgresStatement::rows(
    std::span<const StatementValue> values) {
  bind(values);
  pg_conn* conn = session_->command();
  std::vector<std::vector<std::string>> rows;
  guarded(conn, [&] {
    const Result result = checked(conn, PQexecPrepared(conn, name_.c_str(),
                                                       static_cast<int>(parameters_.size()),
                                                       parameters_.data(), nullptr, nullptr, 0));
    for (int r = 0; r < PQntuples(result.get()); ++r) {
      rows.emplace_back();
      for (int c = 0; c < PQnfields(result.get()); ++c)
        rows.back().emplace_back(PQgetvalue(result.get(), r, c));
    }
  });
  return rows;
}

void PostgresStatement::bind(std::span<const StatementValue> values) {
  // Sized first: a text's c_str stays put only while the vector does.
  texts_.resize(values.size());
  parameters_.resize(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (const auto* text = std::get_if<std::string>(&values[i]))
      texts_[i] = *text;
    else if (const auto* number = std::get_if<std::int64_t>(&values[i]))
      texts_[i] = std::to_string(*number);
    parameters_[i] = std::holds_alternative<std::monostate>(values[i]) ? nullptr
                                                                        : texts_[i].c_str();
  }
  if (!name_.empty()) return;
  static std::atomic<unsigned long> count{0};
  std::string name = "kadrum_statement_" + std::to_string(++count);
  pg_conn* conn = session_->command();
  // Parameter types are left to the server, which reads them from the
  // columns they meet.
  guarded(conn, [&] { checked(conn, PQprepare(conn, name.c_str(), sql_.c_str(), 0, nullptr)); });
  name_ = std::move(name);
}

}  // namespace kadrum::postgresql
