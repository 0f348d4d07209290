#pragma once

#include <QColor>
#include <QLabel>

class TDigit;

// The pieces the spectators' window is made of, in its colours.
inline const QColor kTvLime(0x00, 0xFF, 0x00);
inline const QColor kTvRed(0xFF, 0x00, 0x00);
inline const QColor kTvYellow(0xFF, 0xFF, 0x00);

void SetColors(QWidget* widget, const QColor& text, const QColor& background = Qt::black);
QWidget* BlackPanel(QWidget* parent);
QLabel* BarLabel(QWidget* bar, const QColor& color, Qt::Alignment alignment);
// The decimal comma between a row's seconds and thousandths.
QLabel* Comma(QWidget* parent);
// Six digits as the lane frames have them, leading two dark.
void MakeRow(QWidget* parent, TDigit** row[6]);
void SetFontPixels(QWidget* widget, const QFont& base, int pixels);

// Cuts its text with "…" at its width, so a long name never pushes the ready number away. The
// cut text is worked out when the text, the font or the width change, not on every paint.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString shown_;
    QString shownFor_;
    int shownWidth_ = -1;
};
