// GO and ! at start-up: in-process, and the real kadrum program as a process.
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <memory>

#include "window/qt/main_window.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class AutomaticRunTest : public QObject {
  Q_OBJECT

 private slots:
  void goAndExitRunUnattendedAndEndWithStatusZero();
  void goAloneImportsBeforeTheWindowAppearsAndStaysOpen();
  void goAndExitCloseRightAfterTheShowing();
  void unopenableDatabaseSkipsGoAndExit();
  void exitWithoutGoDoesNothing();
  void noDisplayFailsInGermanButVersionWorks();
};

void AutomaticRunTest::goAndExitRunUnattendedAndEndWithStatusZero() {
  TempDatabase db;
  QCOMPARE(run_kadrum({"DB=" + QString::fromStdString(db.path()), "RT=t", "HD=34",
                       QString("FN=") + KADRUM_SAMPLE, "IN=5", "*", "GO", "!"}),
           0);
  QCOMPARE(count_rows(db.path(), "t"), 15375);
}

void AutomaticRunTest::goAloneImportsBeforeTheWindowAppearsAndStaysOpen() {
  TempDatabase db;
  const std::string text = db.write("small.txt", "head\n1999 1 5.5\n1999 2 6.5\n");
  Window window({"DB=" + db.path(), "RT=t", "FN=" + text, "IN=3", "*", "GO"});
  window.form.show();
  // The rows were stored during the showing itself.
  QCOMPARE(count_rows(db.path(), "t"), 2);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  QVERIFY(window.form.isVisible());
  QVERIFY(window.boxes.boxes.empty());
  QVERIFY(window.form.database().itab.is_open());
}

void AutomaticRunTest::goAndExitCloseRightAfterTheShowing() {
  TempDatabase db;
  const std::string text = db.write("small.txt", "head\n1999 1 5.5\n");
  Window window({"DB=" + db.path(), "RT=t", "FN=" + text, "IN=3", "*", "GO", "!"});
  window.form.show();
  QVERIFY(window.form.isVisible());
  QCoreApplication::processEvents();
  QVERIFY(!window.form.isVisible());
  QCOMPARE(count_rows(db.path(), "t"), 1);
  QVERIFY(window.boxes.boxes.empty());
}

void AutomaticRunTest::unopenableDatabaseSkipsGoAndExit() {
  TempDatabase db;
  const std::string text = db.write("small.txt", "head\n1999 1 5.5\n");
  Window window({"DB=" + db.file("missing/x.db"), "RT=t", "FN=" + text, "IN=3",
                 "*", "GO", "!"});
  window.form.show();
  QCOMPARE(window.boxes.boxes.size(), std::size_t(1));
  QVERIFY(!window.boxes.watched_was_visible.front());  // shown before the window
  QVERIFY(!window.boxes.boxes.front().text.empty());
  QCOMPARE(QString::fromStdString(window.boxes.boxes.front().title), QString("Kadrum_tests"));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  QVERIFY(window.form.isVisible());  // exit was skipped
  QVERIFY(!window.form.database().access_con.is_open());
  // The window shows the settings that led to the error.
  QCOMPARE(window.form.findChild<QLineEdit*>("dbname")->text().toStdString(),
           db.file("missing/x.db"));
}

void AutomaticRunTest::exitWithoutGoDoesNothing() {
  TempDatabase db;
  Window window({"DB=" + db.path(), "RT=t", "*", "!"});
  window.form.show();
  QCoreApplication::processEvents();
  QVERIFY(window.form.isVisible());
  QVERIFY(!window.form.database().access_con.is_open());
}

// Fault: without a display Qt aborted with its English message and 134.
void AutomaticRunTest::noDisplayFailsInGermanButVersionWorks() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(name);
  for (const QString& argument : {QString("GO"), QString("--version")}) {
    QProcess kadrum;
    kadrum.setProcessEnvironment(environment);
    kadrum.start(KADRUM_PROGRAM, {argument});
    QVERIFY(kadrum.waitForFinished(20'000));
    const QString err = QString::fromUtf8(kadrum.readAllStandardError());
    if (argument == "GO") {
      QCOMPARE(kadrum.exitCode(), 1);
      QVERIFY2(err.contains("weder DISPLAY noch WAYLAND_DISPLAY"), qPrintable(err));
    } else {
      QCOMPARE(kadrum.exitCode(), 0);
      QVERIFY(kadrum.readAllStandardOutput().startsWith("kadrum "));
    }
  }
}

}  // namespace

std::unique_ptr<QObject> make_automatic_run_test() {
  return std::make_unique<AutomaticRunTest>();
}

}  // namespace kadrum::test

#include "automatic_run_test.moc"
