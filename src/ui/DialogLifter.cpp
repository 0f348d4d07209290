#include "DialogLifter.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TDialogLifter::TDialogLifter(QWidget* cover) : QObject(cover), cover_(cover) {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    qApp->installEventFilter(this);
}

bool TDialogLifter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Only what the program opens itself; a window restored by the desktop stays where it is.
    if ((type == QEvent::Show || type == QEvent::Hide) && !event->spontaneous() &&
        watched != cover_ && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        const Qt::WindowType kind = window->windowType();
        if (window->isWindow() &&
            (kind == Qt::Window || kind == Qt::Dialog || kind == Qt::Tool || kind == Qt::Sheet))
            Lift(window, type);
    }
    return QObject::eventFilter(watched, event);
}

void TDialogLifter::Lift(QWidget* window, QEvent::Type shownOrHidden) {
    QWindow* handle = window->windowHandle();
    const qsizetype index = lifted_.indexOf(window);
    const bool covering = covering_ && covering_();
    if (shownOrHidden == QEvent::Show) {
        if (!covering || index >= 0 || !handle) return;
        handle->setFlag(Qt::WindowStaysOnTopHint, true);
        lifted_.append(window);
        return;
    }
    if (index < 0) return;
    lifted_.removeAt(index);
    lifted_.removeAll(nullptr); // closed by being deleted
    if (handle) handle->setFlag(Qt::WindowStaysOnTopHint, false);
    // Back to the full-screen window, so that its keys reach it again.
    if (lifted_.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (!covering_ || !covering_()) return;
            cover_->raise();
            cover_->activateWindow();
        });
}
