// The rules of a ladder without a heat: seeding for every field of 2 to 64, byes, round names,
// who advances from the runs, final places, and where a field comes from.
#include "TestMain.h"

#include "ladder/Ladder.h"
#include "ladder/LadderField.h"
#include "protocol/ProtocolModel.h"

#include <QTest>

#include <bit>

namespace {

QList<TLadderEntrant> Racers(int n) {
    QList<TLadderEntrant> field;
    for (int i = 1; i <= n; ++i) {
        TLadderEntrant racer;
        racer.startNumber = QString::number(100 + i);
        field << racer;
    }
    return field;
}

// The first round's pairings as seeds, "1-8 4-5 …"; a bye shows its seed too.
QString FirstRound(const TLadder& ladder) {
    QStringList pairings;
    for (const TLadderPairing& pairing : ladder.rounds[0].pairings)
        pairings << QStringLiteral("%1-%2").arg(pairing.seeds[kUpper]).arg(pairing.seeds[kLower]);
    return pairings.join(' ');
}

// The round in which two seeds can meet first, 0 being the first round.
int MeetingRound(int size, int a, int b) {
    const QList<int> order = SeedingOrder(size);
    const unsigned apart = unsigned(order.indexOf(a) ^ order.indexOf(b));
    return std::bit_width(apart) - 1;
}

TRun RunOf(int heat, const QString& startNumber, bool winner, bool voided = false) {
    TRun run;
    run.id = heat * 10 + startNumber.toInt();
    run.heat = heat;
    run.startTicks = heat;
    run.startNumber = startNumber;
    run.winner = winner;
    run.voided = voided;
    return run;
}

QList<int> Places(const TLadder& ladder) {
    QList<int> places;
    for (const TLadderEntrant& racer : ladder.field)
        places << racer.place;
    return places;
}

} // namespace

class LadderRulesTest : public QObject {
    Q_OBJECT
private slots:
    void seedingByTable_data() {
        QTest::addColumn<int>("field");
        for (int n = 2; n <= kMaxLadderField; ++n)
            QTest::addRow("%d racers", n) << n;
    }
    void seedingByTable() {
        QFETCH(int, field);
        const int size = LadderSize(field);
        QVERIFY(size >= field && size < 2 * field && std::has_single_bit(unsigned(size)));
        const TLadder ladder(Racers(field));
        QCOMPARE(ladder.rounds.size(), std::bit_width(unsigned(size)) - 1);
        QCOMPARE(ladder.rounds.last().name, QString("Finale"));

        // Every racer once in the first round; the byes meet exactly the top seeds.
        QList<int> seen(size + 1, 0);
        QList<int> byeTakers;
        for (const TLadderPairing& pairing : ladder.rounds[0].pairings) {
            ++seen[pairing.seeds[kUpper]];
            ++seen[pairing.seeds[kLower]];
            QVERIFY2(!(pairing.Bye(kUpper) && pairing.Bye(kLower)), "a bye against a bye");
            QVERIFY(pairing.seeds[kUpper] < pairing.seeds[kLower]); // the better seed above
            if (pairing.HasBye()) {
                QVERIFY(pairing.Decided() && !pairing.Bye(kUpper));
                byeTakers << pairing.winner;
            }
        }
        QCOMPARE(seen.count(1), size);
        std::sort(byeTakers.begin(), byeTakers.end());
        QList<int> top;
        for (int seed = 1; seed <= size - field; ++seed)
            top << seed;
        QCOMPARE(byeTakers, top);
        // Byes advance at once and never reach the second round.
        for (int r = 1; r < ladder.rounds.size(); ++r)
            for (const TLadderPairing& pairing : ladder.rounds[r].pairings)
                QVERIFY(!pairing.HasBye() && pairing.seeds[kUpper] <= field &&
                        pairing.seeds[kLower] <= field);

        // 1 and 2 meet in the final only; 1 to 4 from the semi-finals on.
        const int finalRound = int(ladder.rounds.size()) - 1;
        QCOMPARE(ladder.rounds[0].pairings[0].seeds[kUpper], 1);
        QCOMPARE(MeetingRound(size, 1, 2), finalRound);
        for (int a = 1; a <= std::min(4, size); ++a)
            for (int b = a + 1; b <= std::min(4, size); ++b)
                QVERIFY(MeetingRound(size, a, b) >= finalRound - 1);
    }

    void firstRoundPairingsOf8And16AndOutsideTheRange() {
        QCOMPARE(FirstRound(TLadder(Racers(8))), QString("1-8 4-5 2-7 3-6"));
        QCOMPARE(FirstRound(TLadder(Racers(16))),
                 QString("1-16 8-9 4-13 5-12 2-15 7-10 3-14 6-11"));
        QCOMPARE(LadderSize(1), 0);
        QCOMPARE(LadderSize(65), 0);
        QCOMPARE(LadderSize(33), 64);
    }

    void roundsAreNamedByTheirPairings() {
        auto names = [](int field) {
            QStringList names;
            for (const TLadderRound& round : TLadder(Racers(field)).rounds)
                names << round.name;
            return names.join(", ");
        };
        QCOMPARE(names(2), QString("Finale"));
        QCOMPARE(names(3), QString("Halbfinale, Finale"));
        QCOMPARE(names(9), QString("Achtelfinale, Viertelfinale, Halbfinale, Finale"));
        QCOMPARE(names(17), QString("1. Runde, Achtelfinale, Viertelfinale, Halbfinale, Finale"));
        QCOMPARE(names(64), QString("1. Runde, 2. Runde, Achtelfinale, Viertelfinale, "
                                    "Halbfinale, Finale"));
        // A race for third place needs semi-finals.
        QVERIFY(!TLadder(Racers(2), true).ThirdPlace());
        TLadder four(Racers(4), true);
        QCOMPARE(four.thirdPlaceRace->name, QString("Lauf um Platz 3"));
        QCOMPARE(four.thirdPlaceRace->round, 2);
    }

    // Only the latest heat counts; exactly one "+" that is not void decides it.
    void theRunsDecideAPairing() {
        TLadder ladder(Racers(2));
        TLadderPairing& final = ladder.rounds[0].pairings[0];
        QHash<qint64, TRuns> heats;
        const auto runsOf = [&heats](const TLadderHeat& heat) { return heats[heat.startTicks]; };
        const auto heat = [&](int number, bool upper, bool lower, bool voided = false) {
            heats[number] = {RunOf(number, "101", upper, voided), RunOf(number, "102", lower)};
            TLadderHeat linked;
            linked.startTicks = number;
            final.heats << linked;
            ladder.Evaluate(runsOf);
        };
        heat(1, false, false); // both false starts
        QVERIFY(!final.Decided());
        QCOMPARE(final.runs[kUpper]->heat, 1);
        heat(2, true, true); // a joker too many
        QVERIFY(!final.Decided());
        heat(3, false, true, true); // lane 1's run void: a re-run for both
        QVERIFY(!final.Decided());
        heat(4, false, true);
        QCOMPARE(final.winner, 2);
        QCOMPARE(Places(ladder), (QList<int>{2, 1}));
        // A joker taken back reopens it; a settled winner stays whatever the runs say.
        heats[4][1].winner = false;
        ladder.Evaluate(runsOf);
        QVERIFY(!final.Decided());
        heats[4][1].winner = true;
        ladder.Evaluate(runsOf);
        final.settled = true;
        heats[4][0].winner = true;
        heats[4][1].winner = false;
        ladder.Evaluate(runsOf);
        QCOMPARE(final.winner, 2);
    }

    // Winners take the upper place from the upper pairing; places by the round lost in.
    void winnersAdvanceAndTakeTheirPlaces() {
        TLadder ladder(Racers(6), true);
        QCOMPARE(FirstRound(ladder), QString("1-8 4-5 2-7 3-6"));
        const auto noShow = [&ladder](int round, int slot, int seed) {
            ladder.Pairing(round, slot)->noShow = seed;
            ladder.Evaluate();
        };
        const TLadder before = ladder;
        noShow(0, 1, 4);                           // 5 advances
        QCOMPARE(before.Pairing(0, 1)->noShow, 0); // a copy keeps what it had
        QCOMPARE(before.Pairings()[1]->winner, 0);
        noShow(0, 3, 6); // 3 advances
        const TLadderPairing& upperSemi = ladder.rounds[1].pairings[0];
        QCOMPARE(upperSemi.seeds[kUpper], 1);
        QCOMPARE(upperSemi.seeds[kLower], 5);
        QCOMPARE(upperSemi.LaneSeed(1), 1); // the better seed in lane 1
        QCOMPARE(ladder.rounds[1].pairings[1].seeds[kLower], 3);
        QCOMPARE(Places(ladder), (QList<int>{0, 0, 0, 5, 0, 5}));
        noShow(1, 0, 1); // the favourite does not turn up: 5 goes on
        noShow(1, 1, 2);
        QCOMPARE(ladder.rounds[2].pairings[0].seeds[kUpper], 5); // from the upper semi-final
        QCOMPARE(ladder.thirdPlaceRace->seeds[kUpper], 1);
        QCOMPARE(ladder.thirdPlaceRace->seeds[kLower], 2);
        QVERIFY(!ladder.Finished());
        noShow(2, 0, 3);
        QVERIFY(!ladder.Finished()); // the race for third place is still to run
        noShow(3, 0, 2);
        QVERIFY(ladder.Finished());
        QCOMPARE(Places(ladder), (QList<int>{3, 4, 2, 5, 1, 5}));
        // Without the race for third place both semi-final losers share 3.
        ladder.SetThirdPlace(false);
        ladder.Evaluate();
        QCOMPARE(Places(ladder), (QList<int>{3, 3, 2, 5, 1, 5}));
        // The operator thinks again in a quarter- and a semi-final: the no-shows of racers no
        // longer in a pairing are dropped.
        ladder.Pairing(0, 1)->noShow = 5;
        ladder.Pairing(1, 1)->noShow = 3;
        ladder.Evaluate();
        const TLadderPairing& final = ladder.rounds[2].pairings[0];
        QCOMPARE(final.seeds[kUpper], 4);
        QCOMPARE(final.seeds[kLower], 2);
        QCOMPARE(final.noShow, 0);
        QVERIFY(!final.Decided());
    }

    // The 3 of a field of 3 meets a bye in the race for third place: third without a heat.
    void aByeInTheRaceForThirdPlace() {
        TLadder ladder(Racers(3), true);
        QCOMPARE(FirstRound(ladder), QString("1-4 2-3"));
        ladder.Pairing(0, 1)->noShow = 3;
        ladder.Evaluate();
        QVERIFY(ladder.thirdPlaceRace->HasBye() && ladder.thirdPlaceRace->Decided());
        QCOMPARE(Places(ladder), (QList<int>{0, 0, 3}));
    }

    void theFieldFromStandingsProtocolOrDraw() {
        TStandings standings;
        standings.Klass = true;
        TStandingsGroup other, mine;
        other.classInfo = "125";
        other.entries << TStandingsEntry{};
        other.entries[0].startNumber = "9";
        mine.classInfo = "50";
        for (const auto& [place, number] :
             QList<std::pair<int, QString>>{{1, "7"}, {2, "3"}, {2, "4"}, {0, "1"}}) {
            TStandingsEntry entry;
            entry.place = place;
            entry.startNumber = number;
            entry.time = place ? "9,000" : QString();
            mine.entries << entry;
        }
        standings.groups << other << mine;
        const QList<TLadderEntrant> fromStandings = FieldFromStandings(standings, " 50");
        QStringList numbers;
        for (const TLadderEntrant& racer : fromStandings)
            numbers << QString("%1:%2@%3")
                           .arg(racer.seed)
                           .arg(racer.startNumber)
                           .arg(racer.standingsPlace);
        // The racer without a place comes last, not left out.
        QCOMPARE(numbers.join(' '), QString("1:7@1 2:3@2 3:4@2 4:1@0"));

        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (const QStringList& row : QList<QStringList>{{"5", "Adler", "", "", "", "50"},
                                                         {"6", "Bär", "", "", "", "125"},
                                                         {"", "leer", "", "", "", "50"},
                                                         {"8", "Dachs", "", "", "", "50 "},
                                                         {"5", "doppelt", "", "", "", "50"}})
            rows << row + QStringList(5);
        auto names = [](const QList<TLadderEntrant>& field) {
            QStringList names;
            for (const TLadderEntrant& racer : field)
                names << racer.startNumber + racer.name;
            return names.join(' ');
        };
        QCOMPARE(names(FieldFromProtocol(rows, true, "50")), QString("5Adler 8Dachs"));
        QCOMPARE(names(FieldFromProtocol(rows, false, "50")), QString("5Adler 6Bär 8Dachs"));

        // The draw is the same for a number on every machine: mt19937 is fixed by the standard,
        // and the expected order comes from a generator written apart from this code.
        QList<TLadderEntrant> eight = Racers(8);
        for (TLadderEntrant& racer : eight)
            racer.startNumber = QString::number(racer.startNumber.toInt() - 100);
        const QList<TLadderEntrant> drawn = DrawField(eight, 12345);
        QCOMPARE(names(drawn), QString("8 5 7 1 6 4 2 3"));
        QCOMPARE(drawn[0].seed, 1);
        QCOMPARE(names(DrawField(eight, 12346)), QString("4 1 6 7 2 3 5 8"));

        QCOMPARE(FieldProblem(Racers(1)),
                 QString("Eine Ausscheidung braucht mindestens 2 Fahrer."));
        QCOMPARE(FieldProblem(Racers(65)),
                 QString("Eine Ausscheidung hat höchstens 64 Fahrer, hier sind es 65."));
        QList<TLadderEntrant> odd = Racers(3);
        odd[1].startNumber = "07";
        QCOMPARE(FieldProblem(odd),
                 QString("Die St.Nr. „07“ kann nicht in eine Bahn geladen werden."));
        QCOMPARE(FieldProblem(Racers(64)), QString());
    }
};
RENNUHR_TEST(LadderRulesTest);

#include "tst_ladderrules.moc"
