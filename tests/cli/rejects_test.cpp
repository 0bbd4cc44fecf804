// kadrum-cli's --rejects, run as a process against every test engine: a bad
// line goes to kadrum_rejects with its number, place, text and reason, the
// run goes on, and the exit status and summary say so.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/cli_process.h"
#include "support/test_engines.h"
#include "support/wait_until.h"

namespace {

using kadrum::testing::kPatience;
using kadrum::testing::Outcome;
using kadrum::testing::Rows;
using kadrum::testing::slurp;
using kadrum::testing::TempFolder;
using kadrum::testing::TestEngine;
using kadrum::testing::wait_until;

// A header, good lines, a value the conversion refuses (with a byte that
// is no UTF-8), a value the table's CHECK refuses, and a CR LF line end.
const std::string kFile =
    "Kopf\n"
    "1 2 3\n"
    "1 2 4.5.6 \xFF\n"
    "1 2 5\r\n"
    "1 2 -7\n"
    "1 2 8\n";

class RejectsTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    db_ = GetParam().make(folder_);
    db_->exec("CREATE TABLE t (yr double precision, jday double precision, "
              "sval double precision CHECK (sval >= 0))");
    kadrum::testing::write_file(folder_.file("d.txt"), kFile);
  }

  pid_t start(std::vector<std::string> args) {
    args.insert(args.begin(), {"DB=" + db_->data_source(), "RT=t", "IN=3", "--decimal=."});
    kadrum::testing::ProcessStreams streams;
    streams.output = folder_.file("stdout.txt");
    streams.error = folder_.file("stderr.txt");
    return kadrum::testing::start_process(KADRUM_CLI, args, folder_.path(), streams);
  }
  Outcome wait_for(pid_t pid) {
    const int status = kadrum::testing::exit_status_of(pid);
    return {status, slurp(folder_.file("stdout.txt")), slurp(folder_.file("stderr.txt"))};
  }
  Outcome run(const std::vector<std::string>& args) { return wait_for(start(args)); }

  std::vector<std::string> svals() {
    std::vector<std::string> values;
    for (const auto& row : db_->numbers("t", "sval")) values.push_back(row[0]);
    return values;
  }
  Rows rejects() {
    return db_->rows("SELECT target_table, line_number, byte_offset, line_text, reason "
                     "FROM kadrum_rejects ORDER BY line_number, saved_at_utc");
  }

  TempFolder folder_;
  std::unique_ptr<kadrum::testing::TestDatabase> db_;
};

// Fault caught: a refused line ended the run (exit 1) and every later line
// was lost; a reject kept the wrong line number or offset, or lost its text.
TEST_P(RejectsTest, BadLinesAreKeptAsideWithTheirPlaceAndTheRunGoesOn) {
  if (GetParam().name == "OdbcSQLite") {
    // Its driver reports every failure under HY000: a refused row cannot be
    // told from a locked database, and ends the run as without rejects.
    const Outcome r = run({"FN=d.txt", "--rejects"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(svals(), (std::vector<std::string>{"3", "5"}));
    EXPECT_EQ(rejects().size(), 1u);
    return;
  }
  for (const std::string mode : {"", "--resume", "--single-transaction"}) {
    db_->exec("DELETE FROM t");
    if (!mode.empty()) db_->exec("DELETE FROM kadrum_rejects");
    std::vector<std::string> args{"FN=d.txt", "--rejects"};
    if (!mode.empty()) args.push_back(mode);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 3) << mode << ": " << r.err;
    EXPECT_EQ(svals(), (std::vector<std::string>{"3", "5", "8"})) << mode;
    const Rows kept = rejects();
    ASSERT_EQ(kept.size(), 2u) << mode;
    EXPECT_EQ(kept[0][0], "t");
    EXPECT_EQ(kept[0][1], "3");
    EXPECT_EQ(kept[0][2], "11");
    EXPECT_EQ(kept[0][3], "1 2 4.5.6 \xEF\xBF\xBD");
    EXPECT_EQ(kept[0][4], "'4.5.6' ist kein gültiger Fließkommawert für Feld 'sval'");
    EXPECT_EQ(kept[1][1], "5");
    EXPECT_EQ(kept[1][2], "30");
    EXPECT_EQ(kept[1][3], "1 2 -7");
    // As shown on standard error, where it stands behind the file and line.
    const std::regex shown(
        "d\\.txt:3: '4\\.5\\.6' ist kein gültiger Fließkommawert für Feld 'sval'\n"
        "d\\.txt:5: (.+)\n"
        "3 Datensätze in [0-9.]+ s (gemeinsam in einer Transaktion )?gespeichert, 2 Zeilen "
        "abgewiesen \\(kadrum_rejects\\)\n");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(r.err, parts, shown)) << mode << ": " << r.err;
    EXPECT_EQ(parts[1].str(), kept[1][4]);
  }
  // The checkpoint passed both rejects: a second run keeps nothing twice.
  const Outcome again = run({"FN=d.txt", "--rejects", "--resume"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(rejects().size(), 2u);
}

// Fault caught: in one transaction a row the database refused in a bulk
// send (a COPY, a parameter array) took the rows of its block with it, or
// was named by the wrong line.
TEST_P(RejectsTest, OneTransactionFindsTheRefusedRowOfABlockAndStoresTheOthers) {
  if (GetParam().name == "OdbcSQLite") GTEST_SKIP() << "its driver reports no SQLSTATE";
  std::string text = "Kopf\n";
  std::vector<std::string> good;
  // Refused rows in the first block, in a later one and beyond the first
  // savepoint's records, which stay stored: the long lines fill the 16 MB
  // that one savepoint covers at most before line 25900. Line 2000, which
  // is no number, is rejected before the database sees it: its reject
  // stays when the records around it go again.
  const auto refused = [](int i) { return i == 1000 || i == 4000 || i == 25900; };
  const std::string padding(700, 'x');
  for (int i = 1; i <= 26000; ++i) {
    const std::string value = i == 2000 ? "4.5.6" : std::to_string(refused(i) ? -i : i);
    text += "1 2 " + value + " " + padding + "\n";
    if (!refused(i) && i != 2000) good.push_back(std::to_string(i));
  }
  kadrum::testing::write_file(folder_.file("big.txt"), text);
  const Outcome r = run({"FN=big.txt", "--rejects", "--single-transaction"});
  EXPECT_EQ(r.status, 3) << r.err;
  std::vector<std::string> stored = svals();
  std::sort(stored.begin(), stored.end(),
            [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });
  EXPECT_EQ(stored, good);
  Rows lines = db_->rows("SELECT line_number FROM kadrum_rejects ORDER BY line_number");
  EXPECT_EQ(lines, (Rows{{"1001"}, {"2001"}, {"4001"}, {"25901"}}));
}

// Fault caught: under --resume, records that commit many to a transaction
// lost the good records before a bad line in the same group, stored them
// twice when the group was read again, or named the wrong line.
TEST_P(RejectsTest, ResumeGroupKeepsTheRecordsBeforeABadLine) {
  if (GetParam().name == "OdbcSQLite") GTEST_SKIP() << "its driver reports no SQLSTATE";
  // A value the conversion refuses, and one the table refuses (which some
  // engines report only when the group is sent or committed).
  for (const std::string bad : {"4.5.6", "-1"}) {
    db_->exec("DELETE FROM t");
    if (bad == "-1") db_->exec("DELETE FROM kadrum_checkpoints");
    std::string text = "Kopf\n";
    for (int i = 1; i <= 3000; ++i) text += "1 2 " + (i == 2000 ? bad : std::to_string(i)) + "\n";
    kadrum::testing::write_file(folder_.file("g.txt"), text);
    const Outcome failed = run({"FN=g.txt", "--resume"});
    EXPECT_EQ(failed.status, 1) << bad;
    EXPECT_NE(failed.err.find("g.txt:2001: "), std::string::npos) << bad << ": " << failed.err;
    std::vector<std::string> stored = svals();
    ASSERT_EQ(stored.size(), 1999u) << bad;
    EXPECT_EQ(stored.back(), "1999");
    EXPECT_EQ(db_->rows("SELECT line_number, records FROM kadrum_checkpoints"),
              (Rows{{"2000", "1999"}}));
    const Outcome rest = run({"FN=g.txt", "--resume", "--rejects"});
    EXPECT_EQ(rest.status, 3) << rest.err;
    stored = svals();
    ASSERT_EQ(stored.size(), 2999u) << bad;
    EXPECT_EQ(stored[1998], "1999");
    EXPECT_EQ(stored[1999], "2001");
  }
  EXPECT_EQ(db_->rows("SELECT line_number FROM kadrum_rejects"), (Rows{{"2001"}, {"2001"}}));
}

// Fault caught: --max-errors counted per file, or let the run end well.
TEST_P(RejectsTest, MaxErrorsEndsTheRunAtTheNextBadLineAsWithoutRejects) {
  const Outcome r = run({"FN=d.txt", "--rejects", "--max-errors=1", "--json"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("d\\.txt:3: '4\\.5\\.6' [^\n]+\nd\\.txt:5: [^\n]+\n")))
      << r.err;
  EXPECT_EQ(svals(), (std::vector<std::string>{"3", "5"}));
  EXPECT_EQ(rejects().size(), 1u);
  // In one transaction nothing stays, neither records nor rejects.
  db_->exec("DELETE FROM t");
  db_->exec("DELETE FROM kadrum_rejects");
  const Outcome all = run({"FN=d.txt", "--rejects", "--max-errors=1", "--single-transaction"});
  EXPECT_EQ(all.status, 1) << all.err;
  EXPECT_NE(all.err.find("d.txt:5: "), std::string::npos) << all.err;
  EXPECT_EQ(svals(), std::vector<std::string>{});
  EXPECT_EQ(rejects().size(), 0u);
  // --json on a failure: the numbers and the message as shown.
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("\\{\"records\": 2, \"rejected\": 1, \"seconds\": [0-9.]+, \"exit\": 1, "
                        "\"message\": \"d\\.txt:5: .+\", \"files\": \\[\\{\"path\": "
                        "\"d\\.txt\", \"records\": 2, \"rejected\": 1, \"first_line\": 2, "
                        "\"last_line\": 5\\}\\]\\}\n")))
      << r.out;
}

INSTANTIATE_TEST_SUITE_P(Engines, RejectsTest, ::testing::ValuesIn(kadrum::testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

class RejectsSqliteTest : public RejectsTest {};

// Fault caught: --json and --quiet said nothing or too much; a clean run
// exited 3, or one with rejects exited 0.
TEST_P(RejectsSqliteTest, JsonAndQuietTellTheOutcomeWithoutGermanText) {
  kadrum::testing::write_file(folder_.file("good.txt"), "Kopf\n1 2 3\n1 2 4\n");
  Outcome r = run({"FN=good.txt", "--rejects", "-q", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("\\{\"records\": 2, \"rejected\": 0, \"seconds\": [0-9.]+, \"exit\": 0, "
                        "\"message\": null, \"files\": \\[\\{\"path\": \"good\\.txt\", "
                        "\"records\": 2, \"rejected\": 0, \"first_line\": 2, "
                        "\"last_line\": 3\\}\\]\\}\n")))
      << r.out;
  // Rejects are still told by their count.
  r = run({"FN=d.txt", "--rejects", "--quiet"});
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("3 Datensätze in [0-9.]+ s gespeichert, 2 Zeilen abgewiesen "
                        "\\(kadrum_rejects\\)\n")))
      << r.err;
}

// Fault caught: beyond ten rejects standard error filled with them, or
// their count was wrong.
TEST_P(RejectsSqliteTest, TenRejectsAreShownThenHowManyMore) {
  std::string text = "Kopf\n";
  for (int i = 0; i < 13; ++i) text += "1 2 1.2.3\n1 2 4\n";
  kadrum::testing::write_file(folder_.file("many.txt"), text);
  const Outcome r = run({"FN=many.txt", "--rejects"});
  EXPECT_EQ(r.status, 3);
  std::string expected;
  for (int i = 0; i < 10; ++i)
    expected += "many.txt:" + std::to_string(2 + 2 * i) +
                ": '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'\n";
  expected += "... und 3 weitere Zeilen, abgewiesen in kadrum_rejects\n";
  EXPECT_TRUE(r.err.starts_with(expected)) << r.err;
  EXPECT_NE(r.err.find("13 Datensätze in "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(", 13 Zeilen abgewiesen"), std::string::npos) << r.err;
  EXPECT_EQ(db_->value("SELECT count(*) FROM kadrum_rejects"), "13");
}

// Fault caught: a line beyond the length limit ended the run; its start
// was lost, or the lines after it were read from its middle.
TEST_P(RejectsSqliteTest, OverlongLineKeepsItsStartAndTheNextLineIsStored) {
  const std::size_t limit = 64 * 1024 * 1024;
  {
    std::ofstream out(folder_.file("long.txt"), std::ios::binary);
    out << "Kopf\n1 2 3\n";
    const std::string block(1024 * 1024, '7');
    for (std::size_t n = 0; n <= limit / block.size(); ++n) out << block;
    out << "\n1 2 4\n";
  }
  const Outcome r = run({"FN=long.txt", "--rejects"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(svals(), (std::vector<std::string>{"3", "4"}));
  const Rows kept = rejects();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0][1], "3");
  EXPECT_EQ(kept[0][2], "11");
  EXPECT_EQ(kept[0][3], std::string(3994, '7') + " […]");
  EXPECT_EQ(kept[0][4], "Zeile 3 der Textdatei ist länger als 64 MiB.");
}

// Fault caught: the follower stopped at a bad line, or SIGTERM after
// rejects exited 0.
TEST_P(RejectsSqliteTest, FollowRejectsABadLineAndGoesOn) {
  kadrum::testing::write_file(folder_.file("log.txt"), "Kopf\n1 2 3\n");
  const pid_t pid = start({"FN=log.txt", "--follow", "--rejects"});
  wait_until([&] { return svals().size() == 1; }, kPatience);
  std::ofstream(folder_.file("log.txt"), std::ios::app) << "1 2 x.1.2\n1 2 4\n";
  wait_until([&] { return svals().size() == 2; }, kPatience);
  kill(pid, SIGTERM);
  const Outcome r = wait_for(pid);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(rejects().size(), 1u);
  EXPECT_NE(r.err.find("log.txt:3: '.1.2' ist kein"), std::string::npos) << r.err;
}

// Fault caught: options that cannot work together were taken silently.
TEST_P(RejectsSqliteTest, OptionsThatDoNotMixAreUsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"FN=d.txt", "--max-errors=3"},
        {"FN=d.txt", "--rejects", "--max-errors=x"},
        {"FN=d.txt", "--rejects", "--dry-run"},
        {"FN=d.txt", "--json", "--dry-run"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_TRUE(r.err.starts_with("kadrum-cli: ")) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RejectsSqliteTest,
                         ::testing::Values(kadrum::testing::test_engines().front()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
