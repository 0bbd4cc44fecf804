// The actions against every engine: the same bodies, a fresh database each.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "actions/db_connect.h"
#include "actions/go.h"
#include "actions/record_hand_over.h"
#include "actions/row_append.h"
#include "base/error.h"
#include "db/transaction.h"
#include "support/test_engines.h"
#include "support/message_of.h"
#include "support/wait_until.h"

namespace kadrum {
namespace {

using testing::Rows;
using testing::TempFolder;
using testing::TestEngine;
using testing::wait_until;

// How long a test waits for the other process or thread before it goes on
// and fails.
constexpr std::chrono::seconds kPatience{20};

std::vector<std::string> column_names(const Table& itab) {
  std::vector<std::string> names;
  for (const auto& field : itab.fields()) names.push_back(field.name);
  return names;
}

class EngineTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    settings.database_path = database->data_source();
    settings.table_name = "t";
    settings.recreate = true;
    settings.list_mode = true;
  }

  // Connects to table t made by "create".
  void connect_to(const std::string& create) {
    database->exec(create);
    settings.recreate = false;
    db_connect(settings, db);
  }

  std::string failure_of(const Row& row) {
    return testing::message_of([&] { append_row(db.itab, row, formats); });
  }

  TempFolder folder;
  std::unique_ptr<testing::TestDatabase> database = GetParam().make(folder);
  RunSettings settings;
  DatabaseObjects db;
  LocaleFormats formats;
};

TEST_P(EngineTest, RecreateGivesTheLayoutOfTheCurrentModeAndKeepsNoRow) {
  struct Case {
    bool list_mode;
    bool table_there;
    std::vector<std::string> columns;
  };
  const Case cases[] = {
      {true, false, {"W1", "W2", "W3"}},
      {true, true, {"W1", "W2", "W3"}},
      {false, false, {"yr", "jday", "sval"}},
      {false, true, {"yr", "jday", "sval"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.list_mode) + std::to_string(c.table_there));
    database->exec("DROP TABLE IF EXISTS t");
    if (c.table_there) database->exec("CREATE TABLE t (a text, b text); INSERT INTO t VALUES ('x','y')");
    settings.list_mode = c.list_mode;
    db_connect(settings, db);
    ASSERT_TRUE(db.itab.is_open());
    std::vector<std::string> lower;
    for (const auto& name : column_names(db.itab)) {
      lower.push_back(name);
      for (char& ch : lower.back()) ch = static_cast<char>(std::tolower(ch));
    }
    std::vector<std::string> expected = c.columns;
    for (auto& name : expected)
      for (char& ch : name) ch = static_cast<char>(std::tolower(ch));
    EXPECT_EQ(lower, expected);
    for (const auto& field : db.itab.fields()) EXPECT_EQ(field.kind, FieldKind::floating);
    EXPECT_EQ(database->value("SELECT count(*) FROM t"), "0");
  }
}

TEST_P(EngineTest, WithoutRecreateAnExistingTableOpensUnchecked) {
  connect_to("CREATE TABLE t (name text, n integer)");
  EXPECT_EQ(column_names(db.itab), (std::vector<std::string>{"name", "n"}));
}

TEST_P(EngineTest, SecondConnectReopensAndKeepsRowsUnlessRecreated) {
  db_connect(settings, db);
  database->exec("INSERT INTO t VALUES (1, 2, 3)");
  settings.recreate = false;
  db_connect(settings, db);
  EXPECT_TRUE(db.itab.is_open());
  EXPECT_EQ(database->value("SELECT count(*) FROM t"), "1");

  settings.recreate = true;
  db_connect(settings, db);
  EXPECT_EQ(database->value("SELECT count(*) FROM t"), "0");
}

TEST_P(EngineTest, FailedStepsLeaveTheConnectionOpenAndTheTableClosed) {
  for (const char* name : {"", "missing"}) {
    SCOPED_TRACE(name);
    settings.table_name = name;
    settings.recreate = false;
    EXPECT_THROW(db_connect(settings, db), Error);
    EXPECT_TRUE(db.access_con.is_open());
    EXPECT_FALSE(db.itab.is_open());
    EXPECT_EQ(failure_of({"1", "2", "3"}),
              "itab: Operation bei geschlossener Datenmenge nicht ausführbar");
  }
}

TEST_P(EngineTest, EmptyTextsGiveNullsAndValuesGoByPosition) {
  connect_to("CREATE TABLE t (W1 double precision, W2 double precision, W3 double precision)");
  append_row(db.itab, {"", "", ""}, formats);
  append_row(db.itab, {"12.5", "", ""}, formats);
  append_row(db.itab, {"-03", ".5", "1.5E-03"}, formats);
  EXPECT_EQ(database->numbers("t"), (Rows{{"NULL", "NULL", "NULL"},
                                         {"12.5", "NULL", "NULL"},
                                         {"-3", "0.5", "0.0015"}}));
  EXPECT_FALSE(db.itab.in_insert_state());
}

TEST_P(EngineTest, EachRecordIsVisibleToAnotherProgramOnReturn) {
  db_connect(settings, db);
  for (int i = 1; i <= 20; ++i) {
    const std::string n = std::to_string(i);
    append_row(db.itab, {n, n, n}, formats);
    EXPECT_EQ(database->value("SELECT count(*) FROM t"), n);
  }
}

// The checkpoint statement of --resume: prepared once, run with new values
// each time, and in a short transaction all or nothing with its record,
// whether the engine tells of a refused record at once or at the commit.
TEST_P(EngineTest, PreparedStatementRunsWithNewValuesAndCommitsWithItsRecord) {
  connect_to("CREATE TABLE t (W1 double precision CHECK (W1 > 0), W2 double precision, "
             "W3 double precision); CREATE TABLE n (name varchar(20), amount bigint); "
             "INSERT INTO n VALUES ('a', 0)");
  db.qry.clear();
  db.qry.add("update n set name = :name, amount = :amount where name = :old");
  const std::unique_ptr<EngineStatement> update = db.qry.prepare();
  const auto set = [&](StatementValue name, StatementValue amount, std::string old) {
    const StatementValue values[] = {std::move(name), std::move(amount), std::move(old)};
    update->run(values);
  };
  const auto short_transaction = [&](std::string w1, StatementValue name, std::string old) {
    Transaction transaction(db.access_con.engine(), Transaction::Length::short_one);
    append_row(db.itab, {w1, "2", "3"}, formats);
    set(std::move(name), std::int64_t{7}, std::move(old));
    transaction.commit();
  };
  set(std::string("Maß"), std::int64_t{5'000'000'000}, "a");
  EXPECT_EQ(database->rows("SELECT name, amount FROM n"), (Rows{{"Maß", "5000000000"}}));
  set(std::string("b"), std::monostate{}, "Maß");
  EXPECT_EQ(database->rows("SELECT name, amount FROM n"), (Rows{{"b", "NULL"}}));

  short_transaction("1", std::string("c"), "b");
  EXPECT_FALSE(testing::message_of([&] { short_transaction("-1", std::string("d"), "c"); }).empty());
  EXPECT_EQ(database->rows("SELECT name, amount FROM n"), (Rows{{"c", "7"}}));
  EXPECT_EQ(database->value("SELECT count(*) FROM t"), "1");
  short_transaction("2", std::string("e"), "c");
  EXPECT_EQ(database->rows("SELECT name, amount FROM n"), (Rows{{"e", "7"}}));
  EXPECT_EQ(database->numbers("t", "W1"), (Rows{{"1"}, {"2"}}));
}

TEST_P(EngineTest, TwoColumnTableFailsAtTheThirdValueAfterConverting) {
  connect_to("CREATE TABLE t (a double precision, b double precision)");
  EXPECT_EQ(failure_of({"1", "2", "3"}), "Argument außerhalb des Bereichs");
  EXPECT_EQ(failure_of({"1", "x", "3"}), "'x' ist kein gültiger Fließkommawert für Feld 'b'");
  EXPECT_EQ(database->value("SELECT count(*) FROM t"), "0");
  EXPECT_TRUE(db.itab.is_open());
}

TEST_P(EngineTest, FourthColumnGetsItsDefault) {
  connect_to("CREATE TABLE t (a double precision, b double precision, c double precision, "
             "d double precision DEFAULT 7, e text)");
  append_row(db.itab, {"1", "2", "3"}, formats);
  EXPECT_EQ(database->numbers("t", "a, b, c, d"), (Rows{{"1", "2", "3", "7"}}));
  EXPECT_EQ(database->value("SELECT count(*) FROM t WHERE e IS NULL"), "1");
}

TEST_P(EngineTest, CommaSeparatorRefusesDotAndKeepsEarlierRecords) {
  db_connect(settings, db);
  formats.decimal_separator = ",";
  append_row(db.itab, {"12", "-03", "1,5"}, formats);
  // PostgreSQL folds the unquoted W1 of the create statement to w1.
  EXPECT_EQ(failure_of({"12.5", "1", "2"}),
            "'12.5' ist kein gültiger Fließkommawert für Feld '" + db.itab.fields()[0].name + "'");
  append_row(db.itab, {"1", "2", "3"}, formats);
  EXPECT_EQ(database->numbers("t"), (Rows{{"12", "-3", "1.5"}, {"1", "2", "3"}}));
}

// Counts, across fork, the appends that have returned.
class SharedCounter {
 public:
  SharedCounter() {
    void* memory = mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("mmap failed");
    count_ = new (memory) std::atomic<std::uint64_t>(0);
  }
  SharedCounter(const SharedCounter&) = delete;
  SharedCounter& operator=(const SharedCounter&) = delete;
  ~SharedCounter() { munmap(count_, sizeof *count_); }
  std::atomic<std::uint64_t>& operator*() { return *count_; }

 private:
  std::atomic<std::uint64_t>* count_;
};

// Writes a million numbered lines "i i 7" and points "settings" at them.
void use_numbered_lines(const TempFolder& folder, RunSettings& settings) {
  settings.text_file = folder.file("data.txt");
  std::ofstream out(settings.text_file);
  for (int i = 1; i <= 1000000; ++i) out << i << ' ' << i << " 7\n";
  settings.item_list = {"1", "2", "3"};
  settings.header_lines = "0";
}

// An import in a child process that runs until the test kills it. "run"
// gets the notice to hand to the import, which counts across the fork the
// appends that have returned.
class ChildImport {
 public:
  explicit ChildImport(const std::function<void(const StoredNotice&)>& run) : pid_(fork()) {
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ > 0) return;
    try {
      run([this](std::uint64_t) { (*returned_).fetch_add(1); });
    } catch (...) {
      _exit(2);
    }
    _exit(0);
  }
  std::uint64_t returned() { return (*returned_).load(); }
  // Kills the child and reaps it; true when the kill is what ended it.
  bool killed() {
    kill(pid_, SIGKILL);
    int status = 0;
    return waitpid(pid_, &status, 0) == pid_ && WIFSIGNALED(status);
  }

 private:
  SharedCounter returned_;
  pid_t pid_;
};

std::uint64_t rows_in(testing::TestDatabase& database) {
  try {
    return std::stoull(database.value("SELECT count(*) FROM t"));
  } catch (const std::exception&) {
    return 0;  // the table is not there yet
  }
}

TEST_P(EngineTest, KilledImportLosesNothingThatWasCommittedAndLeavesTheDatabaseSound) {
  use_numbered_lines(folder, settings);
  ChildImport child([&](const StoredNotice& notice) {
    DatabaseObjects child_db;
    db_connect(settings, child_db);
    AppendingSink sink(child_db.itab, notice);
    go(settings, *open_text_file(settings), sink);
  });
  wait_until([&] { return rows_in(*database) >= 2000; }, kPatience);
  ASSERT_TRUE(child.killed()) << "the import ended before it was killed";
  const std::uint64_t done = child.returned();

  EXPECT_TRUE(database->sound());
  const auto summary = database->rows(
      "SELECT count(*), count(DISTINCT W1), min(W1), max(W1), "
      "sum(CASE WHEN W1 <> W2 OR W3 <> 7 THEN 1 ELSE 0 END) FROM t")[0];
  const std::uint64_t present = std::stoull(summary[0]);
  EXPECT_GE(present, done);
  EXPECT_LE(present, done + 1);
  EXPECT_GE(present, 2000u);
  // A gap-free prefix of the file: 1, 2, ..., present, each once.
  EXPECT_EQ(summary[1], summary[0]);
  EXPECT_EQ(std::stod(summary[2]), 1.0);
  EXPECT_EQ(std::stod(summary[3]), static_cast<double>(present));
  EXPECT_EQ(summary[4], "0");
}

TEST_P(EngineTest, OneTransactionKeepsTheTableAsItWasWhenALineFails) {
  settings.text_file = folder.write("data.txt", "h\n1 2 3\n4 5 6\n7 1..2 9\n");
  settings.item_list = {"1", "2", "3"};
  for (const bool recreate : {true, false}) {
    SCOPED_TRACE(recreate);
    database->exec("DROP TABLE IF EXISTS t");
    database->exec("CREATE TABLE t (W1 double precision, W2 double precision, W3 double precision, "
                   "note text); INSERT INTO t VALUES (9, 9, 9, 'old')");
    settings.recreate = recreate;
    EXPECT_THROW(connect_and_go_in_one_transaction(settings, db, *open_text_file(settings)), Error);
    EXPECT_EQ(database->rows("SELECT note FROM t"), (Rows{{"old"}}));
  }
  // The same file without its bad line lands whole.
  settings.text_file = folder.write("data.txt", "h\n1 2 3\n4 5 6\n");
  connect_and_go_in_one_transaction(settings, db, *open_text_file(settings));
  EXPECT_EQ(database->numbers("t", "W1, W2, W3"),
            (Rows{{"9", "9", "9"}, {"1", "2", "3"}, {"4", "5", "6"}}));
}

// Fault: with the storing on a second thread, a record the database refused
// was blamed on the line being read meanwhile, or hidden by a later failure
// of the reading side. Fault: ODBC, sending records in arrays, blamed the
// record whose store sent the array, or found a refusal among the last
// records only at the commit, after a failure of the reading side.
TEST_P(EngineTest, OneTransactionReportsTheEarliestFailureOfEitherSideAtItsLine) {
  struct Case {
    std::uint64_t refused, bad_text, line;  // 0: none
  };
  // Blocks hold 512 records: line 700 is in the middle of the second. ODBC
  // sends 2,000 records a call: line 2500 is among the last, sent at the end.
  // SQLite sends 100 records an INSERT: 650 is inside one, 700 ends one,
  // 701 begins the next, 3020 is among the last 50, sent one by one.
  const Case cases[] = {{650, 0, 650},   {700, 2900, 700}, {2900, 650, 650},
                        {0, 1500, 1500}, {2500, 0, 2500},  {2500, 2900, 2500},
                        {701, 0, 701},   {3020, 0, 3020}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.refused) + " " + std::to_string(c.bad_text));
    database->exec("DROP TABLE IF EXISTS t");
    database->exec("CREATE TABLE t (W1 double precision, W2 double precision, "
                   "W3 double precision CHECK (W3 <> 9))");
    std::string text;
    for (std::uint64_t i = 1; i <= 3050; ++i)
      text += std::to_string(i) + (i == c.refused ? " 9\n" : i == c.bad_text ? " 1..2\n" : " 7\n");
    settings.text_file = folder.write("data.txt", text);
    settings.item_list = {"1", "1", "2"};
    settings.header_lines = "0";
    settings.recreate = false;
    ImportProgress progress;
    const std::string message = testing::message_of([&] {
      DatabaseObjects run_db;
      connect_and_go_in_one_transaction(settings, run_db, *open_text_file(settings), &progress);
    });
    // PostgreSQL's COPY learns of a refused record only at its end, after
    // any failure of the reading side.
    if (GetParam().name != "PostgreSQL" || c.refused == 0) {
      EXPECT_EQ(message.find("1..2") == std::string::npos, c.refused == c.line) << message;
      EXPECT_EQ(progress.line, c.line);
      EXPECT_TRUE(progress.in_data_line);
    }
    EXPECT_EQ(database->rows("SELECT count(*) FROM t"), (Rows{{"0"}}));
  }
}

// Serves "1 1 7", "2 2 7", ... one line per read, counting the lines served;
// fails to read after "fail_after" lines when that is not 0.
class CountingSource : public ByteSource {
 public:
  CountingSource(std::uint64_t lines, std::uint64_t fail_after)
      : lines_(lines), fail_after_(fail_after) {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::uint64_t n = served_.load();
    if (n == fail_after_ && n != 0) {
      failed_ = true;
      throw Error("E/A-Fehler 5");
    }
    if (n == lines_) return 0;
    const std::string line = std::to_string(n + 1) + " " + std::to_string(n + 1) + " 7\n";
    if (size < line.size()) throw std::logic_error("a read buffer below one line");
    line.copy(buffer, line.size());
    served_.store(n + 1);
    return line.size();
  }
  std::atomic<std::uint64_t> served_{0};
  std::atomic<bool> failed_{false};

 private:
  std::uint64_t lines_, fail_after_;
};

// Fault: a reading side that failed while the storing side was busy left the
// run waiting, or lost its error behind the records still to store.
TEST_P(EngineTest, OneTransactionReadFailureWhileStoringEndsTheRunWithItsError) {
  settings.item_list = {"1", "2", "3"};
  settings.header_lines = "0";
  database->exec("CREATE TABLE t (old text); INSERT INTO t VALUES ('kept')");
  CountingSource source(100000, 3000);
  ImportProgress progress;
  std::uint64_t stored = 0;
  const std::string message = testing::message_of([&] {
    connect_and_go_in_one_transaction(settings, db, source, &progress, [&](std::uint64_t count) {
      if (count == 1) {
        EXPECT_TRUE(wait_until([&] { return source.failed_.load(); }, kPatience));
      }
      stored = count;
    });
  });
  EXPECT_EQ(message, "E/A-Fehler 5");
  EXPECT_EQ(stored, 3000u);  // every record before the failure was tried
  EXPECT_FALSE(progress.in_data_line);
  EXPECT_EQ(database->rows("SELECT old FROM t"), (Rows{{"kept"}}));
}

// Fault: a slow database let the converted records pile up in memory.
TEST_P(EngineTest, OneTransactionReadsOnlyABoundedWayAheadOfASlowDatabase) {
  settings.item_list = {"1", "2", "3"};
  settings.header_lines = "0";
  constexpr std::uint64_t in_flight = kHandOverBlocks * kHandOverBlockRecords;
  CountingSource source(in_flight + 4 * kHandOverBlockRecords, 0);
  std::uint64_t ahead = 0;
  connect_and_go_in_one_transaction(settings, db, source, nullptr, [&](std::uint64_t count) {
    if (count != 1) return;
    // The first record waits until the reading side has filled every block;
    // then it must not get further.
    EXPECT_TRUE(wait_until([&] { return source.served_.load() >= in_flight; }, kPatience));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ahead = source.served_.load();
  });
  EXPECT_LE(ahead, in_flight + 3);
  EXPECT_EQ(database->rows("SELECT count(*) FROM t"),
            (Rows{{std::to_string(in_flight + 4 * kHandOverBlockRecords)}}));
}

TEST_P(EngineTest, KilledOneTransactionImportLeavesTheOldStateWhichOthersSawThroughout) {
  use_numbered_lines(folder, settings);
  database->exec("CREATE TABLE t (old text); INSERT INTO t VALUES ('kept')");
  ChildImport child([&](const StoredNotice& notice) {
    DatabaseObjects child_db;
    connect_and_go_in_one_transaction(settings, child_db, *open_text_file(settings), nullptr,
                                      notice);
  });
  wait_until([&] { return child.returned() >= 20000; }, kPatience);
  // On PostgreSQL the dropped table stays locked until the end: readers wait
  // instead of seeing the old rows.
  if (GetParam().readers_see_the_old_table) {
    EXPECT_EQ(database->rows("SELECT old FROM t"), (Rows{{"kept"}}));
  }
  ASSERT_TRUE(child.killed()) << "the import ended before it was killed";
  EXPECT_GE(child.returned(), 20000u);
  EXPECT_TRUE(database->sound());
  EXPECT_EQ(database->rows("SELECT old FROM t"), (Rows{{"kept"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest, ::testing::ValuesIn(testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kadrum
