#include "help/SPHTMLHelp.h"
#include "ui/MainWindow.h"
#include "ui/Termination.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Without a desktop theme the toolbar icons come from Adwaita.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    QuitOnTermination();
    SPHTMLHelp::StartUp();
    TFormMain window;
    SPHTMLHelp::WarnIfUnavailable(&window);
    window.show();
    const int result = app.exec();
    SPHTMLHelp::Shutdown();
    return result;
}
