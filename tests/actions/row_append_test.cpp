#include "actions/row_append.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "actions/db_connect.h"
#include "base/error.h"
#include "base/provider_error.h"
#include "db/transaction.h"
#include "support/sqlite_inspector.h"
#include "support/message_of.h"

namespace kadrum {
namespace {

using testing::Inspector;
using testing::TempFolder;
using Rows = std::vector<std::vector<std::string>>;

class RowAppend : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::make_database(path);
    settings.database_path = path;
    settings.recreate = false;
  }

  // Connects to table T made by "create".
  void connect_to(const std::string& create) {
    testing::make_database(path, create);
    db_connect(settings, db);
  }

  std::string failure_of(const Row& row) {
    return testing::message_of([&] { append_row(db.itab, row, formats); });
  }

  Rows stored(const std::string& columns = "*") {
    return Inspector(path).rows("SELECT " + columns + " FROM T ORDER BY rowid");
  }

  TempFolder folder;
  std::string path = folder.file("test.db");
  // Built apart: g++ 12 at -O3 warns falsely (-Wrestrict) when a one-letter
  // literal is assigned to the field in SetUp.
  RunSettings settings = [] {
    RunSettings s;
    s.table_name = std::string(1, 'T');
    return s;
  }();
  DatabaseObjects db;
  LocaleFormats formats;
};

TEST_F(RowAppend, BeforeConnectTheTableIsClosed) {
  EXPECT_EQ(failure_of({"1", "2", "3"}),
            "itab: Operation bei geschlossener Datenmenge nicht ausführbar");
}






TEST_F(RowAppend, RowidAliasFirstColumnIsRefusedEvenForEmptyText) {
  connect_to("CREATE TABLE T (id INTEGER PRIMARY KEY, a double, b double)");
  EXPECT_EQ(failure_of({"5", "1", "2"}), "Feld 'id' kann nicht verändert werden");
  EXPECT_EQ(failure_of({"", "1", "2"}), "Feld 'id' kann nicht verändert werden");
  EXPECT_TRUE(stored().empty());
}

TEST_F(RowAppend, OnlyTrueRowidAliasesAreReadOnly) {
  struct Case {
    const char* create;
    const char* message;
  };
  const Case cases[] = {
      {"CREATE TABLE T (id integer primary key autoincrement, a, b)",
       "Feld 'id' kann nicht verändert werden"},
      {"CREATE TABLE T (rowid text, id INTEGER PRIMARY KEY, b)",
       "Feld 'id' kann nicht verändert werden"},
      // DESC keeps the column out of the rowid; a non-INTEGER key too.
      {"CREATE TABLE T (id INTEGER PRIMARY KEY DESC, a, b)", "(no error)"},
      {"CREATE TABLE T (id INT PRIMARY KEY, a, b)", "(no error)"},
      {"CREATE TABLE T (id INTEGER PRIMARY KEY, a, b) WITHOUT ROWID", "(no error)"},
      {"CREATE TABLE T (id INTEGER, a, b, PRIMARY KEY (id, a))", "(no error)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.create);
    Inspector(path).exec("DROP TABLE IF EXISTS T");
    connect_to(c.create);
    EXPECT_EQ(failure_of({"7", "1", "2"}), c.message);
  }
}

TEST_F(RowAppend, GeneratedColumnIsReadOnlyAfterConversion) {
  connect_to("CREATE TABLE T (a double, g double AS (a * 2), c double)");
  EXPECT_EQ(failure_of({"1", "2", "3"}), "Feld 'g' kann nicht verändert werden");
  EXPECT_EQ(failure_of({"1", "", "3"}), "Feld 'g' kann nicht verändert werden");
  EXPECT_EQ(failure_of({"1", "x", "3"}), "'x' ist kein gültiger Fließkommawert für Feld 'g'");
  EXPECT_TRUE(stored().empty());
}

TEST_F(RowAppend, GeneratedColumnBeyondTheThirdIsComputed) {
  connect_to("CREATE TABLE T (a double, b double, c double, s double AS (a + b + c) STORED)");
  append_row(db.itab, {"1", "2", "3"}, formats);
  EXPECT_EQ(stored(), (Rows{{"1.0", "2.0", "3.0", "6.0"}}));
}

TEST_F(RowAppend, ViewTakesNoRecords) {
  testing::make_database(path, "CREATE TABLE base (a double, b double, c double)");
  connect_to("CREATE VIEW T AS SELECT * FROM base");
  EXPECT_EQ(failure_of({"1", "2", "3"}),
            "itab: Eine Datenmenge, die nur zum Lesen ist, kann nicht geändert werden");
  EXPECT_EQ(Inspector(path).value("SELECT count(*) FROM base"), "0");
}

TEST_F(RowAppend, NameReadingSeveralTablesTakesNoRecords) {
  testing::make_database(path, "CREATE TABLE a (x double); CREATE TABLE b (y double, z double)");
  settings.table_name = "a,b";
  db_connect(settings, db);
  EXPECT_EQ(db.itab.fields().size(), 3u);
  EXPECT_EQ(failure_of({"1", "2", "3"}),
            "itab: Eine Datenmenge, die nur zum Lesen ist, kann nicht geändert werden");
}

TEST_F(RowAppend, TablePassesOverFieldsTheEngineCannotWrite) {
  connect_to("CREATE TABLE T (a double, g double AS (a * 2), c double)");
  db.itab.add_new();
  db.itab.set_value(0, 1.5);
  db.itab.set_value(1, 99.0);
  db.itab.set_value(2, 3.0);
  db.itab.update();
  EXPECT_EQ(stored(), (Rows{{"1.5", "3.0", "3.0"}}));
}

TEST_F(RowAppend, WriteProtectedFileOpensReadOnly) {
  testing::make_database(path, "CREATE TABLE T (W1 double, W2 double, W3 double)");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  db_connect(settings, db);
  EXPECT_TRUE(db.itab.is_open());
  EXPECT_EQ(failure_of({"1", "2", "3"}),
            "itab: Eine Datenmenge, die nur zum Lesen ist, kann nicht geändert werden");
  chmod(path.c_str(), 0644);
  EXPECT_TRUE(stored().empty());
}

TEST_F(RowAppend, EngineRefusalComesBehindAGermanDescriptionAndStoresNothing) {
  connect_to("CREATE TABLE T (a double CHECK (a > 0), b double NOT NULL, c double)");
  EXPECT_EQ(failure_of({"-1", "2", "3"}),
            "Ein Datensatz verletzt eine Bedingung der Tabelle (CHECK constraint failed: a > 0)");
  EXPECT_EQ(failure_of({"1", "", "3"}),
            "Ein Datensatz verletzt eine Bedingung der Tabelle (NOT NULL constraint failed: T.b)");
  EXPECT_FALSE(db.itab.in_insert_state());
  append_row(db.itab, {"1", "2", "3"}, formats);
  EXPECT_EQ(stored(), (Rows{{"1.0", "2.0", "3.0"}}));
}


TEST_F(RowAppend, ValuesAreStoredByTheirColumnKinds) {
  connect_to("CREATE TABLE T (i integer, s varchar(3), t text)");
  append_row(db.itab, {"42", "12345", "12345"}, formats);
  append_row(db.itab, {"", "", ""}, formats);
  EXPECT_EQ(stored("i, typeof(i), s, t, typeof(s)"),
            (Rows{{"42", "integer", "123", "12345", "text"},
                  {"NULL", "null", "", "", "text"}}));
}

TEST_F(RowAppend, MoneyAndBooleanColumns) {
  connect_to("CREATE TABLE T (m money, b boolean, x smallint)");
  append_row(db.itab, {"1.23456", "w", "-7"}, formats);
  EXPECT_EQ(stored("m, b, x"), (Rows{{"1.2346", "1", "-7"}}));
}

// In a long transaction records go 100 to an INSERT, the rest of a
// statement's worth one by one. Fault guarded: a kind bound otherwise
// there than in the INSERT of one record.
TEST_F(RowAppend, OneTransactionStoresEveryKindAsRecordByRecord) {
  const char* const creates[] = {"CREATE TABLE T (i integer, s varchar(3), t text)",
                                 "CREATE TABLE T (m money, b boolean, x smallint)"};
  std::vector<std::array<std::string, 3>> texts;
  for (int i = 1; i <= 250; ++i)
    texts.push_back({std::to_string(i), i % 7 ? "w" : "", i % 5 ? std::to_string(-i) : ""});
  for (const char* create : creates) {
    SCOPED_TRACE(create);
    connect_to(create);
    const auto store_all = [&] {
      for (const auto& t : texts) append_row(db.itab, {t[0], t[1], t[2]}, formats);
    };
    store_all();
    const Rows one_by_one = stored();
    Inspector(path).exec("DELETE FROM T");
    {
      Transaction transaction(db.access_con.engine());
      store_all();
      transaction.commit();
    }
    EXPECT_EQ(stored(), one_by_one);
    EXPECT_EQ(one_by_one.size(), texts.size());
    Inspector(path).exec("DROP TABLE T");
  }
}

// Fault guarded: a refused record among 100 to one INSERT named by the
// first of them, or by the record whose store sent them; under a conflict
// clause FAIL (or a trigger's) the rows before it stayed from the INSERT
// and came again one by one. The records after a refused one stay to be
// sent, so that none is lost when the caller goes on.
TEST_F(RowAppend, OneTransactionNamesARefusedRecordByItsLineWhateverTheTableDoesOnConflict) {
  const char* const creates[] = {
      "CREATE TABLE T (a double UNIQUE, b double, c double)",
      "CREATE TABLE T (a double UNIQUE ON CONFLICT FAIL, b double, c double)",
      "CREATE TABLE T (a double, b double, c double); CREATE TRIGGER n BEFORE INSERT ON T "
      "WHEN new.c = 150 BEGIN SELECT RAISE(FAIL, 'nein'); END"};
  for (const char* create : creates) {
    SCOPED_TRACE(create);
    connect_to(create);
    std::vector<std::uint64_t> refused;
    {
      Transaction transaction(db.access_con.engine());
      std::array<Value, 3> values;
      for (std::uint64_t line = 1; line <= 250; ++line) {
        const std::string n = std::to_string(line);
        const std::string a = line == 150 ? "149" : n;
        convert_row(db.itab.fields(), {a, n, n}, formats, values);
        try {
          store_row(db.itab, values, line);
        } catch (const ProviderError& error) {
          refused.push_back(error.record() ? error.record() : line);
        }
      }
      db.itab.send_held_records();
      transaction.commit();
    }
    EXPECT_EQ(refused, std::vector<std::uint64_t>{150});
    EXPECT_EQ(stored("count(*), sum(c), count(DISTINCT a)"), (Rows{{"249", "31225.0", "249"}}));
    Inspector(path).exec("DROP TABLE T");
  }
}

}  // namespace
}  // namespace kadrum
