// The ODBC engine's own behaviour, through the MariaDB and SQLite ODBC
// drivers: what the shared action tests cannot ask of every engine.
#include "db/odbc/engine.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/error.h"
#include "db/connection_string.h"
#include "db/odbc/errors.h"
#include "support/odbc_test_database.h"
#include "support/temp_folder.h"

namespace kadrum::odbc {
namespace {

using testing::MariadbTestDatabase;
using testing::Rows;

std::string failure_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

std::unique_ptr<Engine> connect(const std::string& data_source) {
  return open_engine(build_connection_string(data_source));
}

class OdbcMariadbTest : public ::testing::Test {
 protected:
  MariadbTestDatabase database;
  std::unique_ptr<Engine> engine = connect(database.data_source());
};

TEST(OdbcDialect, ComesFromTheDriver) {
  const testing::TempFolder folder;
  MariadbTestDatabase mariadb;
  testing::SqliteOdbcTestDatabase sqlite(folder);
  struct Case {
    std::string source;
    const char* dbms;
    char quote;
    const char* double_type;
    bool rename_swap;
    const SqlDialect* sql;
  };
  for (const auto& c : {Case{mariadb.data_source(), "MariaDB", '`', "DOUBLE", true, &mysql_sql},
                        Case{sqlite.data_source(), "SQLite", '"', "double", false, &sqlite_sql}}) {
    const OdbcEngine engine(read_data_source(c.source).text);
    const Dialect& dialect = engine.dialect();
    EXPECT_EQ(&engine.sql_dialect(), c.sql);
    EXPECT_EQ(dialect.dbms, c.dbms);
    EXPECT_EQ(dialect.quote, c.quote);
    EXPECT_EQ(dialect.double_type, c.double_type);
    EXPECT_EQ(dialect.rename_swap, c.rename_swap);
    EXPECT_EQ(dialect.transactional_ddl, !c.rename_swap);
    EXPECT_TRUE(dialect.parameter_arrays);
  }
}

TEST_F(OdbcMariadbTest, ColumnKindsAutoIncrementAndGeneratedColumns) {
  database.exec(
      "CREATE TABLE k (id INT AUTO_INCREMENT PRIMARY KEY, a DOUBLE, b INT, c SMALLINT, "
      "d TINYINT UNSIGNED, e VARCHAR(10), f TEXT, g DATE, h TIME, i DATETIME, j DECIMAL(12,4), "
      "l BIT(1), m DOUBLE AS (a * 2) VIRTUAL)");
  const auto table = engine->open_table("k");
  struct Expected {
    const char* name;
    FieldKind kind;
    int size;
    bool updatable;
  };
  const Expected expected[] = {
      {"id", FieldKind::autoincrement, 0, false}, {"a", FieldKind::floating, 0, true},
      {"b", FieldKind::integer32, 0, true},       {"c", FieldKind::integer16, 0, true},
      {"d", FieldKind::unsigned16, 0, true},      {"e", FieldKind::unicode_text, 0, true},
      {"f", FieldKind::unicode_text, 0, true},    {"g", FieldKind::date, 0, true},
      {"h", FieldKind::time, 0, true},            {"i", FieldKind::datetime, 0, true},
      {"j", FieldKind::currency, 0, true},        {"l", FieldKind::boolean, 0, true},
      {"m", FieldKind::floating, 0, true},
  };
  ASSERT_EQ(table->fields().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const EngineField& field = table->fields()[i];
    EXPECT_EQ(field.name, expected[i].name);
    EXPECT_EQ(field.kind, expected[i].kind) << field.name;
    EXPECT_EQ(field.declared_size, expected[i].size) << field.name;
    EXPECT_EQ(field.updatable, expected[i].updatable) << field.name;
  }
  EXPECT_TRUE(table->accepts_new_records());
  const std::size_t positions[] = {1, 2, 5, 6, 7, 9, 10, 11};
  const Value values[] = {1.5, std::int32_t{-7}, std::string("Größe"), std::string("x"),
                          DateTime{2024, 1, 31, 0, 0, 0}, DateTime{2024, 1, 31, 13, 45, 0},
                          Currency{123456}, true};
  table->insert(positions, values);
  EXPECT_EQ(database.rows("SELECT id, a, b, HEX(e), g, i, j, l + 0, m FROM k"),
            (Rows{{"1", "1.5", "-7", "4772C3B6C39F65", "2024-01-31", "2024-01-31 13:45:00",
                   "12.3456", "1", "3"}}));
}

TEST_F(OdbcMariadbTest, ViewTakesNoRecordsAndUmlautNamesRoundTrip) {
  engine->execute("CREATE TABLE `Maße` (`Größe` DOUBLE)", 0);
  engine->execute("CREATE VIEW v AS SELECT * FROM `Maße`", 0);
  EXPECT_FALSE(engine->open_table("v")->accepts_new_records());
  const auto table = engine->open_table("Maße");
  ASSERT_EQ(table->fields().size(), 1u);
  EXPECT_EQ(table->fields()[0].name, "Größe");
  const std::size_t positions[] = {0};
  const Value values[] = {2.5};
  table->insert(positions, values);
  EXPECT_EQ(database.rows("SELECT HEX(TABLE_NAME), HEX(COLUMN_NAME) FROM information_schema.COLUMNS "
                          "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME <> 'v'"),
            (Rows{{"4D61C39F65", "4772C3B6C39F65"}}));
  EXPECT_EQ(database.rows("SELECT * FROM v"), (Rows{{"2.5"}}));
}

TEST_F(OdbcMariadbTest, RefusedRecordOfABlockIsNamedAndNothingIsKept) {
  database.exec("CREATE TABLE t (W1 DOUBLE CHECK (W1 <> 3000))");
  engine->begin();
  const auto table = engine->open_table("t");
  const std::size_t positions[] = {0};
  const std::string message = failure_of([&] {
    for (int i = 1; i <= 5000; ++i) {
      const Value values[] = {static_cast<double>(i)};
      table->insert(positions, values);
    }
    engine->commit();
  });
  engine->rollback();
  EXPECT_TRUE(message.starts_with("Ein Datensatz verletzt eine Bedingung der Tabelle (")) << message;
  EXPECT_TRUE(message.ends_with("; Datensatz 3000 der Transaktion)")) << message;
  EXPECT_EQ(database.rows("SELECT count(*) FROM t"), (Rows{{"0"}}));
}

TEST(OdbcMessages, NameTheFailureInGermanAndNeverThePassword) {
  MariadbTestDatabase database;
  const std::string server = testing::mariadb_odbc("", "kadrum_password");
  struct Case {
    std::string source;
    std::string message;
  };
  const Case cases[] = {
      {"odbc:Driver={Kadrum fehlt};PWD=richtig",
       "Der ODBC-Treiber ist nicht installiert oder lässt sich nicht laden (Can't open lib "
       "'Kadrum fehlt' : file not found)"},
      {"ODBC:" + server + ";Database=richtig;PWD={richtig}",
       "Die Datenbank gibt es auf dem Server nicht (Unknown database '***')"},
      {"odbc:" + server + ";Database=richtig;Password=richtig",
       "Die Datenbank gibt es auf dem Server nicht (Unknown database '***')"},
      {"odbc:" + testing::mariadb_odbc(database.name()) + ";PWD=geheim",
       "Die Anmeldung am Datenbankserver ist gescheitert (Access denied for user "
       "'kadrum'@'localhost' (using password: YES))"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(failure_of([&] { connect(c.source); }), c.message) << c.source;
}

// Fault: the connection to the server was split at every ";", also inside
// a braced value: a password "{a;;b}" reached the server as "{a;b}".
TEST(OdbcCreateDatabase, CreatesAMariaDBDatabaseOnceAndRefusesWithoutAName) {
  const std::string name = testing::odbc_test_name() + "_neu";
  // The password "a;;b}c", given as its hash: the inspector splits at ";".
  testing::OdbcInspector(testing::mariadb_odbc(""))
      .rows("CREATE USER IF NOT EXISTS kadrum_klammer@localhost IDENTIFIED BY PASSWORD "
            "'*827BBEAF82E04CA62446F034C4FADBC48314D108';"
            "GRANT ALL ON *.* TO kadrum_klammer@localhost");
  // Fault: "Database= name" created a database " name", which the driver,
  // reading "name", never reached.
  for (const std::string& source :
       {"odbc:" + testing::mariadb_odbc(name),
        "odbc:" + testing::mariadb_odbc(name, "kadrum_klammer") + ";PWD={a;;b}}c}",
        "odbc:" + testing::mariadb_odbc("") + ";Database= " + name + " \t"}) {
    EXPECT_TRUE(kadrum::create_database(source)) << source;
    EXPECT_FALSE(kadrum::create_database(source));
    EXPECT_NO_THROW(connect(source));
    testing::OdbcInspector(testing::mariadb_odbc("")).rows("DROP DATABASE " + name);
  }
  EXPECT_EQ(failure_of([&] { kadrum::create_database("odbc:" + testing::mariadb_odbc("") + ";PWD=x"); }),
            "Die ODBC-Verbindung nennt keine Datenbank (Database=), die angelegt werden könnte");
}

}  // namespace
}  // namespace kadrum::odbc
