// MainWindow: Kadrum's one window. It binds its controls to the actions and holds
// nothing of the import logic itself.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "actions/db_connect.h"
#include "base/run_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kadrum {

class ErrorPresenter;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Creates the window with its controls at their fixed places, then runs
  // on_create. "arguments" (without the program's name) are parsed at the
  // first showing; "dbpath" is the program-wide database path and must
  // outlive the window. Nothing is shown and nothing is opened here.
  MainWindow(std::vector<std::string> arguments, std::string& dbpath,
         const ErrorPresenter& presenter);
  ~MainWindow() override;

  // The handlers. Each throws what its action throws; the callers show it.
  void on_create();
  void on_show();
  void on_go();       // the "go" button
  void on_connect();  // the "db connect" button
  void on_exit();     // the "exit" button

  DatabaseObjects& database() { return db_; }
  bool multi() const { return multi_; }

  void setVisible(bool visible) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void create_controls();
  // Runs "action" and shows its error; the one place where actions' errors
  // are caught.
  void perform(const std::function<void()>& action);
  RunSettings read_settings() const;
  void write_settings(const RunSettings& settings);

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* tabname = nullptr;
  QLineEdit* itmnr = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QLineEdit* dbname = nullptr;
  QLineEdit* imprtfile = nullptr;
  QPushButton* Button3 = nullptr;
  QLineEdit* nhdl = nullptr;
  QListWidget* itemlist = nullptr;
  QCheckBox* CheckBox1 = nullptr;

  std::vector<std::string> arguments_;
  std::string& dbpath_;
  const ErrorPresenter& presenter_;
  bool multi_ = true;
  DatabaseObjects db_;

  bool shown_once_ = false;
  bool first_showing_ = false;
  bool close_after_showing_ = false;
};

}  // namespace kadrum
