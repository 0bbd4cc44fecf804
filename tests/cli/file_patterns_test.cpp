// Patterns after "--" against a real folder, on each platform's listing:
// name order, one component per "*", hidden names, case on Windows.
#include "cli/file_patterns.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/temp_folder.h"

namespace {

using kadrum::expand_file_arguments;

TEST(FilePatternsTest, ExpandsInNameOrderWithinOneComponent) {
  kadrum::testing::TempFolder folder;
  std::filesystem::create_directories(folder.file("st/2026/deep"));
  for (const char* name : {"st/2026/b.TXT", "st/2026/a.txt", "st/2026/.c.txt", "st/2026/a.csv",
                           "st/2026/deep/d.txt", "st/[x].txt"})
    kadrum::testing::write_file(folder.file(name), "1\n");
  const std::string st = folder.file("st");
  std::vector<std::string> want{st + "/2026/a.txt"};
#ifdef _WIN32
  want.push_back(st + "/2026/b.TXT");  // names ignore case there
#endif
  EXPECT_EQ(expand_file_arguments({st + "/20?6/*.txt"}, false), want);
  // A name that exists is itself, brackets and all; no pattern, no check.
  EXPECT_EQ(expand_file_arguments({st + "/[x].txt", "kein.txt"}, false),
            (std::vector<std::string>{st + "/[x].txt", "kein.txt"}));
  EXPECT_TRUE(expand_file_arguments({st + "/*.dat"}, true).empty());
  EXPECT_THROW(expand_file_arguments({st + "/*.dat"}, false), kadrum::Error);
  EXPECT_THROW(expand_file_arguments({st + "/fehlt/*.txt"}, true), kadrum::Error);
}

}  // namespace
