#include "db/engine.h"

#include "db/connection_string.h"
#include "db/sqlite/engine.h"

namespace kadrum {

std::unique_ptr<Engine> open_engine(std::string_view connection_string) {
  // Every connection string leads to SQLite today; its provider and the
  // other settings are kept only for the string's fixed form.
  std::string source = connection_setting(connection_string, "Data Source").value_or("");
  // The string puts one blank after the path; it is no part of the name.
  if (!source.empty() && source.back() == ' ') source.pop_back();
  return std::make_unique<sqlite::SqliteEngine>(source);
}

}  // namespace kadrum
