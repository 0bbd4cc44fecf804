#include "import/argument_grammar.h"

#include <gtest/gtest.h>

namespace kadrum {
namespace {

using Args = std::vector<std::string>;

struct Case {
  std::string text;
  Args expected;
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(split_command_line(c.text), c.expected) << "text: [" << c.text << "]";
}

TEST(SplitCommandLine, ProgramNameIsDropped) {
  run_cases({
      {"", {}},
      {"kadrum.exe", {}},
      {"\"C:\\Program Files\\kadrum.exe\" GO", {"GO"}},
      {"   kadrum a", {"a"}},
  });
}

TEST(SplitCommandLine, EveryControlCharacterSeparates) {
  run_cases({
      {"p a b", {"a", "b"}},
      {"p\ta\nb\rc\x01" "d\x1f" "e", {"a", "b", "c", "d", "e"}},
      {"p   a \t\t b   ", {"a", "b"}},
      {"p é\x7f" "x", {"é\x7f" "x"}},
  });
}

TEST(SplitCommandLine, QuotedStretchesKeepBlanksAndJoin) {
  run_cases({
      {"p FN=\"C:\\My Data\\x y.txt\" GO", {"FN=C:\\My Data\\x y.txt", "GO"}},
      {"p \"DB=\"\"c:\\a b\"", {"DB=c:\\a b"}},
      {"p a\"b c\"d e", {"ab cd", "e"}},
      {"p \"a\tb\"", {"a\tb"}},
      {"p \"unclosed rest", {"unclosed rest"}},
      {"p \"GO \"", {"GO "}},
  });
}

TEST(SplitCommandLine, BackslashIsNoEscape) {
  run_cases({
      {"p a\\\"b c\"", {"a\\b c"}},
      {"p \\\\server\\x", {"\\\\server\\x"}},
  });
}

TEST(SplitCommandLine, AdjacentQuotePairsBeforeAnArgumentAreSkipped) {
  run_cases({
      {"p \"\" a", {"a"}},
      {"p \"\"\"\"a", {"a"}},
      {"p a\"\"b", {"ab"}},
      {"p \"\"\"a b\"", {"a b"}},
      {"p \"\"", {}},
  });
}

TEST(SplitCommandLine, LoneTrailingQuoteEndsTheList) {
  run_cases({
      {"p a \"", {"a"}},
      {"p a \"\"\"", {"a"}},
      {"\"", {}},
  });
}

TEST(SplitCommandLine, TextEndsAtNul) {
  run_cases({
      {std::string("p a\0b c", 7), {"a"}},
      {std::string("p \"a\0b\" c", 9), {"a"}},
      {std::string("\0p a", 4), {}},
  });
}

}  // namespace
}  // namespace kadrum
