#include "Artwork.h"

#include <QPainter>

namespace {

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap LockPicture(int index) {
    QPixmap pixmap = Transparent(22, 22);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const bool armed = index == 1;
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    QRadialGradient disc(QPointF(8, 8), 14);
    disc.setColorAt(0, armed ? QColor(0x90, 0xFF, 0x90) : QColor(0xFF, 0x90, 0x90));
    disc.setColorAt(1, armed ? QColor(0x00, 0x90, 0x00) : QColor(0xC0, 0x00, 0x00));
    p.setBrush(disc);
    p.drawEllipse(QRectF(1.5, 1.5, 19, 19));
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(6, 11), QPointF(16, 11));
    if (armed) p.drawLine(QPointF(11, 6), QPointF(11, 16));
    return pixmap;
}

QPixmap StartLightPicture(int index) {
    QPixmap pixmap = Transparent(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawRoundedRect(QRectF(8, 0.5, 16, 31), 4, 4);
    // Top red, middle yellow, bottom green.
    const QColor lit[3] = {QColor(0xFF, 0x20, 0x20), QColor(0xFF, 0xD0, 0x00),
                           QColor(0x20, 0xE0, 0x20)};
    const QColor dark[3] = {QColor(0x50, 0x10, 0x10), QColor(0x50, 0x40, 0x00),
                            QColor(0x10, 0x40, 0x10)};
    const int litLamp = index == 0 ? 0 : index == 3 ? 1 : index == 1 ? 2 : -1;
    for (int lamp = 0; lamp < 3; ++lamp) {
        p.setBrush(lamp == litLamp ? lit[lamp] : dark[lamp]);
        p.drawEllipse(QRectF(11, 2.5 + lamp * 9.5, 10, 8));
    }
    return pixmap;
}

QPixmap TvSwitchPicture(bool on) {
    QPixmap pixmap = Transparent(90, 20);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(on ? QColor(0x40, 0xA0, 0xFF) : QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(1.5, 1.5, 26, 15), 2, 2);
    p.drawLine(QPointF(10, 18.5), QPointF(19, 18.5));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(on ? QColor(0x00, 0x60, 0x00) : QColor(0x40, 0x40, 0x40));
    p.drawText(QRect(32, 0, 58, 20), Qt::AlignVCenter | Qt::AlignLeft,
               on ? QStringLiteral("TV ein") : QStringLiteral("TV aus"));
    return pixmap;
}

QIcon ThemeIcon(const QString& name, QChar fallbackGlyph) {
    // Adwaita, the fallback theme, has many actions only in their symbolic form.
    for (const QString& candidate : {name, name + QStringLiteral("-symbolic")}) {
        const QIcon themed = QIcon::fromTheme(candidate);
        if (!themed.isNull()) return themed;
    }
    QPixmap pixmap = Transparent(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x20, 0x40, 0x80));
    p.drawText(pixmap.rect(), Qt::AlignCenter, QString(fallbackGlyph));
    return QIcon(pixmap);
}
