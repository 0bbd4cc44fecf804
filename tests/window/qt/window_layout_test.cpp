// The window as window/layout.h designs it: controls, texts, positions, tab chain, focus.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

#include "window/layout.h"
#include "window/qt/main_window.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAreTheDesignAndResizeMovesNothing();
  void windowKeepsCaptionSizeAndColours();
  void tabFollowsTheDesignChainNotTheScreenOrder();
  void noButtonIsDefault();
  void labelsTakeNoFocusAndNoAccessKeys();
  void freshStartShowsInitialTextsAndRunsNothing();
};

const char* const kClasses[] = {"QLabel", "QLineEdit", "QPushButton", "QListWidget", "QCheckBox"};

// The window's controls in creation order against kLayout: class, name,
// caption, place; a label as wide as its text when that is wider.
void compare_with_layout(const MainWindow& form, bool captions) {
  const auto controls = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  QCOMPARE(controls.size(), qsizetype(kLayout.size()));
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    const ControlDesign& design = kLayout[i];
    const QWidget& control = *controls[qsizetype(i)];
    QCOMPARE(control.objectName(), QString(design.name));
    QCOMPARE(control.metaObject()->className(), kClasses[int(design.kind)]);
    if (captions) QCOMPARE(control.property("text").toString(), QString(design.caption));
    const int width = design.kind != ControlKind::label ? design.width
        : std::max(design.width, control.fontMetrics().horizontalAdvance(design.caption));
    QCOMPARE(control.geometry(), QRect(design.left, design.top, width, design.height));
  }
}

void WindowLayoutTest::controlsAreTheDesignAndResizeMovesNothing() {
  Window window;
  compare_with_layout(window.form, true);
  window.form.show();
  window.form.resize(700, 600);
  QCoreApplication::processEvents();
  QCOMPARE(window.form.size(), QSize(700, 600));
  compare_with_layout(window.form, false);  // the fields hold the settings now
}

void WindowLayoutTest::windowKeepsCaptionSizeAndColours() {
  Window window;
  QCOMPARE(window.form.windowTitle(), QString(kWindowCaption));
  QCOMPARE(window.form.size(), QSize(kClientWidth, kClientHeight));
  const QPalette colours = window.form.palette();
  QCOMPARE(colours.color(QPalette::Window), colours.color(QPalette::Button));
  QCOMPARE(window.form.font().pixelSize(), 11);
  QCOMPARE(window.form.font().weight(), QFont::Normal);
  QVERIFY(!window.form.font().italic());
  QVERIFY(window.form.windowFlags().testFlag(Qt::Window));
  QVERIFY(window.form.minimumSize() != window.form.maximumSize());
}

void WindowLayoutTest::tabFollowsTheDesignChainNotTheScreenOrder() {
  Window window;
  window.form.show();
  window.form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window.form));
  const std::size_t n = kTabChain.size();
  for (std::size_t i = 0; i <= n; ++i) {  // and round to the first again
    QCOMPARE(QApplication::focusWidget()->objectName(), kLayout[kTabChain[i % n]].name);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
}

void WindowLayoutTest::noButtonIsDefault() {
  Window window;
  for (auto* button : window.form.findChildren<QPushButton*>())
    QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->objectName()));
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
