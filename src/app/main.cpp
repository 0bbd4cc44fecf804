// kadrum: the window program. Start-up, the main window's life and the exit status.
#include <QApplication>
#include <algorithm>
#include <string>
#include <vector>

#include "app/error_presenter.h"
#include "app/form9.h"
#include "app/program_title.h"
#include "app/theme.h"

int main(int argc, char* argv[]) {
  // Taken before QApplication removes its own options: every argument counts
  // as given, and the grammar ignores what it does not know.
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);

  // The database engine needs no per-thread initialisation.
  QApplication app(argc, argv);
  // A top-level Qt window has its own task-bar button already: nothing to mark.

  const kadrum::ErrorPresenter presenter(
      kadrum::program_title(QCoreApplication::applicationFilePath()));
  kadrum::apply_theme(app, kadrum::kThemeName, presenter);

  std::string dbpath;
  kadrum::TForm9 Form9(arguments, dbpath, presenter);
  Form9.setObjectName("Form9");
  Form9.show();
  app.exec();
  // However the window was closed, the program ends well.
  return 0;
}
