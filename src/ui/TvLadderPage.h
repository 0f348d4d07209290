#pragma once

#include "TvLadderLayout.h"
#include "ladder/LadderRunner.h"

#include <QWidget>

#include <optional>

// A ladder on the spectators' screen between heats: the bracket as TvLadderLayout places it,
// the winners in green, the pairing in the lanes framed in yellow.
class TTvLadderPage : public QWidget {
    Q_OBJECT
public:
    explicit TTvLadderPage(QWidget* parent);

    void SetLadder(const TLadder& ladder, const std::optional<TPairingRef>& marked);
    const TLadder& Ladder() const { return ladder_; }
    const std::optional<TPairingRef>& Marked() const { return marked_; }
    // For the page's size now, also while it is hidden.
    const TBracketLayout& Layout() const;
    // The title strip: the ladder's class on the left, what comes next or the winner on the
    // right.
    QString TitleText() const;
    QString StatusText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawPairing(QPainter& painter, const TBracketBox& box) const;

    TLadder ladder_;
    std::optional<TPairingRef> marked_;
    mutable TBracketLayout layout_;
    mutable QSize laidOut_; // the size layout_ is for; invalid after a change
};
