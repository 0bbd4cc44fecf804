#include "base/wide_text_win.h"
#include "cli/program_arguments.h"
#include "import/argument_grammar.h"

namespace kadrum {

std::vector<std::string> program_arguments(int, char**) {
  return split_command_line(from_wide(GetCommandLineW()));
}

}  // namespace kadrum
