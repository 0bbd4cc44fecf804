// kadrum-cli: the window's unattended run for scripts, without a window.
#include <cerrno>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/messages.h"
#include "cli/argument_notes.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/decimal_hint.h"
#include "cli/program_arguments.h"
#include "cli/row_printer.h"
#include "cli/text_file.h"
#include "convert/locale_formats.h"
#include "import/argument_grammar.h"
#include "base/error.h"

namespace {

// One line on standard error: the shown text, behind the file and line
// number when a data line failed; then the decimal separator hint, if any.
// Returns the message line as shown, without its line end.
std::string report(const std::exception& error, const kadrum::RunSettings& settings,
                   const kadrum::CliOptions& options, const kadrum::ImportProgress& progress) {
  std::string where;
  if (progress.in_data_line && !dynamic_cast<const kadrum::OutputError*>(&error)) {
    where = kadrum::text_file_label(settings) + ':' + std::to_string(progress.line) + ": ";
  }
  std::string text = kadrum::display_text(error);
  // Without FN= the window's default name stands for the file: a missing
  // "imprtfile" is most likely a forgotten FN=.
  if (!kadrum::names_text_file(options) &&
      text.find(kadrum::messages::file_not_found) != std::string::npos)
    text += " Mit FN= wurde keine Textdatei angegeben (FN=DATEI, oder Textdateien nach --).";
  kadrum::write_text(2, where + text + "\n");
  const std::string hint = kadrum::decimal_separator_hint(
      error, kadrum::locale_formats().decimal_separator, !options.decimal.empty());
  if (!hint.empty()) kadrum::write_text(2, hint + "\n");
  return where + text;
}

// Writes "text" to standard output; returns the exit status. A text lost on
// a full disk is a failure like any other.
int print_text(const std::string& text) {
  if (!kadrum::write_text(1, text)) {
    kadrum::write_text(2, kadrum::display_text(kadrum::OutputError(errno)) + "\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Without anything to do, the default file name would only be "not
  // found": the usage helps more. A usage error, like an unknown option.
  const std::vector<std::string> arguments = kadrum::program_arguments(argc, argv);
  if (arguments.empty()) {
    kadrum::write_text(2, kadrum::cli_usage_text());
    return 2;
  }
  kadrum::CliOptions options;
  try {
    options = kadrum::parse_cli_options(arguments);
  } catch (const std::exception& error) {
    kadrum::write_text(2, "kadrum-cli: " + kadrum::display_text(error) + "\n");
    return 2;
  }
  if (options.help) return print_text(kadrum::cli_help_text());
  if (options.version) return print_text("kadrum-cli " KADRUM_VERSION "\n");

  if (!options.decimal.empty()) kadrum::set_decimal_separator(options.decimal);

  kadrum::RunSettings settings;
  // "GO" and "!" steer the window's automatic run; here the run is the
  // whole point, so the outcome changes nothing.
  kadrum::parse_arguments(options.arguments, settings);
  for (const std::string& note : kadrum::argument_notes(options, settings))
    kadrum::write_text(2, note + "\n");

  kadrum::ImportProgress progress;
  kadrum::RunReport run;
  // --json: one object on standard output, whatever the outcome.
  const auto finish = [&](int status, const std::string& message) {
    if (!options.json) return status;
    const int printed = print_text(kadrum::json_report(run, status, message));
    return printed != 0 ? printed : status;
  };
  try {
    if (options.dry_run)
      kadrum::run_preview(settings, options, progress);
    else
      kadrum::run_import(settings, options, progress, run);
  } catch (const std::exception& error) {
    return finish(1, report(error, settings, options, progress));
  } catch (...) {
    return finish(1, report(std::runtime_error(""), settings, options, progress));
  }
  // Every line reached its end, but not every line became a record.
  return finish(run.rejected > 0 ? 3 : 0, "");
}
