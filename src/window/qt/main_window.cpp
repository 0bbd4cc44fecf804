#include "window/qt/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <limits>
#include <type_traits>

#include "convert/locale_formats.h"
#include "window/qt/error_presenter.h"

namespace kadrum {
namespace {

// Tahoma ships with wine's fonts on Debian; elsewhere Qt substitutes.
QFont window_font() {
  static const QString family = [] {
    const QString tahoma = "/usr/share/wine/fonts/tahoma.ttf";
    if (QFile::exists(tahoma)) {
      const int id = QFontDatabase::addApplicationFont(tahoma);
      const QStringList families = QFontDatabase::applicationFontFamilies(id);
      if (!families.isEmpty()) return families.first();
    }
    return QString("Tahoma");
  }();
  QFont font(family);
  font.setPixelSize(11);
  font.setWeight(QFont::Normal);
  font.setStyle(QFont::StyleNormal);
  return font;
}

// The list box shows its entries 13 pixels high, as the window was laid out.
class EntryHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
  }
};

// The wait cursor over all the program's windows while an action runs: the
// window takes no input then, and the cursor tells the user it is working.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

template <typename Control>
Control* place(QWidget* parent, const char* name, const QString& text, int left,
               int top, int width, int height) {
  auto* control = new Control(parent);  // owned by "parent"
  control->setObjectName(name);
  if constexpr (!std::is_same_v<Control, QListWidget>) control->setText(text);
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

MainWindow::MainWindow(std::vector<std::string> arguments, std::string& dbpath,
               const ErrorPresenter& presenter)
    : presenter_(presenter), form_(*this, std::move(arguments), dbpath) {
  create_controls();
  form_.on_create();
}

MainWindow::~MainWindow() = default;

void MainWindow::create_controls() {
  setWindowTitle("Kadrum");
  resize(361, 348);
  setFont(window_font());
  QPalette colours = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    colours.setColor(group, QPalette::Window, colours.color(group, QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  // Creation order is drawing order; positions are absolute and never change.
  Label1 = place<QLabel>(this, "Label1", "headlines:", 248, 22, 49, 13);
  Label2 = place<QLabel>(
      this, "Label2",
      "single item with year and day        or        list of max 3 items:", 24,
      49, 288, 13);
  Label3 = place<QLabel>(this, "Label3", "data base file", 24, 129, 65, 13);
  Label4 = place<QLabel>(this, "Label4", "table name", 24, 172, 53, 13);
  Label5 = place<QLabel>(this, "Label5", "txt filename", 24, 3, 57, 13);
  tabname = place<QLineEdit>(this, "tabname", "tabname", 48, 191, 121, 21);
  itmnr = place<QLineEdit>(this, "itmnr", "itmnr", 48, 68, 119, 21);
  Button1 = place<QPushButton>(this, "Button1", "go", 48, 272, 121, 25);
  Button2 = place<QPushButton>(this, "Button2", "db connect", 48, 241, 121, 25);
  dbname = place<QLineEdit>(this, "dbname", "dbname", 47, 148, 298, 21);
  imprtfile = place<QLineEdit>(this, "imprtfile", "imprtfile", 47, 19, 121, 21);
  Button3 = place<QPushButton>(this, "Button3", "exit", 48, 303, 121, 25);
  nhdl = place<QLineEdit>(this, "nhdl", "1", 311, 19, 26, 21);
  itemlist = place<QListWidget>(this, "itemlist", QString(), 218, 68, 119, 65);
  CheckBox1 = place<QCheckBox>(this, "CheckBox1", "recreate table", 48, 218, 97, 17);

  for (QLabel* label : {Label1, Label2, Label3, Label4, Label5}) {
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextFormat(Qt::PlainText);
    // Labels are as wide as their text in Tahoma; a substitute font may need
    // more room, and a clipped caption helps nobody.
    const int text_width = label->fontMetrics().horizontalAdvance(label->text());
    if (text_width > label->width()) label->resize(text_width, label->height());
  }
  // Settings are texts of any length.
  for (QLineEdit* field : {tabname, itmnr, dbname, imprtfile, nhdl})
    field->setMaxLength(std::numeric_limits<int>::max());
  for (QPushButton* button : {Button1, Button2, Button3}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  itemlist->setItemDelegate(new EntryHeightDelegate(itemlist));
  itemlist->setUniformItemSizes(true);

  QWidget* const chain[] = {tabname, itmnr,     Button1, Button2,  dbname,
                            imprtfile, Button3, nhdl,    itemlist, CheckBox1};
  for (QWidget* control : chain) control->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    setTabOrder(chain[i], chain[i + 1]);
  tabname->setFocus();

  connect(Button1, &QPushButton::clicked, this, [this] { perform([this] { on_go(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { perform([this] { on_connect(); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { perform([this] { on_exit(); }); });
}

void MainWindow::close_window() { close(); }

// Every show() path ends here, before the window is visible or mapped: the
// place for on_show, so that the automatic run and its error box come before
// the window appears (showEvent would be too late: the window already counts
// as visible there and a close from inside it would be undone).
void MainWindow::setVisible(bool visible) {
  if (visible) form_.before_showing([this](const auto& action) { perform(action); });
  QWidget::setVisible(visible);
  if (form_.close_after_showing()) {
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
  }
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange) reload_locale_formats();
  QWidget::changeEvent(event);
}

void MainWindow::perform(const std::function<void()>& action) {
  try {
    const BusyCursor busy;  // gone again before an error box opens
    action();
  } catch (const std::exception& error) {
    presenter_.show_error(error, isVisible() ? this : nullptr);
  }
}

QLineEdit* MainWindow::field(Field field) const {
  switch (field) {
    case Field::imprtfile: return imprtfile;
    case Field::nhdl: return nhdl;
    case Field::itmnr: return itmnr;
    case Field::dbname: return dbname;
    case Field::tabname: return tabname;
  }
  return nullptr;
}

std::string MainWindow::text(Field name) const { return field(name)->text().toStdString(); }

void MainWindow::set_text(Field name, const std::string& text) {
  // A long path shows its beginning, as a freshly set edit field does.
  field(name)->setText(QString::fromStdString(text));
  field(name)->setCursorPosition(0);
}

std::vector<std::string> MainWindow::item_list() const {
  std::vector<std::string> entries;
  for (int i = 0; i < itemlist->count(); ++i)
    entries.push_back(itemlist->item(i)->text().toStdString());
  return entries;
}

void MainWindow::set_item_list(const std::vector<std::string>& entries) {
  itemlist->clear();
  for (const std::string& entry : entries) itemlist->addItem(QString::fromStdString(entry));
}

bool MainWindow::recreate_checked() const { return CheckBox1->isChecked(); }

void MainWindow::set_recreate_checked(bool checked) { CheckBox1->setChecked(checked); }

}  // namespace kadrum
