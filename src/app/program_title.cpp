#include "app/program_title.h"

#include <algorithm>

namespace kadrum {

QString program_title(const QString& program_path) {
  // Both separators count, so a path from another platform gives the same title.
  const qsizetype slash = std::max(program_path.lastIndexOf(u'/'),
                                   program_path.lastIndexOf(u'\\'));
  QString name = program_path.mid(slash + 1);
  const qsizetype dot = name.indexOf(u'.');
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  // A first character outside the BMP is two UTF-16 units; keep both.
  const qsizetype first = name.at(0).isHighSurrogate() ? 2 : 1;
  return name.left(first) + name.mid(first).toLower();
}

}  // namespace kadrum
