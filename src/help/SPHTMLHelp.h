#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QWidget;
class THtmlHelpWindow;

// Turns the program's help requests into calls of the help engine, each on the help file
// of the request: the one named with it, else the program's own.
class TSPHelpViewer : public QObject {
    Q_OBJECT
public:
    explicit TSPHelpViewer(THtmlHelpWindow* engine, QObject* parent = nullptr);

    QString GetViewerName() const;
    // One entry: the keyword, ": " and the viewer name.
    QStringList GetHelpStrings(const QString& keyword) const;

    // The program's help file, used when a request names none.
    void SetHelpFile(const QString& file) { helpFile_ = file; }
    QString HelpFile() const { return helpFile_; }

    // Each request does nothing, silently, when its help file does not exist.
    void ShowTableOfContents(QWidget* owner, const QString& file = {});
    void ShowHelp(QWidget* owner, const QString& keyword, const QString& file = {});
    void DisplayTopic(QWidget* owner, const QString& topic, const QString& file = {});
    void ShowContextHelp(QWidget* owner, int context, const QString& file = {});
    // Closes the engine's window; the viewer shows nothing afterwards.
    void Release();

    THtmlHelpWindow* Engine() const;

private:
    QString FileOf(const QString& requested) const;

    QPointer<THtmlHelpWindow> engine_;
    QString helpFile_;
};

// The help viewer of the program, installed once at start-up.
namespace SPHTMLHelp {

inline constexpr char ViewerName[] = "HtmlHelp";

using EngineFactory = std::function<THtmlHelpWindow*()>;

// First call: creates the engine (by factory, default the help window) and the viewer,
// whose help file is the program's; later calls only count. False when no engine exists.
bool StartUp(const EngineFactory& factory = {});
// Last call (matching StartUp): releases the viewer and destroys the engine.
void Shutdown();

// Null when the engine could not be created.
TSPHelpViewer* Viewer();

// The program's name with the extension ".hlp", beside it or installed (ProgramFile).
QString ApplicationHelpFile();

// Text of the warning shown when the engine could not be created.
QString EngineMissingText();
// Shows that warning when StartUp failed, at most once per program run; true if it did.
bool WarnIfUnavailable(QWidget* parent = nullptr);

// F1, Alt+I and the help button: the contents page of the program's help file.
void ShowContents(QWidget* owner);

} // namespace SPHTMLHelp
