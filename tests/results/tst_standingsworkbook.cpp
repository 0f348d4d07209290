#include "TestMain.h"

#include "export/ExcelImport.h"
#include "export/ZipPackage.h"
#include "results/StandingsWorkbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pugixml.hpp>

namespace {

TRun Run(const QString& number, int heat, qint64 ms, const QString& classInfo) {
    TRun run;
    run.day = QDate(2026, 6, 13);
    run.heat = heat;
    run.lane = 1;
    run.startNumber = number;
    run.name = "Name " + number;
    run.classInfo = classInfo;
    run.finalMs = ms;
    run.finalTime = QString("%1,%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QChar('0'));
    run.speedKmh = 90.0;
    run.speed = "90,0";
    return run;
}

// What a spreadsheet program sees of each sheet: its name, its cells as texts, which cells are
// numbers, and the comments.
struct Sheet {
    QString name;
    QList<QStringList> rows;
    QStringList numberCells; // "A2", ...
    QStringList markedCells; // cells on a fill colour
    QString comments;        // all comment texts of the sheet
};

QList<Sheet> ReadSheets(const QByteArray& bytes) {
    ZipPackageReader package;
    if (!package.Open(bytes)) return {};
    auto load = [&](pugi::xml_document& document, const QString& part) {
        const auto data = package.Read(part, 1 << 24);
        return data && document.load_buffer(data->constData(), size_t(data->size()));
    };
    pugi::xml_document workbook, strings, styles;
    if (!load(workbook, "xl/workbook.xml") || !load(strings, "xl/sharedStrings.xml") ||
        !load(styles, "xl/styles.xml"))
        return {};
    QStringList shared;
    for (pugi::xpath_node si : strings.select_nodes("//si"))
        shared << QString::fromUtf8(si.node().child("t").text().get());
    std::vector<bool> filled;
    std::vector<pugi::xml_node> fills;
    for (pugi::xml_node fill : styles.document_element().child("fills").children())
        fills.push_back(fill);
    for (pugi::xml_node format : styles.document_element().child("cellXfs").children())
        filled.push_back(QString(fills.at(format.attribute("fillId").as_uint())
                                     .child("patternFill")
                                     .child("fgColor")
                                     .attribute("rgb")
                                     .value()) == "FFFFB040");

    QList<Sheet> sheets;
    int index = 1;
    for (pugi::xpath_node node : workbook.select_nodes("//sheet")) {
        Sheet sheet;
        sheet.name = QString::fromUtf8(node.node().attribute("name").value());
        pugi::xml_document part, comments;
        if (!load(part, QString("xl/worksheets/sheet%1.xml").arg(index))) return {};
        for (pugi::xpath_node row : part.select_nodes("//row")) {
            QStringList cells;
            for (pugi::xml_node cell : row.node().children("c")) {
                const QString reference = cell.attribute("r").value();
                const QString value = QString::fromUtf8(cell.child("v").text().get());
                const QString type = cell.attribute("t").value();
                cells << (type == "s" ? shared.value(value.toInt()) : value);
                if (type.isEmpty() && !value.isEmpty()) sheet.numberCells << reference;
                if (filled.at(cell.attribute("s").as_uint())) sheet.markedCells << reference;
            }
            sheet.rows << cells;
        }
        if (load(comments, QString("xl/comments%1.xml").arg(index)))
            for (pugi::xpath_node text : comments.select_nodes("//t"))
                sheet.comments += QString::fromUtf8(text.node().text().get()) + '|';
        sheets << sheet;
        ++index;
    }
    return sheets;
}

QStringList Names(const QList<Sheet>& sheets) {
    QStringList names;
    for (const Sheet& sheet : sheets)
        names << sheet.name;
    return names;
}

const QStringList kHeader = {"Platz",  "St.Nr.", "Name", "Vorname", "Roller", "Motor",
                             "Klasse", "Zeit",   "Km/h", "RZ",      "Starts", "Lauf"};

} // namespace

class StandingsWorkbookTest : public QObject {
    Q_OBJECT
private slots:
    void oneSheetPerClass() {
        TRun marked = Run("01", 3, 10500, "B");
        marked.warnings = QStringList{"Zeit unter der Mindestzeit", "ZZ fehlt"};
        TRun crashed = Run("4", 4, 9000, "B");
        crashed.crashed = true;
        const TRuns runs = {Run("2", 1, 11000, "A"), Run("3", 1, 12000, "B"), marked, crashed,
                            Run("5", 2, 13000, "")};
        const TStandings standings = BuildStandings(runs, true, false, {"B", "A"});

        QTemporaryDir dir;
        const QString path = dir.filePath("wertung.xlsx");
        const FileWriteResult written =
            WriteStandingsWorkbook(path, standings, "Sommerrennen", "Rennuhr");
        QVERIFY2(written.ok, qPrintable(written.message));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();

        const QList<Sheet> sheets = ReadSheets(bytes);
        QCOMPARE(Names(sheets), QStringList({"Klasse B", "Klasse A", "ohne Klasse"}));
        QCOMPARE(sheets[0].rows,
                 QList<QStringList>(
                     {kHeader,
                      {"1", "01", "Name 01", "", "", "", "B", "10,500 !", "90,0", "", "1", "3"},
                      {"2", "3", "Name 3", "", "", "", "B", "12,000", "90,0", "", "1", "1"},
                      {"", "4", "Name 4", "", "", "", "B", "Gestürzt", "", "", "1", "4"}}));
        QCOMPARE(sheets[1].rows.size(), 2);
        QCOMPARE(sheets[1].rows[1][1], QString("2"));
        QCOMPARE(sheets[2].rows[1][1], QString("5"));
        // Places and counts are numbers; the start number "01" stays text.
        QCOMPARE(sheets[0].numberCells,
                 QStringList({"A2", "K2", "L2", "A3", "K3", "L3", "K4", "L4"}));
        // The marked time on the mark colour, its warnings as the comment.
        QCOMPARE(sheets[0].markedCells, QStringList{"H2"});
        QCOMPARE(sheets[0].comments, QString("Zeit unter der Mindestzeit\nZZ fehlt|"));
        QVERIFY(sheets[1].markedCells.isEmpty() && sheets[1].comments.isEmpty());

        // The project's own import reads the first sheet as a table.
        const ProtocolReadResult back = ParseExcelWorkbook(bytes, path);
        QVERIFY2(back.ok, qPrintable(back.message));
        QCOMPARE(back.rows.size(), 3); // the racer without a place has no "Platz"
        QCOMPARE(back.rows[0], kHeader.mid(0, 11));
        QCOMPARE(back.rows[2],
                 QStringList({"2", "3", "Name 3", "", "", "", "B", "12,000", "90,0", "", "1"}));
    }

    void sheetNamesWithinTheRules() {
        const QString longClass = QString(40, u'x');
        const TRuns runs = {Run("1", 1, 10000, "a/b"),      Run("2", 1, 10000, "a:b"),
                            Run("3", 2, 10000, longClass),  Run("4", 2, 10000, longClass + "y"),
                            Run("5", 3, 10000, "Klasse q"), Run("6", 3, 10000, "Klasse Q")};
        const TStandings standings = BuildStandings(runs, true, true, {});
        const QList<Sheet> sheets = ReadSheets(*StandingsWorkbookBytes(standings, "", "Rennuhr"));
        QCOMPARE(Names(sheets),
                 QStringList({"Klasse a_b", "Klasse a_b (2)", "Klasse " + QString(24, u'x'),
                              "Klasse " + QString(20, u'x') + " (2)", "Klasse q", "Klasse Q (2)"}));
        for (const Sheet& sheet : sheets)
            QCOMPARE(sheet.rows.size(), 2);
    }

    void withoutClassesOneSheet() {
        const TRuns runs = {Run("1", 1, 10000, "A"), Run("2", 1, 11000, "B")};
        QList<Sheet> sheets =
            ReadSheets(*StandingsWorkbookBytes(BuildStandings(runs, false, false, {}), "", "R"));
        QCOMPARE(Names(sheets), QStringList{"Wertung"});
        QCOMPARE(sheets[0].rows.size(), 3);
        QCOMPARE(sheets[0].rows[0][6], QString("Info"));

        // No runs in any class: one sheet with the columns.
        sheets =
            ReadSheets(*StandingsWorkbookBytes(BuildStandings({}, true, false, {"A"}), "", "R"));
        QCOMPARE(Names(sheets), QStringList{"Wertung"});
        QCOMPARE(sheets[0].rows, QList<QStringList>{kHeader});

        QTemporaryDir dir;
        const QString missing = dir.filePath("fehlt/wertung.xlsx");
        const FileWriteResult failed =
            WriteStandingsWorkbook(missing, BuildStandings(runs, false, false, {}), "", "R");
        QVERIFY(!failed.ok);
        QVERIFY(failed.message.startsWith("Der Schreibfehler der Datei: " + missing));
    }
};
RENNUHR_TEST(StandingsWorkbookTest);

#include "tst_standingsworkbook.moc"
