// kadrum: the window program. Start-up, the main window's life and the exit status.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "window/qt/application.h"
#include "window/qt/main_window.h"
#include "window/qt/theme.h"

namespace {

// True when Qt has somewhere to show the window: an X or Wayland display,
// or a platform chosen by QT_QPA_PLATFORM or -platform (offscreen, say).
// Without any, Qt would abort with an English message and status 134.
bool has_display(const std::vector<std::string>& arguments) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return std::ranges::find(arguments, "-platform") != arguments.end();
}

}  // namespace

int main(int argc, char* argv[]) {
  // Taken before QApplication removes its own options: every argument counts
  // as given, and the grammar ignores what it does not know.
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  // Answered before Qt starts, so it works without a display.
  if (std::ranges::find(arguments, "--version") != arguments.end()) {
    std::puts("kadrum " KADRUM_VERSION);
    return 0;
  }
  if (!has_display(arguments)) {
    std::fputs("kadrum: Keine grafische Anzeige gefunden: weder DISPLAY noch "
               "WAYLAND_DISPLAY ist gesetzt. Ohne Fenster erledigt kadrum-cli "
               "dieselbe Arbeit mit denselben Argumenten.\n",
               stderr);
    return 1;
  }

  kadrum::Application app(argc, argv);
  kadrum::apply_theme(app, kadrum::kThemeName, app.presenter());

  std::string dbpath;
  kadrum::MainWindow window(arguments, dbpath, app.presenter());
  window.setObjectName("Form9");
  window.show();
  app.exec();
  // However the window was closed, the program ends well.
  return 0;
}
