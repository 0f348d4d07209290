#pragma once

#include "ladder/LadderRunner.h"

#include <QList>
#include <QRect>
#include <QWidget>

#include <optional>

// A ladder drawn as its bracket: the rounds as columns under their names, each pairing a box
// with both racers, lines from each pairing to the one its winner goes on to, and the race for
// third place below the final. It only shows and tells which pairing the operator picked.
class TLadderView : public QWidget {
    Q_OBJECT
public:
    explicit TLadderView(QWidget* parent = nullptr);

    // A copy: the view never reaches into a runner that changes underneath it.
    void SetLadder(const std::optional<TLadder>& ladder, const std::optional<TPairingRef>& inLanes,
                   const std::optional<TPairingRef>& ready);
    std::optional<TPairingRef> Selected() const { return selected_; }
    void Select(const std::optional<TPairingRef>& ref);
    // Where a pairing's box is drawn; empty for one the ladder does not have.
    QRect BoxOf(const TPairingRef& ref) const;
    std::optional<TPairingRef> PairingAt(const QPoint& point) const;
    // The texts of a racer's line in a pairing's box: number, name and the time or what
    // stands for it.
    QStringList LineTexts(const TPairingRef& ref, int place) const;

    QSize sizeHint() const override { return size_; }

signals:
    void SelectionChanged();
    // Right click or the menu key on a pairing, at the global position.
    void MenuRequested(const QPoint& global);
    // Double-clicked.
    void Activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Box {
        TPairingRef ref;
        QRect rect;
    };
    void Layout();
    const TLadderPairing* PairingOf(const TPairingRef& ref) const;
    void DrawBox(QPainter& painter, const Box& box) const;

    std::optional<TLadder> ladder_;
    std::optional<TPairingRef> inLanes_;
    std::optional<TPairingRef> ready_;
    std::optional<TPairingRef> selected_;
    QList<Box> boxes_;
    QList<std::pair<QString, QPoint>> headings_; // centred on the point
    QSize size_;
};
