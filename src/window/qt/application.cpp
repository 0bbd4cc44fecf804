#include "window/qt/application.h"

#include "window/program_title.h"
#include "base/error.h"

// The icon lives in a static library: nothing would pull it in otherwise.
// Q_INIT_RESOURCE must stand outside any namespace.
static void init_icon_resources() { Q_INIT_RESOURCE(icon); }

namespace kadrum {

QIcon program_icon() {
  init_icon_resources();
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128})
    icon.addFile(QString(":/icon/%1.png").arg(size), QSize(size, size));
  return icon;
}

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv),
      presenter_(program_title(QCoreApplication::applicationFilePath().toStdString())) {
  setWindowIcon(program_icon());
  // The name of the installed desktop entry, without ".desktop".
  setDesktopFileName("org.kadrum.Kadrum");
}

bool Application::notify(QObject* receiver, QEvent* event) {
  // Only here can an exception from any handler be caught before it would
  // unwind through Qt's event loop and end the program.
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    presenter_.show_error(error, activeWindow());
  } catch (...) {
    // Not one of Kadrum's errors and without a message: an empty box.
    presenter_.show_error(Error(""), activeWindow());
  }
  return false;
}

}  // namespace kadrum
