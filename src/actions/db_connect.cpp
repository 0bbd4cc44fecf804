#include "actions/db_connect.h"

namespace kadrum {

namespace {

constexpr std::string_view list_layout = " ( W1 double, W2 double, W3 double )";
constexpr std::string_view single_layout = " ( yr double, jday double, sval double )";

}  // namespace

void db_connect(RunSettings& settings, DatabaseObjects& db) {
  if (settings.dbpath == "?") settings.dbpath = settings.dbname;
  db.connstr = build_connection_string(settings.dbpath);

  db.access_con.close();
  if (db.access_con.connection_string() != db.connstr)
    db.access_con.set_connection_string(db.connstr);
  db.access_con.open();

  if (settings.recreate) {
    // The drop fails whenever the table is not there yet; that is expected,
    // and any other reason shows up at the create.
    try {
      db.qry.clear();
      db.qry.add(" drop table " + settings.tabname);
      db.qry.execute();
    } catch (...) {
    }
    db.qry.clear();
    db.qry.add(" create table " + settings.tabname +
               std::string(settings.multi ? list_layout : single_layout));
    db.qry.execute();
  }

  db.itab.close();
  db.itab.set_table_name(settings.tabname);
  db.itab.open();
}

}  // namespace kadrum
