#include "base/integer_text.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kadrum {
namespace {

struct Case {
  const char* text;
  std::optional<std::int32_t> expected;
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(parse_integer_text(c.text), c.expected) << "text: [" << c.text << "]";
}

TEST(IntegerText, DecimalLimitsIncludeTheSign) {
  run_cases({
      {"2147483646", 2147483646},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"+2147483648", std::nullopt},
      {"-2147483647", -2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"00000000000000000000042", 42},
  });
}

TEST(IntegerText, HexIsA32BitTwosComplementPattern) {
  run_cases({
      {"$A", 10},
      {"$a", 10},
      {"x10", 16},
      {"X10", 16},
      {"0x10", 16},
      {"0X10", 16},
      {"$7FFFFFFF", INT32_MAX},
      {"$80000000", INT32_MIN},
      {"$FFFFFFFF", -1},
      {"-$FFFFFFFF", 1},
      {"-$80000000", INT32_MIN},
      {"-x10", -16},
      {"+$10", 16},
      {"$100000000", std::nullopt},
      {"0x0000000FF", 255},
      {"$000000000000", 0},
      {"$G", std::nullopt},
      {"0x1g", std::nullopt},
  });
}

TEST(IntegerText, OnlyLeadingBlanksAndOneSignAreAllowed) {
  run_cases({
      {"  3", 3},
      {"+3", 3},
      {"-0", 0},
      {"-3", -3},
      {"3 ", std::nullopt},
      {"\t3", std::nullopt},
      {"3\t", std::nullopt},
      {"- 3", std::nullopt},
      {"+-3", std::nullopt},
      {"--3", std::nullopt},
      {"3a", std::nullopt},
      {"1.5", std::nullopt},
      {"\xC2\xA0" "3", std::nullopt},
      {"٣", std::nullopt},
  });
}

TEST(IntegerText, DigitsMustFollowSignAndPrefix) {
  run_cases({
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"x", std::nullopt},
      {"-$", std::nullopt},
      {"$ 1", std::nullopt},
      {"0", 0},
  });
}

TEST(IntegerText, RefusalNamesTheWholeTextWithLeadingBlanks) {
  try {
    integer_text_value("  3 ");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "'  3 ' ist kein gültiger Integerwert");
  }
  EXPECT_EQ(integer_text_value(" $FFFFFFFF"), -1);
}

}  // namespace
}  // namespace kadrum
