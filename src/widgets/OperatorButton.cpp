#include "OperatorButton.h"

#include "Fonts.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

TOperatorButton::TOperatorButton(const QString& caption, const Look& look, QWidget* parent)
    : QAbstractButton(parent), look_(look) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setFont(ArialFont(19, true));
    setFocusPolicy(Qt::NoFocus); // keys belong to the window's shortcuts
    setAttribute(Qt::WA_Hover);
}

void TOperatorButton::mousePressEvent(QMouseEvent* event) {
    // A disabled widget is given no mouse events at all.
    emit MouseDown();
    QAbstractButton::mousePressEvent(event);
}

void TOperatorButton::SetOperatorButton(bool enabled) {
    setEnabled(enabled);
    update();
}

QColor TOperatorButton::CurrentFace() const {
    if (!isEnabled()) return palette().color(QPalette::Button);
    if (isDown()) return look_.pressedFace;
    if (hovered_ && look_.hoverFace.isValid()) return look_.hoverFace;
    return look_.face;
}

QColor TOperatorButton::CurrentLight() const {
    return isEnabled() ? look_.light : palette().color(QPalette::Dark);
}

QColor TOperatorButton::CurrentShadow() const {
    return isEnabled() ? look_.shadow : QColor();
}

QColor TOperatorButton::CurrentCaption() const {
    if (!isEnabled()) return palette().color(QPalette::Disabled, QPalette::ButtonText);
    return hovered_ ? look_.hoverCaption : look_.caption;
}

void TOperatorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, CurrentFace());
    // Raised edge: light top and left, shadow bottom and right; pressed, the other way round.
    const QColor light = CurrentLight(), shadow = CurrentShadow();
    const QColor topLeft = isDown() ? shadow : light;
    const QColor bottomRight = isDown() ? light : shadow;
    for (int i = 0; i < 2; ++i) {
        if (topLeft.isValid()) {
            painter.setPen(topLeft);
            painter.drawLine(r.left() + i, r.top() + i, r.right() - i, r.top() + i);
            painter.drawLine(r.left() + i, r.top() + i, r.left() + i, r.bottom() - i);
        }
        if (bottomRight.isValid()) {
            painter.setPen(bottomRight);
            painter.drawLine(r.left() + i, r.bottom() - i, r.right() - i, r.bottom() - i);
            painter.drawLine(r.right() - i, r.top() + i, r.right() - i, r.bottom() - i);
        }
    }
    painter.setPen(CurrentCaption());
    painter.setFont(ArialFont(hovered_ && isEnabled() ? 21 : 19, true));
    painter.drawText(r.adjusted(0, isDown() ? 1 : 0, 0, isDown() ? 1 : 0), Qt::AlignCenter, text());
}

void TOperatorButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TOperatorButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TOperatorButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) update();
    QAbstractButton::changeEvent(event);
}
