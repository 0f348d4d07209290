#pragma once

#include <QVariant>
#include <QWidget>

class QTextBrowser;

// Commands of the help engine; the numbers are the ones the engine has always published.
enum HtmlHelpCommand : int {
    HH_DISPLAY_TOPIC = 0, // data: none; the file name carries " ::/" and the topic
    HH_DISPLAY_TOC = 1,   // data: none
    HH_DISPLAY_INDEX = 2, // data: the keyword
    HH_HELP_CONTEXT = 15, // data: the context number
    HH_CLOSE_ALL = 18,    // data: none
};

// The engine's library name, only named by the start-up warning.
inline constexpr char kHtmlHelpLibrary[] = "HHCTRL.OCX";

// The help engine: an in-process window that shows an HTML help file. Each call returns
// at once and the window stays open beside its owner until the operator closes it.
class THtmlHelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THtmlHelpWindow(QWidget* parent = nullptr);

    // The engine's single entry point. file may carry a topic as "file ::/topic".
    void HtmlHelp(QWidget* owner, const QString& file, int command, const QVariant& data = {});

    // The file shown last, empty before the first request.
    QString ShownFile() const { return shownFile_; }

    QTextBrowser* Browser;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool Open(const QString& file);
    void Present(QWidget* owner);
    void GoTo(const QString& place);

    QString shownFile_;
};
