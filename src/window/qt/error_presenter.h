// Shows errors and start-up failures in Qt's modal message boxes.
#pragma once

#include <memory>

#include "window/error_display.h"

class QMessageBox;
class QWidget;

namespace kadrum {

// The box for "request", not yet shown: critical icon, plain text (a message
// is never read as markup), one button. Parentless when "parent" is null,
// which centres it on the screen.
std::unique_ptr<QMessageBox> make_message_box(const MessageBoxRequest& request,
                                              QWidget* parent = nullptr);

class ErrorPresenter final : public BasicErrorPresenter<QWidget*> {
 public:
  using BasicErrorPresenter::BasicErrorPresenter;

 private:
  void open(const MessageBoxRequest& request, QWidget* parent) const override;
};

}  // namespace kadrum
