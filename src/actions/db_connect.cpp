#include "actions/db_connect.h"

#include <array>
#include <string_view>

#include "db/connection_string.h"

namespace kadrum {

void open_connection(RunSettings& settings, DatabaseObjects& db) {
  if (settings.database_path == "?") settings.database_path = settings.database_name;
  db.connstr = build_connection_string(settings.database_path);

  db.access_con.close();
  if (db.access_con.connection_string() != db.connstr)
    db.access_con.set_connection_string(db.connstr);
  db.access_con.open();
}

void open_target_table(const RunSettings& settings, DatabaseObjects& db,
                       bool inside_transaction) {
  // An engine that cuts long names would reach another table, or drop it.
  db.access_con.engine().check_table_name(settings.table_name);
  if (settings.recreate) {
    Engine& engine = db.access_con.engine();
    lock_for_recreate(settings, db);
    using namespace std::string_view_literals;
    engine.recreate_table(
        settings.table_name,
        settings.list_mode ? std::array{"W1"sv, "W2"sv, "W3"sv} : std::array{"yr"sv, "jday"sv, "sval"sv},
        inside_transaction, [&db](const std::string& line) {
          db.qry.clear();
          db.qry.add(line);
          db.qry.execute();
        });
  }

  db.itab.close();
  db.itab.set_table_name(settings.table_name);
  db.itab.open();
}

void lock_for_recreate(const RunSettings& settings, DatabaseObjects& db) {
  if (!settings.recreate) return;
  // Records commit one by one, and some databases commit a drop and a
  // create at once: nothing else keeps a second recreate from dropping
  // this run's records while it still imports.
  db.access_con.engine().check_table_name(settings.table_name);
  check_statement_name(settings.table_name, db.access_con.engine().sql_dialect());
  db.access_con.engine().hold_recreate_lock(settings.table_name);
}

void db_connect(RunSettings& settings, DatabaseObjects& db) {
  open_connection(settings, db);
  open_target_table(settings, db);
}

}  // namespace kadrum
