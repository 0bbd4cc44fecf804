// kadrum: the window program. Start-up, the main window's life and the exit status.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "app/theme.h"

int main(int argc, char* argv[]) {
  // Taken before QApplication removes its own options: every argument counts
  // as given, and the grammar ignores what it does not know.
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  // Answered before Qt starts, so it works without a display.
  if (std::ranges::find(arguments, "--version") != arguments.end()) {
    std::puts("kadrum " KADRUM_VERSION);
    return 0;
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
