#include "app/theme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "app/error_presenter.h"
#include "base/error.h"

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

// "palette.conf": one "Role = #rrggbb" per line, roles named as in QPalette;
// "#" at the start of a line begins a comment.
QPalette read_palette(const QString& path, QPalette palette) {
  const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
  const QStringList lines = read_text(path).split(u'\n');
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    const qsizetype equals = line.indexOf(u'=');
    if (line.startsWith(u'#') || equals < 0) continue;
    bool known = false;
    const int role =
        roles.keyToValue(line.left(equals).trimmed().toLatin1().constData(), &known);
    const QColor colour = QColor::fromString(line.mid(equals + 1).trimmed());
    if (known && colour.isValid())
      palette.setColor(static_cast<QPalette::ColorRole>(role), colour);
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
    const std::string text =
        fill_message("Stil '%s' nicht gefunden", {name.toStdString()});
    presenter.show({"Fehler", QString::fromStdString(text), "S&chließen"});
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
