// The SQLite engine: one connection to one existing database file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/engine.h"
#include "db/sqlite/statement.h"

namespace kadrum::sqlite {

class SqliteEngine final : public Engine {
 public:
  // Opens the SQLite database file "path"; never creates one. Throws
  // ProviderError with a German description for an empty path, a missing
  // file, a folder, an Access file or any other file that is no SQLite
  // database, and with the engine's description when SQLite refuses it.
  explicit SqliteEngine(const std::string& path);

  void execute(std::string_view statement, std::size_t parameter_count) override;
  std::unique_ptr<EngineTable> open_table(std::string_view open_name) override;

 private:
  DatabaseHandle db_;
};

}  // namespace kadrum::sqlite
