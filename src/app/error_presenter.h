// Shows errors and start-up failures in modal message boxes.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace kadrum {

// One message box: caption, text and the single button. Every box of the
// program carries the critical icon.
struct MessageBoxRequest {
  QString title;
  QString text;
  QString button;  // empty: the standard OK button
};

// The box for "request", not yet shown: critical icon, plain text (a message
// is never read as markup), one button. Parentless when "parent" is null,
// which centres it on the screen.
std::unique_ptr<QMessageBox> make_message_box(const MessageBoxRequest& request,
                                              QWidget* parent = nullptr);

// Owns the program title and the way boxes are shown. Tests set "hook" to
// record the boxes instead of opening them.
class ErrorPresenter {
 public:
  explicit ErrorPresenter(QString title) : title_(std::move(title)) {}

  const QString& title() const { return title_; }

  // Shows "request": through the hook when one is set, else as a modal box
  // over "parent" (or centred on the screen), returning when it is closed.
  void show(const MessageBoxRequest& request, QWidget* parent = nullptr) const;

  // The error display rule: display_text("error") under the program title,
  // with the OK button.
  void show_error(const std::exception& error, QWidget* parent = nullptr) const;

  std::function<void(const MessageBoxRequest&)> hook;

 private:
  QString title_;
};

}  // namespace kadrum
