#include "actions/db_connect.h"

#include <optional>
#include <string_view>

#include "base/error.h"
#include "base/messages.h"
#include "base/provider_error.h"
#include "db/connection_string.h"
#include "db/transaction.h"

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

// The drop and create statements carry the table name as typed. A comment
// start or a statement end in it would let the drop reach another table
// ("t --" drops t), and a NUL byte ends the text an engine reads; such a
// name is refused before any statement runs.
void check_statement_name(const std::string& name) {
  using namespace std::string_view_literals;
  for (const std::string_view piece : {"--"sv, "/*"sv, ";"sv, "\0"sv}) {
    if (name.find(piece) == std::string::npos) continue;
    // A message is a C string to its readers: a NUL is shown as "\0".
    std::string shown;
    for (char c : name) shown += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
    throw Error(fill_message(
        "Der Tabellenname '%s' wird abgelehnt: ';', '--', '/*' und Nullzeichen "
        "würden die Anweisungen zum Neuanlegen der Tabelle verändern",
        {shown}));
  }
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

void open_target_table(const RunSettings& settings, DatabaseObjects& db,
                       bool inside_transaction) {
  // An engine that cuts long names would reach another table, or drop it.
  db.access_con.engine().check_table_name(settings.table_name);
  if (settings.recreate) {
    check_statement_name(settings.table_name);
    Engine& engine = db.access_con.engine();
    // Drop and create replace the table together: a failed create, or a kill
    // between the two, leaves the old table as it was.
    std::optional<Transaction> replace;
    if (!inside_transaction) {
      // Each record commits alone, so nothing else keeps a second recreate
      // from dropping this run's records while it still imports.
      engine.hold_recreate_lock(settings.table_name);
      replace.emplace(engine);
    }
    // The drop fails whenever the table is not there yet; that is expected.
    // Any other reason of its failure is kept for the create's message,
    // since the create then fails for it. A failed statement leaves the
    // transaction usable.
    std::string drop_failure;
    try {
      db.qry.clear();
      db.qry.add(" drop table " + settings.table_name);
      db.qry.execute();
    } catch (const std::exception& error) {
      drop_failure = innermost_message(error);
      if (drop_failure.starts_with(messages::table_missing)) drop_failure.clear();
    } catch (...) {
    }
    db.qry.clear();
    db.qry.add(" create table " + settings.table_name +
               column_layout(settings.list_mode, engine.number_type()));
    try {
      db.qry.execute();
    } catch (const std::exception& error) {
      // A name the engine cannot read fails both statements alike; the
      // drop's words would add nothing then.
      const std::string failure = innermost_message(error);
      if (drop_failure.empty() || drop_failure == failure ||
          settings.table_name.find_first_not_of(' ') == std::string::npos)
        throw;
      throw ProviderError(failure + "; das Löschen der Tabelle davor ist gescheitert: " +
                  drop_failure);
    }
    if (replace) replace->commit();
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
