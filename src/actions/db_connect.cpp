#include "actions/db_connect.h"

#include "db/connection_string.h"

namespace kadrum {

namespace {

// " ( yr double, jday double, sval double )" on SQLite; the engine names the
// number type.
std::string column_layout(bool multi, std::string_view number_type) {
  const char* const list[] = {"W1", "W2", "W3"};
  const char* const single[] = {"yr", "jday", "sval"};
  const char* const* names = multi ? list : single;
  std::string layout = " ( ";
  for (int i = 0; i < 3; ++i) {
    if (i > 0) layout += ", ";
    layout += names[i];
    layout += ' ';
    layout += number_type;
  }
  layout += " )";
  return layout;
}

}  // namespace

void open_connection(RunSettings& settings, DatabaseObjects& db) {
  if (settings.database_path == "?") settings.database_path = settings.database_name;
  db.connstr = build_connection_string(settings.database_path);

  db.access_con.close();
  if (db.access_con.connection_string() != db.connstr)
    db.access_con.set_connection_string(db.connstr);
  db.access_con.open();
}

void open_target_table(const RunSettings& settings, DatabaseObjects& db) {
  if (settings.recreate) {
    // The drop fails whenever the table is not there yet; that is expected,
    // and any other reason shows up at the create.
    try {
      db.qry.clear();
      db.qry.add(" drop table " + settings.table_name);
      db.qry.execute();
    } catch (...) {
    }
    db.qry.clear();
    db.qry.add(" create table " + settings.table_name +
               column_layout(settings.list_mode, db.access_con.engine().number_type()));
    db.qry.execute();
  }

  db.itab.close();
  db.itab.set_table_name(settings.table_name);
  db.itab.open();
}

void db_connect(RunSettings& settings, DatabaseObjects& db) {
  open_connection(settings, db);
  open_target_table(settings, db);
}

}  // namespace kadrum
