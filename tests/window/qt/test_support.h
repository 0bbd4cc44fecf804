// Shared pieces of the window tests: the test window, recorded boxes, temporary databases,
// row counts read straight from the SQLite file.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "window/qt/error_presenter.h"
#include "window/qt/main_window.h"
#include "support/temp_folder.h"

class QWidget;

namespace kadrum::test {

// A presenter whose boxes are recorded instead of opened. "watched", when
// set, has its visibility noted at the moment each box is shown.
class BoxRecorder {
 public:
  BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  ErrorPresenter presenter{"Kadrum_tests"};
  std::vector<MessageBoxRequest> boxes;
  std::vector<bool> watched_was_visible;
  QWidget* watched = nullptr;

  QStringList texts() const;
};

// The window under test with its boxes recorded; "arguments" are parsed at
// the first showing.
struct Window {
  explicit Window(std::vector<std::string> arguments = {})
      : form(std::move(arguments), database_path, boxes.presenter) {
    boxes.watched = &form;
  }
  QLineEdit* field(const char* name) { return form.findChild<QLineEdit*>(name); }
  QListWidget* list() { return form.findChild<QListWidget*>("itemlist"); }
  void click(const char* name) { form.findChild<QPushButton*>(name)->click(); }

  BoxRecorder boxes;
  std::string database_path;
  MainWindow form;
};

// A temporary folder that holds an empty (0-byte) SQLite database file.
class TempDatabase {
 public:
  TempDatabase();
  std::string path() const;                   // the database file
  std::string file(const QString& name) const;  // another file in the folder
  // Writes "text" to "name" in the folder and returns its path.
  std::string write(const QString& name, const QByteArray& text) const;

 private:
  testing::TempFolder folder_;
};

// Runs the real kadrum program under the offscreen platform with
// "arguments" and returns its exit code; -1 when it crashed, or did not end
// within 20 s and was killed (a program that does not end by itself is the
// fault; the bound only keeps the test from hanging).
int run_kadrum(const QStringList& arguments);

// Number of rows of "table" in the SQLite file "path"; -1 when the table
// does not exist or the file cannot be read.
long long count_rows(const std::string& path, const std::string& table);

// The first row of "table", its columns joined by "|"; empty when none.
std::string first_row(const std::string& path, const std::string& table);

}  // namespace kadrum::test
