#pragma once

#include <QAbstractButton>
#include <QColor>

// The big flat operator button: a face with a 3-D edge in a light and a shadow colour, a
// brighter face under the mouse and while pressed, and a larger caption under the mouse.
// Disabled, it takes the desktop's plain button colours.
class TOperatorButton : public QAbstractButton {
    Q_OBJECT
public:
    struct Look {
        QColor face;
        QColor pressedFace;
        QColor hoverFace; // invalid: the face stays under the mouse
        QColor light;
        QColor shadow; // invalid: no shadow edge
        QColor caption;
        QColor hoverCaption;
    };

    TOperatorButton(const QString& caption, const Look& look, QWidget* parent = nullptr);

    const Look& Colors() const { return look_; }
    // Enables or disables the button; the colours follow the state.
    void SetOperatorButton(bool enabled);
    bool IsHovered() const { return hovered_; }

    // The colours painted right now, for the current state.
    QColor CurrentFace() const;
    QColor CurrentLight() const;
    QColor CurrentShadow() const;
    QColor CurrentCaption() const;

signals:
    // Any mouse button going down on the enabled button; the race commands act on it.
    void MouseDown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Look look_;
    bool hovered_ = false;
};
