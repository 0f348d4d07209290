#include "HtmlHelpAPI.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr char kTopicSeparator[] = " ::/";
constexpr int kWidth = 560;
constexpr int kMinHeight = 420;

} // namespace

THtmlHelpWindow::THtmlHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Hilfe"));
    // Help left open must not keep the program running after the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    Browser = new QTextBrowser(this);
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize(kWidth, kMinHeight);
}

void THtmlHelpWindow::HtmlHelp(QWidget* owner, const QString& file, int command,
                               const QVariant& data) {
    if (command == HH_CLOSE_ALL) {
        hide();
        return;
    }
    QString path = file;
    QString topic;
    const int separator = file.indexOf(QLatin1String(kTopicSeparator));
    if (separator >= 0) {
        path = file.left(separator);
        topic = file.mid(separator + int(qstrlen(kTopicSeparator)));
    }
    if (!Open(path)) return;
    switch (command) {
    case HH_DISPLAY_TOPIC:
        if (!topic.isEmpty()) GoTo(topic);
        break;
    case HH_DISPLAY_INDEX: {
        // No keyword index in a plain page: the first place the word occurs.
        const QString keyword = data.toString();
        if (!keyword.isEmpty()) Browser->find(keyword);
        break;
    }
    case HH_HELP_CONTEXT:
        // Context numbers are anchors named by the number.
        GoTo(QLatin1Char('#') + QString::number(data.toInt()));
        break;
    default: // the contents page
        break;
    }
    Present(owner);
}

bool THtmlHelpWindow::Open(const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return false;
    // The file is named .hlp, so its type cannot come from the name.
    Browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    Browser->moveCursor(QTextCursor::Start);
    Browser->verticalScrollBar()->setValue(0);
    shownFile_ = info.absoluteFilePath();
    const QString title = Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Hilfe") : title);
    return true;
}

void THtmlHelpWindow::GoTo(const QString& place) {
    const QUrl target = QUrl::fromLocalFile(shownFile_).resolved(QUrl(place));
    if (target.isLocalFile() && target.toLocalFile() == shownFile_) {
        if (target.hasFragment()) Browser->scrollToAnchor(target.fragment());
        return;
    }
    Browser->setSource(target, QTextDocument::HtmlResource);
}

void THtmlHelpWindow::Present(QWidget* owner) {
    if (!isVisible() && owner) {
        // Beside the operator's window, not over it: the heat stays in view.
        const QRect ownerFrame = owner->window()->frameGeometry();
        QScreen* screen = owner->window()->screen();
        const QRect area = screen ? screen->availableGeometry() : ownerFrame;
        const int height = qMin(qMax(ownerFrame.height(), kMinHeight), area.height());
        int left = ownerFrame.right() + 1;
        if (left + kWidth > area.right() + 1) left = ownerFrame.left() - kWidth;
        if (left < area.left()) left = area.right() + 1 - kWidth;
        const int top = qBound(area.top(), ownerFrame.top(), area.bottom() + 1 - height);
        setGeometry(left, top, kWidth, height);
    }
    show();
    raise();
    activateWindow();
}

void THtmlHelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
