#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// Keeps the windows and dialogs the program opens above a full-screen window while that window
// covers the operator's screen, and gives the full-screen window the keyboard back when the
// last of them closes. Native dialogs are no widgets and could not be lifted, so the program
// uses Qt's own.
class TDialogLifter : public QObject {
    Q_OBJECT
public:
    explicit TDialogLifter(QWidget* cover);

    // Whether the cover hides the operator's screen now.
    void SetCovering(std::function<bool()> covering) { covering_ = std::move(covering); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Lift(QWidget* window, QEvent::Type shownOrHidden);

    QWidget* cover_;
    std::function<bool()> covering_;
    QList<QPointer<QWidget>> lifted_;
};
