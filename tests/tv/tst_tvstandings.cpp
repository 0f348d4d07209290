// The standings page of the TV: classes in large type, paged when they do not fit.
#include "TestMain.h"

#include "ui/TvStandingsPage.h"

#include <QTest>
#include <QTimer>

namespace {

TRuns Racers(int count, const QString& classInfo, int firstNumber) {
    TRuns runs;
    for (int i = 0; i < count; ++i) {
        TRun run;
        run.id = firstNumber + i;
        run.heat = i + 1;
        run.lane = 1;
        run.startNumber = QString::number(firstNumber + i);
        run.name = "Fahrer" + run.startNumber;
        run.classInfo = classInfo;
        run.finalMs = 9000 + i;
        run.finalTime = QString("9,%1").arg(i, 3, 10, QChar('0'));
        runs << run;
    }
    return runs;
}

} // namespace

class TvStandingsTest : public QObject {
    Q_OBJECT
private slots:
    void classesArePagedAndTurnOver() {
        TTvStandingsPage page(nullptr);
        page.resize(1920, 1080);
        const TRuns runs = Racers(20, "A", 1) + Racers(3, "B", 101);
        page.SetStandings(BuildStandings(runs, true, false, {"A", "B"}), "Pokal");
        // 14 lines a page: a heading and 13 racers, the rest of A under its heading again.
        QCOMPARE(page.PageCount(), 2);
        const QList<QStringList> first = page.PageLines(0);
        QCOMPARE(first.size(), TTvStandingsPage::kLinesPerPage);
        QCOMPARE(first[0], QStringList{"Klasse A"});
        QCOMPARE(first[1], (QStringList{"1.", "1", "Fahrer1", "9,000", ""}));
        const QList<QStringList> second = page.PageLines(1);
        QCOMPARE(second[0], QStringList{"Klasse A (Fortsetzung)"});
        QCOMPARE(second[1][1], QString("14"));
        QCOMPARE(second[8], QStringList{"Klasse B"});
        QCOMPARE(second.size(), 1 + 7 + 1 + 3);

        QCOMPARE(page.CurrentPage(), 0);
        page.show();
        QVERIFY(page.TimerPage->isActive());
        QCOMPARE(page.TimerPage->interval(), TTvStandingsPage::kPageMs);
        page.NextPage();
        QCOMPARE(page.CurrentPage(), 1);
        page.NextPage();
        QCOMPARE(page.CurrentPage(), 0);
        page.hide();
        QVERIFY(!page.TimerPage->isActive());
    }

    void racersWithoutAPlaceShowWhy() {
        TTvStandingsPage page(nullptr);
        TRuns runs = Racers(1, "", 7);
        runs[0].falseStart = true;
        page.SetStandings(BuildStandings(runs, false, false, {}), "");
        QCOMPARE(page.PageCount(), 1);
        QCOMPARE(page.PageLines(0),
                 (QList<QStringList>{{"Wertung"}, {"", "7", "Fahrer7", "Fehlstart", ""}}));
        page.SetStandings(BuildStandings({}, false, false, {}), "");
        QCOMPARE(page.PageCount(), 1);
        QCOMPARE(page.PageLines(0), QList<QStringList>());
    }
};
RENNUHR_TEST(TvStandingsTest);

#include "tst_tvstandings.moc"
