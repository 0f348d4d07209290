#pragma once

#include <QFont>

// Arial at a pixel height; fontconfig maps it to a metric-compatible face where Arial is missing.
inline QFont ArialFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
