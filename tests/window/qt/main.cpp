// Runs the window test classes: all of them, or the one named as the first
// argument (the rest goes to Qt Test).
#include <QTest>
#include <functional>
#include <memory>

#include "window/qt/application.h"
#include "support/locale.h"

namespace kadrum::test {
std::unique_ptr<QObject> make_window_layout_test();
std::unique_ptr<QObject> make_window_actions_test();
std::unique_ptr<QObject> make_automatic_run_test();
std::unique_ptr<QObject> make_error_display_test();
std::unique_ptr<QObject> make_theme_test();
#ifdef KADRUM_PG_SERVER
std::unique_ptr<QObject> make_postgres_run_test();
#endif
}  // namespace kadrum::test

int main(int argc, char* argv[]) {
  kadrum::testing::use_test_locale();
  kadrum::Application app(argc, argv);
  // Tests close windows outside any event loop; that must not end anything.
  QApplication::setQuitOnLastWindowClosed(false);
  // An error escaping a handler must not open a box that waits for a click.
  app.presenter().hook = [](const kadrum::MessageBoxRequest& box) {
    qCritical("unexpected error box: %s", box.text.c_str());
  };

  using Factory = std::function<std::unique_ptr<QObject>()>;
  const std::pair<const char*, Factory> classes[] = {
      {"WindowLayoutTest", kadrum::test::make_window_layout_test},
      {"WindowActionsTest", kadrum::test::make_window_actions_test},
      {"AutomaticRunTest", kadrum::test::make_automatic_run_test},
      {"ErrorDisplayTest", kadrum::test::make_error_display_test},
      {"ThemeTest", kadrum::test::make_theme_test},
#ifdef KADRUM_PG_SERVER
      {"PostgresRunTest", kadrum::test::make_postgres_run_test},
#endif
  };
  QStringList arguments = QCoreApplication::arguments();
  QString only;
  if (arguments.size() > 1 && !arguments[1].startsWith('-')) only = arguments.takeAt(1);

  int failures = 0;
  bool ran = false;
  for (const auto& [name, make] : classes) {
    if (!only.isEmpty() && only != name) continue;
    ran = true;
    const std::unique_ptr<QObject> test = make();
    failures += QTest::qExec(test.get(), arguments);
  }
  return ran ? failures : 1;
}
