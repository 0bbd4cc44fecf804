#include "import/argument_grammar.h"

#include "base/utf8.h"

namespace kadrum {

namespace {

// The first three characters, upper-cased, compared with a three-character form.
bool prefix_is(std::string_view arg, std::string_view form) {
  return ascii_upper(utf8_prefix(arg, 3)) == form;
}

// At least three characters, first "I" in any case, any second, third "=".
bool is_item_form(std::string_view arg) {
  const std::string_view first = utf8_char_at(arg, 0);
  return (first == "I" || first == "i") && utf8_char_at(arg, 2) == "=";
}

// Every form that matches applies; the order of the tests is the table's.
void apply_argument(const std::string& arg, RunSettings& settings,
                    ParseOutcome& outcome) {
  const std::string rest(utf8_after(arg, 3));
  if (prefix_is(arg, "DB=")) settings.database_path = rest;
  if (arg == "!") outcome.stay_open = false;
  if (ascii_upper(arg) == "GO") outcome.run = true;
  if (prefix_is(arg, "RT=")) settings.table_name = rest;
  if (prefix_is(arg, "HD=")) settings.header_lines = rest;
  if (arg == "*") settings.recreate = true;
  if (is_item_form(arg)) settings.item_list.push_back(rest);
  if (prefix_is(arg, "IN=")) {
    settings.list_mode = false;
    settings.item_number = rest;
  }
  if (prefix_is(arg, "FN=")) settings.text_file = rest;
}

}  // namespace

ParseOutcome parse_arguments(std::span<const std::string> args,
                             RunSettings& settings) {
  ParseOutcome outcome;
  settings.list_mode = true;
  for (const std::string& arg : args) apply_argument(arg, settings, outcome);
  settings.database_name = settings.database_path;
  return outcome;
}

}  // namespace kadrum
