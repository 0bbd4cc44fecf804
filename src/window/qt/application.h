// Application: the program's QApplication. It carries the program icon and
// shows every error that escapes the handling of an event.
#pragma once

#include <QApplication>
#include <QIcon>

#include "window/qt/error_presenter.h"

namespace kadrum {

// The program icon in the sizes the program carries (16 to 128 pixels).
QIcon program_icon();

class Application : public QApplication {
 public:
  // Starts Qt with "argc" and "argv" (Qt takes out the options it knows),
  // gives every window the program icon, names the desktop entry (the
  // Wayland app id, by which a task bar finds the icon) and forms the
  // program title from the program's file.
  Application(int& argc, char** argv);

  // The error display of the whole program, under the program title.
  ErrorPresenter& presenter() { return presenter_; }

  // Delivers "event" as QApplication does. An exception that escapes the
  // receiver's handler ends that handler: it is shown by the error display
  // rule, the event counts as not handled, and the event loop goes on.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ErrorPresenter presenter_;
};

}  // namespace kadrum
