// The program title: the caption of every message box.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// The title made from the path of the program's own file "program_path"
// (UTF-8): the folder ("/" or "\" separated) is dropped, everything from the
// first "." on is dropped, and every character after the first is lower-cased
// (the first keeps its case). MYTOOL.V2.EXE gives Mytool. Never throws.
std::string program_title(std::string_view program_path);

}  // namespace kadrum
