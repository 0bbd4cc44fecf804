#include "actions/rejects.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/provider_error.h"

namespace kadrum {
namespace {

// Fault caught: a reject's text broke the column (over 4,000 bytes, bytes
// no engine takes as UTF-8, a character cut in two), or a short line got
// a mark.
TEST(RejectText, KeepsAtMost4000BytesOfUtf8AndMarksWhatIsCut) {
  const std::string mark = " [\xE2\x80\xA6]";
  const std::string euro = "\xE2\x82\xAC";
  struct Case {
    std::string text;
    bool cut;
    std::string kept;
  };
  const Case cases[] = {
      {"1 2 3", false, "1 2 3"},
      {"1 2 \xFF" "3\xC3", false, "1 2 \xEF\xBF\xBD" "3\xEF\xBF\xBD"},
      {std::string("a\0b", 3), false, "a\xEF\xBF\xBD" "b"},
      {"1 2 3", true, "1 2 3" + mark},
      {std::string(4000, '7'), false, std::string(4000, '7')},
      {std::string(4001, '7'), false, std::string(3994, '7') + mark},
      // A character never cut in two: 1331 euros fill 3993 bytes.
      {std::string(3, 'x') + [&] { std::string t; for (int i = 0; i < 1400; ++i) t += euro; return t; }(),
       false, std::string(3, 'x') + [&] { std::string t; for (int i = 0; i < 1330; ++i) t += euro; return t; }() + mark},
  };
  for (const Case& c : cases) {
    const std::string kept = reject_text(c.text, c.cut);
    EXPECT_EQ(kept, c.kept) << c.text.size();
    EXPECT_LE(kept.size(), kRejectTextBytes);
  }
}

// Fault caught: a lost connection or a deadlock was kept as a reject and
// the run went on without the record; a refused row ended the run.
TEST(IsLineFault, RowRefusalsAreTheLinesAndServerTroubleIsNot) {
  EXPECT_TRUE(is_line_fault(LineFault("'1.2.3' ist kein gültiger Fließkommawert")));
  EXPECT_FALSE(is_line_fault(Error("Feld 'id' kann nicht verändert werden")));
  EXPECT_FALSE(is_line_fault(std::runtime_error("x")));
  struct Case {
    const char* code;
    bool line;
  };
  const Case cases[] = {
      {"19", true},    {"1811", true},  {"2067", true},  {"20", true},   {"18", true},
      {"5", false},    {"13", false},   {"10", false},   {"23505", true}, {"23514", true},
      {"22P02", true}, {"22003", true}, {"P0001", true}, {"45000", true}, {"01004", true},
      {"40001", false}, {"40P01", false}, {"55P03", false}, {"53100", false}, {"57014", false},
      {"08006", false}, {"HY000", false}, {"HYT00", false}, {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(is_line_fault(ProviderError("x", "y", c.code)), c.line) << c.code;
  ProviderError stopped("x", "y", "23505");
  stopped.set_stopped_by_server();
  EXPECT_FALSE(is_line_fault(stopped));
}

}  // namespace
}  // namespace kadrum
