// kadrum: the window program. Start-up, the main window's life and the exit status.
#include <QApplication>
#include <algorithm>
#include <string>
#include <vector>

#include "app/error_presenter.h"
#include "app/main_window.h"
#include "app/program_title.h"
#include "app/theme.h"

int main(int argc, char* argv[]) {
  // Taken before QApplication removes its own options: every argument counts
  // as given, and the grammar ignores what it does not know.
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);

  QApplication app(argc, argv);

  const kadrum::ErrorPresenter presenter(
      kadrum::program_title(QCoreApplication::applicationFilePath()));
  kadrum::apply_theme(app, kadrum::kThemeName, presenter);

  std::string dbpath;
  kadrum::MainWindow window(arguments, dbpath, presenter);
  window.setObjectName("Form9");
  window.show();
  app.exec();
  // However the window was closed, the program ends well.
  return 0;
}
