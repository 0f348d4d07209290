#include "TestMain.h"

#include "export/FileFilters.h"
#include "export/HtmlProtocol.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
const QList<bool> kAllShown(11, true);

const QByteArray kHead =
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<!--https://www.tempiqo.example software -->\r\n"
    "<TITLE>Zeitenprotokoll Rennuhr</TITLE>\r\n"
    "<META name=keywords content=\"slalom, Zeitenprotokoll, Tempiqo, stopuhr, Rennuhr\">\r\n"
    "<META name=description content=\"Tempiqo Zeitmessung f\xFCr Rennsport und Slalom\">\r\n"
    "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">\r\n"
    "<META name=\"Webdesign\" content=\"Tempiqo Webdesign\">\r\n"
    "</HEAD>\r\n"
    "<STYLE type=text/css>\r\n"
    " body {font-family: Arial}\r\n"
    " pre  {padding-left: 36px}\r\n"
    "</STYLE>\r\n"
    "<BODY bgcolor=#FFFFFF text=#000000>\r\n"
    "<DIV style=\"FILTER: Blur(direction=225, strength=6); WIDTH:100%\"><H2>&nbsp;Rennuhr</H2>"
    "</div>\r\n"
    "<H4>Zeitenprotokoll</H4>\r\n"
    "<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF borderColor=#808080 border=1 "
    "cellpadding=4 width=100%>\r\n"
    "<colgroup valign=top> <col align=right> <col align=left> <col align=left> <col align=left> "
    "<col align=left> <col align=left><col align=right> <col align=right> <col align=right> "
    "<col align=right> <col align=center> <col align=right> </colgroup>\r\n"
    "<thead align=left bgcolor=#91B5FF>\r\n"
    "<tr>\r\n"
    "<th width=5%>St.Nr.\r\n"
    "<th width=20%>Name\r\n"
    "<th width=15%>Vorname\r\n"
    "<th width=10%>Roller\r\n"
    "<th width=10%>Motor\r\n"
    "<th width=10%>Info\r\n"
    "\r\n";

const QByteArray kTail =
    "</table>\r\n"
    "</table><P align=right><a href=\"https://www.tempiqo.example/rennuhr/\" title=\"Rennuhr\">"
    "<FONT color=#FF0000>Tem</FONT><FONT color=#009900>pi</FONT><FONT color=#999999>qo</FONT>"
    "<FONT color=#666600>&nbsp; Zeitmessung mit System </FONT>&gt;&gt;</A></P></body></html>\r\n";

// The table rows between the header and the closing tags.
QByteArray Body(const QByteArray& page) {
    const qsizetype start = page.indexOf("</tr></thead>\r\n") + 15;
    return page.mid(start, page.indexOf("</table>\r\n</table>") - start);
}

} // namespace

class HtmlProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void pageBytes() {
        const ProtocolRows rows = {
            kHeader,
            {"1", QString::fromUtf8("Müller"), "Jan", "Vespa", "50", "2", "0,412", "3,100", "61,2",
             "9,876", "+"},
            {"2", "Roth", "", "", "", "", "", "", "", "-", ""},
        };
        const QByteArray expected =
            kHead +
            "<th width=5%>RZ\r\n"
            "<th width=5%>ZZ\r\n"
            "<th width=5%>Km/h\r\n"
            "<th width=5%>Zeit\r\n"
            "<th width=5%>Win\r\n"
            "</tr></thead>\r\n"
            "<tr><td>1<td>M\xFCller<td>Jan<td>Vespa<td>50<td>2<td>0,412"
            "<td>3,100<td>61,2<td>9,876<td>+</tr>\r\n"
            "<tr><td>2<td>Roth<td><td><td><td><td><td><td><td>-<td></tr>\r\n" +
            kTail;
        QCOMPARE(HtmlProtocolPage(rows, kAllShown, "Rennuhr"), expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(HtmlViewFileName("Rennuhr"));
        QVERIFY(path.endsWith("/Rennuhr.html"));
        QVERIFY(WriteHtmlProtocol(path, rows, kAllShown, "Rennuhr").ok);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);

        const QString unwritable = dir.filePath("fehlt/Rennuhr.html");
        const FileWriteResult failed = WriteHtmlProtocol(unwritable, rows, kAllShown, "Rennuhr");
        QVERIFY(!failed.ok);
        QVERIFY(failed.message.startsWith("Der Schreibfehler der Datei: " + unwritable + "\n"));
    }

    void hiddenColumnsAndEmptyRows() {
        QList<bool> shown = kAllShown;
        shown[6] = shown[7] = false;
        const ProtocolRows rows = {kHeader,
                                   {"1", "A", "B", "C", "D", "E", "0,4", "3,1", "61,2", "9,8", "+"},
                                   QStringList(11)};
        const QByteArray page = HtmlProtocolPage(rows, shown, "Rennuhr");
        QVERIFY(page.startsWith(kHead + "<th width=5%>Km/h\r\n<th width=5%>Zeit\r\n"
                                        "<th width=5%>Win\r\n</tr></thead>\r\n"));
        QCOMPARE(Body(page), QByteArray("<tr><td>1<td>A<td>B<td>C<td>D<td>E<td>61,2<td>9,8<td>+"
                                        "</tr>\r\n"
                                        "<tr><td><td><td><td><td><td><td><td><td></tr>\r\n"));

        // Only the header: a table without data rows; not even a header: still a page.
        QCOMPARE(Body(HtmlProtocolPage({kHeader}, kAllShown, "Rennuhr")), QByteArray());
        const QByteArray bare = HtmlProtocolPage({}, kAllShown, "Rennuhr");
        QVERIFY(bare.endsWith(kTail));
        QVERIFY(bare.contains("<th width=5%>\r\n<th width=20%>\r\n"));
    }

    void textsAreEscaped() {
        const ProtocolRows rows = {
            kHeader,
            {"3", "A&B <Racing>", "\"Flo\"", QString::fromUtf8("Łukasz 名 €"),
             QString::fromUtf8("😀"), "Zeile\r\nzwei", "", "", "", "", ""},
        };
        const QByteArray page = HtmlProtocolPage(rows, kAllShown, "R&D");
        QCOMPARE(Body(page), QByteArray("<tr><td>3<td>A&amp;B &lt;Racing&gt;<td>&quot;Flo&quot;"
                                        "<td>&#321;ukasz &#21517; &#8364;<td>&#128512;"
                                        "<td>Zeile  zwei<td><td><td><td><td></tr>\r\n"));
        QVERIFY(page.contains("<TITLE>Zeitenprotokoll R&amp;D</TITLE>"));
        // Every byte is plain ISO-8859-1 text.
        for (char byte : page)
            QVERIFY(uchar(byte) < 0x80 || uchar(byte) >= 0xA0);
    }

    void dialogFilters() {
        const FileTypeNames none;
        QCOMPARE(NameFilters(SaveDialogFilters(none)),
                 QStringList({"Textdatei (*.txt)", "MS Excel (*.xlsx)", "MS Word (*.docx)",
                              "Webseite (*.html)"}));
        QCOMPARE(NameFilters(OpenDialogFilters(none)),
                 QStringList({"Textdatei (*.txt)", "MS Excel (*.xlsx *.xls)",
                              "OpenDocument-Tabelle (*.ods)"}));
        // LibreOffice's spreadsheets go to the workbook import, with Excel or without.
        QCOMPARE(OpenDialogFilters(none)[2].kind, ProtocolFileKind::Excel);

        // Without Excel the later entries move up; the kind tells the writer.
        const FileTypeNames named{"Text", "Tabelle", "Dokument", "Seite", "Kalkulation"};
        const QList<FileFilterEntry> save = SaveDialogFilters(named, false);
        QCOMPARE(NameFilters(save),
                 QStringList({"Text (*.txt)", "Dokument (*.docx)", "Seite (*.html)"}));
        QCOMPARE(save[1].kind, ProtocolFileKind::Word);
        QCOMPARE(save[2].kind, ProtocolFileKind::Html);
        QCOMPARE(NameFilters(OpenDialogFilters(named, false)),
                 QStringList({"Text (*.txt)", "Kalkulation (*.ods)"}));

        // The desktop's own names, in the operator's language.
        QCOMPARE(NameFilters(SaveDialogFilters(SystemFileTypeNames())),
                 QStringList({"Einfaches Textdokument (*.txt)", "Excel-2007-Tabelle (*.xlsx)",
                              "Word-2007-Dokument (*.docx)", "HTML-Dokument (*.html)"}));
        QCOMPARE(NameFilters(OpenDialogFilters(SystemFileTypeNames())).last(),
                 QString("ODS-Tabelle (*.ods)"));
        // An entry names the extension a bare file name is given.
        QStringList suffixes;
        for (const FileFilterEntry& entry : SaveDialogFilters(none))
            suffixes << entry.suffix;
        QCOMPARE(suffixes, QStringList({"txt", "xlsx", "docx", "html"}));
        QCOMPARE(OpenDialogFilters(none)[1].suffix, QString("xlsx"));
    }
};
RENNUHR_TEST(HtmlProtocolTest);

#include "tst_htmlprotocol.moc"
