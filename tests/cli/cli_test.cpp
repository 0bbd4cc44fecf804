// Runs kadrum-cli as a process and checks its exact output and exit status.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/cli_process.h"
#include "support/cutting_proxy.h"
#include "support/locale.h"
// With the servers' defines it brings their databases in, in the order
// they need.
#include "support/test_engines.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using kadrum::testing::wait_until;

using kadrum::testing::kPatience;
using kadrum::testing::Outcome;
using kadrum::testing::slurp;

class CliTest : public ::testing::Test {
 protected:

  fs::path write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }

  // Runs kadrum-cli with "args" in the test folder, "input" on its standard
  // input, and collects both outputs.
  Outcome run(const std::vector<std::string>& args, const std::string& input = "") {
    kadrum::testing::ProcessStreams streams;
    streams.input = write("stdin.txt", input).string();
    streams.input_closed = stdin_closed_;
    streams.output = stdout_to_.empty() ? (dir_ / "stdout.txt").string() : stdout_to_;
    streams.error = (dir_ / "stderr.txt").string();
    Outcome result;
    result.status = kadrum::testing::exit_status_of(
        kadrum::testing::start_process(KADRUM_CLI, args, dir_.string(), streams));
    result.out = slurp(dir_ / "stdout.txt");
    result.err = slurp(dir_ / "stderr.txt");
    return result;
  }

  // kadrum-cli started with "args" in the test folder, its standard input a
  // pipe that the test writes to through "feed" and that finish closes.
  struct Piped {
    pid_t pid;
    int feed;
  };
  Piped start_piped(const std::vector<std::string>& args) {
    // Close-on-exec: the program holds the read end as its standard input
    // alone, and no copy of the write end that would keep the input open.
    int feed[2];
    if (pipe2(feed, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    kadrum::testing::ProcessStreams streams;
    streams.input_descriptor = feed[0];
    streams.error = (dir_ / "stderr.txt").string();
    const pid_t pid = kadrum::testing::start_process(KADRUM_CLI, args, dir_.string(), streams);
    close(feed[0]);
    return {pid, feed[1]};
  }
  // Ends the input and waits for the program, 10 s at the most (then it is
  // killed and fails); its status and standard error.
  Outcome finish(const Piped& piped) {
    close(piped.feed);
    int status = 0;
    wait_until([&] { return waitpid(piped.pid, &status, WNOHANG) == piped.pid; }, kPatience);
    if (kill(piped.pid, 0) == 0) {
      kill(piped.pid, SIGKILL);
      waitpid(piped.pid, &status, 0);
    }
    Outcome result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = slurp(dir_ / "stderr.txt");
    return result;
  }
  // Whether the program has read all that was written into "feed".
  static bool all_read(int feed) {
    int unread = -1;
    return ioctl(feed, FIONREAD, &unread) == 0 && unread == 0;
  }

  // The first value of "sql" in the database "db", as text; "" when none.
  std::string value(const std::string& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    sqlite3_open_v2((dir_ / db).c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
      text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return text;
  }

  // The values of the first row of "sql", blank-separated, in the SQLite
  // file or the PostgreSQL database "source".
  std::string rows(const std::string& source, const std::string& sql) {
#ifdef KADRUM_PG_SERVER
    if (source.starts_with("postgresql://")) {
      std::string line;
      const auto all = kadrum::testing::PostgresInspector(source).rows(sql);
      for (const auto& cell : all.at(0))
        line += (line.empty() ? "" : " ") + cell;
      return line;
    }
#endif
    sqlite3* handle = nullptr;
    sqlite3_open_v2((dir_ / source).c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string line;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = sqlite3_column_text(stmt, i);
        line += (i ? " " : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
      }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return line;
  }

  // The number of records in "table" of the database "db"; -1 without one.
  long long count(const std::string& db, const std::string& table) {
    const std::string n = value(db, "select count(*) from " + table);
    return n.empty() ? -1 : std::stoll(n);
  }

  kadrum::testing::TempFolder folder_;
  fs::path dir_ = folder_.path();
  bool stdin_closed_ = false;  // run the program with standard input closed
  std::string stdout_to_;      // a file for standard output instead of stdout.txt
};

// Fault: --dry-run ignored the files after "--" and looked for imprtfile.
TEST_F(CliTest, PreviewPrintsEveryDayOfTheCo2Sample) {
  for (const std::vector<std::string>& file :
       {std::vector<std::string>{std::string("FN=") + KADRUM_SAMPLE},
        std::vector<std::string>{"--", KADRUM_SAMPLE}}) {
    std::vector<std::string> args{"--dry-run", "HD=34", "IN=5"};
    args.insert(args.end(), file.begin(), file.end());
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 15375);
    EXPECT_TRUE(r.out.starts_with("1974\t5\t333.46\n1974\t5\t333.64\n"));
    EXPECT_TRUE(r.out.ends_with("2024\t5\t426.93\n"));
  }
}

TEST_F(CliTest, PreviewOptionsStandAnywhereAndNeverReachTheGrammar) {
  write("d.txt", "h\n1 2 3 4\n");
  const Outcome r = run({"FN=d.txt", "I1=4", "--dry-run", "I2=1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "4\t1\t\n");
}

TEST_F(CliTest, PreviewReadsStandardInputForAnEmptyFileName) {
  const Outcome r = run({"--dry-run", "HD=0", "FN=", "IN=3"}, "7 8 9\r\n1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "7\t8\t9\n1\t2\t\n");
}

TEST_F(CliTest, PreviewOfAFileWithOnlyHeaderLinesPrintsNothing) {
  write("h.txt", "a\nb\n");
  const Outcome r = run({"--dry-run", "HD=2", "FN=h.txt", "IN=3"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, ErrorsEndWithTheShownMessageOnOneLineAndStatusOne) {
  write("d.txt", "h\n1 2 3\n4 5 6\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;
    std::string out;
  };
  const Case cases[] = {
      {{"--dry-run", "HD=x", "FN=d.txt", "IN=3"}, "'x' ist kein gültiger Integerwert.\n", ""},
      {{"--dry-run", "FN=d.txt", "IN=drei"}, "'drei' ist kein gültiger Integerwert.\n", ""},
      // Messages about the text file name it, as given.
      {{"--dry-run", "FN=fehlt.txt", "IN=3"},
       "fehlt.txt: Die angegebene Datei wurde nicht gefunden.\n", ""},
      {{"--dry-run", "FN=fehlt/d.txt", "IN=3"},
       "fehlt/d.txt: Ungültiger Dateiname - fehlt/d.txt.\n", ""},
      // Fault: alone, --dry-run read the default file and said nothing of
      // the missing FN= or the missing item numbers.
      {{"--dry-run"},
       "Hinweis: Ohne IN= oder I1= (I2=, I3=) nennt der Lauf kein Item; seine Datensätze "
       "enthalten keine Werte\nimprtfile: Die angegebene Datei wurde nicht gefunden. Mit FN= "
       "wurde keine Textdatei angegeben (FN=DATEI, oder Textdateien nach --).\n",
       ""},
      // Fault: a mistyped argument and "*" without RT= went by unsaid.
      {{"HB=34", "*", "DB=x.db", "FN=fehlt.txt", "IN=3"},
       "Hinweis: Argument 'HB=34' passt zu keiner Form und wird übergangen\nHinweis: Ohne RT= "
       "legt * die Tabelle 'tabname' an\nfehlt.txt: Die angegebene Datei wurde nicht gefunden.\n",
       ""},
      // Patterns after "--": one that matches nothing, and a folder that is not there.
      {{"--dry-run", "IN=3", "--", "d.txt", "*.csv"}, "Zum Muster *.csv passt keine Datei.\n",
       ""},
      {{"--dry-run", "IN=3", "--", "fehlt/*.txt"},
       "Den Ordner fehlt im Muster fehlt/*.txt gibt es nicht.\n", ""},
      // Fault: a misspelt "odbc:" is a file path, and its message showed the password.
      {{"DB=obdc:Driver=x;PWD=GEHEIM1", "RT=t", "FN=d.txt", "IN=3"},
       "Die Datenbankdatei 'obdc:Driver=x;PWD=***' wurde nicht gefunden.\n", ""},
      {{"DB=obdc:Driver=x; password = {GE;HE}}IM} ;UID=u", "RT=t", "FN=d.txt", "IN=3"},
       "Die Datenbankdatei 'obdc:Driver=x; password = *** ;UID=u' wurde nicht gefunden.\n", ""},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST_F(CliTest, UnknownOptionIsAUsageError) {
  const Outcome r = run({"--dryrun"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kadrum-cli: Unbekannte Option '--dryrun' (kadrum-cli --help zeigt die Optionen)\n");
  const Outcome help = run({"GO", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Aufruf: kadrum-cli"), std::string::npos);
  // Fault: "-h" was an argument that matched no form.
  const Outcome short_help = run({"-h"});
  EXPECT_EQ(short_help.status, 0);
  EXPECT_EQ(short_help.out, help.out);
  // Fault: with nothing at all it only said the default file was missing.
  const Outcome bare = run({});
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.out, "");
  EXPECT_TRUE(bare.err.starts_with(help.out.substr(0, help.out.find("\nArgumente")))) << bare.err;
  EXPECT_NE(bare.err.find("kadrum-cli --help zeigt"), std::string::npos);
  // Options that do not mix are refused before anything runs.
  const std::pair<std::vector<std::string>, const char*> clashes[] = {
      {{"--follow", "--single-transaction"}, "--follow und --single-transaction schließen "
       "einander aus: eine Transaktion, die nie endet, speichert nichts"},
      {{"FN=a.txt", "--", "b.txt"}, "FN= und Textdateien nach -- schließen einander aus; bitte "
       "nur eines angeben"},
      {{"IN=3", "--"}, "Nach -- fehlt die Textdatei"},
      {{"--dry-run", "--resume"}, "--dry-run speichert nichts und hat daher keinen Stand für "
       "--resume oder --follow"},
      {{"--decimal=x", "IN=3"}, "--decimal=x: als Dezimaltrennzeichen sind nur Punkt und Komma möglich"},
  };
  for (const auto& [args, message] : clashes) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.err, std::string("kadrum-cli: ") + message + ".\n");
  }
}

// A service's arguments come from a file: one per line, as written (a
// pattern and blanks inside stay), comments, blank lines, CR LF and a byte
// order mark skipped; after "--" the option is a file name like any other.
TEST_F(CliTest, ArgumentsFromAFileStandWhereTheOptionStands) {
  write("d 1.txt", "h\n1 2 3\n");
  write("d2.txt", "h\n4 5 6\n");
  write("lab.conf", "\xEF\xBB\xBF# Labor\r\n  IN=3 \r\n\n   # Dateien\n--\nd 1.txt\n*2.txt\n");
  Outcome r = run({"--dry-run", "--arguments-from=lab.conf"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t3\n4\t5\t6\n");
  r = run({"--dry-run", "IN=3", "--", "--arguments-from=lab.conf"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "--arguments-from=lab.conf: Die angegebene Datei wurde nicht gefunden.\n");
  write("loop.conf", "--arguments-from=loop.conf\n");
  const std::pair<std::string, std::string> refused[] = {
      {"fehlt.conf", "--arguments-from=fehlt.conf: Die angegebene Datei wurde nicht gefunden."},
      {"loop.conf", "--arguments-from=loop.conf: eine Argumentdatei nennt keine weitere "
                    "(--arguments-from=loop.conf)"},
  };
  for (const auto& [file, message] : refused) {
    r = run({"--arguments-from=" + file});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kadrum-cli: " + message + "\n");
  }
}

TEST_F(CliTest, ImportStoresTheCo2SampleAndSummarises) {
  const std::pair<const char*, const char*> modes[] = {
      {"", "15375 Datensätze in [0-9.]+ s gespeichert\n"},
      {"--single-transaction",
       "15375 Datensätze in [0-9.]+ s gemeinsam in einer Transaktion gespeichert\n"},
  };
  for (const auto& [option, summary] : modes) {
    std::vector<std::string> args{"--create-database", "DB=co2.db", "RT=co2", "HD=34",
                                  std::string("FN=") + KADRUM_SAMPLE, "IN=5", "*", "GO", "!"};
    if (*option) args.push_back(option);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(summary))) << r.err;
    EXPECT_EQ(count("co2.db", "co2"), 15375);
    // Every record commits cheaply only while the database keeps its log.
    EXPECT_EQ(value("co2.db", "PRAGMA journal_mode"), "wal");
  }
}

TEST_F(CliTest, ImportStopsAtABadValueAndKeepsTheRecordsBefore) {
  write("d.txt", "h\n1990 1 5.5\n1990 2 6\n1990 3 1.2.3\n1990 4 7\n");
  const Outcome r = run({"--create-database", "DB=x.db", "RT=t", "FN=d.txt", "IN=3", "*"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "d.txt:4: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n");
  EXPECT_EQ(count("x.db", "t"), 2);
  // All or nothing: the same run in one transaction leaves the table as it was.
  const Outcome all = run({"--single-transaction", "DB=x.db", "RT=t", "FN=d.txt", "IN=3", "*"});
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.err, r.err);
  EXPECT_EQ(count("x.db", "t"), 2);
}

// Under German the summary groups digits and writes a decimal comma; a value
// that fails only for its decimal point gets one line telling what to do.
TEST_F(CliTest, GermanLocaleFormatsTheSummaryAndHintsAtTheDecimalPoint) {
  const std::string locales = kadrum::testing::german_locale_folder();
  if (locales.empty()) GTEST_SKIP() << "no German locale was built for the tests";
  kadrum::testing::ScopedEnvironment env;
  env.set("LOCPATH", locales.c_str());
  env.set("LC_ALL", "de_DE.UTF-8");
  std::string many = "h\n";
  for (int i = 0; i < 1234; ++i) many += "1990 1 7\n";
  write("many.txt", many);
  const Outcome r = run({"--create-database", "DB=x.db", "RT=t", "FN=many.txt", "IN=3", "*"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_match(r.err, std::regex("1\\.234 Datensätze in [0-9]+,[0-9]{2} s gespeichert\n")))
      << r.err;
  const std::string hint =
      "Hinweis: Werte werden mit dem Dezimaltrennzeichen ',' des Gebietsschemas umgewandelt; "
      "für Dateien mit Dezimalpunkt --decimal=. angeben oder LC_NUMERIC=C setzen (bei nicht "
      "gesetztem LC_ALL).\n";
  const std::pair<const char*, std::string> cases[] = {
      {"h\n1990 1 5.5\n", "d.txt:2: '5.5' ist kein gültiger Fließkommawert für Feld 'sval'\n" + hint},
      {"h\n1990 1 1.2.3\n", "d.txt:2: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n"},
  };
  for (const auto& [text, err] : cases) {
    write("d.txt", text);
    const Outcome bad = run({"DB=x.db", "RT=t", "FN=d.txt", "IN=3"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, err);
  }
}

// Fault: under a decimal comma a file with decimal points could not be
// loaded at all, and "12,5" silently became the two items 12 and 5.
TEST_F(CliTest, GermanLocaleLoadsDecimalPointsWithDecimalOptionAndWarnsOfCommasInNumbers) {
  const std::string locales = kadrum::testing::german_locale_folder();
  if (locales.empty()) GTEST_SKIP() << "no German locale was built for the tests";
  kadrum::testing::ScopedEnvironment env;
  env.set("LOCPATH", locales.c_str());
  env.set("LC_ALL", "de_DE.UTF-8");
  const Outcome point = run({"--decimal=.", "--create-database", "DB=co2.db", "RT=co2", "HD=34",
                             std::string("FN=") + KADRUM_SAMPLE, "IN=5", "*"});
  EXPECT_EQ(point.status, 0) << point.err;
  EXPECT_EQ(count("co2.db", "co2"), 15375);
  write("d.txt", "h,1,2\n2024 001 12,5\n2024 002 3,5\n");
  const Outcome comma = run({"--dry-run", "FN=d.txt", "IN=3"});
  EXPECT_EQ(comma.status, 0);
  EXPECT_EQ(comma.out, "2024\t001\t12\n2024\t002\t3\n");
  EXPECT_EQ(comma.err, "Hinweis: Zeile 2: das Komma zwischen Ziffern trennt Items, es ist kein "
                       "Dezimalkomma (--decimal=. für Dateien mit Dezimalpunkt)\n");
  EXPECT_EQ(run({"--decimal=.", "--dry-run", "FN=d.txt", "IN=3"}).err, "");
}

TEST_F(CliTest, ImportWithoutDatabaseFileFailsUnlessAskedToCreateIt) {
  write("d.txt", "h\n1 2 3\n");
  const Outcome r = run({"DB=neu.db", "RT=t", "FN=d.txt", "IN=3", "*"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());
  EXPECT_FALSE(fs::exists(dir_ / "neu.db"));
  const Outcome created = run({"--create-database", "DB=neu.db", "RT=t", "FN=d.txt", "IN=3", "*"});
  EXPECT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(count("neu.db", "t"), 1);
  // "?" takes the path from the window's field; it never names a new file.
  EXPECT_EQ(run({"--create-database", "DB=?", "RT=t", "FN=d.txt", "IN=3"}).status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "?"));
}

// Fault: a data source with ";" or a leading quote reached another file.
TEST_F(CliTest, DataSourceWithSemicolonOrQuoteReachesExactlyThatFile) {
  write("d.txt", "h\n1 2 3\n");
  write("a", "");  // an empty database that "a;b.db" must not reach
  for (const std::string name : {"a;b.db", "\"q.db", "'q.db"}) {
    const Outcome r = run({"--create-database", "DB=" + name, "RT=t", "FN=d.txt", "IN=3", "*"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(count(name, "t"), 1) << name;
  }
  EXPECT_EQ(fs::file_size(dir_ / "a"), 0u);
}

// Fault: a mistyped URI became a SQLite file named after it, and its
// password stood in the message.
TEST_F(CliTest, MistypedUriCreatesNothingAndHidesThePassword) {
  write("d.txt", "h\n1 2 3\n");
  const Outcome r = run({"--create-database", "DB=postgresql:anna:secret@127.0.0.1:5432", "RT=t",
                         "FN=d.txt", "IN=3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Die Datenquelle 'postgresql:anna:***@127.0.0.1:5432' wird nicht erkannt: ein "
                   "PostgreSQL-Server wird als postgresql://… oder postgres://… angegeben, eine "
                   "ODBC-Verbindung als odbc:…, eine SQLite-Datenbank als Dateipfad.\n");
  EXPECT_FALSE(fs::exists(dir_ / "postgresql:anna:secret@127.0.0.1:5432"));
  // Fault: a password's pieces were masked inside words ("o***tion").
  const Outcome pieces = run({"DB=postgresql://anna:p@ss:w0rd@127.0.0.1:55432/results", "RT=t",
                              "FN=d.txt", "IN=3"});
  EXPECT_EQ(pieces.status, 1);
  EXPECT_EQ(pieces.err, "Keine Verbindung zum PostgreSQL-Server (invalid integer value "
                        "\"***@127.0.0.1:55432\" for connection option \"port\")\n");
}

// Fault: a line without end took all memory.
TEST_F(CliTest, LineWithoutEndStopsAtTheLimitNamingTheLine) {
  const Outcome r = run({"--dry-run", "FN=/dev/zero", "IN=3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Zeile 1 der Textdatei ist länger als 64 MiB.\n");
  EXPECT_EQ(r.out, "");
}

// Fault: recreate with such a name dropped the table t, then failed.
TEST_F(CliTest, RecreateNeverDropsAnotherTable) {
  write("d.txt", "h\n1 2 3\n");
  ASSERT_EQ(run({"--create-database", "DB=x.db", "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
  for (const std::string name : {"t --", "t;", "t/*"}) {
    const Outcome r = run({"DB=x.db", "RT=" + name, "FN=d.txt", "IN=3", "*"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.err, "Der Tabellenname '" + name + "' wird abgelehnt: ';', '--', '/*' und "
                     "Nullzeichen würden die Anweisungen zum Neuanlegen der Tabelle verändern.\n");
  }
  EXPECT_EQ(count("x.db", "t"), 1);
}

// Fault: with "*", a drop that failed for another reason than a missing
// table was swallowed, and the create's "already exists" named the wrong
// cause.
TEST_F(CliTest, RecreateTellsWhyTheDropFailedInSQLiteOrPostgreSQL) {
  write("d.txt", "h\n1 2 3\n");
  // Each engine words the refused create and the failed drop its own way.
  const std::map<std::string, std::pair<std::string, std::string>> cases{
      {"SQLite",
       {"CREATE TABLE u (yr double, jday double, sval double); CREATE VIEW v AS SELECT * FROM u",
        "Die Anweisung ist fehlerhaft (view v already exists); das Löschen der Tabelle davor ist "
        "gescheitert: Die Anweisung ist fehlerhaft (use DROP VIEW to delete view v)\n"}},
      {"PostgreSQL",
       {"CREATE TABLE v (yr float8, jday float8, sval float8); CREATE VIEW w AS SELECT * FROM v",
        "Die Anweisung ist fehlerhaft (relation \"v\" already exists); das Löschen der Tabelle "
        "davor ist gescheitert: Die Datenbank meldet einen Fehler (cannot drop table v because "
        "other objects depend on it)\n"}}};
  for (const kadrum::testing::TestEngine& engine : kadrum::testing::test_engines()) {
    const auto c = cases.find(engine.name);
    if (c == cases.end()) continue;
    kadrum::testing::TempFolder folder;
    const auto db = engine.make(folder);
    db->exec(c->second.first);
    const Outcome r = run({"DB=" + db->data_source(), "RT=v", "FN=d.txt", "IN=3", "*"});
    EXPECT_EQ(r.status, 1) << engine.name;
    EXPECT_EQ(r.err, c->second.second) << engine.name;
  }
}

// Fault: a temporary table took the records, which vanished when Kadrum
// disconnected, and the summary said they were stored.
TEST_F(CliTest, TemporaryTargetTableIsRefusedInSQLiteOrPostgreSQL) {
  write("d.txt", "h\n1 2 3\n");
  const std::map<std::string, std::vector<std::string>> temporary{
      {"SQLite", {"temp.t", "TEMP.t"}}, {"PostgreSQL", {"pg_temp.t"}}};
  for (const kadrum::testing::TestEngine& engine : kadrum::testing::test_engines()) {
    const auto tables = temporary.find(engine.name);
    if (tables == temporary.end()) continue;
    kadrum::testing::TempFolder folder;
    const auto db = engine.make(folder);
    for (const std::string& table : tables->second) {
      for (const char* option : {"", "--single-transaction"}) {
        std::vector<std::string> args{"DB=" + db->data_source(), "RT=" + table, "FN=d.txt",
                                      "IN=3", "*"};
        if (*option) args.push_back(option);
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 1) << table;
        EXPECT_EQ(r.err, "Die Tabelle '" + table + "' ist temporär: sie verschwindet mit dem "
                         "Ende der Verbindung und mit ihr jeder Datensatz.\n");
      }
    }
  }
}

// Fault: two recreates of one table at once both exited 0, while the
// second's drop took the first's stored records.
// Fault: through ODBC a second recreate did not wait: two "*" runs into
// one MariaDB table mixed their records.
class RecreateTest : public CliTest,
                     public ::testing::WithParamInterface<kadrum::testing::TestEngine> {};

TEST_P(RecreateTest, SecondRecreateWaitsForTheFirst) {
  write("d.txt", "h\n1 2 3\n4 5 6\n7 8 9\n");
  {
    const kadrum::testing::TestEngine& engine = GetParam();
    kadrum::testing::TempFolder folder;
    const auto db = engine.make(folder);
    const std::string source = db->data_source();
    db->exec("CREATE TABLE t (yr double precision, jday double precision, sval double precision)");
    const Piped first = start_piped({"DB=" + source, "RT=t", "FN=", "HD=0", "IN=3", "*"});
    ASSERT_EQ(::write(first.feed, "1 1 1\n", 6), 6);
    wait_until([&] { return db->value("select count(*) from t") == "1"; }, kPatience);
    // The second waits for the first's lock: on the PostgreSQL engine a
    // lock not yet granted, elsewhere a wait in poll() between tries.
    kadrum::testing::ProcessStreams second_streams;
    second_streams.error = (dir_ / "second.txt").string();
    const pid_t second = kadrum::testing::start_process(
        KADRUM_CLI, {"DB=" + source, "RT=t", "FN=d.txt", "IN=3", "*"}, dir_.string(),
        second_streams);
    wait_until([&] {
      if (source.starts_with("postgresql://"))
        return db->value("select count(*) from pg_locks where locktype = 'advisory' and "
                         "not granted") == "1";
      std::ifstream syscall("/proc/" + std::to_string(second) + "/syscall");
      std::string number;
      syscall >> number;
      return number == std::to_string(SYS_poll);
    }, kPatience);
    ASSERT_EQ(::write(first.feed, "2 2 2\n", 6), 6);
    const Outcome r = finish(first);
    EXPECT_EQ(r.status, 0) << engine.name << ": " << r.err;
    int status = 0;
    waitpid(second, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << slurp(dir_ / "second.txt");
    // The second recreated the table after the first had ended.
    EXPECT_EQ(db->numbers("t", "count(*), sum(sval)"), (kadrum::testing::Rows{{"3", "18"}}))
        << engine.name;
  }
}

// Fault: --resume read its lines with a loop of its own, and a byte 26 at
// the start of the first data line ended it where the plain run reads an
// empty record and goes on. Every mode now reads through one cursor.
TEST_F(CliTest, EveryModeStoresTheSameRecordsForTheSameLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"h\n\n1 2 3\n\n", "N N N;1 2 3;N N N"},
      {"h\r\n1 2 3\r\n4 5 6\r\n", "1 2 3;4 5 6"},
      {"h\n12\r34 5 6\n", "1234 5 6"},
      {"\xEF\xBB\xBF" "h\n1990 1 5.5\n", "1990 1 5.5"},
      {"h\n1 2 3\n\x1a" "4 5 6\n", "1 2 3"},
      {"h\n1 2\x1a" "3 4 5\n", "1 2 N;3 4 5"},
      {"h\n\x1a" "1 2 3\n", "N N N;1 2 3"},
      {"\x1a" "h\n1 2 3\n", "N N N;1 2 3"},
  };
  const std::string dump =
      "select group_concat(coalesce(yr, 'N') || ' ' || coalesce(jday, 'N') || ' ' || "
      "coalesce(sval, 'N'), ';') from (select * from t order by rowid)";
  for (const auto& [text, records] : cases) {
    write("d.txt", text);
    for (const std::string mode : {"", "--single-transaction", "--resume"}) {
      std::vector<std::string> args{"--create-database", "DB=m.db", "RT=t", "FN=d.txt", "IN=3", "*"};
      if (!mode.empty()) args.push_back(mode);
      const Outcome r = run(args);
      ASSERT_EQ(r.status, 0) << mode << ": " << r.err;
      std::string stored = value("m.db", dump);
      for (const std::string decimals : {".0 ", ".0;"})
        for (auto at = stored.find(decimals); at != std::string::npos; at = stored.find(decimals))
          stored.erase(at, 2);
      if (stored.ends_with(".0")) stored.resize(stored.size() - 2);
      EXPECT_EQ(stored, records) << mode << " on " << ::testing::PrintToString(text);
    }
  }
}

// Fault: with "*", a typo was found only after the table had been emptied.
TEST_F(CliTest, TypoFailsBeforeTheDatabaseIsTouched) {
  write("d.txt", "h\n1 2 3\n");
  write("h.txt", "h\n");
  ASSERT_EQ(run({"--create-database", "DB=x.db", "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"FN=d.txt", "HD=abc", "IN=3"}, "'abc' ist kein gültiger Integerwert.\n"},
      {{"FN=d.txt", "IN=abc"}, "'abc' ist kein gültiger Integerwert.\n"},
      {{"FN=h.txt", "IN=abc"}, "'abc' ist kein gültiger Integerwert.\n"},
      {{"FN=d.txt", "I1=1", "I2=", "I3=3"}, "'' ist kein gültiger Integerwert.\n"},
      {{"FN=fehlt.txt", "IN=3"}, "fehlt.txt: Die angegebene Datei wurde nicht gefunden.\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"DB=x.db", "RT=t", "*"});
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
    args.insert(args.end(), {"--create-database", "DB=neu.db"});
    EXPECT_EQ(run(args).err, c.err);
  }
  EXPECT_EQ(count("x.db", "t"), 1);
  EXPECT_FALSE(fs::exists(dir_ / "neu.db"));
}

// Fault: with standard input closed, the import stored nothing and exited 0.
TEST_F(CliTest, ClosedStandardInputFails) {
  stdin_closed_ = true;
  for (const char* option : {"--dry-run", "--create-database"}) {
    const Outcome r = run({option, "DB=x.db", "RT=t", "FN=", "IN=3", "*"});
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.err, "(Standardeingabe): E/A-Fehler 9.\n") << option;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x.db"));
}

// Fault: a failed write of the output exited 0 (--help) or was blamed on a
// line of the input (--dry-run).
TEST_F(CliTest, FullOutputFailsAndIsNotBlamedOnTheInput) {
  write("d.txt", "h\n1 2 3\n");
  stdout_to_ = "/dev/full";
  const std::string full = "Fehler beim Schreiben der Standardausgabe: E/A-Fehler 28.\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"--version"}, {"--dry-run", "FN=d.txt", "IN=3"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.err, full) << args[0];
  }
}

// SIGTERM or SIGINT in the middle of a one-transaction import: told, rolled
// back, exit 1.
TEST_F(CliTest, SignalStopsTheOneTransactionImportAndKeepsTheOldTable) {
  write("d.txt", "h\n1 2 3\n");
  ASSERT_EQ(run({"--create-database", "DB=s.db", "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
  const Piped import = start_piped({"--single-transaction", "DB=s.db", "RT=t", "FN=", "HD=0",
                                     "IN=3", "*"});
  // The run holds the write lock from its begin on, and by then it listens.
  const auto locked = [&] {
    sqlite3* db = nullptr;
    sqlite3_open((dir_ / "s.db").c_str(), &db);
    const bool busy = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_BUSY;
    sqlite3_close_v2(db);  // an open transaction of ours is rolled back here
    return busy;
  };
  wait_until(locked, kPatience);
  kill(import.pid, SIGTERM);
  ASSERT_EQ(::write(import.feed, "4 5 6\n7 8 9\n", 12), 12);
  const Outcome r = finish(import);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Abgebrochen durch SIGTERM; nichts wurde gespeichert.\n");
  EXPECT_EQ(value("s.db", "select sval from t"), "3.0");
}

// Fault: a run stopped by SIGTERM left s.db-wal and s.db-shm beside the
// database: the stop's interrupt, still in force, also cut short the
// checkpoint that closing the connection makes before it removes them.
TEST_F(CliTest, SignalLeavesNoWriteAheadLogBehind) {
  write("d.txt", "h\n1 2 3\n");
  ASSERT_EQ(run({"--create-database", "DB=s.db", "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
  write("e.txt", "4 5 6\n");
  const Piped import = start_piped({"--follow", "DB=s.db", "RT=t", "HD=0", "IN=3", "--", "e.txt"});
  wait_until([&] { return value("s.db", "select count(*) from t") == "2"; }, kPatience);
  kill(import.pid, SIGTERM);
  EXPECT_EQ(finish(import).status, 0);  // a stop is follow mode's normal end
  EXPECT_FALSE(fs::exists(dir_ / "s.db-wal"));
  EXPECT_FALSE(fs::exists(dir_ / "s.db-shm"));
}

// Fault: a signal that came while the run waited for input was seen only at
// the next record; when the input then ended, the records read so far were
// committed, and the run exited 0.
TEST_P(RecreateTest, SignalWhileWaitingForInputStoresNothing) {
  const auto db = GetParam().make(folder_);
  db->exec("CREATE TABLE t (yr double precision, jday double precision, sval double precision)");
  db->exec("INSERT INTO t VALUES (1, 2, 3)");
  for (const int signal : {SIGINT, SIGTERM}) {
    const Piped import = start_piped({"--single-transaction", "DB=" + db->data_source(), "RT=t",
                                      "FN=", "HD=0", "IN=3", "*"});
    ASSERT_EQ(::write(import.feed, "4 5 6\n7 8 9\n", 12), 12);
    wait_until([&] { return all_read(import.feed); }, kPatience);
    kill(import.pid, signal);
    const Outcome r = finish(import);
    EXPECT_EQ(r.status, 1);
    const std::string name = signal == SIGINT ? "SIGINT" : "SIGTERM";
    // The signal may meet the run between two records, or while it waits.
    EXPECT_TRUE(std::regex_match(r.err, std::regex("(\\(Standardeingabe\\):[0-9]: )?Abgebrochen "
                                                   "durch " + name + "; nichts wurde gespeichert\\.\n")))
        << r.err;
    EXPECT_EQ(db->numbers("t", "count(*), sum(sval)"), (kadrum::testing::Rows{{"1", "3"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, RecreateTest,
                         ::testing::ValuesIn(kadrum::testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

// Whether process "pid" holds "path" open.
bool holds_open(pid_t pid, const fs::path& path) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
    if (fs::read_symlink(entry.path(), error) == path) return true;
  return false;
}

// Fault: a FIFO without a writer kept the run waiting for ever, SIGINT and
// SIGTERM or not: the stop signals' handler has the kernel restart the
// open() that waits for the writer.
TEST_F(CliTest, SignalEndsTheWaitForAFifoWriter) {
  const fs::path fifo = fs::canonical(dir_) / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::vector<std::string>& names :
       {std::vector<std::string>{"FN=fifo"}, {"--", "fifo"}}) {
    for (const int signal : {SIGINT, SIGTERM}) {
      std::vector<std::string> args{"--create-database", "DB=x.db", "RT=t", "IN=3", "*"};
      args.insert(args.end(), names.begin(), names.end());
      const Piped import = start_piped(args);
      EXPECT_TRUE(wait_until([&] { return holds_open(import.pid, fifo); }, kPatience));
      kill(import.pid, signal);
      const Outcome r = finish(import);
      const std::string name = signal == SIGINT ? "SIGINT" : "SIGTERM";
      EXPECT_EQ(r.status, 1) << names.front() << " " << name;
      EXPECT_EQ(r.err, "Abgebrochen durch " + name + "; die Datensätze davor sind gespeichert.\n");
      EXPECT_FALSE(fs::exists(dir_ / "x.db"));
    }
  }
}

// Fault: every file after "--" was opened to be checked, closed, and opened
// again to be read; what a FIFO's writer wrote went with the first reader,
// and the second open waited for another writer.
TEST_F(CliTest, FifoAfterDoubleDashKeepsWhatItsWriterWrote) {
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const Piped import = start_piped({"--create-database", "DB=x.db", "RT=t", "HD=0", "IN=3", "*",
                                    "--", "fifo"});
  // Opening for writing without waiting succeeds once the run reads.
  int writer = -1;
  EXPECT_TRUE(wait_until(
      [&] { return (writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; },
      kPatience));
  if (writer >= 0) {
    // A reader that is gone must fail the write, not end the test.
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    const std::string lines = "1 2 3\n4 5 6\n7 8 9\n";
    EXPECT_EQ(::write(writer, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    close(writer);
    sigaction(SIGPIPE, &old, nullptr);
  }
  const Outcome r = finish(import);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count("x.db", "t"), 3);
}

// Fault: --resume read a FIFO to its end, stored nothing of it and failed
// with "E/A-Fehler 29": a FIFO has no position to come back to.
TEST_F(CliTest, ResumeRefusesAFifoBeforeReadingIt) {
  write("d.txt", "h\n1 2 3\n");
  ASSERT_EQ(run({"--create-database", "DB=x.db", "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  for (const char* mode : {"--resume", "--follow"}) {
    const Outcome r = run({mode, "DB=x.db", "RT=t", "IN=3", "--", "fifo"});
    EXPECT_EQ(r.status, 1) << mode;
    EXPECT_EQ(r.err, "--resume und --follow brauchen eine Textdatei; fifo ist keine Datei auf "
                     "einem Datenträger und hat keinen Stand.\n");
  }
}

// Fault: when the database file was deleted or replaced during the import,
// the summary still said the records were stored.
TEST_F(CliTest, DatabaseDeletedOrReplacedDuringTheImportFails) {
  write("d.txt", "h\n1 2 3\n");
  for (const std::string db : {"deleted.db", "replaced.db"}) {
    ASSERT_EQ(run({"--create-database", "DB=" + db, "RT=t", "FN=d.txt", "IN=3", "*"}).status, 0);
    const Piped import = start_piped({"DB=" + db, "RT=t", "FN=", "HD=0", "IN=3"});
    ASSERT_EQ(::write(import.feed, "4 5 6\n", 6), 6);
    wait_until([&] { return count(db, "t") >= 2; }, kPatience);
    fs::remove(dir_ / db);
    if (db == "replaced.db") {
      write("new.db", "");
      fs::rename(dir_ / "new.db", dir_ / db);
    }
    const Outcome r = finish(import);
    EXPECT_EQ(r.status, 1) << db;
    EXPECT_EQ(r.err, "Die Datenbankdatei '" + db + "' wurde gelöscht oder ersetzt, "
                          "während Kadrum in sie schrieb; die Datensätze sind unter diesem "
                          "Namen nicht zu finden.\n");
  }
}

// Fault: a file saved as UTF-16 stored 1990 as 1, 9, 9 and exited 0.
TEST_F(CliTest, Utf16FileWithMarkGivesTheSameRowsAsUtf8) {
  const std::string text = "Jahr Tag Wert\r\n1990 001 5.5\r\n";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char c : text) {
    little += {c, '\0'};
    big += {'\0', c};
  }
  write("le.txt", little);
  write("be.txt", big);
  for (const char* name : {"le.txt", "be.txt"}) {
    const Outcome r = run({"--dry-run", std::string("FN=") + name, "IN=3"});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out, "1990\t001\t5.5\n") << name;
  }
}

#ifdef KADRUM_PG_SERVER
TEST_F(CliTest, PostgreSQLImportNeverShowsThePasswordAndCreatesTheDatabaseOnRequest) {
  kadrum::testing::PostgresTestDatabase server;  // a fresh name beside it is free
  const std::string name = server.name() + "_cli";
  const std::string socket = kadrum::testing::postgresql_socket_folder() + "/.s.PGSQL.5432";
  const std::string sample = std::string("FN=") + KADRUM_SAMPLE;
  const auto as_user = [&](const std::string& credentials) {
    return "DB=" + kadrum::testing::postgresql_uri(name, "", credentials);
  };

  const Outcome refused = run({"--create-database", as_user("kadrum_password:Geheim-123@"),
                               "RT=t", "HD=34", sample, "IN=5", "*"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Keine Verbindung zum PostgreSQL-Server (connection to server on socket \"" +
                             socket + "\" failed: FATAL:  password authentication failed for "
                             "user \"kadrum_password\")\n");

  const Outcome not_allowed = run({"--create-database", as_user("kadrum_password:richtig@"),
                                   "RT=t", "HD=34", sample, "IN=5", "*"});
  EXPECT_EQ(not_allowed.status, 1);
  EXPECT_EQ(not_allowed.err, "Die Datenbank '" + name + "' gibt es nicht, und der Benutzer "
                             "'kadrum_password' darf auf dem PostgreSQL-Server keine Datenbank "
                             "anlegen (permission denied to create database)\n");

  const Outcome created = run({"--create-database", "DB=" + kadrum::testing::postgresql_uri(name),
                               "RT=Messwerte", "HD=34", sample, "IN=5", "*"});
  EXPECT_EQ(created.status, 0) << created.err;
  EXPECT_TRUE(std::regex_match(created.err, std::regex("15375 Datensätze in [0-9.]+ s gespeichert\n")))
      << created.err;
  EXPECT_EQ(kadrum::testing::PostgresInspector(kadrum::testing::postgresql_uri(name))
                .rows("SELECT count(*) FROM messwerte"),
            (kadrum::testing::Rows{{"15375"}}));
  // URI schemes are case-insensitive.
  const Outcome upper = run({"DB=POSTGRESQL" + kadrum::testing::postgresql_uri(name).substr(10),
                             "RT=Messwerte", "HD=34", sample, "IN=5", "*"});
  EXPECT_EQ(upper.status, 0) << upper.err;
  server.exec("DROP DATABASE " + name + " WITH (FORCE)");
}

// Fault: PostgreSQL cuts names to 63 bytes, so a longer name dropped or
// filled the table that the cut name names.
TEST_F(CliTest, PostgreSQLOverlongTableNameIsRefusedBeforeAnyStatement) {
  kadrum::testing::PostgresTestDatabase db;
  const std::string t63(63, 't');
  db.exec("CREATE TABLE " + t63 + " (yr float8, jday float8, sval float8);"
          "INSERT INTO " + t63 + " VALUES (1, 2, 3); CREATE SCHEMA lab");
  write("d.txt", "h\n4 5 6\n");
  struct Case {
    std::string name;
    std::string part;
  };
  const std::string umlauts = "\xC3\xA4" + std::string(62, 'a');  // 63 letters, 64 bytes
  const Case cases[] = {
      {t63 + "_berlin", t63 + "_berlin"},
      {std::string(214, 't'), std::string(214, 't')},
      {"lab." + umlauts, umlauts},
      {std::string(64, 's') + "." + t63, std::string(64, 's')},
      {"lab.\"" + t63 + " x\"", t63 + " x"},
  };
  for (const Case& c : cases) {
    for (const bool recreate : {true, false}) {
      std::vector<std::string> args{"DB=" + db.data_source(), "RT=" + c.name, "FN=d.txt", "IN=3"};
      if (recreate) args.push_back("*");
      const Outcome r = run(args);
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_EQ(r.err, "Der Tabellenname '" + c.name + "' ist zu lang: '" + c.part + "' hat " +
                           std::to_string(c.part.size()) + " Bytes, PostgreSQL erlaubt für jeden "
                           "Teil des Namens höchstens 63 und würde ihn kürzen.\n");
    }
  }
  EXPECT_EQ(db.rows("SELECT count(*) FROM " + t63), (kadrum::testing::Rows{{"1"}}));
  // 63 bytes are whole names.
  EXPECT_EQ(run({"DB=" + db.data_source(), "RT=" + t63, "FN=d.txt", "IN=3"}).status, 0);
  EXPECT_EQ(db.rows("SELECT count(*) FROM " + t63), (kadrum::testing::Rows{{"2"}}));
}

// Fault: numeric columns took the value through a double and lost digits.
TEST_F(CliTest, PostgreSQLExactDecimalColumnsKeepEveryDigit) {
  kadrum::testing::PostgresTestDatabase db;
  db.exec("CREATE TABLE t (yr numeric, jday numeric(10,2), sval numeric(20,4))");
  write("d.txt", "h\n12345678901234567890 1.005 9007199254740993\n"
                 "-.5 1.5 0.00001\n9007199254740993 1.2.3 1\n");
  for (const char* option : {"", "--single-transaction"}) {
    db.exec("TRUNCATE t");
    std::vector<std::string> args{"DB=" + db.data_source(), "RT=t", "FN=d.txt", "I1=1", "I2=2",
                                  "I3=3"};
    if (*option) args.push_back(option);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.err, "d.txt:4: '1.2.3' ist kein gültiger Fließkommawert für Feld 'jday'\n");
  }
  db.exec("TRUNCATE t");
  ASSERT_EQ(run({"DB=" + db.data_source(), "RT=t", "FN=d.txt", "I1=1", "I2=2", "I3=3",
                 "HD=1"}).status, 1);
  // The server rounds to the column's scale (1.005 to 1.01), once.
  EXPECT_EQ(db.rows("SELECT yr, jday, sval FROM t ORDER BY jday"),
            (kadrum::testing::Rows{{"12345678901234567890", "1.01", "9007199254740993.0000"},
                                   {"-0.5", "1.50", "0.0000"}}));
}

// Fault: a connection lost after COMMIT was sent was told as a rollback,
// though the server may have committed.
TEST_F(CliTest, PostgreSQLConnectionLostDuringTheCommitLeavesTheOutcomeUnknown) {
  kadrum::testing::PostgresTestDatabase db;
  // A deferred trigger makes the commit wait, long enough to end it.
  db.exec("CREATE TABLE t (yr float8, jday float8, sval float8);"
          "CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS "
          "'BEGIN PERFORM pg_sleep(30); RETURN NULL; END';"
          "CREATE CONSTRAINT TRIGGER slow AFTER INSERT ON t DEFERRABLE INITIALLY DEFERRED "
          "FOR EACH ROW EXECUTE FUNCTION slow()");
  write("d.txt", "h\n1 2 3\n");
  const Piped import = start_piped({"--single-transaction", "DB=" + db.data_source(), "RT=t",
                                     "FN=d.txt", "IN=3"});
  const std::string committing = "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                 "application_name = 'kadrum' AND query = 'COMMIT' AND "
                                 "datname = current_database()";
  wait_until([&] { return !db.rows(committing).empty(); }, kPatience);
  const Outcome r = finish(import);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("Die Verbindung zum PostgreSQL-Server ist beim Festschreiben "
                                "abgebrochen; ob die Datensätze gespeichert wurden, ist "
                                "unbekannt ("))
      << r.err;
#ifdef KADRUM_MARIADB_SERVER
  // The same through the PostgreSQL ODBC driver, whose connection a proxy
  // in the test folder cuts once the server has committed.
  db.exec("DROP TABLE t; CREATE TABLE t (yr float8, jday float8, sval float8)");
  const kadrum::testing::CuttingProxy proxy(
      kadrum::testing::CuttingProxy::Protocol::postgresql, (dir_ / ".s.PGSQL.5432").string(),
      kadrum::testing::postgresql_socket_folder() + "/.s.PGSQL.5432", "COMMIT");
  write("d.txt", "h\n1 2 3\n4 5 6\n");
  const Outcome odbc = run({"--single-transaction",
                            "DB=odbc:Driver={PostgreSQL Unicode};Servername=" + dir_.string() +
                                ";Port=5432;Database=" + db.name() + ";Username=postgres",
                            "RT=t", "FN=d.txt", "IN=3"});
  EXPECT_TRUE(proxy.cut());
  EXPECT_EQ(odbc.status, 1);
  EXPECT_TRUE(odbc.err.starts_with("Die Verbindung zum PostgreSQL-Server ist beim Festschreiben "
                                   "abgebrochen; ob die Datensätze gespeichert wurden, ist "
                                   "unbekannt ("))
      << odbc.err;
  EXPECT_EQ(db.rows("SELECT count(*) FROM t"), (kadrum::testing::Rows{{"2"}}));
#endif
}

// More lines than one block that --single-transaction hands from its
// reading to its storing thread: the storing side then works on the server
// while the reading side waits for the rest of the input.
std::string more_than_one_block() {
  std::string lines;
  for (int i = 0; i < 600; ++i) lines += "1 2 3\n";
  return lines;
}

// Fault: a time-out had no German description, and a server-side stop
// during a COPY read as the fault of one record ("COPY t, line 1").
TEST_F(CliTest, PostgreSQLServerSideStopsHaveAGermanDescriptionAndBlameNoRecord) {
  kadrum::testing::PostgresTestDatabase db;
  db.exec("CREATE TABLE t (yr float8, jday float8, sval float8)");
  write("d.txt", "h\n1 2 3\n");
  {
    kadrum::testing::PostgresInspector other(db.data_source());
    other.rows("BEGIN; LOCK TABLE t IN EXCLUSIVE MODE");
    const Outcome r = run({"DB=" + db.data_source() + "&options=-c%20statement_timeout%3D100",
                           "RT=t", "FN=d.txt", "IN=3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "d.txt:2: Der PostgreSQL-Server hat die Anweisung abgebrochen (canceling "
                     "statement due to statement timeout)\n");
  }
  const Piped import = start_piped({"--single-transaction", "DB=" + db.data_source(), "RT=t",
                                     "FN=", "HD=0", "IN=3"});
  const std::string lines = more_than_one_block();
  ASSERT_EQ(::write(import.feed, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  const std::string copying = "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                              "application_name = 'kadrum' AND query LIKE 'COPY%' AND "
                              "datname = current_database()";
  wait_until([&] { return !db.rows(copying).empty(); }, kPatience);
  const Outcome r = finish(import);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(r.err, std::regex("Der PostgreSQL-Server hat die Verbindung beendet "
                                                 "\\(terminating connection due to administrator "
                                                 "command\\)\n|Die Verbindung zum PostgreSQL-"
                                                 "Server ist abgebrochen \\(.*\\)\n")))
      << r.err;
}

// Fault: SIGINT was acted on only when the server answered: 11 s later
// under a held lock, never under a stopped backend.
TEST_F(CliTest, PostgreSQLSignalEndsAWaitOnTheServer) {
  kadrum::testing::PostgresTestDatabase db;
  db.exec("CREATE TABLE t (yr float8, jday float8, sval float8)");
  struct Case {
    bool single_transaction;
    bool stop_backend;  // else a second connection holds a lock on t
    std::string err;  // a pattern
  };
  const Case cases[] = {
      {false, false,
       "\\(Standardeingabe\\):1: Abgebrochen durch SIGINT; die Datensätze davor sind gespeichert\\.\n"},
      // A cancelled COPY is no record's fault: it names no line, unless
      // the stop met the run in a line.
      {true, false, "(\\(Standardeingabe\\):1: )?Abgebrochen durch SIGINT; nichts wurde gespeichert\\.\n"},
      // The stopped backend may meet the run in its first line, or after it.
      {true, true,
       "(\\(Standardeingabe\\):[0-9]+: )?Abgebrochen durch SIGINT; nichts wurde gespeichert\\.\n"},
  };
  const std::string kadrums_backend =
      "SELECT pid FROM pg_stat_activity WHERE application_name = 'kadrum' AND datname = '" +
      db.name() + "'";
  for (const Case& c : cases) {
    kadrum::testing::PostgresInspector other(db.data_source());
    if (!c.stop_backend) other.rows("BEGIN; LOCK TABLE t IN EXCLUSIVE MODE");
    std::vector<std::string> args{"DB=" + db.data_source(), "RT=t", "FN=", "HD=0", "IN=3"};
    if (c.single_transaction) args.push_back("--single-transaction");
    const Piped import = start_piped(args);
    const std::string lines = more_than_one_block();
    ASSERT_EQ(::write(import.feed, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    std::string backend;
    wait_until([&] {
      const auto waiting = db.rows(kadrums_backend + (c.stop_backend ? "" : " AND wait_event_type = 'Lock'"));
      if (!waiting.empty() && all_read(import.feed)) backend = waiting[0][0];
      return !backend.empty();
    }, kPatience);
    ASSERT_FALSE(backend.empty());
    if (c.stop_backend) kill(std::stoi(backend), SIGSTOP);
    kill(import.pid, SIGINT);
    const Outcome r = finish(import);
    if (c.stop_backend) kill(std::stoi(backend), SIGCONT);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err))) << r.err;
    other.rows("ROLLBACK");
    EXPECT_EQ(db.rows("SELECT count(*) FROM t"), (kadrum::testing::Rows{{"0"}}));
  }
}
#endif

#ifdef KADRUM_MARIADB_SERVER
TEST_F(CliTest, OdbcImportIntoMariaDBCreatesTheDatabaseAndNeverShowsThePassword) {
  const std::string name = kadrum::testing::odbc_test_name() + "_cli";
  const std::string sample = std::string("FN=") + KADRUM_SAMPLE;
  const std::string target = "DB=odbc:" + kadrum::testing::mariadb_odbc(name);

  const Outcome refused =
      run({"--create-database", "DB=odbc:" + kadrum::testing::mariadb_odbc(name, "kadrum_password") +
                                    ";PWD=Geheim-123",
           "RT=t", "HD=34", sample, "IN=5", "*"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.starts_with("Die Anmeldung am Datenbankserver ist gescheitert (Access denied"))
      << refused.err;
  EXPECT_EQ(refused.err.find("Geheim-123"), std::string::npos) << refused.err;

  for (const bool one_transaction : {false, true}) {
    std::vector<std::string> args{"--create-database", target, "RT=Messwerte", "HD=34", sample,
                                  "IN=5", "*"};
    if (one_transaction) args.insert(args.begin(), "--single-transaction");
    const Outcome created = run(args);
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_TRUE(std::regex_match(
        created.err, std::regex(one_transaction
                                    ? "15375 Datensätze in [0-9.]+ s gemeinsam in einer "
                                      "Transaktion gespeichert\n"
                                    : "15375 Datensätze in [0-9.]+ s gespeichert\n")))
        << created.err;
    EXPECT_EQ(kadrum::testing::OdbcInspector(kadrum::testing::mariadb_odbc(name))
                  .rows("SELECT count(*), count(DISTINCT yr), min(sval) FROM Messwerte"),
              (kadrum::testing::Rows{{"15375", "51", "326.06"}}));
  }
  kadrum::testing::OdbcInspector(kadrum::testing::mariadb_odbc("")).rows("DROP DATABASE " + name);
}

// Fault: a connection lost after COMMIT was sent through ODBC read as an
// ordinary failure, though the server had stored every record, so that a
// rerun stored them twice.
TEST_F(CliTest, OdbcConnectionLostDuringTheCommitLeavesTheOutcomeUnknown) {
  kadrum::testing::MariadbTestDatabase db;
  db.exec("CREATE TABLE t (yr double, jday double, sval double)");
  const std::string socket = (dir_ / "proxy.sock").string();
  const kadrum::testing::CuttingProxy proxy(kadrum::testing::CuttingProxy::Protocol::mariadb,
                                            socket, kadrum::testing::mariadb_socket(), "COMMIT");
  write("d.txt", "h\n1 2 3\n4 5 6\n");
  const Outcome r = run({"--single-transaction",
                         "DB=odbc:Driver={MariaDB Unicode};Socket=" + socket + ";Database=" +
                             db.name() + ";User=kadrum",
                         "RT=t", "FN=d.txt", "IN=3"});
  EXPECT_TRUE(proxy.cut());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("Die Verbindung zum MariaDB-Server ist beim Festschreiben "
                                "abgebrochen; ob die Datensätze gespeichert wurden, ist "
                                "unbekannt ("))
      << r.err;
  EXPECT_EQ(db.rows("SELECT count(*) FROM t"), (kadrum::testing::Rows{{"2"}}));
}

// Fault: a connection lost during a one-transaction run through ODBC
// named the data line being stored ("b.txt:108001: Der ODBC-Treibermanager
// kann keine Verbindung anlegen"), as if that record were at fault.
TEST_F(CliTest, OdbcConnectionLostInOneTransactionBlamesNoRecord) {
  kadrum::testing::MariadbTestDatabase db;
  db.exec("CREATE TABLE t (yr double, jday double, sval double)");
  // One transaction sends its records 2,000 at a time, each block behind a
  // savepoint: the connection breaks as the first block goes out.
  const std::string socket = (dir_ / "proxy.sock").string();
  const kadrum::testing::CuttingProxy proxy(kadrum::testing::CuttingProxy::Protocol::mariadb,
                                            socket, kadrum::testing::mariadb_socket(),
                                            "SAVEPOINT kadrum_block");
  std::string lines = "h\n";
  for (int i = 0; i < 2100; ++i) lines += "1 2 3\n";
  write("d.txt", lines);
  const Outcome r = run({"--single-transaction",
                         "DB=odbc:Driver={MariaDB Unicode};Socket=" + socket + ";Database=" +
                             db.name() + ";User=kadrum",
                         "RT=t", "FN=d.txt", "IN=3"});
  EXPECT_TRUE(proxy.cut());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Die Verbindung zum Datenbankserver ist abgebrochen \\(.*\\)\n")))
      << r.err;
  EXPECT_EQ(db.rows("SELECT count(*) FROM t"), (kadrum::testing::Rows{{"0"}}));
}

// Fault: without a strict sql_mode on the server, MariaDB stored a value
// that did not fit its column as the nearest one that did (300 in a
// tinyint as 127), and the run reported success.
TEST_F(CliTest, OdbcMariaDBWithoutStrictModeRefusesAValueItWouldClip) {
  kadrum::testing::MariadbTestDatabase db;
  db.exec("CREATE TABLE t (a tinyint, b decimal(5,2), c int unsigned)");
  // The session starts as on a server whose sql_mode is empty.
  const std::string target =
      "DB=" + db.data_source() + ";InitStmt={SET SESSION sql_mode=''}";
  for (const char* bad : {"300 1 1", "1 12345.678 1", "1 1 -5"}) {
    write("d.txt", std::string("h\n1 1.5 1\n") + bad + "\n");
    for (const bool one_transaction : {false, true}) {
      db.exec("DELETE FROM t");
      std::vector<std::string> args{target, "RT=t", "FN=d.txt", "I1=1", "I2=2", "I3=3"};
      if (one_transaction) args.push_back("--single-transaction");
      const Outcome r = run(args);
      EXPECT_EQ(r.status, 1) << bad;
      EXPECT_TRUE(std::regex_match(
          r.err, std::regex("d\\.txt:3: Ein Wert liegt außerhalb des Bereichs seiner Spalte "
                            "\\(Out of range value for column '[abc]' at row 1.*\\)\n")))
          << r.err;
      EXPECT_EQ(db.rows("SELECT a, b, c FROM t"),
                one_transaction ? kadrum::testing::Rows{}
                                : (kadrum::testing::Rows{{"1", "1.50", "1"}}))
          << bad;
    }
  }
}

// Fault: the ODBC engine acted on SIGINT only when the server answered,
// never under a lock held by another connection.
TEST_F(CliTest, OdbcSignalEndsAWaitOnTheServer) {
  kadrum::testing::MariadbTestDatabase db;
  db.exec("CREATE TABLE t (yr double, jday double, sval double)");
  // One transaction sends its records 10,000 at a time; they reach it in
  // blocks of 512 from the reading side.
  std::string lines;
  for (int i = 0; i < 10600; ++i) lines += "1 2 3\n";
  const std::string waiting = "SELECT id FROM information_schema.processlist WHERE db = '" +
                              db.name() + "' AND state LIKE 'Waiting for table%'";
  for (const bool single_transaction : {false, true}) {
    kadrum::testing::OdbcInspector other(db.connection_string());
    other.rows("LOCK TABLES t WRITE");
    std::vector<std::string> args{"DB=" + db.data_source(), "RT=t", "FN=", "HD=0", "IN=3"};
    if (single_transaction) args.push_back("--single-transaction");
    const Piped import = start_piped(args);
    ASSERT_EQ(::write(import.feed, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    wait_until([&] { return !db.rows(waiting).empty(); }, kPatience);
    kill(import.pid, SIGINT);
    const Outcome r = finish(import);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(
        r.err, std::regex(single_transaction
                              ? "\\(Standardeingabe\\):10000: Abgebrochen durch SIGINT; nichts "
                                "wurde gespeichert\\.\n"
                              : "\\(Standardeingabe\\):1: Abgebrochen durch SIGINT; die Datensätze "
                                "davor sind gespeichert\\.\n")))
        << r.err;
    other.rows("UNLOCK TABLES");
    EXPECT_EQ(db.rows("SELECT count(*) FROM t"), (kadrum::testing::Rows{{"0"}}));
  }
}
#endif

}  // namespace
