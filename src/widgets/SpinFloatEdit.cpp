#include "SpinFloatEdit.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleOptionSpinBox>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cmath>

TSpinFloatEdit::TSpinFloatEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    // Numbers line up at the right; a caller may ask for left-aligned text.
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit OnChange(this); });
    Show(value_);
}

QLocale TSpinFloatEdit::NumberLocale() const {
    // No group separators either way: where one kilometre shows as "1,000", a typed "1.000"
    // must not pass for a thousand.
    QLocale numbers = locale();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return numbers;
}

QString TSpinFloatEdit::Format(double value) const {
    // Rounded before formatting: the formatter shows -0.04 as "-0,0".
    const double scale = std::pow(10.0, decimals_);
    if (std::isfinite(value * scale)) value = std::round(value * scale) / scale;
    return NumberLocale().toString(value, 'f', decimals_);
}

std::optional<double> TSpinFloatEdit::TypedValue() const {
    bool ok = false;
    const double value = NumberLocale().toDouble(text().trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

double TSpinFloatEdit::Value() const {
    const auto typed = TypedValue();
    return typed ? std::clamp(*typed, min_, max_) : value_;
}

void TSpinFloatEdit::Show(double value) {
    const QString shown = Format(value);
    if (lineEdit()->text() != shown) lineEdit()->setText(shown);
    // What is shown is what counts, so the value carries the shown rounding.
    value_ = NumberLocale().toDouble(shown);
}

void TSpinFloatEdit::SetValue(double value) {
    if (std::isnan(value)) return;
    Show(std::clamp(value, min_, max_));
}

// After a bound moved, a value now outside the range is pulled in.
void TSpinFloatEdit::Reclamp() {
    const double shown = TypedValue().value_or(value_);
    if (shown < min_ || shown > max_ || value_ < min_ || value_ > max_) SetValue(shown);
}

void TSpinFloatEdit::SetMinValue(double value) {
    if (!std::isfinite(value)) return;
    min_ = value;
    max_ = std::max(max_, min_);
    Reclamp();
}

void TSpinFloatEdit::SetMaxValue(double value) {
    if (!std::isfinite(value)) return;
    max_ = value;
    min_ = std::min(min_, max_);
    Reclamp();
}

void TSpinFloatEdit::SetIncrement(double value) {
    if (std::isfinite(value) && value > 0) increment_ = value;
}

void TSpinFloatEdit::SetDecimals(int decimals) {
    const double shown = TypedValue().value_or(value_);
    decimals_ = std::clamp(decimals, 0, 10);
    SetValue(shown);
}

void TSpinFloatEdit::stepBy(int steps) {
    SetValue(Value() + steps * increment_);
    selectAll();
}

QAbstractSpinBox::StepEnabled TSpinFloatEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    const double value = Value();
    StepEnabled enabled = StepNone;
    if (value < max_) enabled |= StepUpEnabled;
    if (value > min_) enabled |= StepDownEnabled;
    return enabled;
}

// Typing is free; the text is judged when the operator is done with it.
QValidator::State TSpinFloatEdit::validate(QString&, int&) const {
    return QValidator::Acceptable;
}

QSize TSpinFloatEdit::sizeHint() const {
    ensurePolished();
    const QFontMetrics metrics(font());
    const int textWidth =
        std::max(metrics.horizontalAdvance(Format(min_)), metrics.horizontalAdvance(Format(max_)));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize content(textWidth + 4, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

// True when the text held a number (now shown clamped); otherwise the last accepted value
// is back in the field.
bool TSpinFloatEdit::Commit() {
    if (const auto typed = TypedValue()) {
        SetValue(*typed);
        return true;
    }
    Show(value_);
    return false;
}

void TSpinFloatEdit::TellWhatItTakes() {
    selectAll();
    QToolTip::showText(
        mapToGlobal(QPoint(0, height())),
        QStringLiteral("Keine gültige Zahl. Bitte einen Wert von %1 bis %2 eingeben.")
            .arg(Format(min_), Format(max_)),
        this);
}

void TSpinFloatEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter also closes a dialog; it must not do so on a value the operator never saw.
        if (!Commit()) {
            TellWhatItTakes();
            event->accept();
            return;
        }
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void TSpinFloatEdit::focusOutEvent(QFocusEvent* event) {
    const bool accepted = Commit();
    QAbstractSpinBox::focusOutEvent(event);
    if (accepted) return;
    // The focus stays only against the operator's own moves, not when the window loses it.
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return;
    default:
        break;
    }
    // Taken back once the focus change under way has finished; a tip shown before that
    // would close with it.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible() || !isEnabled()) return;
        setFocus(Qt::OtherFocusReason);
        TellWhatItTakes();
    });
}
