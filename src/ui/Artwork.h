#pragma once

#include <QIcon>
#include <QPixmap>

// Pictures drawn by the program itself, so that nothing depends on files beside it.

// The arming pictures, 22 × 22: 0 red disc with a minus (blocked), 1 green disc with a plus.
QPixmap LockPicture(int index);
// The start light, 32 × 32: 0 red lit, 1 green lit, 2 all dark, 3 yellow lit.
QPixmap StartLightPicture(int index);
// The TV switch, 90 × 20: off shows a dark screen, on a lit one.
QPixmap TvSwitchPicture(bool on);
// A toolbar icon from the desktop theme, or a simple drawn glyph when the theme has none.
QIcon ThemeIcon(const QString& name, QChar fallbackGlyph);
