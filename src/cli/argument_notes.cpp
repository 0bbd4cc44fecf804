#include "cli/argument_notes.h"

#include <span>

#include "base/error.h"
#include "import/argument_grammar.h"

namespace kadrum {

namespace {

// Whether one of "options.arguments" matches the form "prefix" ("RT=").
bool has_form(const CliOptions& options, std::string_view prefix) {
  for (const std::string& arg : options.arguments) {
    RunSettings probe;
    const std::string unset = arg + '#';
    probe.table_name = probe.text_file = unset;
    parse_arguments(std::span(&arg, 1), probe);
    if ((prefix == "RT=" && probe.table_name != unset) ||
        (prefix == "FN=" && probe.text_file != unset))
      return true;
  }
  return false;
}

}  // namespace

bool matches_a_form(const std::string& argument) {
  // The grammar itself decides: a matching form changes the settings or
  // the outcome. Every text starts longer than the argument, which no rest
  // of it can be.
  const std::string unset = argument + '#';
  RunSettings settings;
  settings.text_file = settings.header_lines = settings.item_number = settings.table_name =
      settings.database_path = unset;
  const ParseOutcome outcome = parse_arguments(std::span(&argument, 1), settings);
  return outcome.run || !outcome.stay_open || settings.recreate || !settings.list_mode ||
         !settings.item_list.empty() || settings.text_file != unset ||
         settings.header_lines != unset || settings.item_number != unset ||
         settings.table_name != unset || settings.database_path != unset;
}

bool names_text_file(const CliOptions& options) {
  return options.files_given || has_form(options, "FN=");
}

std::vector<std::string> argument_notes(const CliOptions& options, const RunSettings& settings) {
  std::vector<std::string> notes;
  for (const std::string& arg : options.arguments) {
    if (!matches_a_form(arg))
      notes.push_back(
          fill_message("Hinweis: Argument '%s' passt zu keiner Form und wird übergangen", {arg}));
  }
  if (settings.recreate && !options.dry_run && !has_form(options, "RT="))
    notes.push_back(
        fill_message("Hinweis: Ohne RT= legt * die Tabelle '%s' an", {settings.table_name}));
  if (settings.list_mode && settings.item_list.empty())
    notes.push_back("Hinweis: Ohne IN= oder I1= (I2=, I3=) nennt der Lauf kein Item; seine "
                    "Datensätze enthalten keine Werte");
  return notes;
}

}  // namespace kadrum
