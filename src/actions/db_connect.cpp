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
  if (settings.recreate) {
    using namespace std::string_view_literals;
    db.access_con.engine().recreate_table(
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

void db_connect(RunSettings& settings, DatabaseObjects& db) {
  open_connection(settings, db);
  open_target_table(settings, db);
}

}  // namespace kadrum
