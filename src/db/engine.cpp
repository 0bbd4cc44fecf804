#include "db/engine.h"

#include "base/provider_error.h"
#include "db/connection_string.h"
#include "db/data_source.h"
#include "db/odbc/engine.h"
#include "db/sqlite/engine.h"
#ifdef _WIN32
#include "db/access.h"
#else
#include "db/postgresql/engine.h"
#endif

namespace kadrum {

namespace {

// The data source of "connection_string"; the string puts one blank after
// it, which is no part of the name.
std::string data_source(std::string_view connection_string) {
  std::string source = connection_setting(connection_string, "Data Source").value_or("");
  if (!source.empty() && source.back() == ' ') source.pop_back();
  return source;
}

#ifdef _WIN32
// Windows has no PostgreSQL client library of Kadrum's own: the server is
// reached through its ODBC driver, as any ODBC data source.
[[noreturn]] void refuse_postgresql_uri() {
  throw ProviderError(
      "PostgreSQL-Server erreicht Kadrum unter Windows über ODBC: die Datenquelle als "
      "odbc:Driver={PostgreSQL Unicode(x64)};Server=…;Port=5432;Database=…;Uid=…;Pwd=… "
      "angeben, mit dem PostgreSQL-ODBC-Treiber (psqlODBC)");
}
#endif

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
#ifdef _WIN32
  if (form.engine == EngineKind::postgresql) refuse_postgresql_uri();
  if (is_access_file(source)) {
    check_access_driver();
    return std::make_unique<odbc::OdbcEngine>(access_odbc_source(source));
  }
#else
  if (form.engine == EngineKind::postgresql)
    return std::make_unique<postgresql::PostgresEngine>(form.text);
#endif
  return std::make_unique<sqlite::SqliteEngine>(source);
}

bool create_database(const std::string& data_source) {
  const DataSourceForm form = data_source_form(data_source);
  if (form.engine == EngineKind::odbc) return odbc::create_database(form.text);
#ifdef _WIN32
  if (form.engine == EngineKind::postgresql) refuse_postgresql_uri();
  if (is_access_file(data_source)) return create_access_database(data_source);
#else
  if (form.engine == EngineKind::postgresql) return postgresql::create_database(form.text);
#endif
  return sqlite::create_database(data_source);
}

}  // namespace kadrum
