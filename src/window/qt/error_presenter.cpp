#include "window/qt/error_presenter.h"

#include <QMessageBox>
#include <QPushButton>

namespace kadrum {

std::unique_ptr<QMessageBox> make_message_box(const MessageBoxRequest& request,
                                              QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setIcon(QMessageBox::Critical);
  box->setWindowTitle(QString::fromStdString(request.title));
  box->setTextFormat(Qt::PlainText);
  box->setText(QString::fromStdString(request.text));
  if (request.button.empty()) {
    box->setStandardButtons(QMessageBox::Ok);
  } else {
    box->setStandardButtons(QMessageBox::NoButton);
    box->setDefaultButton(
        box->addButton(QString::fromStdString(request.button), QMessageBox::AcceptRole));
  }
  return box;
}

void ErrorPresenter::open(const MessageBoxRequest& request, QWidget* parent) const {
  // exec() makes the box modal to the whole program; focus returns when it closes.
  make_message_box(request, parent)->exec();
}

}  // namespace kadrum
