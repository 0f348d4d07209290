#include "help/SPHTMLHelp.h"
#include "ui/MainWindow.h"
#include "ui/QtGerman.h"
#include "ui/Termination.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tempiqo.Rennuhr"));
    // Without a desktop theme the toolbar icons come from Adwaita.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    LoadQtGermanTexts();
    QuitOnTermination();
    SPHTMLHelp::StartUp();
    TFormMain window;
    SPHTMLHelp::WarnIfUnavailable(&window);
    window.show();
    const int result = app.exec();
    SPHTMLHelp::Shutdown();
    return result;
}
