#include "convert/float_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace kadrum {
namespace {

struct Accepted {
  const char* text;
  const char* separator;
  double value;
};

TEST(FloatText, AcceptsEveryFormTheRuleAllows) {
  const Accepted cases[] = {
      {"12", ".", 12.0},       {"-03", ".", -3.0},     {"+5", ".", 5.0},
      {" 5 ", ".", 5.0},       {"   5", ".", 5.0},      {".5", ".", 0.5},
      {"5.", ".", 5.0},        {"12.5", ".", 12.5},    {"1.5E-03", ".", 0.0015},
      {"1.5e-03", ".", 0.0015}, {"1E", ".", 1.0},      {"1E+", ".", 1.0},
      {"1E-", ".", 1.0},       {"2e3", ".", 2000.0},   {".", ".", 0.0},
      {"1,5", ",", 1.5},       {"12", ",", 12.0},      {"-03", ",", -3.0},
      {",25", ",", 0.25},      {"1\xD9\xAB" "5", "\xD9\xAB", 1.5},
  };
  for (const Accepted& c : cases) {
    const FloatTextResult r = parse_float_text(c.text, c.separator);
    EXPECT_EQ(r.status, FloatTextStatus::ok) << c.text;
    EXPECT_EQ(r.value, c.value) << c.text;
  }
}

struct Rejected {
  const char* text;
  const char* separator;
};

TEST(FloatText, RejectsTextsOutsideTheRule) {
  const Rejected cases[] = {
      {"", "."},          {"-", "."},          {"+", "."},
      {"1,5", "."},       {"1.2.3", "."},      {"1-2", "."},
      {"1990/01/02", "."}, {"1E5000", "."},    {"\t5", "."},
      {"5\t", "."},       {"1 000", "."},      {"--1", "."},
      {"+-1", "."},       {"E5", "."},         {"1E5.5", "."},
      {"1.5", ","},       {"12.5", ","},       {"1e++2", "."},
      {"0x10", "."},      {"1.\xC2\xA0", "."}, {"\xC2\xA0" "1", "."},
  };
  for (const Rejected& c : cases)
    EXPECT_EQ(parse_float_text(c.text, c.separator).status,
              FloatTextStatus::invalid)
        << '"' << c.text << '"';
}

TEST(FloatText, MinusZeroKeepsItsSign) {
  for (const char* text : {"-0", "-.", "-0.000", "-0E5"}) {
    const FloatTextResult r = parse_float_text(text, ".");
    ASSERT_EQ(r.status, FloatTextStatus::ok) << text;
    EXPECT_EQ(r.value, 0.0) << text;
    EXPECT_TRUE(std::signbit(r.value)) << text;
  }
  EXPECT_FALSE(std::signbit(parse_float_text("0", ".").value));
}

TEST(FloatText, ExponentReadingStopsAtFiveHundred) {
  // 1E5000: reading stops after "1E500", so a "0" is left over.
  EXPECT_EQ(parse_float_text("1E5000", ".").status, FloatTextStatus::invalid);
  EXPECT_EQ(parse_float_text("1E-5000", ".").status, FloatTextStatus::invalid);
  // 1E500 fits the extended range but not a double.
  EXPECT_EQ(parse_float_text("1E500", ".").status, FloatTextStatus::overflow);
  // 499 is below the limit, so the next digit is read: 4999 is too large.
  EXPECT_EQ(parse_float_text("1E4999", ".").status, FloatTextStatus::invalid);
  const FloatTextResult tiny = parse_float_text("1E-500", ".");
  EXPECT_EQ(tiny.status, FloatTextStatus::ok);
  EXPECT_EQ(tiny.value, 0.0);
}

TEST(FloatText, BeyondTheDoubleRangeIsOverflowNotInvalid) {
  const std::string huge = "1" + std::string(309, '0');
  EXPECT_EQ(parse_float_text(huge, ".").status, FloatTextStatus::overflow);
  EXPECT_EQ(parse_float_text("-" + huge, ".").status,
            FloatTextStatus::overflow);
  const std::string below = "1" + std::string(308, '0');
  EXPECT_EQ(parse_float_text(below, ".").value, 1e308);
  // Just above the largest double still rounds down to it.
  EXPECT_EQ(parse_float_text("1.7976931348623158e308", ".").value,
            1.7976931348623157e308);
}

TEST(FloatText, ExtendedRangeOverflowIsInvalid) {
  // Mantissa beyond the extended range (about 1.19E4932).
  EXPECT_EQ(parse_float_text(std::string(5000, '9'), ".").status,
            FloatTextStatus::invalid);
  // 10^5000 as the divisor overflows, although the value would be tiny.
  EXPECT_EQ(parse_float_text("0." + std::string(5000, '0') + "1", ".").status,
            FloatTextStatus::invalid);
  // 10^4000 fits, the product 9E4499 * 10^499 does not.
  EXPECT_EQ(
      parse_float_text(std::string(4500, '9') + "E499", ".").status,
      FloatTextStatus::invalid);
}

TEST(FloatText, BelowTheSmallestDoubleBecomesSubnormalOrZero) {
  const FloatTextResult sub = parse_float_text("1e-320", ".");
  ASSERT_EQ(sub.status, FloatTextStatus::ok);
  EXPECT_EQ(sub.value, std::strtod("1e-320", nullptr));
  EXPECT_EQ(std::fpclassify(sub.value), FP_SUBNORMAL);
  const FloatTextResult zero = parse_float_text("-1e-400", ".");
  ASSERT_EQ(zero.status, FloatTextStatus::ok);
  EXPECT_EQ(zero.value, 0.0);
  EXPECT_TRUE(std::signbit(zero.value));
}

TEST(FloatText, OrdinaryValuesRoundLikeStrtod) {
  for (const char* text :
       {"0.1", "0.2", "0.3", "1.5E-03", "123.456", "1e308", "1e-320",
        "2.2250738585072014e-308", "4.9e-324", "3.141592653589793",
        "1990", "0.001", "99.99", "-273.15", "6.02214076e23", "1e22", "1e23",
        "9007199254740993", "12345678901234567890", "0.000001234"}) {
    const FloatTextResult r = parse_float_text(text, ".");
    ASSERT_EQ(r.status, FloatTextStatus::ok) << text;
    EXPECT_EQ(r.value, std::strtod(text, nullptr)) << text;
  }
}

TEST(FloatText, ValueIsRoundedTwiceThroughExtendedPrecision) {
  // The quotient is rounded to extended precision first; for this text that
  // lands on a halfway point and the double differs from strtod by one unit.
  const double twice = static_cast<double>(4189276.0L / 1000000.0L);
  EXPECT_NE(twice, std::strtod("4.189276", nullptr));
  EXPECT_EQ(parse_float_text("4.189276", ".").value, twice);
}

TEST(FloatText, PowersOfTenAreCorrectlyRoundedInExtendedPrecision) {
  // glibc's strtold rounds correctly, so it serves as the reference.
  for (long n = 0; n <= 4932; ++n) {
    const std::string text = "1e" + std::to_string(n);
    ASSERT_EQ(extended_power_of_ten(n), std::strtold(text.c_str(), nullptr))
        << n;
  }
  EXPECT_TRUE(std::isinf(extended_power_of_ten(4933)));
}

TEST(FloatText, ScaleShiftsTheDecimalExponentExactly) {
  EXPECT_EQ(*parse_extended_float_text("0.00015", ".", 4), 1.5L);
  EXPECT_EQ(*parse_extended_float_text("0.00005", ".", 4), 0.5L);
  EXPECT_EQ(*parse_extended_float_text("-1,5", ",", 4), -15000.0L);
  EXPECT_FALSE(parse_extended_float_text("1.5", ",", 4));
}

}  // namespace
}  // namespace kadrum
