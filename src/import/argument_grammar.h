// The command-line grammar that fills the run settings once, at start-up.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_settings.h"

namespace kadrum {

// What the parse yields beside the settings: "GO" sets run, "!" clears stay_open.
struct ParseOutcome {
  bool run = false;
  bool stay_open = true;
};

// Sets "settings.list_mode" to true, applies every argument of "args" in order
// (each tested against all nine forms; unmatched ones are ignored), then copies
// dbpath into dbname. Never throws. "args" excludes the program's own name.
ParseOutcome parse_arguments(std::span<const std::string> args,
                             RunSettings& settings);

// Splits one command-line text into arguments: a Windows program is handed
// its command line as one text, and a Windows build of Kadrum reads it with
// this; Linux hands the arguments over already split. Blanks and control
// characters separate, double quotes group, there is no escape. Drops the first argument (the program's
// name); stops at U+0000 and at an argument that comes out empty.
std::vector<std::string> split_command_line(std::string_view text);

}  // namespace kadrum
