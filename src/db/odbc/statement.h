// A statement that a command prepares once and runs again and again, and
// the reading of a result as text.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/engine.h"
#include "db/odbc/session.h"

namespace kadrum::odbc {

class OdbcStatement final : public EngineStatement {
 public:
  // Prepares the one statement "sql" on the connection of "session", after
  // the records waiting there; refuses (ProviderError) a second statement
  // in it. A statement with a "one_row_failure" throws
  // ProviderError(one_row_failure) from run when it changed no row or more
  // than one. Throws ProviderError with the driver's description.
  OdbcStatement(std::shared_ptr<Session> session, const std::string& sql,
                std::string one_row_failure);

  void run(std::span<const StatementValue> values) override;
  std::vector<std::vector<std::string>> rows(std::span<const StatementValue> values) override;

 private:
  void execute(std::span<const StatementValue> values);

  std::shared_ptr<Session> session_;  // outlives the handle
  StatementHandle handle_;
  std::string one_row_failure_;
  std::vector<WideString> texts_;
  std::vector<SQLBIGINT> numbers_;
  std::vector<SQLLEN> indicators_;
};

// Every row of the result on "handle", each cell as text (NULL as empty).
// Throws ProviderError with the driver's description.
std::vector<std::vector<std::string>> fetch_all(SQLHANDLE handle, const Session& session);

}  // namespace kadrum::odbc
