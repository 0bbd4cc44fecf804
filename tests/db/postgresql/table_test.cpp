#include "db/postgresql/table.h"

#include <gtest/gtest.h>

namespace kadrum::postgresql {
namespace {

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
