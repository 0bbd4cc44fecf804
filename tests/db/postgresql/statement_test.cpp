#include "db/postgresql/statement.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kadrum::postgresql {
namespace {

bool refused(std::string_view sql) {
  try {
    check_single_statement(sql);
  } catch (const Error&) {
    return true;
  }
  return false;
}

TEST(PostgresStatement, TextAfterTheFirstStatementIsRefusedUnlessQuotedOrComment) {
  const std::pair<const char*, bool> cases[] = {
      {" create table t ( W1 double precision )\r\n", false},
      {" drop table t;\r\n", false},
      {"select 1; ; -- the end\n /* ; */", false},
      {"select ';', \"a;b\", 'it''s; fine'", false},
      {"select $$;$$, $tag$ $$; $tag$", false},
      {"select E'\\'; still inside'", false},
      {"select t$1; from x", true},  // "$1" inside a name opens no quote
      {"select $1; drop table y", true},
      {"select 1 /* nested /* ; */ ; */", false},
      {"select 1 /* nested /* ; */ */; drop table y", true},
      {" drop table t; drop table u\r\n", true},
      {"SELECT * FROM t;drop table u", true},
      {"select 'it''s'; x", true},
      {"select e'\\\\'; x", true},      // the backslash is escaped itself
      {"select Fe'a'; x", true},        // not an E'' string: "Fe" is a name
      {"select 'open; x", false},        // never closes: the server says why
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(refused(sql), expected) << sql;
}

TEST(PostgresStatement, NameWithABlankOpensAsAQuotedIdentifier) {
  const std::pair<const char*, const char*> cases[] = {
      {"Messwerte", "Messwerte"},
      {"my data", "\"my data\""},
      {"a.b c", "a.\"b c\""},
      {"x y;z", "\"x y\";z"},
      {"say \"hi\" now", "\"say \"\"hi\"\" now\""},
      {"\"my data\"", "\"my data\""},
      {"[my data]", "[my data]"},
  };
  for (const auto& [name, form] : cases) EXPECT_EQ(open_form(name), form) << name;
}

}  // namespace
}  // namespace kadrum::postgresql
