#include "ui/MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Without a desktop theme the toolbar icons come from Adwaita.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    TFormMain window;
    window.show();
    return app.exec();
}
