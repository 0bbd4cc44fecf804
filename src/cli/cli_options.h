// The options of kadrum-cli. Options begin with "--" (and "-h", on Windows
// "/?" too, ask for help) and may stand anywhere; everything else goes, in
// order, to the argument grammar.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kadrum {

struct CliOptions {
  bool dry_run = false;          // print rows instead of storing them
  bool create_database = false;  // create a missing database file first
  bool single_transaction = false;  // the whole run commits at once, or not at all
  bool resume = false;           // store only the lines after each file's checkpoint
  bool follow = false;           // keep storing lines as they arrive (implies resume)
  std::string decimal;           // "." or ","; empty: the locale's separator
  std::string status_file;       // --status-file=PATH of --follow; empty: none
  bool rejects = false;          // bad lines go to kadrum_rejects, the run goes on
  bool max_errors_given = false; // --max-errors=N: at most N rejects
  std::uint64_t max_errors = 0;
  bool quiet = false;            // no summary after a clean run
  bool json = false;             // one JSON object on standard output at the end
  bool help = false;
  bool version = false;
  std::vector<std::string> arguments;  // for the argument grammar
  bool files_given = false;            // "--" came: the text files follow
  std::vector<std::string> files;      // every argument after "--"
  // The arguments after "--" as given, once "files" holds what their
  // patterns matched.
  std::vector<std::string> given_files;
};

// Sorts "argv" (without the program's name) into options and arguments,
// each --arguments-from=FILE before "--" replaced by the arguments in FILE
// (cli/argument_file.h), which throws kadrum::Error for a file it cannot read.
// Throws kadrum::Error naming an option that does not exist, and for options
// that do not mix, for a --decimal= other than "." or ",", (--follow with --single-transaction or --dry-run, FN= with
// files after "--", --max-errors without --rejects, ...).
CliOptions parse_cli_options(const std::vector<std::string>& argv);

// The German help text (--help).
const std::string& cli_help_text();

// The help's first lines and how to see the rest, for a call without any
// argument or option.
std::string cli_usage_text();

}  // namespace kadrum
