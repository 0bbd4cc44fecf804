#include "db/engine.h"

#include "base/provider_error.h"
#include "db/connection_string.h"
#include "db/data_source.h"
#include "db/odbc/engine.h"
#include "db/postgresql/engine.h"
#include "db/sqlite/engine.h"

namespace kadrum {

namespace {

// The data source of "connection_string"; the string puts one blank after
// it, which is no part of the name.
std::string data_source(std::string_view connection_string) {
  std::string source = connection_setting(connection_string, "Data Source").value_or("");
  if (!source.empty() && source.back() == ' ') source.pop_back();
  return source;
}

}  // namespace

std::vector<std::vector<std::string>> Engine::select_text(std::string_view) {
  throw ProviderError("Diese Datenbank kann keine Abfrageergebnisse lesen");
}

std::unique_ptr<Engine> open_engine(std::string_view connection_string) {
  // The provider and the other settings are kept only for the string's
  // fixed form; the data source alone chooses the engine.
  const std::string source = data_source(connection_string);
  const DataSourceForm form = data_source_form(source);
  if (form.engine == EngineKind::odbc) return std::make_unique<odbc::OdbcEngine>(form.text);
  if (form.engine == EngineKind::postgresql)
    return std::make_unique<postgresql::PostgresEngine>(form.text);
  return std::make_unique<sqlite::SqliteEngine>(source);
}

bool create_database(const std::string& data_source) {
  const DataSourceForm form = data_source_form(data_source);
  if (form.engine == EngineKind::odbc) return odbc::create_database(form.text);
  if (form.engine == EngineKind::postgresql) return postgresql::create_database(form.text);
  return sqlite::create_database(data_source);
}

}  // namespace kadrum
