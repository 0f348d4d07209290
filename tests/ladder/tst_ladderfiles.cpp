// A ladder on paper and in a workbook: the page as the printout reads it, and the workbook as a
// spreadsheet program and the project's own import read it back.
#include "TestMain.h"
#include "XlsxSheets.h"

#include "export/ExcelImport.h"
#include "ladder/LadderPage.h"
#include "ladder/LadderWorkbook.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cerrno>

namespace {

TLadderEntrant Racer(const QString& number, const QString& name, const QString& firstName) {
    TLadderEntrant racer;
    racer.startNumber = number;
    racer.name = name;
    racer.firstName = firstName;
    racer.vehicle = "Vespa";
    racer.engine = "50 ccm";
    racer.classInfo = "50";
    return racer;
}

TRun Run(const QString& number, const QString& time, bool winner) {
    TRun run;
    run.startNumber = number;
    run.finalTime = time;
    run.finalMs = 1;
    run.reaction = "0,4" + number.left(2);
    run.intermediate = "4,1" + number.left(2);
    run.speed = "98,5";
    run.winner = winner;
    return run;
}

// Six drawn racers in 8 places with a race for third place: 1, 2 and 3 have byes, 55 beats 44,
// 66 does not turn up, 11 and 22 win their semi-finals (33 with a false start). With final,
// 33 takes third place and 22 wins the final.
TLadder SixRacers(bool withFinal) {
    TLadder ladder({Racer("11", "<b>Huber</b>", "Max"), Racer("22", "Özdemir", "Ayşe"),
                    Racer("33", "Klein", "Tom"), Racer("44", "Brandt", "Lena"),
                    Racer("55", "Nowak", "Łukasz"), Racer("66", "Weber", "Jan")},
                   true);
    ladder.day = QDate(2026, 6, 13);
    ladder.classInfo = "50";
    ladder.source = "Auslosung";
    ladder.drawSeed = 4711;
    QHash<qint64, TRuns> heats;
    auto heat = [&](int round, int slot, qint64 start, const TRuns& runs) {
        ladder.Pairing(round, slot)->heats = {TLadderHeat{start, ladder.day, int(start)}};
        heats[start] = runs;
    };
    heat(0, 1, 1, {Run("44", "8,500", false), Run("55", "8,300", true)});
    ladder.Pairing(0, 3)->noShow = 6;
    heat(1, 0, 2, {Run("11", "8,100", true), Run("55", "8,200", false)});
    TRun falseStart = Run("33", "-", false);
    falseStart.falseStart = true;
    heat(1, 1, 3, {Run("22", "8,050", true), falseStart});
    if (withFinal) {
        heat(3, 0, 4, {Run("55", "8,400", false), Run("33", "8,350", true)});
        heat(2, 0, 5, {Run("11", "8,020", false), Run("22", "7,990", true)});
    }
    ladder.Evaluate([&](const TLadderHeat& h) { return heats.value(h.startTicks); });
    return ladder;
}

struct PrintedPage {
    QString text;
    QList<QList<QStringList>> tables;
    QStringList greenCells; // "table.row.column"
};

// The page as the printout lays it out.
PrintedPage Print(const QString& page) {
    QTextDocument document;
    document.setHtml(page);
    PrintedPage printed;
    printed.text = document.toPlainText();
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QList<QStringList> rows;
        for (int r = 0; r < table->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                QTextCursor cursor = cell.firstCursorPosition();
                cursor.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
                cells << cursor.selectedText();
                if (cell.format().background().color() == QColor("#C8F0C8"))
                    printed.greenCells
                        << QString("%1.%2.%3").arg(printed.tables.size()).arg(r).arg(c);
            }
            rows << cells;
        }
        printed.tables << rows;
    }
    return printed;
}

const QStringList kRoundHeader = {"Paarung", "Setzplatz", "St.Nr.", "Name", "Vorname",
                                  "RZ",      "ZZ",        "Km/h",   "Zeit", "Ergebnis"};

} // namespace

class LadderFilesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetFileWriteCall({}); }

    // Title, class, day and draw; the field; every round with byes, the no-show, a false start
    // and the winners; the places known so far, then the final ones.
    void thePageShowsTheWholeLadder() {
        const QString page = LadderPageHtml(SixRacers(false), "Sommerrennen <2026> & Co");
        // Markup in a name or the title stays text; nothing beyond ASCII, whatever the page is
        // written as.
        QVERIFY(!page.contains("<b>Huber") && page.contains("&lt;b&gt;Huber&lt;/b&gt;"));
        QVERIFY(page.contains("Sommerrennen &lt;2026&gt; &amp; Co"));
        QVERIFY(std::all_of(page.begin(), page.end(), [](QChar c) { return c.unicode() < 0x80; }));

        const PrintedPage printed = Print(page);
        for (const char* fact : {"Sommerrennen <2026> & Co", "Ausscheidung Klasse 50",
                                 "Datum: 13.06.2026", "Feld aus: Auslosung Nr. 4711",
                                 "6 Fahrer, 8 Plätze", "Lauf um Platz 3", "Platzierung"})
            QVERIFY2(printed.text.contains(QString::fromUtf8(fact)), fact);
        QVERIFY(!printed.text.contains("beendet"));
        // The field, the four rounds and the places so far.
        QCOMPARE(printed.tables.size(), 6);
        const QList<QStringList>& field = printed.tables[0];
        QCOMPARE(field.size(), 7);
        QCOMPARE(field[0],
                 QStringList({"Setzplatz", "St.Nr.", "Name", "Vorname", "Roller", "Motor"}));
        QCOMPARE(field[2], QStringList({"2", "22", "Özdemir", "Ayşe", "Vespa", "50 ccm"}));
        QCOMPARE(
            printed.tables[1],
            (QList<QStringList>{
                kRoundHeader,
                {"1", "1", "11", "<b>Huber</b>", "Max", "", "", "", "", "Sieger"},
                {"", "", "", "", "", "", "", "", "", "Freilos"},
                {"2", "4", "44", "Brandt", "Lena", "0,444", "4,144", "98,5", "8,500", ""},
                {"", "5", "55", "Nowak", "Łukasz", "0,455", "4,155", "98,5", "8,300", "Sieger"},
                {"3", "2", "22", "Özdemir", "Ayşe", "", "", "", "", "Sieger"},
                {"", "", "", "", "", "", "", "", "", "Freilos"},
                {"4", "3", "33", "Klein", "Tom", "", "", "", "", "Sieger"},
                {"", "6", "66", "Weber", "Jan", "", "", "", "", "nicht angetreten"}}));
        // The winners' rows are green, all their cells.
        QCOMPARE(printed.greenCells.size(), 4 * 10 + 2 * 10);
        QVERIFY(printed.greenCells.contains("1.4.3") && !printed.greenCells.contains("1.3.3"));
        QCOMPARE(printed.tables[2][4], QStringList({"", "3", "33", "Klein", "Tom", "0,433", "4,133",
                                                    "98,5", "Fehlstart", ""}));
        // Still to run: the final and the race for third place, their places open.
        QCOMPARE(printed.tables[3][1],
                 QStringList({"1", "1", "11", "<b>Huber</b>", "Max", "", "", "", "", ""}));
        QCOMPARE(printed.tables[4][2][2], QString("33"));
        QCOMPARE(printed.tables[5],
                 (QList<QStringList>{{"Platz", "St.Nr.", "Name", "Vorname", "Setzplatz"},
                                     {"5.", "44", "Brandt", "Lena", "4"},
                                     {"5.", "66", "Weber", "Jan", "6"}}));

        const PrintedPage finished = Print(LadderPageHtml(SixRacers(true), "Sommerrennen"));
        QVERIFY(finished.text.contains("beendet"));
        QStringList places;
        for (const QStringList& row : finished.tables.last())
            places << row[0] + row[1];
        QCOMPARE(places,
                 QStringList({"PlatzSt.Nr.", "1.22", "2.11", "3.33", "4.55", "5.44", "5.66"}));

        // A new ladder has no places yet; a field from the standings shows where it came from.
        TLadderEntrant first = Racer("7", "Auer", "Eva");
        first.standingsPlace = 1;
        first.time = "7,900";
        TLadder fresh({first, Racer("8", "Berg", "Udo")});
        fresh.source = "Wertung";
        const PrintedPage empty = Print(LadderPageHtml(fresh, "Sommerrennen"));
        QVERIFY(empty.text.contains("Noch keine Platzierung."));
        QVERIFY(empty.text.contains("Feld aus: Wertung"));
        QCOMPARE(empty.tables.size(), 2);
        QCOMPARE(empty.tables[0][1],
                 QStringList({"1", "7", "Auer", "Eva", "Vespa", "50 ccm", "1.", "7,900"}));
        QCOMPARE(empty.tables[0][2].mid(6), QStringList({"", ""}));
    }

    // Read back as written: the pairings round by round on the first sheet, which the import
    // reads as a table, the places and the field on their own sheets.
    void theWorkbookReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("leiter.xlsx");
        QCOMPARE(SaveLadderWorkbook(SixRacers(true), "Sommerrennen", path), QString());

        const ProtocolReadResult back = ReadExcelWorkbook(path);
        QVERIFY2(back.ok, qPrintable(back.message));
        QCOMPARE(back.rows.size(), 1 + 2 * (4 + 2 + 1 + 1));
        QCOMPARE(back.rows[0], QStringList{"Runde"} + kRoundHeader);
        QCOMPARE(back.rows[2],
                 QStringList({"Viertelfinale", "1", "", "", "", "", "", "", "", "", "Freilos"}));
        QCOMPARE(back.rows[4], QStringList({"Viertelfinale", "2", "5", "55", "Nowak", "Łukasz",
                                            "0,455", "4,155", "98,5", "8,300", "Sieger"}));
        QCOMPARE(back.rows[8][10], QString("nicht angetreten"));
        QCOMPARE(back.rows[12][9], QString("Fehlstart"));
        QCOMPARE(back.rows[13], QStringList({"Finale", "1", "1", "11", "<b>Huber</b>", "Max",
                                             "0,411", "4,111", "98,5", "8,020", ""}));
        QCOMPARE(back.rows[14][3], QString("22"));
        QCOMPARE(back.rows[14][10], QString("Sieger"));
        QCOMPARE(back.rows[16][0], QString("Lauf um Platz 3"));
        QCOMPARE(back.rows[16][3], QString("33"));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<Sheet> sheets = ReadSheets(file.readAll());
        QCOMPARE(Names(sheets),
                 QStringList({"Paarungen", "Platzierung", "Feld (Auslosung Nr. 4711)"}));
        QCOMPARE(sheets[1].rows,
                 (QList<QStringList>{{"Platz", "St.Nr.", "Name", "Vorname", "Setzplatz"},
                                     {"1", "22", "Özdemir", "Ayşe", "2"},
                                     {"2", "11", "<b>Huber</b>", "Max", "1"},
                                     {"3", "33", "Klein", "Tom", "3"},
                                     {"4", "55", "Nowak", "Łukasz", "5"},
                                     {"5", "44", "Brandt", "Lena", "4"},
                                     {"5", "66", "Weber", "Jan", "6"}}));
        // Places, pairings and seeds are numbers that sort; start numbers stay text.
        QVERIFY(sheets[1].numberCells.contains("A2") && sheets[1].numberCells.contains("E2"));
        QVERIFY(!sheets[1].numberCells.contains("B2"));
        QVERIFY(sheets[0].numberCells.contains("B2") && sheets[0].numberCells.contains("C4"));
        QCOMPARE(sheets[2].rows.size(), 7);
        QCOMPARE(sheets[2].rows[5],
                 QStringList({"5", "55", "Nowak", "Łukasz", "Vespa", "50 ccm", "50", "", ""}));
    }

    // A write that fails says so, and the workbook written before stays as it was.
    void aFailedWriteIsToldAndKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("leiter.xlsx");
        QCOMPARE(SaveLadderWorkbook(SixRacers(false), "Sommerrennen", path), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        SetFileWriteCall([](const QByteArray&, int, const char*, qint64) -> qint64 {
            errno = ENOSPC;
            return -1;
        });
        const QString error = SaveLadderWorkbook(SixRacers(true), "Sommerrennen", path);
        SetFileWriteCall({});
        QVERIFY2(error.startsWith(WriteErrorText(path)), qPrintable(error));
        QVERIFY(error.contains("Der Datenträger ist voll."));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);

        const QString missing = dir.filePath("fehlt/leiter.xlsx");
        QVERIFY(
            SaveLadderWorkbook(SixRacers(true), "", missing).startsWith(WriteErrorText(missing)));
    }
};
RENNUHR_TEST(LadderFilesTest);

#include "tst_ladderfiles.moc"
