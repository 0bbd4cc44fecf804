#include "db/parameter_markers.h"

#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/query.h"
#include "db/sqlite/statement.h"

namespace kadrum {
namespace {

TEST(ParameterMarkers, ColonsOutsideQuotesBecomeQuestionMarks) {
  struct Case {
    const char* statement;
    const char* text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {" drop table t:1\r\n", " drop table t?\r\n", {"1"}},
      {" create table t:1 ( W1 double )\r\n", " create table t? ( W1 double )\r\n", {"1"}},
      {"a:x,b:y)c:z;d:w e", "a?,b?)c?;d? e", {"x", "y", "z", "w"}},
      {"a:x\nb:y\rc", "a?\nb?\rc", {"x", "y"}},
      {"a::b", "a::b", {}},
      {"a:::b", "a::?", {"b"}},
      {"'x:1' \"y:2\" `z:3`", "'x:1' \"y:2\" `z:3`", {}},
      {"'open:1", "'open:1", {}},
      {":\"a b\" :'c' :`d`", "? ? ?", {"a b", "c", "d"}},
      {"x :\"unclosed tail", "x ?", {"unclosed tail"}},
      {"end:", "end?", {""}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const MarkedStatement marked = scan_parameter_markers(c.statement);
    EXPECT_EQ(marked.text, c.text) << c.statement;
    EXPECT_EQ(marked.names, c.names) << c.statement;
  }
}

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
