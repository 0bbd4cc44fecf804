// kadrum-cli's --resume, --follow and many files, run as a process against
// every test engine: each data line is stored exactly once, in file order,
// whatever happened to earlier runs.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_process.h"
#include "support/test_engines.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using kadrum::testing::Rows;
using kadrum::testing::TempFolder;
using kadrum::testing::TestEngine;
using kadrum::testing::wait_until;

// How long a test waits for kadrum-cli before it goes on and fails.
constexpr std::chrono::seconds kPatience{10};

struct Outcome {
  int status = -1;
  std::string err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

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
    streams.error = path("stderr.txt");
    return kadrum::testing::start_process(KADRUM_CLI, args, folder_.path(), streams);
  }
  Outcome wait_for(pid_t pid) {
    const int status = kadrum::testing::exit_status_of(pid);
    return {status, slurp(path("stderr.txt"))};
  }
  Outcome run(const std::vector<std::string>& args) { return wait_for(start(args)); }

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
  const Outcome r = run({"--resume", "FN=d.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(stored(), range(1, last));
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

INSTANTIATE_TEST_SUITE_P(Engines, ResumeTest, ::testing::ValuesIn(kadrum::testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
