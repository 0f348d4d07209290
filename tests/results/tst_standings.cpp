#include "TestMain.h"

#include "results/Standings.h"

#include <QTest>

Q_DECLARE_METATYPE(TRun)

namespace {

const QDate kDay(2026, 6, 13);

// A run of the day, valid unless a mark is added.
struct R : TRun {
    R(const QString& number, int heatNumber, qint64 ms, double kmh = 100.0) {
        day = kDay;
        heat = heatNumber;
        lane = 1;
        startNumber = number;
        name = "Fahrer " + number;
        finalMs = ms;
        finalTime =
            ms < 0 ? QString() : QString("%1,%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QChar('0'));
        speedKmh = kmh;
        speed = kmh < 0 ? QString() : QString::number(kmh, 'f', 1).replace('.', ',');
        id = heatNumber * 10 + lane;
    }
    R& Lane(int number) {
        lane = number;
        id = heat * 10 + lane;
        return *this;
    }
    R& FalseStart() {
        falseStart = true;
        finalTime = "-";
        return *this;
    }
    R& Crashed() {
        crashed = true;
        return *this;
    }
    R& Void() {
        voided = true;
        return *this;
    }
    R& Class(const QString& text) {
        classInfo = text;
        return *this;
    }
};

// Each entry as "place number heat", or "- number heat reason" without a place.
QStringList Summary(const TStandingsGroup& group) {
    QStringList lines;
    for (const TStandingsEntry& e : group.entries)
        lines << (e.Placed() ? QString("%1 %2 %3").arg(e.place).arg(e.startNumber).arg(e.heat)
                             : QString("- %1 %2 %3").arg(e.startNumber).arg(e.heat).arg(e.reason));
    return lines;
}

} // namespace

class StandingsTest : public QObject {
    Q_OBJECT
private slots:
    void ranking_data() {
        QTest::addColumn<TRuns>("runs");
        QTest::addColumn<bool>("manyStart");
        QTest::addColumn<QStringList>("expected");

        // Racer 1 is fast early and slow late; racer 2 runs once between.
        const TRuns earlyBest = {R("1", 1, 11000), R("2", 2, 11500), R("1", 3, 12000)};
        QTest::newRow("best run") << earlyBest << true << QStringList{"1 1 1", "2 2 2"};
        QTest::newRow("latest run") << earlyBest << false << QStringList{"1 2 2", "2 1 3"};
        QTest::newRow("best of equal runs: the first")
            << TRuns{R("1", 4, 11000), R("1", 2, 11000)} << true << QStringList{"1 1 2"};
        QTest::newRow("latest in one heat: the higher lane")
            << TRuns{R("1", 5, 12000).Lane(2), R("1", 5, 11000).Lane(1)} << false
            << QStringList{"1 1 5"};

        QTest::newRow("speed breaks a tie")
            << TRuns{R("1", 1, 11000, 90.0), R("2", 1, 11000, 95.5).Lane(2), R("3", 2, 11000, -1),
                     R("4", 2, 10999, 10.0).Lane(2)}
            << false << QStringList{"1 4 2", "2 2 1", "3 1 1", "4 3 2"};
        QTest::newRow("a shared place, then the one after it")
            << TRuns{R("4", 1, 10000), R("3", 1, 10500).Lane(2), R("2", 2, 10500),
                     R("1", 2, 11000).Lane(2), R("5", 3, 11000, 99.9)}
            << false << QStringList{"1 4 1", "2 2 2", "2 3 1", "4 1 2", "5 5 3"};
        QTest::newRow("without speed both: shared")
            << TRuns{R("1", 1, 10000, -1), R("2", 1, 10000, -1).Lane(2)} << true
            << QStringList{"1 1 1", "1 2 1"};

        QTest::newRow("false start")
            << TRuns{R("1", 1, 11000), R("2", 1, 9000).FalseStart().Lane(2)} << false
            << QStringList{"1 1 1", "- 2 1 Fehlstart"};
        const TRuns laterFalseStart = {R("1", 1, 11000), R("1", 3, -1).FalseStart(),
                                       R("2", 2, 12000)};
        QTest::newRow("latest false start, off")
            << laterFalseStart << false << QStringList{"1 2 2", "- 1 3 Fehlstart"};
        QTest::newRow("latest false start, on")
            << laterFalseStart << true << QStringList{"1 1 1", "2 2 2"};
        QTest::newRow("crash") << TRuns{R("1", 1, 11000).Crashed(), R("2", 1, 12000).Lane(2)}
                               << true << QStringList{"1 2 1", "- 1 1 Gestürzt"};
        QTest::newRow("no time") << TRuns{R("1", 1, -1, -1), R("2", 1, 12000).Lane(2)} << false
                                 << QStringList{"1 2 1", "- 1 1 ohne Zeit"};

        // A void run is taken out: the run before it counts again, or nothing does.
        const TRuns voided = {R("1", 1, 12000), R("1", 2, 10000).Void(), R("2", 3, 9000).Void(),
                              R("3", 4, 11000)};
        QTest::newRow("void, off")
            << voided << false << QStringList{"1 3 4", "2 1 1", "- 2 3 ungültig"};
        QTest::newRow("void, on") << voided << true
                                  << QStringList{"1 3 4", "2 1 1", "- 2 3 ungültig"};
        // Only invalid runs: the latest one that is not void gives the reason.
        QTest::newRow("only invalid runs")
            << TRuns{R("1", 1, 11000).Crashed(), R("1", 4, -1).FalseStart(),
                     R("1", 6, 10000).Void()}
            << true << QStringList{"- 1 4 Fehlstart"};

        QTest::newRow("without a place: by start number")
            << TRuns{R("10", 1, -1).FalseStart(), R("x", 1, -1).Crashed().Lane(2),
                     R("9", 2, -1).FalseStart(), R("02", 2, 13000).Lane(2)}
            << true
            << QStringList{"1 02 2", "- 9 2 Fehlstart", "- 10 1 Fehlstart", "- x 1 Gestürzt"};
        QTest::newRow("empty") << TRuns{} << false << QStringList{};
    }
    void ranking() {
        QFETCH(TRuns, runs);
        QFETCH(bool, manyStart);
        QFETCH(QStringList, expected);
        const TStandings standings = BuildStandings(runs, false, manyStart, {});
        QCOMPARE(standings.groups.size(), 1);
        QCOMPARE(standings.groups[0].title, QString());
        QCOMPARE(Summary(standings.groups[0]), expected);
        // The order of the runs given changes nothing.
        std::reverse(runs.begin(), runs.end());
        QCOMPARE(Summary(BuildStandings(runs, false, manyStart, {}).groups[0]), expected);
    }

    void classesInTheOperatorsOrder() {
        const TRuns runs = {R("1", 1, 11000).Class("A"), R("2", 1, 12000).Class("Z").Lane(2),
                            R("3", 2, 13000), R("4", 2, 10000).Class("B ").Lane(2),
                            R("5", 3, 10500).Class("Y"), R("6", 3, 9000).Class("A").Lane(2),
                            // The counted run's class: racer 7 moved from A to Klasse B.
                            R("7", 4, 9500).Class("A"), R("7", 5, 9800).Class("Klasse B")};
        const TStandings standings = BuildStandings(runs, true, false, {"Klasse B", "B", "C", "A"});
        QStringList titles;
        for (const TStandingsGroup& group : standings.groups)
            titles << group.title;
        QCOMPARE(titles, QStringList({"Klasse B", "Klasse B", "Klasse A", "Klasse Z", "Klasse Y",
                                      "ohne Klasse"}));
        // Classes not in the list in the order they first raced, whatever the order given.
        TRuns reversed = runs;
        std::reverse(reversed.begin(), reversed.end());
        QStringList reversedTitles;
        for (const TStandingsGroup& group :
             BuildStandings(reversed, true, false, {"Klasse B", "B", "C", "A"}).groups)
            reversedTitles << group.title;
        QCOMPARE(reversedTitles, titles);
        QCOMPARE(standings.groups[0].classInfo, QString("Klasse B"));
        QCOMPARE(standings.groups[1].classInfo, QString("B"));
        QCOMPARE(Summary(standings.groups[0]), QStringList{"1 7 5"});
        QCOMPARE(Summary(standings.groups[2]), QStringList({"1 6 3", "2 1 1"}));
        QCOMPARE(Summary(standings.groups[5]), QStringList{"1 3 2"});
        // Places count within the class.
        QCOMPARE(standings.groups[1].entries[0].place, 1);

        // With ManyStart the best run's class decides.
        const TStandings best = BuildStandings(runs, true, true, {"Klasse B", "B", "C", "A"});
        QCOMPARE(Summary(best.groups[1]), QStringList({"1 6 3", "2 7 4", "3 1 1"}));

        // Classes off: one list whatever the cells say.
        const TStandings one = BuildStandings(runs, false, false, {"A"});
        QCOMPARE(one.groups.size(), 1);
        QCOMPARE(one.groups[0].entries.size(), 7);
        QCOMPARE(one.groups[0].entries[0].classInfo, QString("A"));

        QVERIFY(BuildStandings({}, true, true, {"A"}).groups.isEmpty());
    }

    void entryTakesTheCountedRunsCells() {
        R counted("8", 2, 10234, 97.25);
        counted.reaction = "0,412";
        counted.vehicle = "Vespa";
        counted.warnings = QStringList{"Zeit unter der Mindestzeit"};
        R later("8", 3, 11000);
        later.name = "Neuer Name";
        TRuns runs = {R("8", 1, 12000), counted, later, R("8", 4, 9000).Void(),
                      R("9", 4, -1).FalseStart().Lane(2)};
        const TStandings standings = BuildStandings(runs, false, true, {});
        const TStandingsEntry& e = standings.groups[0].entries[0];
        QCOMPARE(e.name, QString("Fahrer 8"));
        QCOMPARE(e.vehicle, QString("Vespa"));
        QCOMPARE(e.time, QString("10,234"));
        QCOMPARE(e.speed, QString("97,3"));
        QCOMPARE(e.reaction, QString("0,412"));
        QCOMPARE(e.runs, 3); // the void run is not counted
        QCOMPARE(e.heat, 2);
        QCOMPARE(e.runId, qint64(21));
        QVERIFY(e.Marked());
        QCOMPARE(StandingsCells(e), QStringList({"1", "8", "Fahrer 8", "", "Vespa", "", "",
                                                 "10,234 !", "97,3", "0,412", "3", "2"}));

        // Without a place: the reason stands in "Zeit", no result texts, no mark.
        const TStandingsEntry& none = standings.groups[0].entries[1];
        QVERIFY(!none.Placed() && !none.Marked());
        QCOMPARE(StandingsCells(none),
                 QStringList({"", "9", "Fahrer 9", "", "", "", "", "Fehlstart", "", "", "1", "4"}));
        // A racer whose runs are all void ran none.
        const TStandings allVoid = BuildStandings({R("5", 1, 9000).Void()}, false, false, {});
        QCOMPARE(allVoid.groups[0].entries[0].runs, 0);
        QCOMPARE(StandingsHeader(true)[StColClass], QString("Klasse"));
        QCOMPARE(StandingsHeader(false).size(), kStandingsColumns);
    }
};
RENNUHR_TEST(StandingsTest);

#include "tst_standings.moc"
