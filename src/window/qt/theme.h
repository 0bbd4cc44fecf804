// The visual theme "Slate Classico" for Qt, carried in the program's resources.
#pragma once

#include <QString>

#include "window/theme.h"

class QApplication;

namespace kadrum {

class ErrorPresenter;

// Where the program's themes live: one sub-folder per theme, named after it.
inline constexpr char kThemeFolder[] = ":/themes";

// The path of the theme called "name" (compared without regard to case)
// among the sub-folders of "folder"; empty when there is none.
QString find_theme(const QString& name, const QString& folder = kThemeFolder);

// Applies the theme "name" to "app" (style, palette, style sheet) and returns
// true. When it cannot be found, shows the "Fehler" box through "presenter",
// leaves the standard look and returns false. Call before any window exists.
bool apply_theme(QApplication& app, const QString& name,
                 const ErrorPresenter& presenter,
                 const QString& folder = kThemeFolder);

}  // namespace kadrum
