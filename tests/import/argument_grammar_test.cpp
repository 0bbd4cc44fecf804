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
  p.settings.multi = false;
  p.outcome = parse_arguments(args, p.settings);
  return p;
}

// What a parse of no arguments yields: the initial texts, dbname emptied.
Parsed untouched() {
  Parsed p;
  p.settings.dbname.clear();
  return p;
}

// DB= sets dbpath, and the end of the parse shows it in dbname.
void set_dbpath(Parsed& p, std::string path) {
  p.settings.dbname = path;
  p.settings.dbpath = std::move(path);
}

void expect_same(const Parsed& actual, const Parsed& expected,
                 const std::string& label) {
  SCOPED_TRACE(label);
  const RunSettings& a = actual.settings;
  const RunSettings& e = expected.settings;
  EXPECT_EQ(a.imprtfile, e.imprtfile);
  EXPECT_EQ(a.nhdl, e.nhdl);
  EXPECT_EQ(a.itmnr, e.itmnr);
  EXPECT_EQ(a.itemlist, e.itemlist);
  EXPECT_EQ(a.dbname, e.dbname);
  EXPECT_EQ(a.tabname, e.tabname);
  EXPECT_EQ(a.recreate, e.recreate);
  EXPECT_EQ(a.multi, e.multi);
  EXPECT_EQ(a.dbpath, e.dbpath);
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
      {{"RT=co2"}, [](Parsed& p) { p.settings.tabname = "co2"s; }},
      {{"HD=2"}, [](Parsed& p) { p.settings.nhdl = "2"s; }},
      {{"*"}, [](Parsed& p) { p.settings.recreate = true; }},
      {{"I1=3"}, [](Parsed& p) { p.settings.itemlist = {"3"}; }},
      {{"FN=data.txt"}, [](Parsed& p) { p.settings.imprtfile = "data.txt"s; }},
  });
}

TEST(ArgumentGrammar, PrefixIgnoresCaseButRestKeepsIt) {
  run_cases({
      {{"db=C:\\Data\\x.mdb"}, [](Parsed& p) { set_dbpath(p, "C:\\Data\\x.mdb"); }},
      {{"Rt=Tab"}, [](Parsed& p) { p.settings.tabname = "Tab"s; }},
      {{"hD=x Y"}, [](Parsed& p) { p.settings.nhdl = "x Y"s; }},
      {{"fN= a b "}, [](Parsed& p) { p.settings.imprtfile = " a b "s; }},
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
         p.settings.itemlist = {"5"};
         p.settings.multi = false;
         p.settings.itmnr = "5"s;
       }},
      {{"in="}, [](Parsed& p) {
         p.settings.itemlist = {""};
         p.settings.multi = false;
         p.settings.itmnr = ""s;
       }},
  });
}

TEST(ArgumentGrammar, ItemFormTakesAnySecondCharacter) {
  run_cases({
      {{"I1=3", "i2=4", "Ix=6", "I==7"},
       [](Parsed& p) { p.settings.itemlist = {"3", "4", "6", "7"}; }},
      {{"I1="}, [](Parsed& p) { p.settings.itemlist = {""}; }},
      {{"Iä=5"}, [](Parsed& p) { p.settings.itemlist = {"5"}; }},
      {{"i€=€"}, [](Parsed& p) { p.settings.itemlist = {"€"}; }},
      {{"I\xFF=9"}, [](Parsed& p) { p.settings.itemlist = {"9"}; }},
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
      {{"RT=a", "RT=b"}, [](Parsed& p) { p.settings.tabname = "b"s; }},
      {{"IN=4", "IN=5"}, [](Parsed& p) {
         p.settings.itemlist = {"4", "5"};
         p.settings.multi = false;
         p.settings.itmnr = "5"s;
       }},
      {{"I1=3", "I2=1", "I3=2"},
       [](Parsed& p) { p.settings.itemlist = {"3", "1", "2"}; }},
      {{"*", "*"}, [](Parsed& p) { p.settings.recreate = true; }},
  });
}

TEST(ArgumentGrammar, TypicalUnattendedRun) {
  run_cases({{{"DB=c:\\a b.mdb", "RT=co2", "HD=2", "FN=data.txt", "IN=4", "*",
               "GO", "!"},
              [](Parsed& p) {
                set_dbpath(p, "c:\\a b.mdb");
                p.settings.tabname = "co2"s;
                p.settings.nhdl = "2"s;
                p.settings.imprtfile = "data.txt"s;
                p.settings.itemlist = {"4"};
                p.settings.multi = false;
                p.settings.itmnr = "4"s;
                p.settings.recreate = true;
                p.outcome.run = true;
                p.outcome.stay_open = false;
              }}});
}

}  // namespace
}  // namespace kadrum
