// The program title from the path of the program's own file.
#include <gtest/gtest.h>

#include "window/program_title.h"

namespace kadrum {
namespace {

TEST(ProgramTitle, FromTheProgramFile) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"MYTOOL.V2.EXE", "Mytool"},
      {"C:\\Programme\\KADRUM.EXE", "Kadrum"},
      {"/usr/local/bin/kadrum", "kadrum"},
      {"/opt/v1.2/Kadrum", "Kadrum"},
      {"tools\\x.y/ABC", "Abc"},
      {"ÄRGER.EXE", "Ärger"},
      {"C:\\Tools\\ÉTÉ ÖLÜBERSICHT.exe", "Été ölübersicht"},
      {"\xC3.EXE", "\xC3"},        // no UTF-8: kept byte for byte
      {"Z\xFFZ.EXE", "Z\xFFz"},
      {".hidden", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(program_title(c.path), c.title) << c.path;
}

}  // namespace
}  // namespace kadrum
