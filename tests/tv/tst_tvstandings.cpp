// The standings page of the TV: classes in large type, paged when they do not fit.
#include "TestMain.h"

#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "ui/LaneTimer.h"
#include "ui/Monitor2.h"
#include "ui/TvCallUp.h"
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

// The next pairings on the TV: beside the title on a wide screen, always; on a 4:3 screen in the
// title's place, between heats only.
class TvCallUpTest : public QObject {
    Q_OBJECT
private slots:
    void theLineFindsItsRoom() {
        Race race;
        TProtocolModel protocol;
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (int n = 1; n <= 6; ++n)
            rows << QStringList{QString::number(n),
                                "Fahrer" + QString::number(n),
                                "",
                                "",
                                "",
                                "",
                                "",
                                "",
                                "",
                                "",
                                ""};
        protocol.SetRows(rows);
        TFrame1 lane1(race, 1), lane2(race, 2);
        TFormMonitor2 tv(race, &lane1, &lane2);
        tv.SetCallUpSource([&](int count) { return LaneOrder(race.heat, protocol, count); });
        tv.SetTitle("Pokal");

        tv.FitTo(QRect(0, 0, 1920, 1080));
        QVERIFY(!tv.CallUp->isHidden() && !tv.PanelTitle->isHidden());
        QVERIFY(tv.CallUp->text().startsWith("Vorstart: 1"));
        QVERIFY(tv.CallUp->text().contains("5"));
        QVERIFY(tv.CallUp->geometry().right() <
                tv.PanelTitle->geometry().center().x() -
                    tv.PanelTitle->fontMetrics().horizontalAdvance("Pokal") / 2);
        race.heat.SetLaneRunning(1, true); // a heat runs: the wide screen keeps the line
        QVERIFY(!tv.CallUp->isHidden());

        tv.FitTo(QRect(0, 0, 1024, 768));
        QVERIFY(tv.CallUp->isHidden() && !tv.PanelTitle->isHidden());
        race.heat.SetLaneRunning(1, false);
        QVERIFY(!tv.CallUp->isHidden() && tv.PanelTitle->isHidden());
        QCOMPARE(tv.CallUp->geometry().top(), tv.PanelTitle->geometry().top());
        QCOMPARE(TTvCallUp::LineText(LaneOrder(race.heat, protocol, 2), false),
                 QString("Vorstart: 1 – 2   ·   3 – 4"));
        protocol.SetRows({TProtocolModel::DefaultHeaderTexts()}); // nothing to come
        tv.SetTitle("Pokal");
        QVERIFY(tv.CallUp->isHidden() && !tv.PanelTitle->isHidden());
    }
};
RENNUHR_TEST(TvCallUpTest);

#include "tst_tvstandings.moc"
