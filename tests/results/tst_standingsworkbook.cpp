#include "TestMain.h"
#include "XlsxSheets.h"

#include "export/ExcelImport.h"
#include "results/StandingsWorkbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
