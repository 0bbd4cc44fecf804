#include "window/form.h"

#include <utility>

#include "actions/go.h"
#include "import/argument_grammar.h"

namespace kadrum {

void Form::on_create() { controls_.set_recreate_checked(false); }

void Form::on_show() {
  RunSettings settings = read_settings();
  const ParseOutcome outcome = parse_arguments(arguments_, settings);
  write_settings(settings);
  if (!outcome.run) return;
  on_connect();
  on_go();
  if (!outcome.stay_open) on_exit();
}

void Form::on_go() {
  const RunSettings settings = read_settings();
  const auto file = open_text_file(settings);
  AppendingSink sink(db_.itab);
  go(settings, *file, sink);
}

void Form::on_connect() {
  RunSettings settings = read_settings();
  try {
    db_connect(settings, db_);
  } catch (...) {
    dbpath_ = settings.database_path;  // a settled "?" stays settled after a failure
    throw;
  }
  dbpath_ = settings.database_path;
}

void Form::on_exit() {
  // Closing a window that is about to appear would be undone by its showing;
  // the close then waits until the showing is over.
  if (first_showing_) {
    close_after_showing_ = true;
    return;
  }
  controls_.close_window();
}

void Form::before_showing(const Perform& perform) {
  if (shown_once_) return;
  shown_once_ = true;
  first_showing_ = true;
  perform([this] { on_show(); });
  first_showing_ = false;
}

bool Form::close_after_showing() { return std::exchange(close_after_showing_, false); }

RunSettings Form::read_settings() const {
  RunSettings settings;
  settings.text_file = controls_.text(Field::imprtfile);
  settings.header_lines = controls_.text(Field::nhdl);
  settings.item_number = controls_.text(Field::itmnr);
  settings.item_list = controls_.item_list();
  settings.database_name = controls_.text(Field::dbname);
  settings.table_name = controls_.text(Field::tabname);
  settings.recreate = controls_.recreate_checked();
  settings.list_mode = multi_;
  settings.database_path = dbpath_;
  return settings;
}

void Form::write_settings(const RunSettings& settings) {
  controls_.set_text(Field::imprtfile, settings.text_file);
  controls_.set_text(Field::nhdl, settings.header_lines);
  controls_.set_text(Field::itmnr, settings.item_number);
  controls_.set_item_list(settings.item_list);
  controls_.set_text(Field::dbname, settings.database_name);
  controls_.set_text(Field::tabname, settings.table_name);
  controls_.set_recreate_checked(settings.recreate);
  multi_ = settings.list_mode;
  dbpath_ = settings.database_path;
}

}  // namespace kadrum
