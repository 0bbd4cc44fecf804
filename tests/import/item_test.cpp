#include "import/item.h"

#include <gtest/gtest.h>

namespace kadrum {
namespace {

struct Case {
  std::string line;
  std::int32_t n;
  std::string expected;
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(get_item(c.line, c.n, item_characters()), c.expected)
        << "line: [" << c.line << "] n=" << c.n;
}

TEST(ItemCharacters, ExactlyCodes45To57) {
  const ItemCharacters& set = item_characters();
  for (int code = 0; code < 256; ++code)
    EXPECT_EQ(set[code], code >= 45 && code <= 57) << code;
}

TEST(GetItem, ExponentSignAndDecimalCommaSplitItems) {
  run_cases({
      {"1990 001 1.5E-03", 1, "1990"},
      {"1990 001 1.5E-03", 2, "001"},
      {"1990 001 1.5E-03", 3, "1.5"},
      {"1990 001 1.5E-03", 4, "-03"},
      {"1990 001 1.5E-03", 5, ""},
      {"+5", 1, "5"},
      {"1,5", 1, "1"},
      {"1,5", 2, "5"},
  });
}

TEST(GetItem, DatesAreOneItemTimesAreTwo) {
  run_cases({
      {"1990/01/02 x", 1, "1990/01/02"},
      {"1990-01-02", 1, "1990-01-02"},
      {"12:30", 1, "12"},
      {"12:30", 2, "30"},
  });
}

TEST(GetItem, RunsOfSeparatorsSeparateOnce) {
  run_cases({
      {"7\t   8", 2, "8"},
      {"7\t   8", 3, ""},
      {"a,;: +b7xyz8", 1, "7"},
      {"a,;: +b7xyz8", 2, "8"},
      {"  \t 42  ", 1, "42"},
  });
}

TEST(GetItem, ItemAtEndOfLineIsTakenWhole) {
  run_cases({
      {"1990 001 5.0", 3, "5.0"},
      {"5.0", 1, "5.0"},
  });
}

TEST(GetItem, NumbersNamingNoItemGiveEmptyText) {
  run_cases({
      {"1990 001 5.0", 0, ""},
      {"1990 001 5.0", -1, ""},
      {"1990 001 5.0", INT32_MIN, ""},
      {"1990 001 5.0", 4, ""},
      {"1990 001 5.0", INT32_MAX, ""},
      {"", 1, ""},
      {"no items here", 1, ""},
  });
}

TEST(GetItem, BytesAboveAsciiNeverBelongToItems) {
  run_cases({
      {"\xEF\xBB\xBF" "1990 1", 1, "1990"},
      {"12\xE2\x88\x92" "3", 2, "3"},
      {"1\xB7" "2", 2, "2"},
  });
}

TEST(GetItem, SetIsAParameter) {
  ItemCharacters letters{};
  for (int c = 'a'; c <= 'z'; ++c) letters[c] = true;
  EXPECT_EQ(get_item("12 abc 34 de", 2, letters), "de");
}

TEST(GetItem, ResultIsAViewIntoTheLine) {
  const std::string line = "x 12 y";
  const std::string_view item = get_item(line, 1, item_characters());
  EXPECT_EQ(item.data(), line.data() + 2);
}

TEST(ItemWalk, AnyOrderOfNumbersGivesWhatGetItemGives) {
  const std::string line = "  1974   5  19  1974.3781    333.46 x";
  const std::int32_t orders[][3] = {
      {1, 2, 5}, {5, 1, 2}, {3, 3, 3}, {4, 2, 6}, {0, 5, -1}, {6, 7, 1}};
  for (const auto& order : orders) {
    ItemWalk walk(line, item_characters());
    for (std::int32_t n : order)
      EXPECT_EQ(walk.item(n), get_item(line, n, item_characters())) << n;
  }
}

}  // namespace
}  // namespace kadrum
