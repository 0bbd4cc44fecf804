#include "db/sql_scan.h"

#include <gtest/gtest.h>

#include "base/messages.h"
#include "db/parameter_markers.h"
#include "support/message_of.h"

namespace kadrum {
namespace {

struct Dialect {
  const char* name;
  const SqlDialect& sql;
};
const Dialect dialects[] = {
    {"SQLite", sqlite_sql}, {"PostgreSQL", postgresql_sql}, {"MySQL", mysql_sql},
    {"standard", standard_sql}};

// '1': one statement, '2': a second one refused, '0': none.
char outcome(std::string_view sql, const SqlDialect& dialect) {
  const std::string message = testing::message_of([&] { check_single_statement(sql, dialect); });
  if (message == "(no error)") return '1';
  if (message == messages::second_statement) return '2';
  return message == messages::no_statement ? '0' : '?';
}

TEST(SqlScan, OneStatementAsEveryDialectReadsIt) {
  // Expected outcomes in the order of "dialects".
  const std::pair<const char*, const char*> cases[] = {
      {" create table t ( W1 double precision )\r\n", "1111"},
      {" drop table t;\r\n", "1111"},
      {"select 1; ; -- the end\n /* ; */", "1111"},
      {"select 1 -- note; drop table y", "1111"},
      {"select 1;--x", "1121"},  // MySQL: "--" opens a comment only before a blank
      {"select 1; # note", "2212"},
      {"select 1 # x; drop table t", "2212"},
      {"select ';', \"a;b\", 'it''s; fine'", "1111"},
      // Standard strings: one string "a\';DROP TABLE t;-- ". With backslash
      // escapes: the string "a'", then a second statement.
      {"SELECT 'a\\'';DROP TABLE t;-- '", "1121"},
      {"select \"a\\\";drop table t;\"", "2212"},
      {"select Fe'a\\'; x'", "2212"},  // "Fe" is a name: no E'' string
      {"select E'\\'; still inside'", "2112"},
      {"select e'\\\\'; x", "2222"},  // the backslash is escaped itself
      {"select $$;$$, $tag$ $$; $tag$", "2122"},
      {"select t$1; from x", "2222"},  // "$1" inside a name opens no quote
      {"select $1; drop table y", "2222"},
      {"select 1 /* nested /* ; */ ; */", "2122"},
      {"select 1 /* nested /* ; */ */; drop table y", "2222"},
      {"select [a;b]", "1222"},
      {"select `a;b`", "1212"},
      {"select 1; /*!50000 drop table t */", "1121"},  // MySQL runs it
      {" drop table t; drop table u\r\n", "2222"},
      {"; select 1", "2222"},
      {"select 'it''s'; x", "2222"},
      {"select 'open; x", "1111"},  // never closes: the server says why
      {"", "0000"},
      {" ; -- x\n/* y */", "0000"},
  };
  for (const auto& [sql, expected] : cases)
    for (std::size_t d = 0; d < std::size(dialects); ++d)
      EXPECT_EQ(outcome(sql, dialects[d].sql), expected[d]) << dialects[d].name << ": " << sql;
}

TEST(ParameterMarkers, ColonsOutsideQuotesAndCommentsBecomeMarkers) {
  struct Case {
    const char* statement;
    const SqlDialect& dialect;
    const char* text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {" drop table t:1\r\n", neutral_sql, " drop table t?\r\n", {"1"}},
      {"a:x,b:y)c:z;d:w e", neutral_sql, "a?,b?)c?;d? e", {"x", "y", "z", "w"}},
      {"a:x\nb:y\rc", neutral_sql, "a?\nb?\rc", {"x", "y"}},
      {"a::b", neutral_sql, "a::b", {}},
      {"a:::b", neutral_sql, "a::?", {"b"}},
      {"'x:1' \"y:2\" `z:3`", neutral_sql, "'x:1' \"y:2\" `z:3`", {}},
      {"'open:1", neutral_sql, "'open:1", {}},
      {":\"a b\" :'c' :`d`", neutral_sql, "? ? ?", {"a b", "c", "d"}},
      {"x :\"unclosed tail", neutral_sql, "x ?", {"unclosed tail"}},
      {"end:", neutral_sql, "end?", {""}},
      {"", neutral_sql, "", {}},
      {"-- :x\n/* :y */ :z", standard_sql, "-- :x\n/* :y */ ?", {"z"}},
      {"[a:b] :c", sqlite_sql, "[a:b] ?", {"c"}},
      {"'\\':x' :y", mysql_sql, "'\\':x' ?", {"y"}},
      {"$$:x$$ # :y", postgresql_sql, "$$:x$$ # ?", {"y"}},
  };
  for (const auto& c : cases) {
    const MarkedStatement marked = scan_parameter_markers(c.statement, c.dialect);
    EXPECT_EQ(marked.text, c.text) << c.statement;
    EXPECT_EQ(marked.names, c.names) << c.statement;
  }
}

}  // namespace
}  // namespace kadrum
