#include "TvCallUp.h"

#include "TvParts.h"

TTvCallUp::TTvCallUp(QWidget* parent) : QLabel(parent) {
    SetColors(this, kTvYellow);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    hide();
}

QString TTvCallUp::LineText(const QList<TCallUpPairing>& pairings, bool names) {
    QStringList pairs;
    for (const TCallUpPairing& pairing : pairings) {
        QStringList sides;
        for (int lane = 0; lane < 2; ++lane)
            sides << (names ? QStringList{pairing.number[lane], pairing.name[lane]}.join(u' ')
                            : pairing.number[lane])
                         .trimmed();
        pairs << (pairing.round.isEmpty() ? QString() : pairing.round + QStringLiteral(": ")) +
                     sides.join(QStringLiteral(" – "));
    }
    return pairs.isEmpty() ? QString()
                           : QStringLiteral("Vorstart: ") + pairs.join(QStringLiteral("   ·   "));
}

void TTvCallUp::Refresh(QLabel* title, bool wide, bool racing) {
    const QList<TCallUpPairing> pairings = source_ ? source_(kPairings) : QList<TCallUpPairing>();
    const QString line = LineText(pairings, true);
    const QRect strip = title->geometry();
    if (line.isEmpty() || (!wide && racing)) {
        hide();
        title->show();
        return;
    }
    QRect box = strip;
    if (wide) {
        // Beside the title, on its left: the title keeps the middle.
        SetFontPixels(this, title->font(), strip.height() / 2);
        const int titleWidth = title->fontMetrics().horizontalAdvance(title->text());
        box.setWidth(std::max(0, (strip.width() - titleWidth) / 2 - strip.height() / 2));
        box.moveLeft(strip.left() + strip.height() / 4);
        title->show();
    } else {
        // In the title's place, as large as the title.
        setFont(title->font());
        box.adjust(strip.height() / 4, 0, -strip.height() / 4, 0);
        title->hide();
    }
    setGeometry(box);
    // The names where they fit, else the numbers alone: every pairing is read.
    const QString shown =
        fontMetrics().horizontalAdvance(line) <= box.width() ? line : LineText(pairings, false);
    setText(fontMetrics().elidedText(shown, Qt::ElideRight, box.width()));
    setVisible(box.width() > 0);
    raise();
}
