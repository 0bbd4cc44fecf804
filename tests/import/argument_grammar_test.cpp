#include "import/argument_grammar.h"

#include <gtest/gtest.h>

#include <functional>

namespace kadrum {
namespace {

using namespace std::string_literals;  // "x"s: plain literals trip a false -Wrestrict in g++ 12

struct Parsed {
  RunSettings settings;
  ParseOutcome outcome;
};

// Settings as the window holds them before the parse, with multi cleared so
// that a parse which forgets to set it shows.
Parsed parse(const std::vector<std::string>& args) {
  Parsed p;
  p.settings.list_mode = false;
  p.outcome = parse_arguments(args, p.settings);
  return p;
}

// What a parse of no arguments yields: the initial texts, dbname emptied.
Parsed untouched() {
  Parsed p;
  p.settings.database_name.clear();
  return p;
}

// DB= sets dbpath, and the end of the parse shows it in dbname.
void set_dbpath(Parsed& p, std::string path) {
  p.settings.database_name = path;
  p.settings.database_path = std::move(path);
}

void expect_same(const Parsed& actual, const Parsed& expected,
                 const std::string& label) {
  SCOPED_TRACE(label);
  const RunSettings& a = actual.settings;
  const RunSettings& e = expected.settings;
  EXPECT_EQ(a.text_file, e.text_file);
  EXPECT_EQ(a.header_lines, e.header_lines);
  EXPECT_EQ(a.item_number, e.item_number);
  EXPECT_EQ(a.item_list, e.item_list);
  EXPECT_EQ(a.database_name, e.database_name);
  EXPECT_EQ(a.table_name, e.table_name);
  EXPECT_EQ(a.recreate, e.recreate);
  EXPECT_EQ(a.list_mode, e.list_mode);
  EXPECT_EQ(a.database_path, e.database_path);
  EXPECT_EQ(actual.outcome.run, expected.outcome.run);
  EXPECT_EQ(actual.outcome.stay_open, expected.outcome.stay_open);
}

struct Case {
  std::vector<std::string> args;
  std::function<void(Parsed&)> change;  // from untouched() to the expectation
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Parsed expected = untouched();
    c.change(expected);
    std::string label;
    for (const auto& a : c.args) label += "[" + a + "]";
    expect_same(parse(c.args), expected, label);
  }
}

TEST(ArgumentGrammar, NoArgumentsEmptiesOnlyDbnameAndSetsListMode) {
  run_cases({{{}, [](Parsed&) {}}});
}

TEST(ArgumentGrammar, EachFormSetsItsOwnSettingOnly) {
  run_cases({
      {{"DB=C:\\x.mdb"}, [](Parsed& p) { set_dbpath(p, "C:\\x.mdb"); }},
      {{"!"}, [](Parsed& p) { p.outcome.stay_open = false; }},
      {{"GO"}, [](Parsed& p) { p.outcome.run = true; }},
      {{"RT=co2"}, [](Parsed& p) { p.settings.table_name = "co2"s; }},
      {{"HD=2"}, [](Parsed& p) { p.settings.header_lines = "2"s; }},
      {{"*"}, [](Parsed& p) { p.settings.recreate = true; }},
      {{"I1=3"}, [](Parsed& p) { p.settings.item_list = {"3"}; }},
      {{"FN=data.txt"}, [](Parsed& p) { p.settings.text_file = "data.txt"s; }},
  });
}

TEST(ArgumentGrammar, PrefixIgnoresCaseButRestKeepsIt) {
  run_cases({
      {{"db=C:\\Data\\x.mdb"}, [](Parsed& p) { set_dbpath(p, "C:\\Data\\x.mdb"); }},
      {{"Rt=Tab"}, [](Parsed& p) { p.settings.table_name = "Tab"s; }},
      {{"hD=x Y"}, [](Parsed& p) { p.settings.header_lines = "x Y"s; }},
      {{"fN= a b "}, [](Parsed& p) { p.settings.text_file = " a b "s; }},
      {{"DB="}, [](Parsed& p) { set_dbpath(p, ""); }},
      {{"DB=?"}, [](Parsed& p) { set_dbpath(p, "?"); }},
  });
}

TEST(ArgumentGrammar, GoMatchesOnlyTheWholeWordInAnyCase) {
  run_cases({
      {{"go"}, [](Parsed& p) { p.outcome.run = true; }},
      {{"Go"}, [](Parsed& p) { p.outcome.run = true; }},
      {{"gO"}, [](Parsed& p) { p.outcome.run = true; }},
      {{"GO!"}, [](Parsed&) {}},
      {{"GO "}, [](Parsed&) {}},
      {{"G"}, [](Parsed&) {}},
      {{"GO", "!"}, [](Parsed& p) { p.outcome.run = true; p.outcome.stay_open = false; }},
  });
}

TEST(ArgumentGrammar, InMatchesBothItemFormAndSingleItemMode) {
  run_cases({
      {{"IN=5"}, [](Parsed& p) {
         p.settings.item_list = {"5"};
         p.settings.list_mode = false;
         p.settings.item_number = "5"s;
       }},
      {{"in="}, [](Parsed& p) {
         p.settings.item_list = {""};
         p.settings.list_mode = false;
         p.settings.item_number = ""s;
       }},
  });
}

TEST(ArgumentGrammar, ItemFormTakesAnySecondCharacter) {
  run_cases({
      {{"I1=3", "i2=4", "Ix=6", "I==7"},
       [](Parsed& p) { p.settings.item_list = {"3", "4", "6", "7"}; }},
      {{"I1="}, [](Parsed& p) { p.settings.item_list = {""}; }},
      {{"Iä=5"}, [](Parsed& p) { p.settings.item_list = {"5"}; }},
      {{"i€=€"}, [](Parsed& p) { p.settings.item_list = {"€"}; }},
      {{"I\xFF=9"}, [](Parsed& p) { p.settings.item_list = {"9"}; }},
      {{"Iää=5"}, [](Parsed&) {}},
      {{"İ1=5"}, [](Parsed&) {}},
  });
}

TEST(ArgumentGrammar, ShortAndEmptyArgumentsMatchNothing) {
  run_cases({
      {{"I"}, [](Parsed&) {}},
      {{"i"}, [](Parsed&) {}},
      {{"I="}, [](Parsed&) {}},
      {{"Ix"}, [](Parsed&) {}},
      {{""}, [](Parsed&) {}},
      {{"DB"}, [](Parsed&) {}},
      {{"**"}, [](Parsed&) {}},
      {{"!!"}, [](Parsed&) {}},
      {{"xyz=1"}, [](Parsed&) {}},
  });
}

TEST(ArgumentGrammar, LaterValueArgumentOverridesEarlierOne) {
  run_cases({
      {{"RT=a", "RT=b"}, [](Parsed& p) { p.settings.table_name = "b"s; }},
      {{"IN=4", "IN=5"}, [](Parsed& p) {
         p.settings.item_list = {"4", "5"};
         p.settings.list_mode = false;
         p.settings.item_number = "5"s;
       }},
      {{"I1=3", "I2=1", "I3=2"},
       [](Parsed& p) { p.settings.item_list = {"3", "1", "2"}; }},
      {{"*", "*"}, [](Parsed& p) { p.settings.recreate = true; }},
  });
}

TEST(ArgumentGrammar, TypicalUnattendedRun) {
  run_cases({{{"DB=c:\\a b.mdb", "RT=co2", "HD=2", "FN=data.txt", "IN=4", "*",
               "GO", "!"},
              [](Parsed& p) {
                set_dbpath(p, "c:\\a b.mdb");
                p.settings.table_name = "co2"s;
                p.settings.header_lines = "2"s;
                p.settings.text_file = "data.txt"s;
                p.settings.item_list = {"4"};
                p.settings.list_mode = false;
                p.settings.item_number = "4"s;
                p.settings.recreate = true;
                p.outcome.run = true;
                p.outcome.stay_open = false;
              }}});
}

}  // namespace
}  // namespace kadrum
