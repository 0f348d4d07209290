// Ladders run through the operator's path without a window: the sequence's keys, the runs in the
// results database, the joker, void and re-run, a restart on the same file, and several classes.
#include "LadderDay.h"
#include "TestMain.h"
#include "ladder/LadderCallUp.h"

class LadderRunTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Six racers seeded from the standings into 8 places, with a race for third place: seeds 1
    // and 2 have byes; 4-5 both false-start and the joker decides; 6 does not turn up; the first
    // semi-final is voided and run again; the program is closed and opened again; the second
    // semi-final settles the first; the lanes of the race for third place are swapped.
    void aWholeLadderOfSix() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        QStringList beforeRestart;
        {
            LadderDay d(file);
            d.Open();
            d.Qualify();
            QCOMPARE(d.ladders.Create("50", TLadderSource::Standings, true), QString());
            QCOMPARE(d.ladders.Create("50", TLadderSource::Protocol, false),
                     QString("Die Klasse 50 hat heute schon eine Ausscheidung."));
            const TLadder& ladder = d.Ladder();
            QCOMPARE(ladder.source, QString("Wertung"));
            QCOMPARE(ladder.field[0].startNumber, QString("1"));
            QCOMPARE(ladder.field[0].time, QString("8,000"));
            QCOMPARE(ladder.field[5].standingsPlace, 6);
            QCOMPARE(ladder.rounds[0].name, QString("Viertelfinale"));
            // The last qualifying heat is still on the clocks: "Bereit" shows the first pairing.
            QCOMPARE(d.Lanes(), QString("5/6 4/5"));
            d.Reset();
            QCOMPARE(d.Lanes(), QString("4/5 3/6"));
            QCOMPARE(d.ladders.InLanes(), d.Ref(0, 1));

            // 4-5: both false starts. Still open, so the reset offers it again; the joker for 5
            // decides it and the lanes move on.
            d.BothFalseStarts();
            QCOMPARE(d.ladders.Running(), d.Ref(0, 1));
            QVERIFY(!d.Pairing(0, 1).Decided());
            QCOMPARE(d.Pairing(0, 1).runs[kUpper]->finalTime, QString("-"));
            d.Reset();
            QCOMPARE(d.Lanes(), QString("4/5 3/6"));
            d.Joker(5);
            QCOMPARE(d.Pairing(0, 1).winner, 5);
            QCOMPARE(d.Lanes(), QString("3/6 1/5"));

            // 6 does not turn up: 3 advances, and the first semi-final is loaded.
            QVERIFY(d.ladders.SetNoShow(d.Ref(0, 3), 6, true));
            QCOMPARE(d.Pairing(0, 3).winner, 3);
            QCOMPARE(d.Lanes(), QString("1/5 2/3"));

            // 1-5, won by 1. A joker afterwards changes who goes to the final, and back.
            d.Run(7900, 8050);
            QCOMPARE(d.Pairing(1, 0).winner, 1);
            QCOMPARE(d.Pairing(2, 0).seeds[kUpper], 1);
            d.Joker(1);
            d.Joker(5);
            QCOMPARE(d.Pairing(2, 0).seeds[kUpper], 5);
            QCOMPARE(d.Pairing(0, 1).winner, 5); // settled by this heat's START
            d.Joker(5);
            d.Joker(1);
            QCOMPARE(d.Pairing(2, 0).seeds[kUpper], 1);

            // Voided: the reset loads the other semi-final, the void takes the re-run back in.
            d.voider.VoidLastHeat(0, "Fehlauslösung", TCommandSource::Key);
            QVERIFY(!d.Pairing(1, 0).Decided());
            QCOMPARE(d.Pairing(2, 0).seeds[kUpper], 0);
            QCOMPARE(d.Lanes(), QString("1/5 2/3"));
            d.Run(8000, 7950); // the re-run: 5 wins it
            QCOMPARE(d.Pairing(1, 0).heats.size(), 2);
            QCOMPARE(d.Pairing(1, 0).heats[1].heat, 6);
            QCOMPARE(d.Pairing(1, 0).winner, 5);
            QCOMPARE(d.Pairing(1, 0).runs[kLower]->finalTime, QString("7,950"));
            d.db.Flush();
            beforeRestart = Summary(d.Ladder());
        }

        // Closed and opened again: the ladder goes on where it stopped, with the next pairing in
        // the lanes.
        LadderDay d(file);
        d.Open();
        QCOMPARE(d.ladders.Ladders().size(), 1);
        QCOMPARE(Summary(d.Ladder()), beforeRestart);
        QCOMPARE(d.Lanes(), QString("2/3 4/5"));
        QCOMPARE(d.ladders.Ready(), std::nullopt); // the final waits for this heat

        // 2-3, won by 3: it settles the first semi-final, so a joker there changes nothing.
        d.Run(8300, 8200);
        QCOMPARE(d.Pairing(2, 0).seeds[kLower], 3);
        QVERIFY(d.Pairing(1, 0).settled);
        d.Joker(1);
        QCOMPARE(d.Pairing(1, 0).winner, 5);
        d.Joker(1);

        // The race for third place comes before the final; its lanes swapped before its START.
        const TPairingRef third = d.Ref(3, 0);
        QCOMPARE(d.ladders.Ready(), third);
        QCOMPARE(d.Lanes(), QString("2/3 1/2"));
        QVERIFY(d.ladders.SwapLanes(third));
        QCOMPARE(d.Lanes(), QString("2/3 2/1"));
        d.Reset();
        QCOMPARE(d.Lanes(), QString("2/1 3/5"));
        d.Run(8000, 8100); // lane 1: racer 2
        QCOMPARE(d.Pairing(3, 0).winner, 2);
        QVERIFY(!d.ladders.SwapLanes(third));

        d.Run(7900, 7800); // the final: 3 in lane 1 against 5
        QVERIFY(d.Ladder().Finished());
        QCOMPARE(Summary(d.Ladder()).last(), QString("places 4 3 2 5 1 5"));
        d.Reset(); // nothing left to run: the numbers move on by 2 again
        QCOMPARE(d.Lanes(), QString("5/7 7/9"));
        d.db.Flush();
        QCOMPARE(Select(file, "SELECT place, start_number FROM ladder_racers ORDER BY place, seed"),
                 (QList<QStringList>{
                     {"1", "5"}, {"2", "3"}, {"3", "2"}, {"4", "1"}, {"5", "4"}, {"5", "6"}}));
        QCOMPARE(SelectOne(file, "SELECT finished FROM ladders"), QString("1"));
    }

    // Two classes in turn, the operator's pick, numbers typed the other way round, a heat that
    // is no pairing's, and a ladder put aside.
    void twoClassesAndTheOperatorsPicks() {
        LadderDay d({}, 3, 4);
        d.Open();
        QCOMPARE(d.ladders.Create("50", TLadderSource::Protocol, false), QString());
        QCOMPARE(d.ladders.Create("125", TLadderSource::Draw, false, 12345), QString());
        const qint64 small = d.ladders.Ladders()[0].id;
        const qint64 drawn = d.ladders.Ladders()[1].id;
        QCOMPARE(d.ladders.Ladder(drawn)->drawSeed, 12345);
        QStringList order;
        for (const TLadderEntrant& racer : d.ladders.Ladder(drawn)->field)
            order << racer.startNumber;
        QCOMPARE(order, QStringList({"7", "5", "4", "6"})); // 4 … 7 drawn
        // Both ladders' semi-finals before either final, the older ladder first.
        QCOMPARE(d.Lanes(), QString("2/3 7/6"));
        const TPairingRef lower = {drawn, 0, 1};
        QVERIFY(d.ladders.Load(lower)); // picked: into the lanes at once
        QCOMPARE(d.Lanes(), QString("5/4 2/3"));

        // Typed in the other way round: the pairing runs swapped.
        d.heat.SetStartNumber(1, 4);
        d.heat.SetStartNumber(2, 5);
        d.Start();
        QCOMPARE(d.ladders.Running(), lower);
        QVERIFY(d.ladders.Pairing(lower)->swapped);
        QVERIFY(!d.ladders.Load(lower) && !d.ladders.SwapLanes(lower));
        // Picked while a heat runs: "Bereit", and the reset loads it.
        QVERIFY(d.ladders.Load({drawn, 0, 0}));
        QCOMPARE(d.Lanes(), QString("4/5 7/6"));
        d.At(8000);
        d.Key(d.sequence.mStop1);
        d.Key(d.sequence.mStop2);
        QCOMPARE(d.ladders.Pairing(lower)->winner, 3); // seed 3, racer 4
        d.Reset();
        QCOMPARE(d.Lanes(), QString("7/6 2/3"));

        // A heat whose numbers match no open pairing is no pairing's.
        d.heat.SetStartNumber(2, 9);
        d.Run(8000, 8100);
        QCOMPARE(d.ladders.Running(), std::nullopt);
        QVERIFY(d.ladders.Pairing({drawn, 0, 0})->heats.isEmpty());

        // Put aside, the ladders leave the numbers alone; taken up again, they load.
        d.ladders.SetActive(small, false);
        d.ladders.SetActive(drawn, false);
        // "Bereit" showed the drawn ladder's pairing; now the numbers move on by 2 again.
        QCOMPARE(d.Lanes(), QString("7/9 9/11"));
        d.Reset();
        QCOMPARE(d.Lanes(), QString("9/11 11/13"));
        QVERIFY(!d.ladders.Load({small, 0, 1}));
        d.ladders.SetActive(small, true);
        QCOMPARE(d.Lanes(), QString("2/3 4/5"));
        QCOMPARE(d.ladders.InLanes(), TPairingRef({small, 0, 1}));
        QCOMPARE(d.ladders.Ready(), std::nullopt);

        // Removed, it is gone from the file as well; its runs stay.
        d.ladders.Remove(drawn);
        d.db.Flush();
        QCOMPARE(SelectOne(d.file, "SELECT count(*) FROM ladder_heats"), QString("0"));
        QCOMPARE(SelectOne(d.file, "SELECT group_concat(class_info) FROM ladders"), QString("50"));
        QCOMPARE(SelectOne(d.file, "SELECT count(*) FROM runs"), QString("4"));
    }

    // The call-up and the racers' pages follow the ladder: the lanes' pairing first, the running
    // one left out, and a racer's round, next opponent and, once out, final place.
    void theCallUpAndTheRacersPagesFollowTheLadder() {
        LadderDay d;
        d.Open();
        QCOMPARE(LadderCallUp(d.ladders, 3), QList<TCallUpPairing>());
        QCOMPARE(d.ladders.Create("50", TLadderSource::Protocol, false), QString());
        auto numbers = [&d] {
            QStringList shown;
            for (const TCallUpPairing& p : LadderCallUp(d.ladders, 3))
                shown << p.number[0] + "-" + p.number[1] + " " + p.round;
            return shown;
        };
        QCOMPARE(numbers(), QStringList({"4-5 Viertelfinale", "3-6 Viertelfinale"}));
        QCOMPARE(LadderCallUp(d.ladders, 1)[0].name[1], QString("Fahrer5 Vorname5"));
        QCOMPARE(RacerInLadder(d.ladders, "4"),
                 TRacerLadder({"Viertelfinale", "5", "Fahrer5 Vorname5"}));
        QCOMPARE(RacerInLadder(d.ladders, "1"), TRacerLadder({"Halbfinale", "", ""}));
        QCOMPARE(RacerInLadder(d.ladders, "9"), std::nullopt);

        d.Start();
        QCOMPARE(numbers(), QStringList({"3-6 Viertelfinale"}));
        d.At(8000);
        d.Key(d.sequence.mStop1);
        d.At(8100);
        d.Key(d.sequence.mStop2);
        TRun run = d.db.Runs().last();
        QCOMPARE(RoundOfHeat(d.ladders, run), QString("Viertelfinale"));
        run.day = run.day.addDays(1); // the same instant after a restart of the machine
        QCOMPARE(RoundOfHeat(d.ladders, run), QString());
        QCOMPARE(RacerInLadder(d.ladders, "5"), TRacerLadder({"Ausscheidung: Platz 5", "", ""}));
        QCOMPARE(RacerInLadder(d.ladders, "1"),
                 TRacerLadder({"Halbfinale", "4", "Fahrer4 Vorname4"}));
        d.Reset();
        QCOMPARE(numbers(), QStringList({"3-6 Viertelfinale", "1-4 Halbfinale"}));
    }
    // A re-run voids the pairing's latest heat only while nothing has settled it: not while a
    // clock runs, not once a later heat of the ladder started. A heat that is no longer the last
    // is voided run by run, and the reset loads the reopened pairing.
    void aPairingIsRunAgainUntilALaterHeatSettlesIt() {
        LadderDay d({}, 6, 2);
        d.Open();
        QCOMPARE(d.ladders.Create("50", TLadderSource::Protocol, false), QString());
        QVERIFY(d.ladders.CanSetThirdPlace(d.Ladder().id));
        const TPairingRef first = d.Ref(0, 1), other = d.Ref(0, 3);
        QVERIFY(d.ladders.RerunRuns(first).isEmpty()); // not run yet
        QVERIFY(d.ladders.CanSetNoShow(first, 5, true) && !d.ladders.CanSetNoShow(first, 5, false));
        QVERIFY(!d.ladders.CanSetNoShow(first, 3, true)); // not in it
        d.Run(8000, 8100);                                // 4 beats 5
        QCOMPARE(d.ladders.RerunRuns(first).size(), 2);
        QVERIFY(!d.ladders.CanSetNoShow(first, 5, true));

        // Racers of another class in between: the pairing's heat is no longer the last.
        d.Reset();
        d.heat.SetStartNumber(1, 7);
        d.heat.SetStartNumber(2, 8);
        d.Run(9000, 9100);
        QVERIFY(RerunPairing(d.ladders, d.voider, first, 0, "Ampel", TCommandSource::Menu));
        QVERIFY(!d.Pairing(0, 1).Decided());
        QCOMPARE(d.db.Runs()[2].voided, false); // the other class's heat stays
        QVERIFY(d.db.Runs()[0].voided && d.db.Runs()[1].voided);
        QVERIFY(!RerunPairing(d.ladders, d.voider, first, 0, "Ampel", TCommandSource::Menu));
        d.Reset();
        QCOMPARE(d.Lanes(), QString("4/5 3/6"));

        d.Start();
        QVERIFY(d.ladders.RerunRuns(first).isEmpty()); // on the clocks
        QVERIFY(!d.ladders.CanSetNoShow(first, 5, true));
        d.At(8200);
        d.Key(d.sequence.mStop2);
        d.At(8300);
        d.Key(d.sequence.mStop1);
        QCOMPARE(d.Pairing(0, 1).winner, 5);
        // Only lane 2 voided: the pairing is open again all the same.
        QVERIFY(RerunPairing(d.ladders, d.voider, first, 2, "", TCommandSource::Menu));
        QVERIFY(!d.Pairing(0, 1).Decided());
        QCOMPARE(d.Lanes(), QString("4/5 3/6"));
        d.Run(8200, 8300); // 4 wins the re-run
        d.Reset();
        QCOMPARE(d.Lanes(), QString("3/6 1/4"));
        d.Start(); // the next pairing's START settles the first
        QVERIFY(d.Pairing(0, 1).settled);
        d.At(8000);
        d.Key(d.sequence.mStop1);
        d.Key(d.sequence.mStop2);
        QVERIFY(d.ladders.RerunRuns(first).isEmpty());
        QVERIFY(!RerunPairing(d.ladders, d.voider, first, 0, "", TCommandSource::Menu));
        QVERIFY(!d.db.Runs().last().voided);
        QCOMPARE(d.ladders.RerunRuns(other).size(), 2);
        // A rested ladder is not run again either.
        d.ladders.SetActive(d.Ladder().id, false);
        QVERIFY(d.ladders.RerunRuns(other).isEmpty());
    }

    // The classes the dialog offers: those with racers in the protocol first, then the list's.
    void theClassesOfferedForALadder() {
        LadderDay d({}, 2, 2);
        QCOMPARE(LadderClasses({"A", "125", " 50"}, d.protocol.model.Rows()),
                 QStringList({"50", "125", "A"}));
        QCOMPARE(LadderClasses({}, {TProtocolModel::DefaultHeaderTexts()}), QStringList());
    }
};
RENNUHR_TEST(LadderRunTest);

#include "tst_ladderrun.moc"
