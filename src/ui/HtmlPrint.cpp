#include "HtmlPrint.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

bool PrintHtmlFile(const QString& fileName) {
    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    if (printerInfo.isNull()) return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray page = file.readAll();
    QPrinter printer(printerInfo, QPrinter::HighResolution);
    return PrintHtmlPage(page, printer);
}

bool PrintHtmlPage(const QByteArray& page, QPrinter& printer) {
    QTextDocument document;
    // The page is pure ISO-8859-1: everything else is a character reference.
    // Qt's layout would otherwise break times and speeds at their decimal comma.
    document.setDefaultStyleSheet(QStringLiteral("td, th { white-space: nowrap }"));
    document.setHtml(QString::fromLatin1(page));
    document.print(&printer);
    return printer.printerState() != QPrinter::Error;
}
