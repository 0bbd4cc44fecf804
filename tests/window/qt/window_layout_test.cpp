// The window as designed: controls, texts, positions, tab chain, focus.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

#include "window/qt/main_window.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void creationOrderIsTheDesignOrder();
  void windowKeepsCaptionSizeAndColours();
  void resizeMovesNothing();
  void tabFollowsTheDesignChainNotTheScreenOrder();
  void noButtonIsDefault();
  void labelsTakeNoFocusAndNoAccessKeys();
  void freshStartShowsInitialTextsAndRunsNothing();
};

void WindowLayoutTest::creationOrderIsTheDesignOrder() {
  Window window;
  QStringList names;
  for (QObject* child : window.form.children()) {
    if (child->isWidgetType()) names << child->objectName();
  }
  QCOMPARE(names, QStringList({"Label1", "Label2", "Label3", "Label4", "Label5",
                               "tabname", "itmnr", "Button1", "Button2", "dbname",
                               "imprtfile", "Button3", "nhdl", "itemlist",
                               "CheckBox1"}));
}

void WindowLayoutTest::windowKeepsCaptionSizeAndColours() {
  Window window;
  QCOMPARE(window.form.windowTitle(), QString("Kadrum"));
  QCOMPARE(window.form.size(), QSize(361, 348));
  const QPalette colours = window.form.palette();
  QCOMPARE(colours.color(QPalette::Window), colours.color(QPalette::Button));
  QCOMPARE(window.form.font().pixelSize(), 11);
  QCOMPARE(window.form.font().weight(), QFont::Normal);
  QVERIFY(!window.form.font().italic());
  const Qt::WindowFlags flags = window.form.windowFlags();
  QVERIFY(flags.testFlag(Qt::Window));
  QVERIFY(window.form.minimumSize() != window.form.maximumSize());
}

void WindowLayoutTest::resizeMovesNothing() {
  Window window;
  window.form.show();
  auto* dbname = window.form.findChild<QLineEdit*>("dbname");
  auto* button = window.form.findChild<QPushButton*>("Button3");
  window.form.resize(700, 600);
  QCoreApplication::processEvents();
  QCOMPARE(window.form.size(), QSize(700, 600));
  QCOMPARE(dbname->geometry(), QRect(47, 148, 298, 21));
  QCOMPARE(button->geometry(), QRect(48, 303, 121, 25));
}

void WindowLayoutTest::tabFollowsTheDesignChainNotTheScreenOrder() {
  Window window;
  window.form.show();
  window.form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window.form));
  QCOMPARE(QApplication::focusWidget()->objectName(), QString("tabname"));
  QStringList visited;
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(visited, QStringList({"itmnr", "Button1", "Button2", "dbname",
                                 "imprtfile", "Button3", "nhdl", "itemlist",
                                 "CheckBox1", "tabname"}));
}

void WindowLayoutTest::noButtonIsDefault() {
  Window window;
  for (auto* button : window.form.findChildren<QPushButton*>()) {
    QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
    QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
  }
}

void WindowLayoutTest::labelsTakeNoFocusAndNoAccessKeys() {
  Window window;
  for (auto* label : window.form.findChildren<QLabel*>()) {
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QCOMPARE(label->buddy(), nullptr);
    QVERIFY(!label->text().contains('&'));
  }
  for (auto* control : window.form.findChildren<QWidget*>()) {
    QVERIFY(control->toolTip().isEmpty());
    if (!qobject_cast<QLabel*>(control) && control->parentWidget() == &window.form)
      QCOMPARE(control->focusPolicy(), Qt::StrongFocus);
  }
}

void WindowLayoutTest::freshStartShowsInitialTextsAndRunsNothing() {
  Window window;
  window.boxes.watched = &window.form;
  window.form.show();
  QCoreApplication::processEvents();
  QVERIFY(window.boxes.boxes.empty());
  QVERIFY(window.form.isVisible());
  QVERIFY(window.form.multi());
  QCOMPARE(window.form.findChild<QLineEdit*>("dbname")->text(), QString());
  QCOMPARE(window.form.findChild<QLineEdit*>("imprtfile")->text(), QString("imprtfile"));
  QCOMPARE(window.form.findChild<QListWidget*>("itemlist")->count(), 0);
  QVERIFY(!window.form.findChild<QCheckBox*>("CheckBox1")->isChecked());
  QVERIFY(!window.form.database().access_con.is_open());
  QCOMPARE(window.form.focusWidget()->objectName(), QString("tabname"));
}

}  // namespace

std::unique_ptr<QObject> make_window_layout_test() {
  return std::make_unique<WindowLayoutTest>();
}

}  // namespace kadrum::test

#include "window_layout_test.moc"
