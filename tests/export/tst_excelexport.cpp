#include "TestMain.h"

#include "export/ExcelExport.h"
#include "export/ExcelImport.h"
#include "export/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pugixml.hpp>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
const QStringList kRow1 = {"01",    "Müller", "Anna", "Vespa",  "50", "A",
                           "0,512", "4,100",  "88,4", "12,345", "+"};
const QStringList kRow2 = {"2", "Ölberg", "", "", "", "", "", "", "", "0,500", ""};
// The speed columns RZ and ZZ hidden, as the settings do.
const QList<bool> kWithoutRzZz = {true,  true,  true, true, true, true,
                                  false, false, true, true, true};

QString CellName(int row, int column) {
    return QString(QChar(u'A' + column)) + QString::number(row + 1);
}

// What a spreadsheet program sees of the written file.
struct Workbook {
    bool ok = false;
    QString sheetName;
    QString title, subject, author;
    // Cell name -> bold and border style of its format.
    QHash<QString, std::pair<bool, QString>> styles;
    QList<double> widths;

    explicit Workbook(const QString& fileName) {
        ZipPackageReader package;
        if (!package.Open(fileName)) return;
        auto load = [&](pugi::xml_document& document, const char* part) {
            const auto data = package.Read(part, 1 << 24);
            return data && document.load_buffer(data->constData(), size_t(data->size()));
        };
        pugi::xml_document workbook, core, styleSheet, sheet;
        if (!load(workbook, "xl/workbook.xml") || !load(core, "docProps/core.xml") ||
            !load(styleSheet, "xl/styles.xml") || !load(sheet, "xl/worksheets/sheet1.xml"))
            return;
        sheetName = workbook.select_node("//sheet").node().attribute("name").value();
        const pugi::xml_node properties = core.document_element();
        title = properties.child("dc:title").text().get();
        subject = properties.child("dc:subject").text().get();
        author = properties.child("dc:creator").text().get();

        const auto children = [](pugi::xml_node parent) {
            std::vector<pugi::xml_node> nodes;
            for (pugi::xml_node node : parent.children())
                nodes.push_back(node);
            return nodes;
        };
        const pugi::xml_node root = styleSheet.document_element();
        const auto fonts = children(root.child("fonts"));
        const auto borders = children(root.child("borders"));
        const auto formats = children(root.child("cellXfs"));
        for (pugi::xpath_node cell : sheet.select_nodes("//c")) {
            const pugi::xml_node format = formats.at(cell.node().attribute("s").as_uint());
            const bool bold = bool(fonts.at(format.attribute("fontId").as_uint()).child("b"));
            const pugi::xml_node border = borders.at(format.attribute("borderId").as_uint());
            QString style = border.child("left").attribute("style").value();
            for (const char* edge : {"right", "top", "bottom"})
                if (style != border.child(edge).attribute("style").value()) style = "mixed";
            styles.insert(cell.node().attribute("r").value(), {bold, style});
        }
        for (pugi::xpath_node column : sheet.select_nodes("//col"))
            widths.append(column.node().attribute("width").as_double());
        ok = true;
    }
};

} // namespace

class ExcelExportTest : public QObject {
    Q_OBJECT
private slots:
    void workbookReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("protokoll.xlsx");
        const ExcelWorkbookContent content{{kHeader, kRow1, QStringList(kProtocolColumns), kRow2},
                                           kWithoutRzZz,
                                           "Sommerrennen 2026",
                                           "Rennuhr"};
        const FileWriteResult result = WriteExcelWorkbook(path, content);
        QVERIFY2(result.ok, qPrintable(result.message));

        const Workbook book(path);
        QVERIFY(book.ok);
        QCOMPARE(book.sheetName, QString("Rennuhr"));
        QCOMPARE(book.title, QString("Sommerrennen 2026"));
        QCOMPARE(book.subject, QString("Rennuhr"));
        QCOMPARE(book.author, QString("Tempiqo Software"));

        // The whole range A1:K4 carries borders, the header bold and medium, the rest thin;
        // nothing outside the range is written.
        QCOMPARE(book.styles.size(), 4 * kProtocolColumns);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < kProtocolColumns; ++column) {
                const auto style = book.styles.value(CellName(row, column));
                QCOMPARE(style.first, row == 0);
                QCOMPARE(style.second, row == 0 ? QString("medium") : QString("thin"));
            }

        // Read back: hidden columns left out, the rest packed left, texts exactly as written.
        const ProtocolReadResult back = ReadExcelWorkbook(path);
        QVERIFY2(back.ok, qPrintable(back.message));
        QCOMPARE(back.rows.size(), 2); // the blank third row ends the protocol
        QCOMPARE(back.rows[0], QStringList({"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                                            "Km/h", "Zeit", "Win", "", ""}));
        QCOMPARE(back.rows[1], QStringList({"01", "Müller", "Anna", "Vespa", "50", "A", "88,4",
                                            "12,345", "+", "", ""}));

        // Widths follow the contents: "Müller" is wider than the one-letter column.
        QCOMPARE(book.widths.size(), kProtocolColumns);
        QVERIFY(book.widths[1] > book.widths[5]);
    }

    void cellBlockAndSheetName() {
        const QList<QStringList> block = ExcelCellBlock({kHeader, kRow2}, kWithoutRzZz);
        QCOMPARE(block.size(), 2);
        QCOMPARE(block[1].size(), kProtocolColumns);
        QCOMPARE(block[1].mid(6), QStringList({"", "0,500", "", "", ""}));
        // All shown: the row unchanged.
        QCOMPARE(ExcelCellBlock({kRow1}, {})[0], kRow1);

        QCOMPARE(ExcelSheetName("Rennuhr"), QString("Rennuhr"));
        QCOMPARE(ExcelSheetName("a[b]:c*?/\\d"), QString("a_b__c____d"));
        QCOMPARE(ExcelSheetName(QString(40, u'x')), QString(31, u'x'));
        QCOMPARE(ExcelSheetName("'Heat'"), QString("Heat"));
        QCOMPARE(ExcelSheetName(""), QString("Protokoll"));
        // 31 characters, not 31 UTF-16 units: a pair is never cut in half.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x8F\x81");
        const QString longName = ExcelSheetName(QString(30, u'a') + emoji + emoji);
        QCOMPARE(longName, QString(30, u'a') + emoji);
    }

    void failuresAreReported() {
        QTemporaryDir dir;
        const ExcelWorkbookContent content{{kHeader, kRow1}, {}, "", "Rennuhr"};
        const QString missing = dir.filePath("fehlt/protokoll.xlsx");
        FileWriteResult result = WriteExcelWorkbook(missing, content);
        QVERIFY(!result.ok);
        QVERIFY(result.message.startsWith("Der Schreibfehler der Datei: " + missing));
        QVERIFY(result.message.contains("Der Ordner existiert nicht."));
        QVERIFY(!QFile::exists(missing));

        // A name taken by a folder is not overwritten and not reported as saved.
        QVERIFY(QDir(dir.path()).mkdir("ordner.xlsx"));
        result = WriteExcelWorkbook(dir.filePath("ordner.xlsx"), content);
        QVERIFY(!result.ok);
        QVERIFY(QFileInfo(dir.filePath("ordner.xlsx")).isDir());

        // A grid taller than a sheet cannot be written.
        QString error;
        const ProtocolRows tooTall(1048577, QStringList{"1"});
        QVERIFY(!ExcelWorkbookBytes({tooTall, {}, "", "Rennuhr"}, &error));
        QVERIFY(error.contains("mehr Zeilen"));
    }

    void temporaryWorkbook() {
        const ExcelWorkbookContent content{{kHeader, kRow1}, {}, "Titel", "Heat"};
        const ExcelTempFileResult first = WriteExcelWorkbookToTemp(content);
        const ExcelTempFileResult second = WriteExcelWorkbookToTemp(content);
        QVERIFY2(first.ok && second.ok, qPrintable(first.message + second.message));
        // A fresh file each time, in the temporary folder, and a workbook of the protocol.
        QVERIFY(first.fileName != second.fileName);
        QCOMPARE(QFileInfo(first.fileName).absolutePath(),
                 QFileInfo(QDir::tempPath()).absoluteFilePath());
        QVERIFY(first.fileName.endsWith(".xlsx"));
        const ProtocolReadResult back = ReadExcelWorkbook(first.fileName);
        QFile::remove(first.fileName);
        QFile::remove(second.fileName);
        QVERIFY(back.ok);
        QCOMPARE(back.rows[1], kRow1);
    }
};
RENNUHR_TEST(ExcelExportTest);

#include "tst_excelexport.moc"
