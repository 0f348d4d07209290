// The ladder on the TV as the race day brings it: at the reset after a heat of the ladder, gone
// at START, by hand with Strg+B, and not for a ladder set aside.
#include "TestMain.h"
#include "ui/Track.h"

#include "ladder/LadderRunner.h"
#include "results/ResultsDatabase.h"
#include "ui/Monitor2.h"
#include "ui/ResultsViews.h"
#include "ui/TvLadderPage.h"

namespace {

// Racers 1 … n in the protocol, without classes, and the results file read: the ladders are
// kept there.
void Racers(Track& t, int count) {
    QTRY_VERIFY(t.w.Results->HasReadFile());
    QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
    for (int n = 1; n <= count; ++n)
        rows << QStringList{
            QString::number(n), "Fahrer" + QString::number(n), "", "", "", "", "", "", "", "", ""};
    t.w.SortGrid1->Protocol()->SetRows(rows);
}

// START, lane 1 stops first and wins.
void Run(Track& t) {
    QTest::keyClick(&t.w, Qt::Key_F5);
    t.At(8000);
    QTest::keyClick(&t.w, Qt::Key_F8);
    t.At(8500);
    QTest::keyClick(&t.w, Qt::Key_F9);
}

bool Marks(const TTvLadderPage* page, const std::optional<TPairingRef>& pairing) {
    return pairing && page->Marked() == pairing &&
           std::any_of(page->Layout().boxes.begin(), page->Layout().boxes.end(),
                       [&](const TBracketBox& box) {
                           return box.round == pairing->round && box.slot == pairing->slot;
                       });
}

} // namespace

class TvLadderWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Six racers, 1 and 2 with byes: 4–5 and 3–6 first.
    void betweenTheLaddersHeats() {
        Track t(false);
        Racers(t, 6);
        TLadderRunner& ladders = *t.w.Views->Ladders;
        TFormMonitor2& tv = *t.w.FMonitor2;
        QCOMPARE(ladders.Create("", TLadderSource::Protocol, false), QString());
        const qint64 id = ladders.Ladders().constFirst().id;
        QCOMPARE(ladders.InLanes(), (TPairingRef{id, 0, 1}));
        QVERIFY(!tv.ShowsLadder()); // made with the clocks at zero: no heat of it yet

        Run(t);
        QVERIFY(!tv.ShowsLadder());
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(tv.ShowsLadder());
        const TTvLadderPage* page = tv.LadderPage;
        QCOMPARE(page->geometry(), tv.Panel1->rect());
        QCOMPARE(ladders.InLanes(), (TPairingRef{id, 0, 3}));
        QVERIFY(Marks(page, ladders.InLanes()));
        QCOMPARE(page->Ladder(), ladders.Ladders().constFirst());
        const TBracketPlace won =
            BracketPlace(page->Ladder(), *page->Ladder().Pairing(0, 1), kUpper);
        QCOMPARE(won.state, TBracketPlace::Won);
        QCOMPARE(won.number, QString("4"));
        QCOMPARE(BracketPlace(page->Ladder(), *page->Ladder().Pairing(1, 0), kLower).number,
                 QString("4"));
        QCOMPARE(page->StatusText(), QString("Nächster Lauf: Viertelfinale"));

        // A change to the ladder while it is shown: the swapped lanes are there at once.
        QVERIFY(ladders.SwapLanes(TPairingRef{id, 0, 3}));
        QVERIFY(page->Ladder().Pairing(0, 3)->swapped);

        // START brings the clocks back, before anything else happens.
        QTest::keyClick(&t.w, Qt::Key_F5);
        QVERIFY(!tv.ShowsLadder());
        t.At(8000);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.At(8500);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QVERIFY(!tv.ShowsLadder());

        // By hand: Strg+B shows it during the heat's results and takes it away again.
        QTest::keyClick(&t.w, Qt::Key_B, Qt::ControlModifier);
        QVERIFY(tv.ShowsLadder());
        QVERIFY(tv.isVisible());
        QCOMPARE(page->Ladder().Pairing(0, 3)->winner, 3); // swapped into lane 2, stopped first
        QTest::keyClick(&t.w, Qt::Key_B, Qt::ControlModifier);
        QVERIFY(!tv.ShowsLadder());

        // The semi-finals: 1–4 comes next.
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(tv.ShowsLadder());
        QCOMPARE(ladders.InLanes(), (TPairingRef{id, 1, 0}));
        QVERIFY(Marks(page, ladders.InLanes()));
        QCOMPARE(page->StatusText(), QString("Nächster Lauf: Halbfinale"));

        // Set aside, the ladder leaves the TV, and the reset brings the clocks only.
        ladders.SetActive(id, false);
        QVERIFY(!tv.ShowsLadder());
        Run(t);
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(!tv.ShowsLadder());
        QTest::keyClick(&t.w, Qt::Key_B, Qt::ControlModifier);
        QVERIFY(!tv.ShowsLadder());
    }

    // The final's reset loads nothing more; the ladder that was just run stays on the TV with
    // its winner. Heats outside a ladder keep the clocks.
    void theFinalStaysUntilTheNextStart() {
        Track t(false);
        Racers(t, 4);
        TLadderRunner& ladders = *t.w.Views->Ladders;
        TFormMonitor2& tv = *t.w.FMonitor2;
        Run(t); // before the ladder: the numbers' own heat
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(!tv.ShowsLadder());

        QCOMPARE(ladders.Create("", TLadderSource::Protocol, false), QString());
        for (int heat = 0; heat < 3; ++heat) {
            Run(t);
            QTest::keyClick(&t.w, Qt::Key_F7);
            QVERIFY(tv.ShowsLadder());
        }
        QVERIFY(!ladders.InLanes());
        QVERIFY(tv.LadderPage->Ladder().Finished());
        QVERIFY(!tv.LadderPage->Marked());
        QVERIFY(tv.LadderPage->StatusText().startsWith("Sieger: 1 Fahrer1"));

        // On the numbers again: the next heat is none of the ladder's.
        QTest::keyClick(&t.w, Qt::Key_F5);
        QVERIFY(!tv.ShowsLadder());
        t.At(8000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QTest::keyClick(&t.w, Qt::Key_F9);
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(!tv.ShowsLadder());
    }
};
RENNUHR_TEST(TvLadderWindowTest);

#include "tst_tvladderwindow.moc"
