#include "actions/db_connect.h"
#include "db/connection_string.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/error.h"
#include "db/engine.h"
#include "support/sqlite_inspector.h"
#include "support/message_of.h"

namespace kadrum {
namespace {

using testing::Inspector;
using testing::TempFolder;

// A connect that must fail: its message.
std::string failure_of(RunSettings& settings, DatabaseObjects& db) {
  return testing::message_of([&] { db_connect(settings, db); });
}

class DbConnect : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::make_database(path);
    settings.database_path = path;
    settings.table_name = "T";
    settings.recreate = true;
    settings.list_mode = true;
  }

  TempFolder folder;
  std::string path = folder.file("test.db");
  RunSettings settings;
  DatabaseObjects db;
};

TEST_F(DbConnect, QuestionMarkPathIsTakenFromDbnameOnlyOnce) {
  settings.database_path = "?";
  settings.database_name = path;
  db_connect(settings, db);
  EXPECT_EQ(settings.database_path, path);
  EXPECT_EQ(db.connstr, build_connection_string(path));
  EXPECT_EQ(db.access_con.connection_string(), db.connstr);

  settings.database_name = folder.file("elsewhere.db");
  db_connect(settings, db);
  EXPECT_EQ(settings.database_path, path);
  EXPECT_TRUE(db.itab.is_open());
}

TEST_F(DbConnect, DbnameQuestionMarkKeepsQuestionMarkAndIsReadAgainNextTime) {
  settings.database_path = "?";
  settings.database_name = "?";
  EXPECT_EQ(failure_of(settings, db), "Die Datenbankdatei '?' wurde nicht gefunden");
  EXPECT_EQ(settings.database_path, "?");
  EXPECT_NE(db.connstr.find("Data Source=? ;Mode="), std::string::npos);

  settings.database_name = path;
  db_connect(settings, db);
  EXPECT_EQ(settings.database_path, path);
  EXPECT_TRUE(db.itab.is_open());
}


TEST_F(DbConnect, StatementsCarryLeadingBlankAndCrLf) {
  settings.list_mode = false;
  db_connect(settings, db);
  EXPECT_EQ(db.qry.text(), " create table T ( yr double, jday double, sval double )\r\n");
  EXPECT_TRUE(db.qry.parameters().empty());
}


TEST_F(DbConnect, FailuresLeaveTheStatesOfTheirStep) {
  struct Case {
    const char* table_name;
    bool recreate;
    const char* message;
  };
  const Case cases[] = {
      {"", false, "itab: Eigenschaft TableName fehlt"},
      {"", true, "Die Anweisung ist fehlerhaft (near \"(\": syntax error)"},
      {"missing", false, "Die Tabelle gibt es in der Datenbank nicht (no such table: missing)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table_name);
    settings.table_name = c.table_name;
    settings.recreate = c.recreate;
    EXPECT_EQ(failure_of(settings, db), c.message);
    EXPECT_TRUE(db.access_con.is_open());
    EXPECT_FALSE(db.itab.is_open());
  }
  EXPECT_EQ(display_text(Error("itab: Eigenschaft TableName fehlt")),
            "itab: Eigenschaft TableName fehlt.");
}

TEST_F(DbConnect, EmptyNameCreateStatementHasTwoBlanksBeforeTheLayout) {
  settings.table_name = "";
  failure_of(settings, db);
  EXPECT_EQ(db.qry.text(), " create table  ( W1 double, W2 double, W3 double )\r\n");
}

TEST_F(DbConnect, UnusableDataSourcesAreRefusedAndCloseEverything) {
  const std::string folder_path = folder.file("sub");
  std::filesystem::create_directory(folder_path);
  const std::string text_file = folder.file("notes.txt");
  testing::write_file(text_file, "1990 001 12.5\r\n");
  const std::string access_file = folder.file("old.mdb");
  testing::write_file(access_file, std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(2000, '\0'));
  const std::string ace_file = folder.file("new.accdb");
  testing::write_file(ace_file, std::string("\0\1\0\0Standard ACE DB\0", 20) + std::string(2000, '\0'));
  const std::string short_file = folder.file("short.db");
  testing::write_file(short_file, "SQLite");
  const std::string missing = folder.file("missing.db");
#ifdef _WIN32
  // Windows opens Access files through the Access ODBC driver, which Wine
  // does not have.
  const auto access_refusal = [](const std::string&) {
    return std::string("Der ODBC-Treiber 'Microsoft Access Driver (*.mdb, *.accdb)' ist nicht "
                       "installiert; Access-Dateien öffnet Kadrum erst, wenn die kostenlose "
                       "\"Microsoft Access Database Engine\" (64-Bit) installiert ist");
  };
#else
  const auto access_refusal = [](const std::string& file) {
    return "Die Datei '" + file +
           "' ist eine Access-Datenbank; das Access-Format wird nicht unterstützt, nur "
           "SQLite-Datenbanken";
  };
#endif

  struct Case {
    std::string database_path;
    std::string message;
  };
  const Case cases[] = {
      {"", "Keine Datenbankdatei angegeben"},
      {missing, "Die Datenbankdatei '" + missing + "' wurde nicht gefunden"},
      {missing + "/x.db", "Die Datenbankdatei '" + missing + "/x.db' wurde nicht gefunden"},
      {folder_path, "'" + folder_path + "' ist ein Ordner und keine Datenbankdatei"},
      {text_file, "Die Datei '" + text_file + "' ist keine SQLite-Datenbank"},
      {short_file, "Die Datei '" + short_file + "' ist keine SQLite-Datenbank"},
      {access_file, access_refusal(access_file)},
      {ace_file, access_refusal(ace_file)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.database_path);
    settings.database_path = path;
    db_connect(settings, db);
    ASSERT_TRUE(db.itab.is_open());

    settings.database_path = c.database_path;
    EXPECT_EQ(failure_of(settings, db), c.message);
    EXPECT_FALSE(db.access_con.is_open());
    EXPECT_FALSE(db.itab.is_open());
    EXPECT_EQ(db.connstr, build_connection_string(c.database_path));
    EXPECT_EQ(settings.database_path, c.database_path);
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(DbConnect, EmptyFileIsAnEmptyDatabase) {
  const std::string empty = folder.file("empty.db");
  testing::write_file(empty, "");
  settings.database_path = empty;
  db_connect(settings, db);
  EXPECT_TRUE(db.itab.is_open());
  EXPECT_TRUE(Inspector(empty).has_table("T"));
}

TEST_F(DbConnect, FileNamesThatLookLikeUrisStayFileNames) {
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
#ifdef _WIN32
  const auto names = {"a;b.db"};  // Windows allows neither ':' nor '"' in a name
#else
  const auto names = {"file:x.db", ":memory:", "a;b.db", "\"q.db"};
#endif
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(create_database(name));
    EXPECT_FALSE(create_database(name));
    settings.database_path = name;
    db_connect(settings, db);
    EXPECT_TRUE(db.itab.is_open());
    EXPECT_TRUE(Inspector(std::string("./") + name).has_table("T"));
  }
  std::filesystem::current_path(cwd);
}

TEST_F(DbConnect, NameWithBlankOpensInBrackets) {
  testing::make_database(path, "CREATE TABLE \"my data\" (W1 double, W2 double, W3 double)");
  settings.table_name = "my data";
  settings.recreate = false;
  db_connect(settings, db);
  EXPECT_TRUE(db.itab.is_open());
  EXPECT_EQ(db.itab.table_name(), "my data");

  // The statements carry the name as typed, which SQLite cannot parse.
  settings.recreate = true;
  EXPECT_EQ(failure_of(settings, db), "Die Anweisung ist fehlerhaft (near \"data\": syntax error)");
  EXPECT_EQ(db.qry.text(), " create table my data ( W1 double, W2 double, W3 double )\r\n");
  EXPECT_TRUE(Inspector(path).has_table("my data"));
}

TEST_F(DbConnect, BracketedNameIsUsedUnchanged) {
  settings.table_name = "[my data]";
  db_connect(settings, db);
  EXPECT_TRUE(db.itab.is_open());
  EXPECT_EQ(db.qry.text(), " create table [my data] ( W1 double, W2 double, W3 double )\r\n");
  EXPECT_TRUE(Inspector(path).has_table("my data"));
}

TEST_F(DbConnect, ColonInNameBecomesUnboundParameter) {
  settings.table_name = "t:1";
  EXPECT_EQ(failure_of(settings, db), "Die Anweisung ist fehlerhaft (near \"?\": syntax error)");
  EXPECT_EQ(db.qry.text(), " create table t:1 ( W1 double, W2 double, W3 double )\r\n");
  EXPECT_EQ(db.qry.command_text(), " create table t? ( W1 double, W2 double, W3 double )\r\n");
  EXPECT_EQ(db.qry.parameters(), std::vector<std::string>{"1"});
  EXPECT_TRUE(db.access_con.is_open());
  EXPECT_FALSE(db.itab.is_open());
}

TEST_F(DbConnect, SecondStatementInNameIsNeverRun) {
  testing::make_database(path, "CREATE TABLE x (a); CREATE TABLE y (b); INSERT INTO y VALUES (1)");
  const std::string refused =
      "Nach der ersten Anweisung folgt weiterer Text; ein Befehl darf nur eine "
      "Anweisung enthalten";
  for (const char* name : {"x; drop table y", "x;drop table y"}) {
    SCOPED_TRACE(name);
    settings.table_name = name;
    settings.recreate = false;
    EXPECT_EQ(failure_of(settings, db), refused);
    Inspector look(path);
    EXPECT_TRUE(look.has_table("x"));
    EXPECT_EQ(look.value("SELECT count(*) FROM y"), "1");
  }
}

// Fault: "t --", "t;" or "t/*" dropped the table t, then failed at the create.
TEST_F(DbConnect, NameThatWouldCutAStatementIsRefusedBeforeAnyRuns) {
  testing::make_database(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1)");
  for (const std::string name : {"t --", "t;", "t/*", "t; drop table y", "t -- x", "t/* */"}) {
    SCOPED_TRACE(name);
    settings.table_name = name;
    EXPECT_EQ(failure_of(settings, db),
              "Der Tabellenname '" + name + "' wird abgelehnt: ';', '--', '/*' und "
              "Nullzeichen würden die Anweisungen zum Neuanlegen der Tabelle verändern");
    EXPECT_EQ(db.qry.text(), "");
    EXPECT_TRUE(db.access_con.is_open());
    EXPECT_FALSE(db.itab.is_open());
  }
  settings.table_name = std::string("t\0x", 3);
  EXPECT_TRUE(failure_of(settings, db).starts_with("Der Tabellenname 't\\0x' wird abgelehnt"));
  EXPECT_EQ(Inspector(path).value("SELECT count(*) FROM t"), "1");
}

int deny_create_table(void*, int action, const char*, const char*, const char*, const char*) {
  return action == SQLITE_CREATE_TABLE ? SQLITE_DENY : SQLITE_OK;
}

int install_create_refusal(sqlite3* db, char**, const sqlite3_api_routines*) {
  return sqlite3_set_authorizer(db, deny_create_table, nullptr);
}

// Drop and create form one transaction: when the create fails after the drop
// succeeded, the old table stays with its rows.
TEST_F(DbConnect, FailedCreateLeavesTheOldTableAndItsRows) {
  testing::make_database(path, "CREATE TABLE T (a); INSERT INTO T VALUES (1)");
  const auto refusal = reinterpret_cast<void (*)()>(install_create_refusal);
  sqlite3_auto_extension(refusal);
  const std::string message = failure_of(settings, db);
  sqlite3_cancel_auto_extension(refusal);
  EXPECT_EQ(message, "Dem Benutzer fehlt die Berechtigung dafür (not authorized)");
  EXPECT_EQ(Inspector(path).value("SELECT count(*) FROM T"), "1");
  // The connection is usable afterwards: no transaction is left open.
  db_connect(settings, db);
  EXPECT_EQ(Inspector(path).value("SELECT count(*) FROM T"), "0");
}

TEST_F(DbConnect, CommandRunsExactlyOneStatement) {
  testing::make_database(path, "CREATE TABLE y (b)");
  db.access_con.set_connection_string(build_connection_string(path));
  struct Case {
    const char* statement;
    const char* message;  // nullptr: runs
  };
  const Case cases[] = {
      {" create table z (a); drop table y\r\n",
       "Nach der ersten Anweisung folgt weiterer Text; ein Befehl darf nur eine "
       "Anweisung enthalten"},
      {" create table z (a) -- note; drop table y\r\n", nullptr},
      {" \r\n", "Der Befehlstext enthält keine Anweisung"},
      {" drop table z;\r\n ; -- note\r\n", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    db.qry.clear();
    db.qry.add(c.statement);
    try {
      db.qry.execute();
      EXPECT_EQ(c.message, nullptr);
    } catch (const Error& e) {
      ASSERT_NE(c.message, nullptr) << e.what();
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_TRUE(db.access_con.is_open());
    EXPECT_TRUE(Inspector(path).has_table("y"));
  }
}


}  // namespace
}  // namespace kadrum
