#include "db/connection_string.h"

#include <gtest/gtest.h>

#include "actions/db_connect.h"

namespace kadrum {
namespace {

TEST(ConnectionString, ReadsBackAsItsEighteenSettings) {
  const auto settings = parse_connection_string(build_connection_string("/d/a b.db"));
  const std::vector<ConnectionSetting> expected = {
      {"Provider", "Microsoft.Jet.OLEDB.4.0"},
      {"User ID", "Admin"},
      {"Data Source", "/d/a b.db "},
      {"Mode", "Share Deny None"},
      {"Jet OLEDB:System database", ""},
      {"Jet OLEDB:Registry Path", ""},
      {"Jet OLEDB:Database Password", ""},
      {"Jet OLEDB:Engine Type", "4"},
      {"Jet OLEDB:Database Locking Mode", "0"},
      {"Jet OLEDB:Global Partial Bulk Ops", "2"},
      {"Jet OLEDB:Global Bulk Transactions", "1"},
      {"Extended Properties", ""},
      {"Jet OLEDB:New Database Password", ""},
      {"Jet OLEDB:Create System Database", "False"},
      {"Jet OLEDB:Encrypt Database", "False"},
      {"Jet OLEDB:Don't Copy Locale on Compact", "False"},
      {"Jet OLEDB:Compact Without Replica Repair", "False"},
      {"Jet OLEDB:SFP", "False"},
  };
  EXPECT_EQ(settings, expected);
}

TEST(ConnectionString, EveryPathReadsBackAsItsDataSource) {
  struct Case {
    const char* path;
    const char* value;  // as it stands in the string
  };
  const Case cases[] = {
      {"/d/a b.db", "/d/a b.db "},
      {"a\"b'c.db", "a\"b'c.db "},
      {"a;b.db", "\"a;b.db \""},
      {"\"q.db", "\"\"\"q.db \""},
      {"'q.db", "\"'q.db \""},
      {"x\";Mode=1", "\"x\"\";Mode=1 \""},
  };
  for (const auto& c : cases) {
    const std::string text = build_connection_string(c.path);
    EXPECT_NE(text.find("Data Source=" + std::string(c.value) + ";Mode="), std::string::npos)
        << c.path;
    EXPECT_EQ(connection_setting(text, "Data Source"), std::string(c.path) + " ") << c.path;
    EXPECT_EQ(parse_connection_string(text).size(), 18u) << c.path;
  }
}

TEST(ConnectionStringParser, QuotesKeysAndSeparatorsAreHandled) {
  struct Case {
    const char* text;
    const char* key;
    const char* expected;  // nullptr: no such setting
  };
  const Case cases[] = {
      {"Data Source=x;", "data source", "x"},
      {"DATA SOURCE=x", "Data Source", "x"},
      {"  Data Source  =x", "Data Source", "x"},
      {"Data Source= x ", "Data Source", " x "},
      {"Data Source=\"a;b\";Mode=1", "Data Source", "a;b"},
      {"Data Source='a;b';Mode=1", "Mode", "1"},
      {"Data Source=\"say \"\"hi\"\"\"", "Data Source", "say \"hi\""},
      {"Data Source='it''s'", "Data Source", "it's"},
      {"Data Source=\"unclosed;Mode=1", "Data Source", "unclosed;Mode=1"},
      {"Data Source=a;Data Source=b", "Data Source", "b"},
      {"junk;;Data Source=a=b", "Data Source", "a=b"},
      {"Data Source=", "Data Source", ""},
      {"Mode=1", "Data Source", nullptr},
      {"", "Data Source", nullptr},
  };
  for (const auto& c : cases) {
    const auto found = connection_setting(c.text, c.key);
    if (c.expected) {
      ASSERT_TRUE(found.has_value()) << c.text;
      EXPECT_EQ(*found, c.expected) << c.text;
    } else {
      EXPECT_FALSE(found.has_value()) << c.text;
    }
  }
}

}  // namespace
}  // namespace kadrum
