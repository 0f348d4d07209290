#pragma once

#include <QAbstractSpinBox>

#include <optional>

// A decimal number field with up and down buttons. The operator may type freely; the text is
// checked when the field is left or Enter is pressed: a number outside the range is pulled to
// the nearest bound, anything that is no number brings back the last accepted value and keeps
// the focus in the field. Numbers use the widget locale's decimal separator.
class TSpinFloatEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinFloatEdit(QWidget* parent = nullptr);

    // The text read as a number and clamped to the range; while the text is no number, the
    // last accepted value.
    double Value() const;
    // Outside the range the nearest bound is taken, without a message.
    void SetValue(double value);
    // The number in the text as typed, not clamped; empty when the text is no number.
    std::optional<double> TypedValue() const;

    double MinValue() const { return min_; }
    void SetMinValue(double value);
    double MaxValue() const { return max_; }
    void SetMaxValue(double value);
    double Increment() const { return increment_; }
    void SetIncrement(double value);
    int Decimals() const { return decimals_; }
    void SetDecimals(int decimals);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;

signals:
    // Whenever the text changes, by typing or by the program.
    void OnChange(TSpinFloatEdit* sender);

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool Commit();
    void TellWhatItTakes();
    void Show(double value);
    void Reclamp();
    QString Format(double value) const;
    QLocale NumberLocale() const;

    double value_ = 0; // last accepted value, as shown
    double min_ = 0;
    double max_ = 100;
    double increment_ = 1;
    int decimals_ = 2;
};
