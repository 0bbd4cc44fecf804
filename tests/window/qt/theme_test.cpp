// Finding and applying the theme, and the box when it is missing.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <memory>

#include "window/qt/error_presenter.h"
#include "window/qt/theme.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class ThemeTest : public QObject {
  Q_OBJECT

 private slots:
  void lookupIgnoresCase_data();
  void lookupIgnoresCase();
  void missingThemeShowsFehlerAndKeepsTheStandardLook();
  void missingThemeBoxIsCentredWithItsOneButton();
  void slateClassicoIsApplied();
};

void ThemeTest::lookupIgnoresCase_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("found");
  QTest::newRow("as named") << "Slate Classico" << true;
  QTest::newRow("lower case") << "slate classico" << true;
  QTest::newRow("upper case") << "SLATE CLASSICO" << true;
  QTest::newRow("part of the name") << "Slate" << false;
  QTest::newRow("trailing blank") << "Slate Classico " << false;
  QTest::newRow("empty") << "" << false;
}

void ThemeTest::lookupIgnoresCase() {
  QFETCH(QString, name);
  QFETCH(bool, found);
  QCOMPARE(!find_theme(name).isEmpty(), found);
}

void ThemeTest::missingThemeShowsFehlerAndKeepsTheStandardLook() {
  BoxRecorder recorder;
  const QString style_before = QApplication::style()->name();
  const QString sheet_before = qApp->styleSheet();
  QVERIFY(!apply_theme(*qApp, "Slate Classico", recorder.presenter, ":/no/such/folder"));
  QCOMPARE(recorder.boxes.size(), std::size_t(1));
  const MessageBoxRequest& box = recorder.boxes.front();
  QCOMPARE(QString::fromStdString(box.title), QString("Fehler"));
  QCOMPARE(QString::fromStdString(box.text), QString("Stil 'Slate Classico' nicht gefunden"));
  QCOMPARE(QString::fromStdString(box.button), QString("S&chließen"));
  QCOMPARE(QApplication::style()->name(), style_before);
  QCOMPARE(qApp->styleSheet(), sheet_before);
}

void ThemeTest::missingThemeBoxIsCentredWithItsOneButton() {
  const ErrorPresenter presenter("Kadrum");  // no hook: the real box
  QStringList buttons;
  QString title, text;
  QPoint centre;
  QTimer::singleShot(0, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      title = box->windowTitle();
      text = box->text();
      centre = box->geometry().center();
      for (QAbstractButton* button : box->buttons()) buttons << button->text();
      box->buttons().front()->click();
    }
  });
  apply_theme(*qApp, "Verschollen", presenter, ":/no/such/folder");
  QCOMPARE(title, QString("Fehler"));
  QCOMPARE(text, QString("Stil 'Verschollen' nicht gefunden"));
  QCOMPARE(buttons, QStringList("S&chließen"));
  const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY2((centre - screen).manhattanLength() <= 40,
           qPrintable(QString("box centre %1,%2").arg(centre.x()).arg(centre.y())));
}

void ThemeTest::slateClassicoIsApplied() {
  BoxRecorder recorder;
  QVERIFY(apply_theme(*qApp, "slate classico", recorder.presenter));
  QVERIFY(recorder.boxes.empty());
  QVERIFY(qApp->styleSheet().contains("QPushButton"));
  QCOMPARE(QApplication::palette().color(QPalette::Button), QColor("#d4dadf"));
}

}  // namespace

std::unique_ptr<QObject> make_theme_test() { return std::make_unique<ThemeTest>(); }

}  // namespace kadrum::test

#include "theme_test.moc"
