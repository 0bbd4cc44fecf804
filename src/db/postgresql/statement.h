// A statement that a command prepares once and runs again and again.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/engine.h"
#include "db/postgresql/session.h"

namespace kadrum::postgresql {

class PostgresStatement final : public EngineStatement {
 public:
  // Takes the one statement "sql" for "session"; refuses (ProviderError) a
  // second statement in it. A statement with a "one_row_failure" runs as
  // one_row_statement makes it and throws ProviderError(one_row_failure)
  // when it changed no row or more than one. The server prepares it on
  // first use.
  PostgresStatement(std::shared_ptr<Session> session, std::string sql, std::string one_row_failure);

  void run(std::span<const StatementValue> values) override;
  std::vector<std::vector<std::string>> rows(std::span<const StatementValue> values) override;

 private:
  // Prepares the statement on first use and sets its parameters.
  void bind(std::span<const StatementValue> values);

  std::shared_ptr<Session> session_;
  std::string sql_;
  std::string one_row_failure_;
  std::string name_;  // on the server, once prepared
  std::vector<std::string> texts_;
  std::vector<const char*> parameters_;
};

}  // namespace kadrum::postgresql
