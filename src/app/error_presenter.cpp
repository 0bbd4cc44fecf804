#include "app/error_presenter.h"

#include <QMessageBox>
#include <QPushButton>

#include "base/error.h"

namespace kadrum {

std::unique_ptr<QMessageBox> make_message_box(const MessageBoxRequest& request,
                                              QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setIcon(QMessageBox::Critical);
  box->setWindowTitle(request.title);
  box->setTextFormat(Qt::PlainText);
  box->setText(request.text);
  if (request.button.isEmpty()) {
    box->setStandardButtons(QMessageBox::Ok);
  } else {
    box->setStandardButtons(QMessageBox::NoButton);
    box->setDefaultButton(box->addButton(request.button, QMessageBox::AcceptRole));
  }
  return box;
}

void ErrorPresenter::show(const MessageBoxRequest& request,
                          QWidget* parent) const {
  if (hook) {
    hook(request);
    return;
  }
  // exec() makes the box modal to the whole program; focus returns when it closes.
  make_message_box(request, parent)->exec();
}

void ErrorPresenter::show_error(const std::exception& error,
                                QWidget* parent) const {
  show({title_, QString::fromStdString(display_text(error)), QString()}, parent);
}

}  // namespace kadrum
