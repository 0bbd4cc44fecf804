// The buttons and the parse, through the real window and a real SQLite file.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "window/qt/main_window.h"
#include "convert/locale_formats.h"
#include "support/locale.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class WindowActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void parseFillsTheFields();
  void parseWithoutDbLeavesDbnameEmpty();
  void listEntriesAreThirteenPixelsHigh();
  void connectWithRecreateCreatesTheTable();
  void goImportsTheSampleRows();
  void goBeforeConnectShowsTheClosedTableError();
  void goTwiceAppendsTwice();
  void connectFailureKeepsTheSettledPath();
  void editedFieldsAreReadWhenTheActionRuns();
  void exitClosesTheWindow();
  void localeChangeRereadsTheDecimalSeparator();
};

const QByteArray kSmallFile =
    "year day ppm\n"
    "2001 12 370.5\n"
    "2001 13 371.25\n"
    "2001 14 369.75\n";

void WindowActionsTest::parseFillsTheFields() {
  Window window({"DB=/some/where.db", "RT=co2", "HD=34", "FN=data file.txt",
                 "IN=5", "*", "i2=7"});
  window.form.show();
  QCOMPARE(window.field("itmnr")->text(), QString("5"));
  QCOMPARE(window.field("dbname")->text(), QString("/some/where.db"));
  QCOMPARE(window.database_path, std::string("/some/where.db"));
  QCOMPARE(window.field("tabname")->text(), QString("co2"));
  QCOMPARE(window.field("nhdl")->text(), QString("34"));
  QCOMPARE(window.field("imprtfile")->text(), QString("data file.txt"));
  QCOMPARE(window.field("imprtfile")->cursorPosition(), 0);  // shows its start
  QCOMPARE(window.list()->count(), 2);
  QCOMPARE(window.list()->item(0)->text(), QString("5"));
  QCOMPARE(window.list()->item(1)->text(), QString("7"));
  QVERIFY(window.form.findChild<QCheckBox*>("CheckBox1")->isChecked());
  QVERIFY(!window.form.multi());
  QVERIFY(window.boxes.boxes.empty());
  QVERIFY(!window.form.database().access_con.is_open());  // no GO: nothing runs
}

void WindowActionsTest::parseWithoutDbLeavesDbnameEmpty() {
  Window window({"RT=t", "I1=3"});
  window.form.show();
  QCOMPARE(window.field("dbname")->text(), QString());
  QCOMPARE(window.field("itmnr")->text(), QString("itmnr"));
  QVERIFY(window.form.multi());
}

void WindowActionsTest::listEntriesAreThirteenPixelsHigh() {
  Window window({"I1=3", "I2=4"});
  window.form.show();
  QListWidget* list = window.list();
  QCOMPARE(list->visualItemRect(list->item(0)).height(), 13);
  QCOMPARE(list->visualItemRect(list->item(1)).top(),
           list->visualItemRect(list->item(0)).top() + 13);
}

void WindowActionsTest::connectWithRecreateCreatesTheTable() {
  TempDatabase db;
  Window window({"DB=" + db.path(), "RT=t", "*"});
  window.form.show();
  window.click("Button2");
  QCOMPARE(window.boxes.texts(), QStringList());
  QCOMPARE(count_rows(db.path(), "t"), 0);
  QVERIFY(window.form.database().itab.is_open());
}

void WindowActionsTest::goImportsTheSampleRows() {
  TempDatabase db;
  Window window({"DB=" + db.path(), "RT=co2", "HD=34",
                 std::string("FN=") + KADRUM_SAMPLE, "IN=5", "*"});
  window.form.show();
  window.click("Button2");
  window.click("Button1");
  QCOMPARE(window.boxes.texts(), QStringList());
  QCOMPARE(count_rows(db.path(), "co2"), 15375);
  QCOMPARE(first_row(db.path(), "co2"), std::string("1974.0|5.0|333.46"));
}

void WindowActionsTest::goBeforeConnectShowsTheClosedTableError() {
  TempDatabase db;
  const std::string text = db.write("small.txt", kSmallFile);
  Window window({"DB=" + db.path(), "RT=t", "FN=" + text, "IN=3", "*"});
  window.form.show();
  window.click("Button1");
  QCOMPARE(window.boxes.texts(),
           QStringList("itab: Operation bei geschlossener Datenmenge nicht ausführbar."));
  QCOMPARE(QString::fromStdString(window.boxes.boxes.front().title), QString("Kadrum_tests"));
  QVERIFY(window.boxes.watched_was_visible.front());
  QVERIFY(window.form.isVisible());
  QCOMPARE(count_rows(db.path(), "t"), -1);
}

void WindowActionsTest::goTwiceAppendsTwice() {
  TempDatabase db;
  const std::string text = db.write("small.txt", kSmallFile);
  Window window({"DB=" + db.path(), "RT=t", "FN=" + text, "IN=3", "*"});
  window.form.show();
  window.click("Button2");
  window.click("Button1");
  QCOMPARE(count_rows(db.path(), "t"), 3);
  window.click("Button1");
  QCOMPARE(window.boxes.texts(), QStringList());
  QCOMPARE(count_rows(db.path(), "t"), 6);
  // A second connect with the flag still set starts the table afresh.
  window.click("Button2");
  QCOMPARE(count_rows(db.path(), "t"), 0);
}

void WindowActionsTest::connectFailureKeepsTheSettledPath() {
  TempDatabase db;
  const std::string missing = db.file("no/such.db");
  Window window({"DB=?", "RT=t"});
  window.form.show();
  QCOMPARE(window.field("dbname")->text(), QString("?"));
  window.field("dbname")->setText(QString::fromStdString(missing));
  window.click("Button2");
  QCOMPARE(window.boxes.boxes.size(), std::size_t(1));
  QCOMPARE(window.database_path, missing);
  QVERIFY(!window.form.database().access_con.is_open());
  QVERIFY(window.form.isVisible());
  // Later edits of dbname no longer count: the path was settled.
  window.field("dbname")->setText(QString::fromStdString(db.path()));
  window.click("Button2");
  QCOMPARE(window.boxes.boxes.size(), std::size_t(2));
}

void WindowActionsTest::editedFieldsAreReadWhenTheActionRuns() {
  TempDatabase db;
  const std::string text = db.write("small.txt", kSmallFile);
  Window window({"DB=" + db.path(), "RT=first", "*"});
  window.form.show();
  window.field("tabname")->setText("second");
  window.field("imprtfile")->setText(QString::fromStdString(text));
  window.click("Button2");
  window.click("Button1");
  QCOMPARE(window.boxes.texts(), QStringList());
  QCOMPARE(count_rows(db.path(), "first"), -1);
  QCOMPARE(count_rows(db.path(), "second"), 3);
  // List mode with no entries: three empty values, stored as NULL.
  QCOMPARE(first_row(db.path(), "second"), std::string("NULL|NULL|NULL"));
}

void WindowActionsTest::exitClosesTheWindow() {
  Window window;
  window.form.show();
  window.click("Button3");
  QVERIFY(!window.form.isVisible());
  QVERIFY(window.boxes.boxes.empty());
}

void WindowActionsTest::localeChangeRereadsTheDecimalSeparator() {
  const QString locales = QString::fromStdString(kadrum::testing::german_locale_folder());
  if (locales.isEmpty()) QSKIP("no German locale was built for the tests");
  Window window;
  const std::string before = locale_formats().decimal_separator;
  const auto restore = [](const char* name) {
    const bool was_set = qEnvironmentVariableIsSet(name);
    const QByteArray value = qgetenv(name);
    return [=] { was_set ? qputenv(name, value) : qunsetenv(name); };
  };
  const auto restore_all = restore("LC_ALL");
  const auto restore_path = restore("LOCPATH");
  qputenv("LOCPATH", locales.toLocal8Bit());
  qputenv("LC_ALL", "de_DE.UTF-8");
  QEvent change(QEvent::LocaleChange);
  QCoreApplication::sendEvent(&window.form, &change);
  const std::string after = locale_formats().decimal_separator;
  restore_all();
  restore_path();
  reload_locale_formats();
  QCOMPARE(before, std::string("."));
  QCOMPARE(after, std::string(","));
}

}  // namespace

std::unique_ptr<QObject> make_window_actions_test() {
  return std::make_unique<WindowActionsTest>();
}

}  // namespace kadrum::test

#include "window_actions_test.moc"
