#include "db/parameter_markers.h"

#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/query.h"
#include "db/sqlite/table.h"

namespace kadrum {
namespace {

TEST(QueryText, EveryLineEndsInCrLfAndEmptyListGivesEmptyText) {
  Connection connection;
  Query qry(connection);
  EXPECT_EQ(qry.text(), "");
  qry.add(" drop table t:1");
  EXPECT_EQ(qry.text(), " drop table t:1\r\n");
  EXPECT_EQ(qry.command_text(), " drop table t?\r\n");
  EXPECT_EQ(qry.parameters(), std::vector<std::string>{"1"});
  qry.add("x");
  EXPECT_EQ(qry.text(), " drop table t:1\r\nx\r\n");
  qry.clear();
  EXPECT_EQ(qry.text(), "");
  EXPECT_EQ(qry.command_text(), "");
  EXPECT_TRUE(qry.parameters().empty());
  EXPECT_FALSE(connection.is_open());
}

TEST(OpenForm, BlankNamesGetBracketsAtTheirFirstDotAndSemicolon) {
  struct Case {
    const char* name;
    const char* form;
  };
  const Case cases[] = {
      {"my data", "[my data]"},  {"a.b c", "a.[b c]"},     {"x y;z", "[x y];z"},
      {"a.b c;d;e", "a.[b c];d;e"}, {"a.b.c d", "a.[b.c d]"}, {"[my data]", "[my data]"},
      {"[a] b", "[a] b"},        {"t:1", "t:1"},           {"plain", "plain"},
      {"x;y", "x;y"},            {" ", "[ ]"},             {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(sqlite::open_form(c.name), c.form) << c.name;
}

}  // namespace
}  // namespace kadrum
