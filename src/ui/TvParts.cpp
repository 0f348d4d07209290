#include "TvParts.h"

#include "LaneTimer.h"
#include "widgets/Digit.h"

#include <QEvent>
#include <QPainter>

void SetColors(QWidget* widget, const QColor& text, const QColor& background) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

QWidget* BlackPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    SetColors(panel, Qt::white);
    panel->setAutoFillBackground(true);
    return panel;
}

QLabel* BarLabel(QWidget* bar, const QColor& color, Qt::Alignment alignment) {
    auto* label = new QLabel(bar);
    SetColors(label, color);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

QLabel* Comma(QWidget* parent) {
    auto* label = new QLabel(QStringLiteral(","), parent);
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setBold(true);
    font.setPixelSize(64);
    label->setFont(font);
    // Same anchoring as on the lane frame, so the scaled comma sits where it sits there.
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    SetColors(label, kTvYellow);
    return label;
}

void MakeRow(QWidget* parent, TDigit** row[6]) {
    for (int i = 0; i < 6; ++i) {
        auto* digit = new TDigit(parent);
        digit->SetColor(Qt::black);
        digit->SetColorOff(Qt::black);
        digit->SetColorOn(i < 2 ? DigitPalette[0] : kTvYellow);
        digit->SetValueBinary(125);
        digit->SetThickness(5);
        digit->SetSeparation(1);
        *row[i] = digit;
    }
}

void SetFontPixels(QWidget* widget, const QFont& base, int pixels) {
    QFont font = base;
    font.setPixelSize(qMax(1, pixels));
    widget->setFont(font);
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    const QRect area = contentsRect();
    // A name of thousands of characters must not be measured again at every repaint.
    if (shownFor_ != text() || shownWidth_ != area.width()) {
        shownFor_ = text();
        shownWidth_ = area.width();
        shown_ = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, int(alignment()), shown_);
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    shownWidth_ = -1;
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) shownWidth_ = -1;
}
