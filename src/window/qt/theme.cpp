#include "window/qt/theme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "window/qt/error_presenter.h"
#include "window/theme.h"

// The resource lives in a static library: nothing would pull it in otherwise.
// Q_INIT_RESOURCE must stand outside any namespace.
static void init_theme_resources() { Q_INIT_RESOURCE(themes); }

namespace kadrum {
namespace {

QString read_text(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

// "palette.conf" names its roles as QPalette does.
QPalette read_palette(const QString& path, QPalette palette) {
  const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
  for (const ThemeColour& entry : kadrum::read_palette(read_text(path).toStdString())) {
    bool known = false;
    const int role = roles.keyToValue(entry.role.c_str(), &known);
    if (known) palette.setColor(static_cast<QPalette::ColorRole>(role), QColor::fromRgb(entry.rgb));
  }
  return palette;
}

}  // namespace

QString find_theme(const QString& name, const QString& folder) {
  init_theme_resources();
  const QDir dir(folder);
  const QStringList themes = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& theme : themes) {
    if (theme.compare(name, Qt::CaseInsensitive) == 0)
      return dir.filePath(theme);
  }
  return QString();
}

bool apply_theme(QApplication& app, const QString& name,
                 const ErrorPresenter& presenter, const QString& folder) {
  const QString path = find_theme(name, folder);
  if (path.isEmpty()) {
    presenter.show(theme_missing_box(name.toStdString()));
    return false;
  }
  // Fusion draws the same on every platform, so the style sheet and palette
  // look as designed everywhere.
  app.setStyle(QStyleFactory::create("Fusion"));
  app.setPalette(read_palette(path + "/palette.conf", app.style()->standardPalette()));
  app.setStyleSheet(read_text(path + "/style.qss"));
  return true;
}

}  // namespace kadrum
