// The error display rule through the real message box.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <memory>

#include "window/qt/application.h"
#include "window/qt/error_presenter.h"
#include "window/qt/main_window.h"
#include "window/program_title.h"
#include "base/error.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class ErrorDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void boxShowsTheRuleText_data();
  void boxShowsTheRuleText();
  void boxIsModalCriticalWithOneOkButton();
  void markupInAMessageIsShownAsText();
  void errorFromAnyEventHandlerIsShownAndTheWindowStaysOpen();
  void busyCursorIsGoneWhenTheErrorBoxOpens();
};

// What the real box showed before it was closed by a click on its button.
struct SeenBox {
  QString title;
  QString text;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool modal = false;
};

// Runs "show" (which opens a real modal box) and clicks the box's button
// from inside its event loop.
template <typename Show>
SeenBox show_and_close(Show show) {
  SeenBox seen;
  QTimer::singleShot(0, [&seen] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.icon = box->icon();
      seen.modal = box->isModal();
      for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
      box->buttons().front()->click();
    }
  });
  show();
  return seen;
}

void ErrorDisplayTest::boxShowsTheRuleText_data() {
  QTest::addColumn<bool>("nested");
  QTest::addColumn<QString>("inner");
  QTest::addColumn<QString>("outer");
  QTest::addColumn<QString>("shown");
  const auto row = [](const char* tag, const char* inner, const char* outer,
                      const char* shown, bool nested = false) {
    QTest::newRow(tag) << nested << QString(inner) << QString(outer) << QString(shown);
  };
  row("full stop kept alone", "", "Datei fehlt.", "Datei fehlt.");
  row("closing parenthesis", "", "Fehler (42)", "Fehler (42)");
  row("line break", "", "zwei\nZeilen\n", "zwei\nZeilen\n");
  row("blank", "", "endet mit Blank ", "endet mit Blank ");
  row("quote", "", "Wert \"x\"", "Wert \"x\"");
  row("hyphen", "", "bis -", "bis -");
  row("letter", "", "Tabelle fehlt", "Tabelle fehlt.");
  row("digit", "", "Zeile 12", "Zeile 12.");
  row("question mark", "", "Wirklich?", "Wirklich?.");
  row("colon", "", "Ursache:", "Ursache:.");
  row("umlaut", "", "Datei für Größe", "Datei für Größe.");
  row("empty text", "", "", "");
  row("innermost error", "innen", "außen", "innen.", true);
  row("empty innermost", "", "außen", "außen.", true);
}

void ErrorDisplayTest::boxShowsTheRuleText() {
  QFETCH(bool, nested);
  QFETCH(QString, inner);
  QFETCH(QString, outer);
  QFETCH(QString, shown);
  const ErrorPresenter presenter("Mytool");
  const SeenBox seen = show_and_close([&] {
    try {
      try {
        throw Error(inner.toStdString());
      } catch (...) {
        if (!nested) throw Error(outer.toStdString());
        std::throw_with_nested(Error(outer.toStdString()));
      }
    } catch (const std::exception& error) {
      presenter.show_error(error);
    }
  });
  QCOMPARE(seen.text, shown);
  QCOMPARE(seen.title, QString("Mytool"));
}

void ErrorDisplayTest::boxIsModalCriticalWithOneOkButton() {
  const ErrorPresenter presenter("Kadrum");
  const SeenBox seen = show_and_close([&] { presenter.show_error(Error("x")); });
  QCOMPARE(seen.icon, QMessageBox::Critical);
  QCOMPARE(seen.buttons.size(), 1);
  QCOMPARE(QString(seen.buttons.front()).remove('&'), QString("OK"));
  QVERIFY(seen.modal);
  auto box = make_message_box({"Kadrum", "x", ""});
  QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
}

void ErrorDisplayTest::markupInAMessageIsShownAsText() {
  auto box = make_message_box({"Kadrum", "<b>Spalte</b> fehlt.", ""});
  QCOMPARE(box->textFormat(), Qt::PlainText);
}

// Throws from a key press: an event handler that is none of the actions.
class ThrowingKeyFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) throw Error("Taste kaputt");
    return QObject::eventFilter(watched, event);
  }
};

void ErrorDisplayTest::errorFromAnyEventHandlerIsShownAndTheWindowStaysOpen() {
  auto* app = dynamic_cast<Application*>(QCoreApplication::instance());
  QVERIFY(app != nullptr);
  QStringList shown;
  const auto saved_hook = app->presenter().hook;
  app->presenter().hook = [&shown](const MessageBoxRequest& box) {
    shown << QString::fromStdString(box.title + ": " + box.text);
  };
  BoxRecorder action_boxes;
  std::string dbpath;
  MainWindow window({}, dbpath, action_boxes.presenter);
  window.show();
  auto* field = window.findChild<QLineEdit*>("tabname");
  ThrowingKeyFilter filter;
  field->installEventFilter(&filter);

  QTest::keyClick(field, Qt::Key_A);
  QTest::keyClick(field, Qt::Key_B);  // the program went on: shown again
  field->removeEventFilter(&filter);
  QTest::keyClick(field, Qt::Key_C);
  app->presenter().hook = saved_hook;

  const QString box = QString::fromStdString(
      program_title(QCoreApplication::applicationFilePath().toStdString()) + ": Taste kaputt.");
  QCOMPARE(shown, QStringList({box, box}));
  QVERIFY(window.isVisible());
  QCOMPARE(field->text(), QString("ctabname"));  // the third key arrived
}

void ErrorDisplayTest::busyCursorIsGoneWhenTheErrorBoxOpens() {
  BoxRecorder boxes;
  bool busy_at_box = true;
  boxes.presenter.hook = [&busy_at_box](const MessageBoxRequest&) {
    busy_at_box = QApplication::overrideCursor() != nullptr;
  };
  std::string dbpath;
  MainWindow window({}, dbpath, boxes.presenter);
  window.show();
  window.findChild<QPushButton*>("Button1")->click();  // "go": no such file
  QVERIFY(!busy_at_box);
  QCOMPARE(QApplication::overrideCursor(), nullptr);
}

}  // namespace

std::unique_ptr<QObject> make_error_display_test() {
  return std::make_unique<ErrorDisplayTest>();
}

}  // namespace kadrum::test

#include "error_display_test.moc"
