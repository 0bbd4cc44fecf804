// Which engine a data source opens on Windows: there is no PostgreSQL
// client library of Kadrum's own, so a server is reached through its ODBC
// driver, as any ODBC data source; an Access file opens through the Access
// ODBC driver; any other file through SQLite.
#include "base/provider_error.h"
#include "db/access.h"
#include "db/engine.h"
#include "db/odbc/engine.h"
#include "db/sqlite/engine.h"

namespace kadrum {

namespace {

[[noreturn]] void refuse_postgresql_uri() {
  throw ProviderError(
      "PostgreSQL-Server erreicht Kadrum unter Windows über ODBC: die Datenquelle als "
      "odbc:Driver={PostgreSQL Unicode(x64)};Server=…;Port=5432;Database=…;Uid=…;Pwd=… "
      "angeben, mit dem PostgreSQL-ODBC-Treiber (psqlODBC)");
}

}  // namespace

std::unique_ptr<Engine> open_engine(const DataSource& source) {
  switch (source.engine) {
    case EngineKind::odbc:
      return std::make_unique<odbc::OdbcEngine>(source.text);
    case EngineKind::postgresql:
      refuse_postgresql_uri();
    case EngineKind::sqlite:
      break;
  }
  if (is_access_file(source.text)) {
    check_access_driver();
    return std::make_unique<odbc::OdbcEngine>(read_data_source(access_odbc_source(source.text)).text);
  }
  return std::make_unique<sqlite::SqliteEngine>(source.text);
}

bool create_database(const DataSource& source) {
  switch (source.engine) {
    case EngineKind::odbc:
      return odbc::create_database(source.text);
    case EngineKind::postgresql:
      refuse_postgresql_uri();
    case EngineKind::sqlite:
      break;
  }
  if (is_access_file(source.text)) return create_access_database(source.text);
  return sqlite::create_database(source.text);
}

}  // namespace kadrum
