#include "SPHTMLHelp.h"

#include "HtmlHelpAPI.h"
#include "base/Program.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace {

int useCount = 0;
bool warned = false;
THtmlHelpWindow* engine = nullptr;
TSPHelpViewer* viewer = nullptr;

THtmlHelpWindow* CreateHelpWindow() {
    // Without a widget application no window can exist; the caller warns instead.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    return new THtmlHelpWindow;
}

void Destroy() {
    if (viewer) viewer->Release();
    delete viewer;
    viewer = nullptr;
    delete engine;
    engine = nullptr;
}

// The engine is a window: it must go before the application does, also when nobody
// shut the viewer down.
void DestroyAtExit() {
    useCount = 0;
    Destroy();
}

} // namespace

TSPHelpViewer::TSPHelpViewer(THtmlHelpWindow* engine, QObject* parent)
    : QObject(parent), engine_(engine) {}

THtmlHelpWindow* TSPHelpViewer::Engine() const {
    return engine_;
}

QString TSPHelpViewer::GetViewerName() const {
    return QString::fromLatin1(SPHTMLHelp::ViewerName);
}

QStringList TSPHelpViewer::GetHelpStrings(const QString& keyword) const {
    return {keyword + QStringLiteral(": ") + GetViewerName()};
}

QString TSPHelpViewer::FileOf(const QString& requested) const {
    const QString file = requested.isEmpty() ? helpFile_ : requested;
    if (file.isEmpty() || !QFileInfo(file).isFile()) return {};
    return file;
}

void TSPHelpViewer::ShowTableOfContents(QWidget* owner, const QString& file) {
    const QString path = FileOf(file);
    if (engine_ && !path.isEmpty()) engine_->HtmlHelp(owner, path, HH_DISPLAY_TOC);
}

void TSPHelpViewer::ShowHelp(QWidget* owner, const QString& keyword, const QString& file) {
    const QString path = FileOf(file);
    if (engine_ && !path.isEmpty()) engine_->HtmlHelp(owner, path, HH_DISPLAY_INDEX, keyword);
}

void TSPHelpViewer::DisplayTopic(QWidget* owner, const QString& topic, const QString& file) {
    const QString path = FileOf(file);
    if (engine_ && !path.isEmpty())
        engine_->HtmlHelp(owner, path + QStringLiteral(" ::/") + topic, HH_DISPLAY_TOPIC);
}

void TSPHelpViewer::ShowContextHelp(QWidget* owner, int context, const QString& file) {
    const QString path = FileOf(file);
    if (engine_ && !path.isEmpty()) engine_->HtmlHelp(owner, path, HH_HELP_CONTEXT, context);
}

void TSPHelpViewer::Release() {
    if (engine_) engine_->HtmlHelp(nullptr, {}, HH_CLOSE_ALL);
    engine_ = nullptr;
}

namespace SPHTMLHelp {

bool StartUp(const EngineFactory& factory) {
    if (useCount++ > 0) return viewer != nullptr;
    static const bool cleanupRegistered = [] {
        qAddPostRoutine(DestroyAtExit);
        return true;
    }();
    Q_UNUSED(cleanupRegistered);
    engine = factory ? factory() : CreateHelpWindow();
    if (!engine) return false;
    viewer = new TSPHelpViewer(engine);
    viewer->SetHelpFile(ApplicationHelpFile());
    return true;
}

void Shutdown() {
    if (useCount == 0 || --useCount > 0) return;
    Destroy();
}

TSPHelpViewer* Viewer() {
    return viewer;
}

QString ApplicationHelpFile() {
    return ProgramFile(ProgramTitle() + QStringLiteral(".hlp"));
}

QString EngineMissingText() {
    return QStringLiteral("Unable to view HTML help (*.chm). Update windows help system. Get new "
                          "\"%1\" library.")
        .arg(QLatin1String(kHtmlHelpLibrary));
}

bool WarnIfUnavailable(QWidget* parent) {
    if (viewer || warned || useCount == 0) return false;
    warned = true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning!"), EngineMissingText(),
                    QMessageBox::Ok, parent);
    box.exec();
    return true;
}

void ShowContents(QWidget* owner) {
    if (viewer) viewer->ShowTableOfContents(owner);
}

} // namespace SPHTMLHelp
