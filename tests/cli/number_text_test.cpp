// Numbers in the progress line and the summary, by locale.
#include "cli/number_text.h"

#include <gtest/gtest.h>

#include "cli/progress_display.h"
#include "support/locale.h"

namespace kadrum {
namespace {

const NumberFormat kC{};
const NumberFormat kGerman{",", ".", 3};

TEST(NumberText, GroupsDigitsAndWritesTheLocalesDecimalMark) {
  struct Case {
    const NumberFormat& format;
    double value;
    int decimals;
    const char* want;
  };
  const Case cases[] = {
      {kC, 1234567.891, 2, "1234567.89"},   {kGerman, 1234567.891, 2, "1.234.567,89"},
      {kGerman, 999.995, 2, "1.000,00"},    {kGerman, 100, 0, "100"},
      {kGerman, 1000, 0, "1.000"},          {kGerman, 0.5, 2, "0,50"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_fixed(c.value, c.decimals, c.format), c.want);
  EXPECT_EQ(format_count(15375, kGerman), "15.375");
  EXPECT_EQ(format_count(18446744073709551615ull, kGerman), "18.446.744.073.709.551.615");
  EXPECT_EQ(format_count(15375, kC), "15375");
}

TEST(NumberText, ReadsTheUsersNumericLocale) {
  const std::string locales = testing::german_locale_folder();
  if (locales.empty()) GTEST_SKIP() << "no German locale was built for the tests";
  EXPECT_EQ(format_count(15375, user_number_format()), "15375");  // C.UTF-8
  testing::ScopedEnvironment env;
  env.set("LOCPATH", locales.c_str());
  env.set("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(format_fixed(1234.5, 1, user_number_format()), "1.234,5");
  env.set("LC_ALL", "xx_XX.UTF-8");  // not there: C's format
  EXPECT_EQ(format_fixed(1234.5, 1, user_number_format()), "1234.5");
}

TEST(ProgressText, ShowsShareAndTimeLeftOnlyForAKnownSize) {
  EXPECT_EQ(progress_text(2048, 2.0, 500, 1000, kGerman),
            "2.048 Datensätze, 50 %, noch 2 s, 1.024 je Sekunde");
  EXPECT_EQ(progress_text(100, 10.0, 1, 1000, kC),
            "100 Datensätze, 0 %, noch 2 h 46 min, 10 je Sekunde");
  EXPECT_EQ(progress_text(100, 2.0, 400, 1000, kC), "100 Datensätze, 40 %, noch 3 s, 50 je Sekunde");
  EXPECT_EQ(progress_text(100, 120.0, 400, 1000, kC),
            "100 Datensätze, 40 %, noch 3 min 00 s, 1 je Sekunde");
  // Standard input from a pipe, and a file that grew past its first size.
  EXPECT_EQ(progress_text(100, 2.0, 400, 0, kC), "100 Datensätze, 50 je Sekunde");
  EXPECT_EQ(progress_text(100, 2.0, 1001, 1000, kC), "100 Datensätze, 50 je Sekunde");
}

// Fault: on a terminal narrower than the line every update wrapped onto a
// new line.
TEST(ProgressText, FitsANarrowTerminal) {
  EXPECT_EQ(progress_text(2048, 2.0, 500, 1000, kGerman, 39), "2.048 Datensätze, 50 %, noch 2 s");
  EXPECT_EQ(progress_text(2048, 2.0, 500, 1000, kGerman, 20), "2.048 Datensätze");
  EXPECT_EQ(progress_text(100, 2.0, 400, 0, kC, 25), "100 Datensätze");
  EXPECT_EQ(progress_text(12345678, 2.0, 400, 0, kGerman, 8), "12.345.6");
}

TEST(ConsumedBytes, SpreadsTheBlocksUsedUpOverTheirRecords) {
  ConsumedBytes consumed;
  // records, bytes read, estimate: nothing known during the first block;
  // then 100 bytes per record, never beyond what was read.
  const std::uint64_t steps[][3] = {
      {0, 1000, 0}, {5, 1000, 0}, {10, 2000, 1000}, {15, 2000, 1500}, {25, 2000, 2000},
      {20, 3000, 2000},
  };
  for (const auto& step : steps)
    EXPECT_EQ(consumed.estimate(step[0], step[1]), step[2]) << step[0];
}

}  // namespace
}  // namespace kadrum
