// The program's arguments, without its name, as UTF-8. POSIX hands them
// over one by one; on Windows the command line is one text
// (GetCommandLineW), split by Kadrum's own rules (split_command_line), never
// by the C runtime's, which treats backslashes before quotes otherwise.
// One file per platform (program_arguments_posix.cpp, _win.cpp).
#pragma once

#include <string>
#include <vector>

namespace kadrum {

std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace kadrum
