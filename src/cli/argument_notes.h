// What kadrum-cli says about the defaults it inherits from the window's
// argument grammar. The window takes them silently, since its fields show
// them; without a window a mistyped argument or a forgotten FN= would go
// unnoticed. The notes change no outcome.
#pragma once

#include <string>
#include <vector>

#include "base/run_settings.h"
#include "cli/cli_options.h"

namespace kadrum {

// Whether "argument" matches a form of the grammar (parse_arguments).
bool matches_a_form(const std::string& argument);

// One German line each (without the line break) for the parsed "settings":
// every argument that matches no form, "*" without RT= (not for
// --dry-run, which creates nothing), no item number at all.
std::vector<std::string> argument_notes(const CliOptions& options, const RunSettings& settings);

// Whether the run names its text file: FN= or files after "--".
bool names_text_file(const CliOptions& options);

}  // namespace kadrum
