// The main window's behaviour, whatever toolkit draws it: the run settings
// held in its controls, the handlers of its buttons, and the first showing
// with the automatic run. A toolkit's window gives it its controls and shows
// the errors that its handlers throw.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "actions/db_connect.h"
#include "base/run_settings.h"

namespace kadrum {

// The edit fields that hold run settings, named after the controls.
enum class Field { imprtfile, nhdl, itmnr, dbname, tabname };

// What the toolkit's window lends the form: its controls' texts and states,
// and the closing of the window. Texts are UTF-8.
class FormControls {
 public:
  virtual std::string text(Field field) const = 0;
  // Replaces the whole text; a long one shows its beginning.
  virtual void set_text(Field field, const std::string& text) = 0;
  virtual std::vector<std::string> item_list() const = 0;
  virtual void set_item_list(const std::vector<std::string>& entries) = 0;
  virtual bool recreate_checked() const = 0;
  virtual void set_recreate_checked(bool checked) = 0;
  // Closes the window now; the program ends with it.
  virtual void close_window() = 0;

 protected:
  ~FormControls() = default;
};

// Runs one action and shows the error that escapes it (the toolkit's own
// catching, with its wait cursor and its box).
using Perform = std::function<void(const std::function<void()>& action)>;

class Form {
 public:
  // "arguments" (without the program's name) are parsed at the first
  // showing; "dbpath" is the program-wide database path and must outlive the
  // form, as must "controls". Nothing is opened here.
  Form(FormControls& controls, std::vector<std::string> arguments, std::string& dbpath)
      : controls_(controls), arguments_(std::move(arguments)), dbpath_(dbpath) {}

  // The handlers. Each throws what its action throws; the callers show it.
  void on_create();   // the window has been created
  void on_show();     // the parse, then the automatic run
  void on_go();       // the "go" button
  void on_connect();  // the "db connect" button
  void on_exit();     // the "exit" button

  // Call whenever the window is about to become visible: the first time, runs
  // on_show through "perform", before anything of the window is on the screen.
  void before_showing(const Perform& perform);
  // Call right after the window became visible: true once when an "exit"
  // during the first showing now asks the toolkit to close the window. (A
  // close from within the showing would be undone by the showing itself.)
  bool close_after_showing();

  RunSettings read_settings() const;
  void write_settings(const RunSettings& settings);

  DatabaseObjects& database() { return db_; }
  bool multi() const { return multi_; }

 private:
  FormControls& controls_;
  std::vector<std::string> arguments_;
  std::string& dbpath_;
  bool multi_ = true;
  DatabaseObjects db_;

  bool shown_once_ = false;
  bool first_showing_ = false;
  bool close_after_showing_ = false;
};

}  // namespace kadrum
