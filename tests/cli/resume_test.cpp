// kadrum-cli's --resume, --follow and many files, run as a process against
// every test engine: each data line is stored exactly once, in file order,
// whatever happened to earlier runs.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/cli_process.h"
#include "support/test_engines.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using kadrum::testing::Rows;
using kadrum::testing::TempFolder;
using kadrum::testing::TestEngine;
using kadrum::testing::wait_until;

using kadrum::testing::kPatience;
using kadrum::testing::Outcome;
using kadrum::testing::slurp;

void append(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// "from" to "to" as data lines "1 2 N", whose sval tells the line.
std::string lines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += "1 2 " + std::to_string(i) + "\n";
  return text;
}

class ResumeTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    db_ = GetParam().make(folder_);
    db_->exec("CREATE TABLE t (yr double precision, jday double precision, sval double precision)");
  }

  std::string path(const std::string& name) const { return folder_.file(name); }

  // Starts kadrum-cli in the test folder with DB= the test database,
  // RT=t and IN=3 before "args"; standard error goes to a file.
  pid_t start(std::vector<std::string> args) {
    args.insert(args.begin(), {"DB=" + db_->data_source(), "RT=t", "IN=3"});
    kadrum::testing::ProcessStreams streams;
    streams.output = path("stdout.txt");
    streams.error = path("stderr.txt");
    return kadrum::testing::start_process(KADRUM_CLI, args, folder_.path(), streams);
  }
  Outcome wait_for(pid_t pid) {
    const int status = kadrum::testing::exit_status_of(pid);
    return {status, slurp(path("stdout.txt")), slurp(path("stderr.txt"))};
  }
  Outcome run(const std::vector<std::string>& args) { return wait_for(start(args)); }
  // A run after a killed one: a server may hold the killed run's lock for
  // a moment after its connection died, and then this run leaves the file.
  Outcome run_after_kill(const std::vector<std::string>& args) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      Outcome r = run(args);
      if (r.status != 1 || r.err.find("von einem anderen Lauf") == std::string::npos ||
          std::chrono::steady_clock::now() > until)
        return r;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // The svals of t in the order the engine keeps them.
  std::vector<int> stored() {
    std::vector<int> values;
    for (const auto& row : db_->numbers("t", "sval")) values.push_back(std::stoi(row[0]));
    return values;
  }
  static std::vector<int> range(int from, int to) {
    std::vector<int> values;
    for (int i = from; i <= to; ++i) values.push_back(i);
    return values;
  }

  TempFolder folder_;
  std::unique_ptr<kadrum::testing::TestDatabase> db_;
};

TEST_P(ResumeTest, EachRunStoresOnlyTheLinesAfterTheCheckpoint) {
  const std::string file = path("d.txt");
  kadrum::testing::write_file(file, "Kopf\n" + lines(1, 3) + "1 2 ");
  struct Step {
    std::string add;         // appended before the run ("" for none)
    bool replace = false;    // the file is written anew instead
    std::vector<int> table;  // svals afterwards
    std::string notice;      // the run's standard error before the summary
  };
  const std::string again =
      "Hinweis: d.txt passt nicht mehr zu ihrem Stand in kadrum_checkpoints (ersetzt, "
      "rotiert oder gekürzt) und wird ab Zeile 1 geladen\n";
  const Step steps[] = {
      // The last line has no end yet: neither stored nor checkpointed.
      {"", false, range(1, 3), ""},
      {"", false, range(1, 3), ""},
      {"4\n" + lines(5, 6), false, range(1, 6), ""},
      // Another file of the same size, and a shorter one: both new.
      {"Kopf\n" + lines(7, 9) + lines(7, 9), true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 7, 8, 9}, again},
      {"Kopf\n" + lines(11, 11), true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 7, 8, 9, 11}, again},
  };
  for (const Step& step : steps) {
    if (step.replace)
      kadrum::testing::write_file(file, step.add);
    else
      append(file, step.add);
    const Outcome r = run({"--resume", "FN=d.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.starts_with(step.notice)) << r.err;
    EXPECT_EQ(stored(), step.table) << step.add;
  }
  // The checkpoint explains itself.
  EXPECT_EQ(db_->rows("SELECT target_table, file_path, byte_offset, line_number, records "
                      "FROM kadrum_checkpoints"),
            (Rows{{"t", fs::canonical(file).string(), std::to_string(fs::file_size(file)), "2",
                   "1"}}));
}

TEST_P(ResumeTest, ManyFilesLoadInOrderEachWithItsHeaderAndCheckpoint) {
  kadrum::testing::write_file(path("a.txt"), "Kopf\n" + lines(1, 2));
  kadrum::testing::write_file(path("b.txt"), "Kopf\n" + lines(3, 4));
  Outcome r = run({"--resume", "--", "b.txt", "a.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("4 Datensätze aus 2 Dateien in ")) << r.err;
  EXPECT_EQ(stored(), (std::vector<int>{3, 4, 1, 2}));
  // A folder where one file grew and one is new; one transaction this time.
  append(path("a.txt"), lines(5, 5));
  kadrum::testing::write_file(path("c.txt"), "Kopf\n" + lines(6, 6));
  r = run({"--resume", "--single-transaction", "--", "a.txt", "b.txt", "c.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(stored(), (std::vector<int>{3, 4, 1, 2, 5, 6}));
  // A failure there names its file and line and keeps nothing.
  append(path("a.txt"), lines(7, 7) + "1 2 1.2.3\n");
  r = run({"--resume", "--single-transaction", "--", "c.txt", "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "a.txt:6: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n");
  EXPECT_EQ(stored(), (std::vector<int>{3, 4, 1, 2, 5, 6}));
  // Without --resume every file is stored whole; the first failure names
  // its file and line and ends the run.
  kadrum::testing::write_file(path("bad.txt"), "Kopf\n1 2 3\n1 2 1.2.3\n");
  r = run({"--", "c.txt", "bad.txt", "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "bad.txt:3: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n");
  EXPECT_EQ(stored(), (std::vector<int>{3, 4, 1, 2, 5, 6, 6, 3}));
  // In one transaction such a failure keeps nothing; a run without one
  // stores every file, in order.
  r = run({"--single-transaction", "--", "c.txt", "bad.txt", "a.txt"});
  EXPECT_EQ(r.err, "bad.txt:3: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n");
  ASSERT_EQ(run({"--single-transaction", "--", "b.txt", "c.txt"}).status, 0);
  EXPECT_EQ(stored(), (std::vector<int>{3, 4, 1, 2, 5, 6, 6, 3, 3, 4, 6}));
}

// Patterns after "--" are Kadrum's own: files in byte order of their
// paths, in any component, never a leading dot or another folder level; a
// name that holds "[" and exists is that file. Re-runs store only what is new.
TEST_P(ResumeTest, PatternsLoadMatchingFilesInNameOrderOnce) {
  fs::create_directories(path("logs/2026"));
  fs::create_directories(path("logs/2027"));
  fs::create_directories(path("logs/.alt"));
  kadrum::testing::write_file(path("logs/2026/b.txt"), "Kopf\n" + lines(3, 4));
  kadrum::testing::write_file(path("logs/2026/a.txt"), "Kopf\n" + lines(1, 2));
  kadrum::testing::write_file(path("logs/2026/.a.txt"), "Kopf\n" + lines(90, 90));
  kadrum::testing::write_file(path("logs/2026/a.csv"), "Kopf\n" + lines(91, 91));
  kadrum::testing::write_file(path("logs/.alt/a.txt"), "Kopf\n" + lines(92, 92));
  kadrum::testing::write_file(path("logs/2027/A.txt"), "Kopf\n" + lines(5, 5));
  kadrum::testing::write_file(path("logs/[x].txt"), "Kopf\n" + lines(6, 6));
  Outcome r = run({"--resume", "--", "logs/20[0-9]?/*.txt", "logs/[x].txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("6 Datensätze aus 4 Dateien in ")) << r.err;
  EXPECT_EQ(stored(), range(1, 6));
  r = run({"--resume", "--", "logs/*/*.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("0 Datensätze aus 3 Dateien in ")) << r.err;
  // A file grew, a new one came: only their new lines.
  append(path("logs/2026/a.txt"), lines(7, 7));
  kadrum::testing::write_file(path("logs/2026/c.txt"), "Kopf\n" + lines(8, 9));
  ASSERT_EQ(run({"--resume", "--", "logs/*/*.txt"}).status, 0);
  EXPECT_EQ(stored(), range(1, 9));
}

// "*" starts over: the table recreated and its checkpoints cleared in the
// transaction of the first record, or alone when there is none.
TEST_P(ResumeTest, RecreateStartsOverWithTheFirstRecord) {
  kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, 2));
  ASSERT_EQ(run({"--resume", "FN=d.txt"}).status, 0);
  ASSERT_EQ(run({"--resume", "FN=d.txt", "*"}).status, 0);
  EXPECT_EQ(stored(), range(1, 2));
  EXPECT_EQ(db_->value("SELECT count(*) FROM kadrum_checkpoints"), "1");
  kadrum::testing::write_file(path("d.txt"), "Kopf\n");
  ASSERT_EQ(run({"--resume", "FN=d.txt", "*"}).status, 0);
  EXPECT_EQ(stored(), std::vector<int>{});
  EXPECT_EQ(db_->value("SELECT count(*) FROM kadrum_checkpoints"), "0");
}

// A file renamed between runs is the same file: its checkpoint moves with
// it (its device and inode say so, its first bytes agree).
// A copy (same content, another file) is loaded again, and told of.
TEST_P(ResumeTest, RenamedFileKeepsItsCheckpointACopyIsToldOf) {
  kadrum::testing::write_file(path("a.txt"), "Kopf\n" + lines(1, 3));
  ASSERT_EQ(run({"--resume", "FN=a.txt"}).status, 0);
  fs::rename(path("a.txt"), path("b.txt"));
  append(path("b.txt"), lines(4, 5));
  const Outcome r = run({"--resume", "FN=b.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("2 Datensätze in ")) << r.err;
  EXPECT_EQ(stored(), range(1, 5));
  EXPECT_EQ(db_->rows("SELECT file_path FROM kadrum_checkpoints"),
            (Rows{{fs::canonical(path("b.txt")).string()}}));
  fs::copy_file(path("b.txt"), path("c.txt"));
  const Outcome copy = run({"--resume", "FN=c.txt"});
  ASSERT_EQ(copy.status, 0) << copy.err;
  EXPECT_TRUE(copy.err.starts_with("Hinweis: c.txt hat denselben Inhalt wie " +
                                   fs::canonical(path("b.txt")).string() +
                                   ", die schon in die Tabelle t geladen ist, ist aber eine "
                                   "andere Datei (eine Kopie?) und wird ab Zeile 1 geladen\n5 "
                                   "Datensätze"))
      << copy.err;
}

// Fault: a path was pasted into the checkpoint statements, where MariaDB
// reads a backslash as an escape: the checkpoint lost it, every run stored
// the file again, and a quote in a file name ran SQL on the server.
TEST_P(ResumeTest, PathsWithBackslashesAndQuotesKeepTheirCheckpoint) {
  fs::create_directory(path("Mess\\daten"));
  for (const std::string name : {"Mess\\daten/neu.txt",
                                 "a\\',left(user(),16),9,9,9,9,left(version(),19))#.txt"}) {
    db_->exec("DELETE FROM t");
    kadrum::testing::write_file(path(name), "Kopf\n" + lines(1, 10));
    for (int run_number = 0; run_number < 3; ++run_number) {
      const Outcome r = run({"--resume", "FN=" + name});
      ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    }
    EXPECT_EQ(stored(), range(1, 10)) << name;
    EXPECT_EQ(db_->rows("SELECT file_path FROM kadrum_checkpoints"),
              (Rows{{fs::canonical(path(name)).string()}}));
    db_->exec("DELETE FROM kadrum_checkpoints");
  }
}

// Fault: two runs on one file and table both stored its lines. A second
// run leaves at once (or passes the file over among many); a checkpoint
// deleted under --follow ends the follow instead of updating nothing.
TEST_P(ResumeTest, SecondRunOnABusyFileLeavesAndADeletedCheckpointEndsTheFollow) {
  kadrum::testing::write_file(path("f.txt"), "Kopf\n" + lines(1, 2));
  kadrum::testing::write_file(path("g.txt"), "Kopf\n" + lines(3, 3));
  const pid_t follower = start({"--follow", "FN=f.txt"});
  wait_until([&] { return stored().size() >= 2; }, kPatience);
  Outcome r = run({"--resume", "FN=f.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "f.txt wird gerade von einem anderen Lauf in die Tabelle t geladen; dieser "
                   "Lauf speichert nichts davon.\n");
  r = run({"--resume", "--", "f.txt", "g.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("Hinweis: f.txt wird gerade von einem anderen Lauf in die "
                                "Tabelle t geladen und wird übergangen\n1 Datensätze aus 2 "))
      << r.err;
  EXPECT_EQ(stored(), range(1, 3));
  db_->exec("DELETE FROM kadrum_checkpoints WHERE file_path LIKE '%f.txt'");
  append(path("f.txt"), lines(4, 4));
  r = wait_for(follower);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("f.txt:4: Der Stand von " + fs::canonical(path("f.txt")).string() +
                       " in kadrum_checkpoints wurde während des Laufs von anderer Seite "
                       "geändert oder gelöscht"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(stored(), range(1, 3));
}

// Two runs started together, and 0.4 s apart, store each line once; two
// first runs on two files both make the checkpoint table, or find it.
TEST_P(ResumeTest, OverlappingRunsStoreEachLineOnce) {
  const int last = GetParam().name == "SQLite" ? 20000 : 3000;
  kadrum::testing::write_file(path("a.txt"), "Kopf\n" + lines(1, 1));
  kadrum::testing::write_file(path("b.txt"), "Kopf\n" + lines(1, 1));
  const pid_t a = start({"--resume", "FN=a.txt"});
  kadrum::testing::ProcessStreams b_streams;
  b_streams.error = path("b.err");
  const pid_t b = kadrum::testing::start_process(
      KADRUM_CLI, {"DB=" + db_->data_source(), "RT=t", "IN=3", "--resume", "FN=b.txt"},
      folder_.path(), b_streams);
  EXPECT_EQ(wait_for(a).status, 0) << slurp(path("stderr.txt"));
  EXPECT_EQ(kadrum::testing::exit_status_of(b), 0) << slurp(path("b.err"));
  db_->exec("DELETE FROM t");
  for (const int apart_ms : {0, 400}) {
    db_->exec("DELETE FROM t");
    db_->exec("DELETE FROM kadrum_checkpoints");
    kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, last));
    const pid_t first = start({"--resume", "FN=d.txt"});
    std::this_thread::sleep_for(std::chrono::milliseconds(apart_ms));
    kadrum::testing::ProcessStreams streams;
    streams.error = path("second.txt");
    const pid_t second = kadrum::testing::start_process(
        KADRUM_CLI, {"DB=" + db_->data_source(), "RT=t", "IN=3", "--resume", "FN=d.txt"},
        folder_.path(), streams);
    const Outcome a = wait_for(first);
    const int b = kadrum::testing::exit_status_of(second);
    EXPECT_TRUE(a.status == 0 || a.status == 1) << a.err;
    EXPECT_TRUE(b == 0 || b == 1) << slurp(path("second.txt"));
    EXPECT_EQ(stored(), range(1, last)) << apart_ms << " ms apart";
  }
}

// Fault: a path longer than the checkpoint keeps was blamed on line 2.
TEST_P(ResumeTest, PathTooLongForTheCheckpointIsRefusedBeforeAnyRecord) {
  if (GetParam().name != "SQLite") GTEST_SKIP() << "the limit is Kadrum's own";
  std::string relative;
  for (int i = 0; i < 16; ++i) relative += std::string(250, 'a' + i) + "/";
  fs::create_directories(path(relative));
  relative += "d.txt";
  kadrum::testing::write_file(path(relative), "Kopf\n" + lines(1, 2));
  // A short name that resolves to the long path.
  fs::create_symlink(path(relative), path("kurz.txt"));
  const std::string real = fs::canonical(path(relative)).string();
  const Outcome r = run({"--resume", "FN=kurz.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, real + ": der Pfad ist " + std::to_string(real.size()) +
                       " Bytes lang; kadrum_checkpoints hält Pfade bis 4000 Bytes.\n");
  EXPECT_EQ(stored(), std::vector<int>{});
}

// Fault: a file rewritten with its first bytes kept resumed inside a line.
TEST_P(ResumeTest, RewrittenFileWithTheSameStartLoadsFromLineOne) {
  kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, 100) + "1 2 1.2.3\n");
  ASSERT_EQ(run({"--resume", "FN=d.txt"}).status, 1);
  const auto covered = std::stoul(db_->value("SELECT fingerprint_bytes FROM kadrum_checkpoints"));
  std::string text = "Kopf\n" + lines(1, 100);
  text.resize(covered);
  text += lines(5000, 5060);
  kadrum::testing::write_file(path("d.txt"), text);
  const Outcome r = run({"--resume", "FN=d.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.starts_with("Hinweis: d.txt passt nicht mehr")) << r.err;
  // The lines kept from the old file, and the new ones, each once more.
  const auto kept = static_cast<int>(std::count(text.begin(), text.begin() + covered, '\n')) - 1;
  std::vector<int> expected = range(1, 100);
  for (const int v : range(1, kept)) expected.push_back(v);
  for (const int v : range(5000, 5060)) expected.push_back(v);
  EXPECT_EQ(stored(), expected);
}

// Fault: checkpoints were keyed by the name as typed, so RT=t, RT=T and
// RT=main.t each loaded the file again. One written under a typed name
// before is adopted.
TEST_P(ResumeTest, CheckpointIsKeyedByTheTableTheEngineFinds) {
  if (GetParam().name != "SQLite") GTEST_SKIP() << "the names fold alike on SQLite only";
  kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, 5));
  for (const std::string table : {"t", "T", "main.t", "[t]"}) {
    const Outcome r = run({"--resume", "FN=d.txt", "RT=" + table});
    ASSERT_EQ(r.status, 0) << table << ": " << r.err;
  }
  EXPECT_EQ(stored(), range(1, 5));
  db_->exec("UPDATE kadrum_checkpoints SET target_table = 'T'");
  append(path("d.txt"), lines(6, 6));
  ASSERT_EQ(run({"--resume", "FN=d.txt", "RT=T"}).status, 0);
  EXPECT_EQ(stored(), range(1, 6));
  EXPECT_EQ(db_->rows("SELECT target_table FROM kadrum_checkpoints"), (Rows{{"t"}}));
  // A checkpoint table of an earlier Kadrum, without the columns added
  // since, keeps its offsets and gets them.
  db_->exec("CREATE TABLE old AS SELECT target_table, file_path, fingerprint, fingerprint_bytes, "
            "byte_offset, line_number, records, saved_at_utc FROM kadrum_checkpoints; "
            "DROP TABLE kadrum_checkpoints; ALTER TABLE old RENAME TO kadrum_checkpoints");
  append(path("d.txt"), lines(7, 7));
  ASSERT_EQ(run({"--resume", "FN=d.txt"}).status, 0);
  EXPECT_EQ(stored(), range(1, 7));
  EXPECT_EQ(db_->value("SELECT count(line_hash) + count(file_inode) FROM kadrum_checkpoints"), "2");
  // So do the indexes that find a checkpoint among thousands.
  EXPECT_EQ(db_->rows("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                      "tbl_name = 'kadrum_checkpoints' ORDER BY name"),
            (Rows{{"kadrum_checkpoints_identity"}, {"kadrum_checkpoints_path"}}));
}

// Fault: MariaDB commits a drop at once, and "#" and "," reached other
// tables; a user's table of a helper's name was dropped; a run killed
// between its commit and the swap left its records in the helper table.
TEST_P(ResumeTest, MariaDBRecreateTouchesOnlyItsOwnTables) {
  if (GetParam().name != "OdbcMariaDB") GTEST_SKIP() << "MariaDB's own statements";
  db_->exec("CREATE TABLE precious (v int)");
  db_->exec("INSERT INTO precious VALUES (1)");
  db_->exec("CREATE TABLE t_kadrum_neu (mine int)");
  db_->exec("INSERT INTO t_kadrum_neu VALUES (7)");
  kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, 1));
  for (const std::string table : {"precious #x", "precious, other"}) {
    const Outcome r = run({"FN=d.txt", "RT=" + table, "*"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("Der Tabellenname '" + table + "' wird abgelehnt")) << r.err;
  }
  EXPECT_EQ(db_->value("SELECT count(*) FROM precious"), "1");
  ASSERT_EQ(run({"--resume", "FN=d.txt", "*"}).status, 0);
  EXPECT_EQ(db_->value("SELECT mine FROM t_kadrum_neu"), "7");
  EXPECT_EQ(stored(), range(1, 1));
  // The state a kill between the commit and the swap leaves: the old table
  // in place, the committed record and its checkpoint in the helper.
  db_->exec("RENAME TABLE t TO t_kadrum_neu2");
  db_->exec("ALTER TABLE t_kadrum_neu2 COMMENT = 'kadrum helper'");
  db_->exec("CREATE TABLE t (yr double, jday double, sval double)");
  db_->exec("INSERT INTO t VALUES (9, 9, 99)");
  append(path("d.txt"), lines(2, 3));
  const Outcome r = run({"--resume", "FN=d.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(stored(), range(1, 3));
  EXPECT_EQ(db_->value("SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                       "DATABASE() AND table_name LIKE 't\\_kadrum\\_%'"),
            "1");
}

// Fault: under --follow an unfinished last line was read again from its
// start at every change: a long line written slowly cost a core.
TEST_P(ResumeTest, FollowReadsALongUnfinishedLineOnce) {
  if (GetParam().name != "SQLite") GTEST_SKIP() << "reading the file is the same on every engine";
  const std::string chunk(256 * 1024, ' ');
  kadrum::testing::write_file(path("log.txt"), "Kopf\n1 2 ");
  const pid_t pid = start({"--follow", "FN=log.txt"});
  const auto bytes_read = [pid] {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    unsigned long long value = 0;
    while (io >> key >> value)
      if (key == "rchar:") return value;
    return 0ULL;
  };
  // Between changes the follower waits in poll(); each change is read
  // before the next one comes.
  const auto waiting = [pid] {
    std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
    std::string number;
    syscall >> number;
    return number == std::to_string(SYS_poll);
  };
  for (int i = 0; i < 16; ++i) {
    const unsigned long long before = bytes_read();
    append(path("log.txt"), chunk);
    wait_until([&] { return bytes_read() >= before + chunk.size() && waiting(); }, kPatience);
  }
  append(path("log.txt"), "3\n");
  wait_until([&] { return stored().size() == 1; }, kPatience);
  EXPECT_EQ(stored(), range(3, 3));
  // Read again and again, the line would cost 16 times its first half.
  EXPECT_LT(bytes_read(), 4 * 16 * chunk.size());
  kill(pid, SIGTERM);
  const Outcome r = wait_for(pid);
  EXPECT_EQ(r.status, 0) << r.err;
}

// After SIGKILL at random moments and a final normal run, the table holds
// each data line exactly once, in file order.
TEST_P(ResumeTest, KilledRunsNeverLoseOrDuplicateALine) {
  const bool sqlite = GetParam().name == "SQLite";
  const int trials = sqlite ? 50 : 10;
  std::mt19937 random(17);
  int last = 0;
  int midway = 0;  // trials killed after some lines and before the last
  kadrum::testing::write_file(path("d.txt"), "Kopf\n");
  bool held = false;  // the file ends in a line without its end
  for (int trial = 0; trial < trials; ++trial) {
    // Each run finds new lines, and every third one a last line unended.
    std::string more = held ? "\n" : "";
    more += lines(last + 1, last + 100);
    last += 100;
    held = trial % 3 == 0;
    if (held) more += "1 2 " + std::to_string(++last);
    append(path("d.txt"), more);
    std::vector<std::string> args{"--resume", "FN=d.txt"};
    if (trial % 7 == 3) args.push_back("--single-transaction");
    const pid_t pid = start(args);
    const std::size_t before = stored().size();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (sqlite ? 80000 : 200000)));
    kill(pid, SIGKILL);
    wait_for(pid);
    const std::size_t after = stored().size();
    if (after > before && after < static_cast<std::size_t>(last)) ++midway;
  }
  std::printf("%d SIGKILL trials, %d of them in the middle of the lines\n", trials, midway);
  if (held) append(path("d.txt"), "\n");
  const Outcome r = run_after_kill({"--resume", "FN=d.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(stored(), range(1, last));
}

// A "*" run killed anywhere (on MariaDB also between the commit of its
// first record and the swap of the fresh table) followed by a normal run
// leaves each line once: the old table with its checkpoint, or the new one.
TEST_P(ResumeTest, KilledRecreatesNeverLoseOrDuplicateALine) {
  const bool sqlite = GetParam().name == "SQLite";
  std::mt19937 random(29);
  kadrum::testing::write_file(path("d.txt"), "Kopf\n" + lines(1, 300));
  for (int trial = 0; trial < (sqlite ? 20 : 8); ++trial) {
    std::vector<std::string> args{"--resume", "FN=d.txt", "*"};
    if (trial % 3 == 2) args.push_back("--single-transaction");
    const pid_t pid = start(args);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (sqlite ? 60000 : 300000)));
    kill(pid, SIGKILL);
    wait_for(pid);
    const Outcome r = run_after_kill({"--resume", "FN=d.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(stored(), range(1, 300)) << "trial " << trial;
  }
}

// Fault caught: a reject committed apart from the checkpoint that passes
// it was kept twice, or lost, when a run was killed between the two.
TEST_P(ResumeTest, KilledRunsKeepEachBadLineOnceAsAReject) {
  const bool sqlite = GetParam().name == "SQLite";
  std::mt19937 random(41);
  std::string text = "Kopf\n";
  std::vector<int> good;
  std::vector<std::string> bad;  // their line numbers
  for (int i = 1; i <= 300; ++i) {
    const bool refused = i % 7 == 0;
    text += "1 2 " + std::to_string(i) + (refused ? ".5.5\n" : "\n");
    if (refused)
      bad.push_back(std::to_string(i + 1));
    else
      good.push_back(i);
  }
  kadrum::testing::write_file(path("d.txt"), text);
  for (int trial = 0; trial < (sqlite ? 20 : 6); ++trial) {
    const pid_t pid = start({"--resume", "--rejects", "FN=d.txt"});
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (sqlite ? 60000 : 300000)));
    kill(pid, SIGKILL);
    wait_for(pid);
  }
  const Outcome r = run_after_kill({"--resume", "--rejects", "FN=d.txt"});
  ASSERT_TRUE(r.status == 0 || r.status == 3) << r.err;
  EXPECT_EQ(stored(), good);
  std::vector<std::string> kept;
  for (const auto& row : db_->rows("SELECT line_number FROM kadrum_rejects ORDER BY line_number"))
    kept.push_back(row[0]);
  std::sort(kept.begin(), kept.end(), [](const std::string& a, const std::string& b) {
    return std::stoi(a) < std::stoi(b);
  });
  EXPECT_EQ(kept, bad);
}

// Follow mode: appended lines, a line held until its end comes, rotation
// by rename and create, copy and truncate; SIGTERM ends it with exit 0.
TEST_P(ResumeTest, FollowStoresLinesAsTheyArriveThroughRotation) {
  const std::string file = path("log.txt");
  kadrum::testing::write_file(file, "Kopf\n" + lines(1, 2));
  const pid_t pid = start({"--follow", "FN=log.txt"});
  const auto has = [&](std::size_t n) { return [&, n] { return stored().size() >= n; }; };
  wait_until(has(2), kPatience);
  append(file, "1 2 ");
  append(file, "3\n");
  wait_until(has(3), kPatience);
  fs::rename(file, path("log.1"));
  append(path("log.1"), lines(4, 4));  // written before the writer moved on
  kadrum::testing::write_file(file, "Kopf\n" + lines(5, 6));
  wait_until(has(6), kPatience);
  // Copy and truncate: the new lines are stored, none twice.
  fs::copy_file(file, path("log.2"));
  fs::resize_file(file, 0);
  append(file, "Kopf\n" + lines(7, 7));
  wait_until(has(7), kPatience);
  kill(pid, SIGTERM);
  const Outcome r = wait_for(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("7 Datensätze in "), std::string::npos) << r.err;
  EXPECT_EQ(stored(), range(1, 7));
  EXPECT_EQ(db_->value("SELECT byte_offset FROM kadrum_checkpoints"),
            std::to_string(fs::file_size(file)));
}

// --follow over a pattern: a file that begins to match, one that grows, one
// renamed within the pattern (its checkpoint goes along), one rotated away
// (its tail still comes, then the new file under its name from line 1),
// one deleted and made anew with the same first bytes, and an empty one
// that gets lines later. The status file tells each file's state.
TEST_P(ResumeTest, FollowPatternTakesFilesAsTheyComeAndGo) {
  fs::create_directories(path("logs"));
  kadrum::testing::write_file(path("logs/a.txt"), "Kopf\n" + lines(1, 2));
  const pid_t pid =
      start({"--follow", "--rejects", "--json", "--status-file=status.json", "--", "logs/*.txt"});
  const auto has = [&](std::size_t n) { return [&, n] { return stored().size() >= n; }; };
  wait_until(has(2), kPatience);
  kadrum::testing::write_file(path("logs/b.txt"), "Kopf\n" + lines(3, 3));
  wait_until(has(3), kPatience);
  append(path("logs/a.txt"), lines(4, 4));
  wait_until(has(4), kPatience);
  fs::rename(path("logs/a.txt"), path("logs/c.txt"));
  append(path("logs/c.txt"), lines(5, 5));
  wait_until(has(5), kPatience);
  fs::rename(path("logs/b.txt"), path("logs/b.txt.1"));
  append(path("logs/b.txt.1"), lines(6, 6));
  kadrum::testing::write_file(path("logs/b.txt"), "Kopf\n" + lines(7, 7));
  wait_until(has(7), kPatience);
  const std::string old = slurp(path("logs/c.txt"));
  fs::remove(path("logs/c.txt"));
  kadrum::testing::write_file(path("logs/c.txt"), old + lines(8, 8));
  wait_until(has(12), kPatience);
  kadrum::testing::write_file(path("logs/d.txt"), "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  append(path("logs/d.txt"), "Kopf\n" + lines(9, 9) + "1 2 4.5.6\n");
  wait_until(has(13), kPatience);
  wait_until([&] { return slurp(path("status.json")).find("\"rejected\": 1") != std::string::npos; },
             kPatience);
  kill(pid, SIGTERM);
  const Outcome r = wait_for(pid);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(stored(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2, 4, 5, 8, 9}));
  std::string status = slurp(path("status.json"));
  const std::regex utc("\"20[0-9-]{8}T[0-9:]{8}Z\"");
  ASSERT_TRUE(std::regex_search(status, utc)) << status;
  status = std::regex_replace(status, utc, "T");
  std::string expected = "{\"time\": T, \"files\": [";
  for (const auto& [name, records, rejected] :
       {std::tuple{"b", 1, 0}, {"c", 5, 0}, {"d", 1, 1}}) {
    const std::string file = path("logs/") + name + ".txt";
    const std::string size = std::to_string(fs::file_size(file));
    expected += std::string(name == std::string("b") ? "" : ",") + "\n  {\"path\": \"" +
                fs::canonical(file).string() + "\", \"offset\": " + size + ", \"size\": " + size +
                ", \"records\": " + std::to_string(records) +
                ", \"rejected\": " + std::to_string(rejected) + ", \"last_commit\": T}";
  }
  EXPECT_EQ(status, expected + "\n]}\n");
  // --json counts every file read, also those let go: their records add
  // up to the run's.
  const std::string logs = fs::canonical(path("logs")).string();
  std::string json = "{\"records\": 13, \"rejected\": 1, \"seconds\": S, \"exit\": 3, "
                     "\"message\": null, \"files\": [";
  for (const auto& [name, records, rejected, last] :
       {std::tuple{"a", 4, 0, 5}, {"b", 3, 0, 2}, {"c", 5, 0, 6}, {"d", 1, 1, 3}})
    json += std::string(name == std::string("a") ? "" : ", ") + "{\"path\": \"" + logs + "/" +
            name + ".txt\", \"records\": " + std::to_string(records) + ", \"rejected\": " +
            std::to_string(rejected) + ", \"first_line\": 2, \"last_line\": " +
            std::to_string(last) + "}";
  EXPECT_EQ(std::regex_replace(r.out, std::regex("\"seconds\": [0-9.]+"), "\"seconds\": S"),
            json + "]}\n");
  const Outcome again = run({"--resume", "--", "logs/*.txt"});
  EXPECT_TRUE(again.err.starts_with("0 Datensätze aus 3 Dateien")) << again.err;
}

// Fault to avoid: one descriptor per followed file. Idle files beyond a
// bound are closed and watched by name; a line written to one still comes.
TEST_P(ResumeTest, FollowOfManyFilesKeepsFewDescriptors) {
  if (GetParam().name.starts_with("Odbc")) GTEST_SKIP() << "the files are the same on every engine";
  fs::create_directories(path("many"));
  const int files = 200;
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "many/f%03d.txt", i);
    kadrum::testing::write_file(path(name), "Kopf\n" + lines(i, i));
  }
  const pid_t pid = start({"--follow", "--", "many/*.txt"});
  wait_until([&] { return stored().size() >= files; }, kPatience);
  const auto descriptors = [pid] {
    const fs::path folder = "/proc/" + std::to_string(pid) + "/fd";
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  };
  EXPECT_LT(descriptors(), 100);
  append(path("many/f000.txt"), lines(1000, 1000));
  wait_until([&] { return stored().size() >= files + 1; }, kPatience);
  kill(pid, SIGTERM);
  EXPECT_EQ(wait_for(pid).status, 0);
  std::vector<int> expected = range(0, files - 1);
  expected.push_back(1000);
  EXPECT_EQ(stored(), expected);
}

// Runs over a pattern killed at random moments, then a normal run: every
// line of every file once, in name order.
TEST_P(ResumeTest, KilledPatternRunsStoreEveryLineOnce) {
  const bool sqlite = GetParam().name == "SQLite";
  std::mt19937 random(41);
  fs::create_directories(path("logs"));
  for (int f = 0; f < 10; ++f)
    kadrum::testing::write_file(path("logs/s" + std::to_string(f) + ".txt"),
                                "Kopf\n" + lines(f * 100 + 1, f * 100 + 100));
  for (int trial = 0; trial < (sqlite ? 15 : 6); ++trial) {
    const pid_t pid = start({"--resume", "--", "logs/s?.txt"});
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (sqlite ? 80000 : 300000)));
    kill(pid, SIGKILL);
    wait_for(pid);
  }
  const Outcome r = run_after_kill({"--resume", "--", "logs/s?.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(stored(), range(1, 1000));
}

INSTANTIATE_TEST_SUITE_P(Engines, ResumeTest, ::testing::ValuesIn(kadrum::testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
