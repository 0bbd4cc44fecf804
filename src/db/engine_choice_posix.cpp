// Which engine a data source opens on Linux and the other POSIX systems:
// PostgreSQL through libpq, ODBC through the driver manager, a file through
// SQLite.
#include "db/engine.h"
#include "db/odbc/engine.h"
#include "db/postgresql/engine.h"
#include "db/sqlite/engine.h"

namespace kadrum {

std::unique_ptr<Engine> open_engine(const DataSource& source) {
  switch (source.engine) {
    case EngineKind::odbc:
      return std::make_unique<odbc::OdbcEngine>(source.text);
    case EngineKind::postgresql:
      return std::make_unique<postgresql::PostgresEngine>(source.text);
    case EngineKind::sqlite:
      break;
  }
  return std::make_unique<sqlite::SqliteEngine>(source.text);
}

bool create_database(const DataSource& source) {
  switch (source.engine) {
    case EngineKind::odbc:
      return odbc::create_database(source.text);
    case EngineKind::postgresql:
      return postgresql::create_database(source.text);
    case EngineKind::sqlite:
      break;
  }
  return sqlite::create_database(source.text);
}

}  // namespace kadrum
