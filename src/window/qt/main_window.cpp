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

// A control as "design" makes it, owned by "parent".
template <typename Control>
Control* place(QWidget* parent, const ControlDesign& design) {
  auto* control = new Control(parent);
  control->setObjectName(design.name);
  if constexpr (!std::is_same_v<Control, QListWidget>) control->setText(design.caption);
  control->setGeometry(design.left, design.top, design.width, design.height);
  return control;
}

QWidget* place(QWidget* parent, const ControlDesign& design) {
  switch (design.kind) {
    case ControlKind::label: {
      auto* label = place<QLabel>(parent, design);
      label->setFocusPolicy(Qt::NoFocus);
      label->setTextFormat(Qt::PlainText);
      // Labels are as wide as their text in Tahoma; a substitute font may
      // need more room, and a clipped caption helps nobody.
      const int text_width = label->fontMetrics().horizontalAdvance(label->text());
      if (text_width > label->width()) label->resize(text_width, label->height());
      return label;
    }
    case ControlKind::edit: {
      auto* field = place<QLineEdit>(parent, design);
      field->setMaxLength(std::numeric_limits<int>::max());  // settings of any length
      return field;
    }
    case ControlKind::button: {
      auto* button = place<QPushButton>(parent, design);
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case ControlKind::list: {
      auto* list = place<QListWidget>(parent, design);
      list->setItemDelegate(new EntryHeightDelegate(list));
      list->setUniformItemSizes(true);
      return list;
    }
    case ControlKind::check: return place<QCheckBox>(parent, design);
  }
  return nullptr;
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
  setWindowTitle(kWindowCaption);
  resize(kClientWidth, kClientHeight);
  setFont(window_font());
  QPalette colours = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    colours.setColor(group, QPalette::Window, colours.color(group, QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  // Creation order is drawing order; positions are absolute and never change.
  for (std::size_t i = 0; i < kLayout.size(); ++i) controls_[i] = place(this, kLayout[i]);
  for (const control::Id id : kTabChain) controls_[id]->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < kTabChain.size(); ++i)
    setTabOrder(controls_[kTabChain[i]], controls_[kTabChain[i + 1]]);
  controls_[kTabChain.front()]->setFocus();

  const auto clicked = [this](control::Id button, auto handler) {
    connect(widget<QPushButton>(button), &QPushButton::clicked, this,
            [this, handler] { perform([this, handler] { (this->*handler)(); }); });
  };
  clicked(control::Button1, &MainWindow::on_go);
  clicked(control::Button2, &MainWindow::on_connect);
  clicked(control::Button3, &MainWindow::on_exit);
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

QLineEdit* MainWindow::field(Field field) const { return widget<QLineEdit>(control_of(field)); }

std::string MainWindow::text(Field name) const { return field(name)->text().toStdString(); }

void MainWindow::set_text(Field name, const std::string& text) {
  // A long path shows its beginning, as a freshly set edit field does.
  field(name)->setText(QString::fromStdString(text));
  field(name)->setCursorPosition(0);
}

std::vector<std::string> MainWindow::item_list() const {
  std::vector<std::string> entries;
  const auto* list = widget<QListWidget>(control::itemlist);
  for (int i = 0; i < list->count(); ++i) entries.push_back(list->item(i)->text().toStdString());
  return entries;
}

void MainWindow::set_item_list(const std::vector<std::string>& entries) {
  auto* list = widget<QListWidget>(control::itemlist);
  list->clear();
  for (const std::string& entry : entries) list->addItem(QString::fromStdString(entry));
}

bool MainWindow::recreate_checked() const {
  return widget<QCheckBox>(control::CheckBox1)->isChecked();
}

void MainWindow::set_recreate_checked(bool checked) {
  widget<QCheckBox>(control::CheckBox1)->setChecked(checked);
}

}  // namespace kadrum
