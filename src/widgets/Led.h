#pragma once

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QWidget>

enum TLedKind { lkRed, lkGreen, lkYellow, lkCyan, lkMagenta, lkBlue, lkWhite };
enum TLedShape { lsCircle, lsRectangle };

// A 16 × 16 lamp drawn pixel by pixel from a map; it can keep a label's caption in step
// with its state.
class TLed : public QWidget {
    Q_OBJECT
public:
    explicit TLed(QWidget* parent = nullptr);

    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind kind);
    TLedShape Shape() const { return shape_; }
    void SetShape(TLedShape shape);
    bool Value() const { return value_; }
    void SetValue(bool value);

    QLabel* LabelLinked() const { return label_; }
    void SetLabelLinked(QLabel* label);
    QString LabelOnText() const { return onText_; }
    void SetLabelOnText(const QString& text);
    QString LabelOffText() const { return offText_; }
    void SetLabelOffText(const QString& text);

    // Colour of map index 1 … 6 for a kind; index 0 is never drawn.
    static QColor PaletteColor(TLedKind kind, int index);
    // Map index at row, column (0 … 15) of the picture for a shape and state.
    static int MapIndex(TLedShape shape, bool lit, int row, int column);

signals:
    void OnChange(TLed* sender);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateLabel();

    TLedKind kind_ = lkRed;
    bool value_ = false;
    TLedShape shape_ = lsCircle;
    // The label is not ours; a guarded pointer turns a vanished label into no label.
    QPointer<QLabel> label_;
    QString onText_;
    QString offText_;
};
