// The protocol page printed as the print button prints it, here into a PDF file.
#include "TestMain.h"

#include "export/HtmlProtocol.h"
#include "ui/HtmlPrint.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
const QList<bool> kAllShown(11, true);

} // namespace

class HtmlPrintTest : public QObject {
    Q_OBJECT
private slots:
    void printsThroughTheTextDocument() {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("protokoll.pdf"));
        const ProtocolRows rows = {kHeader, {"1", "Name", "", "", "", "", "", "", "", "9,9", "+"}};
        QVERIFY(PrintHtmlPage(HtmlProtocolPage(rows, kAllShown, "Rennuhr"), printer));
        QFile pdf(dir.filePath("protokoll.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 1000);
        QVERIFY(!PrintHtmlFile(dir.filePath("fehlt.html")));
    }
};
RENNUHR_TEST(HtmlPrintTest);

#include "tst_htmlprint.moc"
