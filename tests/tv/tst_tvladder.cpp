// The ladder on the TV: which pairings stand where and how large, what a place shows, and the
// page over the clocks.
#include "TestMain.h"

#include "race/Race.h"
#include "ui/LaneTimer.h"
#include "ui/Monitor2.h"
#include "ui/TvLadderLayout.h"
#include "ui/TvLadderPage.h"
#include "ui/TvStandingsPage.h"
#include "widgets/Digit.h"

#include <QTest>

namespace {

TLadder Field(int racers, bool thirdPlace = false) {
    QList<TLadderEntrant> field;
    for (int i = 1; i <= racers; ++i) {
        TLadderEntrant racer;
        racer.startNumber = QString::number(100 + i);
        racer.name = "Fahrer" + QString::number(i);
        racer.firstName = "Vorname";
        field << racer;
    }
    TLadder ladder(field, thirdPlace);
    ladder.id = 7;
    return ladder;
}

// The winner of a pairing as a later heat would leave it: settled.
void Win(TLadder& ladder, int round, int slot, int place) {
    TLadderPairing* pairing = ladder.Pairing(round, slot);
    pairing->winner = pairing->seeds[place];
    pairing->settled = true;
    ladder.Evaluate();
}

// Every runnable pairing of the round won by its upper place.
void WinRound(TLadder& ladder, int round) {
    for (int slot = 0; slot < ladder.rounds[round].pairings.size(); ++slot)
        if (ladder.Pairing(round, slot)->Runnable()) Win(ladder, round, slot, kUpper);
}

const QSize kWide(1920, 1080);
const QSize kSmall43(1024, 768);
const QSize kLarge43(1600, 1200);

} // namespace

class TvLadderLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void whatIsShownAndHowLarge_data() {
        QTest::addColumn<int>("racers");
        QTest::addColumn<bool>("third");
        QTest::addColumn<int>("round");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QList<int>>("rounds");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("minFont");

        // Up to 16 the whole ladder, its first round's 16 lines at a size read across the track.
        QTest::newRow("16 wide") << 16 << false << 0 << kWide << true << QList<int>{0, 1, 2, 3}
                                 << 15 << 38;
        QTest::newRow("12 with third")
            << 12 << true << 2 << kWide << true << QList<int>{0, 1, 2, 3, 4} << 16 << 38;
        QTest::newRow("8 on 1024x768")
            << 8 << false << 0 << kSmall43 << true << QList<int>{0, 1, 2} << 7 << 30;
        QTest::newRow("2") << 2 << false << 0 << kWide << true << QList<int>{0} << 1 << 70;
        // Larger fields: the round of the next pairing, without its byes.
        QTest::newRow("64 first round")
            << 64 << false << 0 << kWide << false << QList<int>{0} << 32 << 36;
        QTest::newRow("40 first round")
            << 40 << false << 0 << kWide << false << QList<int>{0} << 8 << 60;
        // A round small enough leaves room for the next one beside it.
        QTest::newRow("17 first round")
            << 17 << false << 0 << kWide << false << QList<int>{0, 1} << 1 + 8 << 60;
        QTest::newRow("17 second round")
            << 17 << false << 1 << kWide << false << QList<int>{1, 2} << 12 << 45;
        // The race for third place comes before the final.
        QTest::newRow("64 third place")
            << 64 << true << 6 << kWide << false << QList<int>{6, 5} << 2 << 70;
    }

    void whatIsShownAndHowLarge() {
        QFETCH(int, racers);
        QFETCH(bool, third);
        QFETCH(int, round);
        QFETCH(QSize, screen);
        const TBracketLayout layout = LayoutBracket(Field(racers, third), round, screen);
        QTEST(layout.whole, "whole");
        QTEST(layout.rounds, "rounds");
        QTEST(int(layout.boxes.size()), "boxes");
        QFETCH(int, minFont);
        QVERIFY2(layout.fontPixels >= minFont, qPrintable(QString::number(layout.fontPixels)));
        // A small ladder does not blow up to a few giant names.
        QVERIFY(layout.fontPixels <= screen.height() / 13);
    }

    // Every field on every screen: nothing off the screen or on top of each other, the type
    // never small, and each pairing of the round shown that is still to be run is there.
    void everyFieldFitsEveryScreen() {
        for (const QSize& screen : {kWide, kSmall43, kLarge43, QSize(1280, 720)})
            for (int racers = 2; racers <= kMaxLadderField; ++racers)
                for (const bool third : {false, true}) {
                    const TLadder ladder = Field(racers, third);
                    for (const TLadderPairing* current : ladder.Pairings()) {
                        const TBracketLayout layout = LayoutBracket(ladder, current->round, screen);
                        const QString where = QString("%1 racers, round %2, %3x%4")
                                                  .arg(racers)
                                                  .arg(current->round)
                                                  .arg(screen.width())
                                                  .arg(screen.height());
                        QVERIFY2(layout.fontPixels * TvBracket::kMinFontShare >= screen.height(),
                                 qPrintable(where));
                        QCOMPARE(layout.whole, ladder.Size() <= TvBracket::kWholePlaces);
                        const QRect area(QPoint(0, 0), screen);
                        QVERIFY2(area.contains(layout.title), qPrintable(where));
                        for (const TBracketCaption& caption : layout.captions)
                            QVERIFY2(area.contains(caption.rect), qPrintable(where));
                        for (int i = 0; i < layout.boxes.size(); ++i) {
                            const TBracketBox& box = layout.boxes[i];
                            QVERIFY2(area.contains(box.rect), qPrintable(where));
                            QVERIFY(!box.rect.intersects(layout.title));
                            QVERIFY(box.rect.height() >= 2 * layout.fontPixels);
                            QVERIFY(ladder.Pairing(box.round, box.slot));
                            for (int j = i + 1; j < layout.boxes.size(); ++j)
                                QVERIFY2(!box.rect.intersects(layout.boxes[j].rect),
                                         qPrintable(where));
                        }
                        if (current->HasBye() && !layout.whole) continue;
                        const bool shown = std::any_of(
                            layout.boxes.begin(), layout.boxes.end(), [&](const TBracketBox& box) {
                                return box.round == current->round && box.slot == current->slot;
                            });
                        QVERIFY2(shown, qPrintable(where));
                    }
                }
    }

    // The whole ladder: each pairing level between the two it takes its winners from, joined to
    // them; the race for third place under the final.
    void theRoundsAreJoined() {
        const TLadder ladder = Field(8, true);
        const TBracketLayout layout = LayoutBracket(ladder, 0, kWide);
        auto box = [&](int round, int slot) {
            for (const TBracketBox& shown : layout.boxes)
                if (shown.round == round && shown.slot == slot) return shown.rect;
            return QRect();
        };
        QCOMPARE(layout.joins.size(), 4 * (2 + 1));
        for (int round = 1; round < 3; ++round)
            for (int slot = 0; slot < ladder.rounds[round].pairings.size(); ++slot) {
                const QRect upper = box(round - 1, 2 * slot);
                const QRect lower = box(round - 1, 2 * slot + 1);
                const QRect next = box(round, slot);
                QVERIFY(next.left() > upper.right());
                QVERIFY(qAbs(next.center().y() - (upper.center().y() + lower.center().y()) / 2) <=
                        1);
                const QPoint entry(next.left() - 1, next.center().y());
                QVERIFY(std::any_of(layout.joins.begin(), layout.joins.end(),
                                    [&](const QLine& line) { return line.p2() == entry; }));
            }
        const QRect final = box(2, 0);
        const QRect third = box(3, 0);
        QCOMPARE(third.left(), final.left());
        QVERIFY(third.top() > final.bottom() + layout.fontPixels);
        const TBracketCaption& caption = layout.captions.last();
        QCOMPARE(caption.text, QString("Lauf um Platz 3"));
        QVERIFY(caption.rect.top() > final.bottom() && caption.rect.bottom() < third.top());
    }

    void theRoundFollowsTheLadder() {
        TLadder ladder = Field(6, true); // 1 and 2 have byes
        QCOMPARE(CurrentRound(ladder), 0);
        QCOMPARE(CurrentRound(ladder, 2), 2); // marked
        WinRound(ladder, 0);
        QCOMPARE(CurrentRound(ladder), 1);
        WinRound(ladder, 1);
        QCOMPARE(CurrentRound(ladder), 3); // third place before the final
        Win(ladder, 3, 0, kLower);
        QCOMPARE(CurrentRound(ladder), 2);
        Win(ladder, 2, 0, kUpper);
        QCOMPARE(CurrentRound(ladder), 2);
        QVERIFY(ladder.Finished());
    }

    void whatAPlaceShows() {
        TLadder ladder = Field(6);
        // 8 places: 1–bye, 4–5, 2–bye, 3–6.
        const TLadderPairing& bye = *ladder.Pairing(0, 0);
        QCOMPARE(BracketPlace(ladder, bye, kUpper).state, TBracketPlace::Won);
        const TBracketPlace freilos = BracketPlace(ladder, bye, kLower);
        QCOMPARE(freilos.state, TBracketPlace::Bye);
        QCOMPARE(freilos.name, QString("Freilos"));
        QVERIFY(freilos.number.isEmpty());
        const TBracketPlace open = BracketPlace(ladder, *ladder.Pairing(0, 1), kLower);
        QCOMPARE(open.state, TBracketPlace::Open);
        QCOMPARE(open.number, QString("105"));
        QCOMPARE(open.name, QString("Fahrer5"));
        QCOMPARE(open.firstName, QString("Vorname"));
        QCOMPARE(BracketPlace(ladder, *ladder.Pairing(1, 0), kLower).state, TBracketPlace::Waiting);
        Win(ladder, 0, 1, kLower);
        QCOMPARE(BracketPlace(ladder, *ladder.Pairing(0, 1), kLower).state, TBracketPlace::Won);
        QCOMPARE(BracketPlace(ladder, *ladder.Pairing(0, 1), kUpper).state, TBracketPlace::Lost);
        QCOMPARE(BracketPlace(ladder, *ladder.Pairing(1, 0), kLower).number, QString("105"));
    }
};
RENNUHR_TEST(TvLadderLayoutTest);

// The page on the TV: over the clocks, which keep their geometry, until the clocks come back.
class TvLadderPageTest : public QObject {
    Q_OBJECT
private slots:
    void coversTheClocksAndTellsWhatComes() {
        Race race;
        TFrame1 lane1(race, 1), lane2(race, 2);
        TFormMonitor2 tv(race, &lane1, &lane2);
        tv.FitTo(QRect(0, 0, 1024, 768));
        const QRect digit = tv.Digit4a->geometry();
        QVERIFY(!tv.ShowsLadder());

        TLadder ladder = Field(6, true);
        ladder.classInfo = "50";
        tv.ShowLadder(ladder, TPairingRef{7, 0, 3});
        QVERIFY(tv.ShowsLadder());
        TTvLadderPage* page = tv.LadderPage;
        QCOMPARE(page->geometry(), tv.Panel1->rect());
        QCOMPARE(page->TitleText(), QString("Ausscheidung – Klasse 50"));
        QCOMPARE(page->StatusText(), QString("Nächster Lauf: Viertelfinale"));
        QCOMPARE(page->Layout().boxes.size(), 4 + 2 + 1 + 1);
        QCOMPARE(tv.Digit4a->geometry(), digit);

        // Another ladder's pairing is not marked in this one.
        tv.ShowLadder(ladder, TPairingRef{8, 0, 1});
        QVERIFY(!page->Marked());
        QCOMPARE(page->StatusText(), QString());

        // Standings and ladder take turns; the clocks end both.
        tv.ShowStandings(TStandings());
        QVERIFY(!tv.ShowsLadder() && !tv.StandingsPage->isHidden());
        WinRound(ladder, 0);
        WinRound(ladder, 1);
        Win(ladder, 3, 0, kUpper);
        Win(ladder, 2, 0, kLower);
        tv.ShowLadder(ladder, std::nullopt);
        QVERIFY(tv.ShowsLadder() && tv.StandingsPage->isHidden());
        QCOMPARE(page->StatusText(), QString("Sieger: 102 Fahrer2 Vorname"));

        tv.FitTo(QRect(0, 0, 1920, 1080));
        QCOMPARE(page->size(), QSize(1920, 1080));
        QVERIFY(page->Layout().fontPixels >= 1080 / TvBracket::kMinFontShare);
        tv.ShowClocks();
        QVERIFY(!tv.ShowsLadder());
        QVERIFY(tv.StandingsPage->isHidden());
    }
};
RENNUHR_TEST(TvLadderPageTest);

#include "tst_tvladder.moc"
