#include "TestMain.h"

#include "export/ExcelImport.h"
#include "export/ZipPackage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    "<Relationship Id=\"rId9\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>\n"
    "</Relationships>";

// Two worksheets; the workbook lists "sheet2.xml" first, so that one is the first worksheet.
const QByteArray kWorkbook =
    "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"\n"
    " xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">\n"
    "<x:sheets><x:sheet name=\"Liste\" sheetId=\"2\" rel:id=\"rIdB\"/><x:sheet name=\"Alt\" "
    "sheetId=\"1\" rel:id=\"rIdA\"/></x:sheets>\n"
    "</x:workbook>";

const QByteArray kSheetRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    "<Relationship Id=\"rIdA\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>\n"
    "<Relationship Id=\"rIdB\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"/xl/worksheets/sheet2.xml\"/>\n"
    "<Relationship Id=\"rIdS\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>\n"
    "</Relationships>";

const QByteArray kSharedStrings =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n"
    "<si><t>St.Nr.</t></si><si><t>Name</t></si>\n"
    "<si><r><t>Mül</t></r><r><rPr><b/></rPr><t>ler</t></r><rPh><t>PHONETIC</t></rPh></si>\n"
    "<si><t xml:space=\"preserve\"> Zeile_x000D_Ende </t></si>\n"
    "</sst>";

QByteArray Sheet(const QByteArray& rows, const QByteArray& dimension = "A1:K3") {
    return "<worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><dimension ref=\"" +
           dimension + "\"/><sheetData>" + rows + "</sheetData></worksheet>";
}

QByteArray Workbook(const QByteArray& sheet, const QByteArray& otherSheet = Sheet("")) {
    return *BuildZipPackage({{"_rels/.rels", kWorkbookRels},
                             {"xl/workbook.xml", kWorkbook},
                             {"xl/_rels/workbook.xml.rels", kSheetRels},
                             {"xl/sharedStrings.xml", kSharedStrings},
                             {"xl/worksheets/sheet1.xml", otherSheet},
                             {"xl/worksheets/sheet2.xml", sheet}});
}

class Files {
public:
    QString Write(const QByteArray& bytes, const QString& name = "liste.xlsx") {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
        return path;
    }

private:
    QTemporaryDir dir_;
};

QStringList Row(std::initializer_list<QString> cells) {
    QStringList row(cells);
    while (row.size() < kProtocolColumns)
        row.append(QString());
    return row;
}

ProtocolRows Read(const QString& path) {
    const ProtocolReadResult result = ReadExcelWorkbook(path);
    if (!result.ok) qWarning() << result.message;
    return result.rows;
}

} // namespace

class ExcelImportTest : public QObject {
    Q_OBJECT
private slots:
    void cellKinds() {
        Files files;
        const QString path = files.Write(Workbook(
            Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c "
                  "r=\"C1\"/></row>\n"
                  "<row r=\"2\"><c r=\"A2\"><v>7</v></c><c r=\"B2\" t=\"s\"><v>2</v></c><c "
                  "r=\"C2\" t=\"inlineStr\"><is><t>Anna</t></is></c>\n"
                  " <c r=\"D2\" t=\"b\"><v>1</v></c><c r=\"E2\"><v>12.345</v></c><c "
                  "r=\"F2\"><v>1234567</v></c><c r=\"G2\"><v>-0.5</v></c>\n"
                  " <c r=\"H2\" t=\"str\"><f>A2*2</f><v>x_y</v></c><c r=\"I2\" "
                  "t=\"e\"><v>#DIV/0!</v></c><c r=\"J2\"><v>1E+20</v></c>\n"
                  " <c r=\"K2\" t=\"s\"><v>3</v></c><c r=\"L2\"><v>99</v></c></row>\n"
                  "<row r=\"3\"><c><v>0.1</v></c><c t=\"b\"><v>0</v></c><c "
                  "r=\"D3\"><f>SUM(A1)</f></c><c><v>3</v></c></row>")));
        QVERIFY(!path.isEmpty());
        const ProtocolRows rows = Read(path);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name"}));
        QCOMPARE(rows[1], Row({"7", "Müller", "Anna", "WAHR", "12,345", "1234567", "-0,5", "x_y",
                               "#DIV/0!", "1E+20", " Zeile\rEnde "}));
        // Cells without a reference follow the one before; a formula without a value is empty.
        QCOMPARE(rows[2], Row({"0,1", "FALSCH", "", "", "3"}));
    }

    void protocolLength() {
        Files files;
        // A2 empty: the header alone, and the table keeps one blank data row.
        ProtocolRows rows = Read(files.Write(
            Workbook(Sheet(
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Nr</t></is></c></row>\n"
                "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>ohne Nummer</t></is></c></row>\n"
                "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>")),
            "a2.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({})}));

        // A1 empty: the first sheet row still becomes the header, nothing after it is read,
        // and blank titles stay blank.
        rows = Read(files.Write(
            Workbook(
                Sheet("<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t>Name</t></is></c></row>\n"
                      "<row r=\"2\"><c r=\"A2\"><v>1</v></c></row>")),
            "a1.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"", "Name"}), Row({})}));

        // A row the file leaves out is an empty row: the protocol ends before it.
        rows = Read(files.Write(Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>\n"
                                               "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row><row "
                                               "r=\"4\"><c r=\"A4\"><v>4</v></c></row>")),
                                "luecke.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"1"}), Row({"2"})}));

        // An empty sheet: an empty header and one blank row.
        rows = Read(files.Write(Workbook(Sheet("")), "leer.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({}), Row({})}));
    }

    void hugeClaimedRange() {
        Files files;
        // The used range claims the whole sheet and a styled cell sits in its last row.
        QByteArray rowsXml;
        for (int r = 1; r <= 200; ++r)
            rowsXml += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) +
                       "\"><v>" + QByteArray::number(r) + "</v></c></row>";
        rowsXml +=
            "<row r=\"1048576\" s=\"1\" customFormat=\"1\"><c r=\"XFD1048576\"><v>1</v></c></row>";
        const QString path = files.Write(Workbook(Sheet(rowsXml, "A1:XFD1048576")));
        const ProtocolRows rows = Read(path);
        QCOMPARE(rows.size(), 200);
        QCOMPARE(rows.last()[0], QString("200"));
    }

    void damagedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
        QTest::newRow("text") << QByteArray("St.Nr.\tName\t\r\n1\tMeier\t\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated zip") << good.left(good.size() / 2);
        QTest::newRow("zip without workbook")
            << *BuildZipPackage({{"word/document.xml", "<document/>"}});
        QTest::newRow("broken sheet xml") << Workbook("<worksheet><sheetData><row>");
        QTest::newRow("row given twice")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1\"/>"));
        QTest::newRow("shared string out of range")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>77</v></c></row>"));
        QTest::newRow("number that is none")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>sieben</v></c></row>"));
        QTest::newRow("old binary header only")
            << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0", 12);
    }

    void damagedFiles() {
        QFETCH(QByteArray, bytes);
        Files files;
        const QString path = files.Write(bytes);
        const ProtocolReadResult result = ReadExcelWorkbook(path);
        QVERIFY(!result.ok);
        QVERIFY(result.rows.isEmpty());
        QVERIFY2(result.message.startsWith("Die Datei " + path + " kann nicht geladen werden.\n"),
                 qPrintable(result.message));
        QVERIFY(result.message.section(u'\n', 1).size() > 10);
    }

    void missingFile() {
        const ProtocolReadResult result = ReadExcelWorkbook("/nicht/da.xlsx");
        QVERIFY(!result.ok);
        QVERIFY(result.message.contains("Die Datei existiert nicht."));
    }

    void legacyWorkbook() {
        // Saved by a spreadsheet program in the old binary format: header, three participants
        // (start numbers as numbers, one with decimals), then a row without start number.
        const QString path = QFINDTESTDATA("data/teilnehmer.xls");
        QVERIFY(!path.isEmpty());
        const ProtocolRows rows = Read(path);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Klasse"}));
        QCOMPARE(rows[1], Row({"7", "Müller", "Anna", "Vespa", "50", "2"}));
        QCOMPARE(rows[2], Row({"8", "Öztürk", "Ümit", "Simson", "", "1"}));
        QCOMPARE(rows[3], Row({"9", "Groß", "", "", "", "", "", "", "", "12,345"}));
    }

    void numberTexts() {
        QCOMPARE(ExcelNumberText(7), QString("7"));
        QCOMPARE(ExcelNumberText(-12), QString("-12"));
        QCOMPARE(ExcelNumberText(12.5), QString("12,5"));
        QCOMPARE(ExcelNumberText(0.1 + 0.2), QString("0,3"));
        QCOMPARE(ExcelNumberText(123456789012.0), QString("123456789012"));
        QCOMPARE(ExcelNumberText(-0.0), QString("0"));
    }
};
RENNUHR_TEST(ExcelImportTest);

#include "tst_excelimport.moc"
