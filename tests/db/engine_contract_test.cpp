// What every engine promises behind the Engine interface, run against each
// engine there is a test database for: SQLite always, the servers' engines
// when their test servers run.
#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "base/error.h"
#include "db/connection_string.h"
#include "db/engine.h"
#include "support/message_of.h"
#include "support/test_engines.h"

namespace kadrum {
namespace {

using testing::message_of;
using testing::Rows;
using testing::TestEngine;

class EngineContract : public ::testing::TestWithParam<TestEngine> {
 protected:
  std::unique_ptr<Engine> connect() {
    return open_engine(build_connection_string(database->data_source()));
  }

  testing::TempFolder folder;
  std::unique_ptr<testing::TestDatabase> database = GetParam().make(folder);
  std::unique_ptr<Engine> engine = connect();
};

TEST_P(EngineContract, SecondStatementIsRefusedBeforeAnythingRuns) {
  database->exec("CREATE TABLE keep (a float)");
  const std::string refusal =
      "Nach der ersten Anweisung folgt weiterer Text; ein Befehl darf nur eine Anweisung "
      "enthalten";
  EXPECT_EQ(message_of([&] { engine->execute("create table a (x int); drop table keep", 0); }),
            refusal);
  EXPECT_EQ(message_of([&] { engine->prepare_command("delete from keep; drop table keep"); }),
            refusal);
  EXPECT_EQ(message_of([&] { engine->open_table("keep; drop table keep"); }), refusal);
  // A comment after the statement is no second one.
  engine->execute("insert into keep values (1); -- one row", 0);
  EXPECT_EQ(database->rows("SELECT count(*) FROM keep"), (Rows{{"1"}}));
}

// Values go as bound parameters, quotes and backslashes as they are; a
// statement that must change one row fails when it changes none, also
// inside a short transaction, which then commits nothing.
TEST_P(EngineContract, PreparedStatementsBindValuesAndChangeExactlyOneRow) {
  database->exec("CREATE TABLE c (k varchar(40), n bigint)");
  const std::string key = "a\\'\";--";
  const StatementValue row[] = {key, std::int64_t{1}};
  engine->prepare_command("insert into c (k, n) values (:k, :n)")->run(row);
  const StatementValue k[] = {key};
  EXPECT_EQ(engine->prepare_command("select n from c where k = :k")->rows(k), (Rows{{"1"}}));
  const auto update =
      engine->prepare_command("update c set n = :new where k = :k and n = :old", "verschoben");
  const StatementValue step[] = {std::int64_t{2}, key, std::int64_t{1}};
  update->run(step);
  EXPECT_EQ(message_of([&] { update->run(step); }), "verschoben");
  engine->begin_short();
  const StatementValue stale[] = {std::int64_t{3}, key, std::int64_t{1}};
  EXPECT_EQ(message_of([&] {
              update->run(stale);
              engine->commit();
            }),
            "verschoben");
  engine->rollback();
  EXPECT_EQ(database->rows("SELECT n FROM c"), (Rows{{"2"}}));
}

TEST_P(EngineContract, TransactionsCommitAllOrNothing) {
  database->exec("CREATE TABLE t (a float)");
  engine->begin();
  engine->execute("insert into t values (1)", 0);
  engine->rollback();
  engine->begin();
  engine->execute("insert into t values (2)", 0);
  engine->commit();
  EXPECT_EQ(database->numbers("t"), (Rows{{"2"}}));
}

TEST_P(EngineContract, RecreateReplacesTheTableWithAnEmptyOneOfThreeColumns) {
  database->exec("CREATE TABLE r (x float)");
  database->exec("INSERT INTO r VALUES (1)");
  using namespace std::string_view_literals;
  for (const bool inside : {false, true}) {
    if (inside) engine->begin();
    engine->recreate_table("r", {"W1"sv, "W2"sv, "W3"sv}, inside,
                           [&](const std::string& line) { engine->execute(line, 0); });
    if (inside) engine->commit();
    EXPECT_EQ(engine->open_table("r")->fields().size(), 3u);
    EXPECT_EQ(database->rows("SELECT count(*) FROM r"), (Rows{{"0"}}));
  }
}

TEST_P(EngineContract, LockKeepsASecondConnectionOutUntilItEnds) {
  const std::unique_ptr<Engine> other = connect();
  std::unique_ptr<EngineLock> lock = engine->try_lock("resume\nt\n/data/a.txt");
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(other->try_lock("resume\nt\n/data/a.txt"), nullptr);
  EXPECT_NE(other->try_lock("resume\nt\n/data/b.txt"), nullptr);
  lock.reset();
  EXPECT_NE(other->try_lock("resume\nt\n/data/a.txt"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineContract,
                         ::testing::ValuesIn(testing::test_engines()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kadrum
