// MainWindow: Kadrum's one window drawn by Qt. It lends its controls to the
// form, which holds the handlers, and binds its buttons to them.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "window/form.h"
#include "window/layout.h"

class QLineEdit;

namespace kadrum {

class ErrorPresenter;

class MainWindow : public QWidget, private FormControls {
  Q_OBJECT

 public:
  // Creates the window with its controls at their fixed places (kLayout),
  // then runs on_create. "arguments" (without the program's name) are parsed
  // at the first showing; "dbpath" is the program-wide database path and
  // must outlive the window. Nothing is shown and nothing is opened here.
  MainWindow(std::vector<std::string> arguments, std::string& dbpath,
         const ErrorPresenter& presenter);
  ~MainWindow() override;

  // The handlers. Each throws what its action throws; the callers show it.
  void on_create() { form_.on_create(); }
  void on_show() { form_.on_show(); }
  void on_go() { form_.on_go(); }            // the "go" button
  void on_connect() { form_.on_connect(); }  // the "db connect" button
  void on_exit() { form_.on_exit(); }        // the "exit" button

  DatabaseObjects& database() { return form_.database(); }
  bool multi() const { return form_.multi(); }

  void setVisible(bool visible) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void create_controls();
  // Runs "action" and shows its error; the one place where actions' errors
  // are caught.
  void perform(const std::function<void()>& action);

  // FormControls
  std::string text(Field field) const override;
  void set_text(Field field, const std::string& text) override;
  std::vector<std::string> item_list() const override;
  void set_item_list(const std::vector<std::string>& entries) override;
  bool recreate_checked() const override;
  void set_recreate_checked(bool checked) override;
  void close_window() override;
  QLineEdit* field(Field field) const;
  // The control "id", as the widget class its kind makes.
  template <typename Widget>
  Widget* widget(control::Id id) const { return static_cast<Widget*>(controls_[id]); }

  std::array<QWidget*, control::count> controls_{};  // owned as children

  const ErrorPresenter& presenter_;
  Form form_;
};

}  // namespace kadrum
