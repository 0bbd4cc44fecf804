// A statement that a command prepares once and runs again and again.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/sqlite/session.h"

namespace kadrum::sqlite {

class SqliteStatement final : public EngineStatement {
 public:
  // Prepares the one statement "sql" on "db" (see Statement::prepare_single).
  // A statement with a "one_row_failure" throws ProviderError(one_row_failure)
  // from run when it changed no row or more than one. Throws ProviderError
  // with the engine's description.
  SqliteStatement(DatabaseHandle db, std::string_view sql, std::string one_row_failure);

  void run(std::span<const StatementValue> values) override;
  std::vector<std::vector<std::string>> rows(std::span<const StatementValue> values) override;

 private:
  void bind(std::span<const StatementValue> values);

  DatabaseHandle db_;  // outlives the statement
  Statement statement_;
  std::string one_row_failure_;
};

}  // namespace kadrum::sqlite
