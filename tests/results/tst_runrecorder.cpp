// Heats run through the real sequence, barrier inputs and protocol, recorded as runs and read
// back from the file as an organiser's tool would: the cells, the marks as they move, the
// operator's crash and joker, the protocol's own commands, and heats across midnight.
#include "Recorded.h"
#include "TestMain.h"

namespace {

const QString kColumns = "day, heat, started_at, lane, start_number, name, first_name, vehicle, "
                         "engine, class_info, reaction, intermediate, speed, final_time, "
                         "final_ms, speed_kmh, winner, false_start, crashed, opponent_number";

QStringList Marks(const QString& file) {
    QStringList marks;
    for (const QStringList& row :
         Select(file, "SELECT heat, lane, start_number, final_time, winner, false_start, crashed "
                      "FROM runs ORDER BY day, heat, lane"))
        marks << row.join(' ');
    return marks;
}

} // namespace

class RunRecorderTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aHeatOnTheBarriersRecordsEachLaneFromItsRow() {
        RecordedHeat h(kRaceMorning, true);
        h.Participants(2);
        h.Open();
        h.Key(h.sequence.LockLS1);
        h.now->store(5000 * kMs); // 10:00:04
        h.Lines(kModemCTS);
        h.Lines(0);
        // Lane 2 too fast for its track: it wins, and its warnings go with its run.
        for (const qint64 ms : {100, 200, 300, 400}) {
            h.At(ms);
            h.Pulse(kModemDSR);
        }
        for (const qint64 ms : {420, 6100, 12095, 12345}) {
            h.At(ms);
            h.Pulse(kModemRLSD);
        }
        QVERIFY(!h.heat.Lane(2).running);
        h.db.Flush();

        const QList<QStringList> rows =
            Select(h.file, "SELECT " + kColumns + " FROM runs ORDER BY lane");
        QCOMPARE(rows.size(), 2);
        const QStringList lane1{"2024-05-04",
                                "1",
                                "2024-05-04 10:00:04.000",
                                "1",
                                "1",
                                "Fahrer1",
                                "Vorname1",
                                "Roller1",
                                "Motor1",
                                "Klasse1",
                                "0,420",
                                "6,100",
                                h.Cell(1, ColSpeed),
                                "12,345",
                                "12345",
                                "144",
                                "0",
                                "0",
                                "0",
                                "2"};
        QCOMPARE(rows[0], lane1);
        QCOMPARE(h.Cell(1, ColSpeed), QString("144,0"));
        QCOMPARE(rows[1][3], QString("2"));
        QCOMPARE(rows[1][13], h.Cell(2, ColTime));
        QCOMPARE(rows[1][16], QString("1"));
        QCOMPARE(rows[1][19], QString("1"));
        const QStringList warnings = h.plausibility.Reasons(2);
        QVERIFY(!warnings.isEmpty());
        QCOMPARE(SelectOne(h.file, "SELECT warnings FROM runs WHERE lane = 2"),
                 warnings.join('\n'));
        QCOMPARE(SelectOne(h.file, "SELECT warnings FROM runs WHERE lane = 1"), QString());
        // The windows' copy is the file's.
        QCOMPARE(h.db.Runs().size(), 2);
        QCOMPARE(h.db.Runs()[1].warnings, warnings);
        QCOMPARE(h.db.Runs()[0].speedKmh, 144.0);
        QCOMPARE(h.db.Runs()[0].startTicks, 5000 * kMs);
    }

    // The mark goes to the first lane to stop; a false start given afterwards takes it back and
    // the other lane's own stop brings it. The runs follow the rows, and a lane stopped again
    // keeps its one run.
    void theRunsFollowTheMarkWhenAFalseStartMovesIt() {
        RecordedHeat h;
        h.Open();
        h.Start();
        h.At(9000);
        h.Key(h.sequence.mStop1);
        h.db.Flush();
        QCOMPARE(Marks(h.file), QStringList{"1 1 1 9,000 1 0 0"});
        h.At(9500);
        h.Key(h.sequence.mFehlstart1);
        h.db.Flush();
        QCOMPARE(Marks(h.file), QStringList{"1 1 1 - 0 1 0"});
        QCOMPARE(SelectOne(h.file, "SELECT final_ms IS NULL AND speed_kmh IS NULL FROM runs"),
                 QString("1"));
        h.At(11000);
        h.Key(h.sequence.mStop2);
        h.db.Flush();
        QCOMPARE(Marks(h.file), (QStringList{"1 1 1 - 0 1 0", "1 2 2 11,000 1 0 0"}));
        QCOMPARE(h.Cell(2, ColWin), QString("+"));

        // The other order: lane 2 stops first and keeps the mark through lane 1's false start.
        h.Key(h.sequence.mReset);
        h.Start();
        h.At(3000);
        h.Key(h.sequence.mStop2);
        h.At(3100);
        h.Key(h.sequence.mFehlstart1);
        h.db.Flush();
        QCOMPARE(Marks(h.file).mid(2), (QStringList{"2 1 3 - 0 1 0", "2 2 4 3,000 1 0 0"}));
        QCOMPARE(h.db.Runs().size(), 4);
    }

    void aCrashOrAJokerMarksTheRowsRunInTheHeatOrItsLatestOfTheDay() {
        RecordedHeat h;
        h.Participants(3);
        h.Open();
        h.Run(9000, 9500); // 1 wins against 2
        h.Key(h.sequence.mReset);
        h.heat.SetStartNumber(1, 1);
        h.heat.SetStartNumber(2, 3);
        h.Run(8000, 7000); // 3 wins against 1
        TProtocolModel& protocol = h.protocol.model;
        // F4 on the row of 1 after the heat: its run of this heat, not the one before.
        protocol.MarkRowCrashed(1);
        h.recorder.RowCrashed(1);
        h.db.Flush();
        QCOMPARE(Marks(h.file), (QStringList{"1 1 1 9,000 1 0 0", "1 2 2 9,500 0 0 0",
                                             "2 1 1 8,000 0 0 1", "2 2 3 7,000 1 0 0"}));
        // After the reset the lanes carry the next numbers: the joker on 2 finds its heat 1.
        h.Key(h.sequence.mReset);
        protocol.ToggleJoker(2);
        h.recorder.JokerToggled(2);
        protocol.ToggleJoker(1); // "-" becomes "+": a crashed run stays crashed
        h.recorder.JokerToggled(1);
        h.db.Flush();
        QCOMPARE(Marks(h.file), (QStringList{"1 1 1 9,000 1 0 0", "1 2 2 9,500 1 0 0",
                                             "2 1 1 8,000 1 0 1", "2 2 3 7,000 1 0 0"}));

        // F4 while the rider's lane still runs: the run is crashed when the lane stops.
        h.heat.SetStartNumber(1, 2);
        h.heat.SetStartNumber(2, 3);
        h.Start();
        h.At(5000);
        h.Key(h.sequence.mStop2);
        protocol.MarkRowCrashed(protocol.FindStartRow("2"));
        h.recorder.RowCrashed(protocol.FindStartRow("2"));
        h.At(6000);
        h.Key(h.sequence.mStop1);
        h.db.Flush();
        QCOMPARE(Marks(h.file).mid(4), (QStringList{"3 1 2 6,000 0 0 1", "3 2 3 5,000 1 0 0"}));
        // A row that never raced today marks nothing.
        const int fresh = protocol.NewRow();
        h.recorder.RowCrashed(fresh);
        h.db.Flush();
        QCOMPARE(Select(h.file, "SELECT count(*) FROM runs WHERE crashed = 1"),
                 QList<QStringList>{{"2"}});
    }

    void theProtocolsOwnCommandsRemoveNoRun() {
        RecordedHeat h;
        h.Participants(4);
        h.Open();
        h.Run(9000, 9500);
        h.Run(8000, 7000);
        h.db.Flush();
        const QList<QStringList> before = Select(h.file, "SELECT * FROM runs ORDER BY id");
        QCOMPARE(before.size(), 4);
        TProtocolModel& protocol = h.protocol.model;
        protocol.NextRace();
        protocol.RemoveRow(1);
        protocol.RemoveResults();
        protocol.SetRows({TProtocolModel::DefaultHeaderTexts(), {"9", "Neu"}});
        protocol.ClearProtocol();
        h.db.Flush();
        QCOMPARE(Select(h.file, "SELECT * FROM runs ORDER BY id"), before);
        QCOMPARE(h.db.Runs().size(), 4);
    }

    // A heat whose row went away during it (removed, or the protocol loaded anew) still counts:
    // the run takes the lane's own texts.
    void aLaneWithoutARowIsRecordedFromItsOwnTexts() {
        RecordedHeat h;
        h.Participants(2);
        h.Open();
        h.Start();
        h.protocol.model.RemoveRow(2);
        h.At(9000);
        h.Key(h.sequence.mStop1);
        h.At(9200);
        h.Key(h.sequence.mFehlstart2);
        h.db.Flush();
        QCOMPARE(Select(h.file, "SELECT lane, name, final_time, final_ms, winner, false_start "
                                "FROM runs ORDER BY lane"),
                 (QList<QStringList>{{"1", "Fahrer1", "9,000", "9000", "1", "0"},
                                     {"2", "", "-", "NULL", "0", "1"}}));
    }

    // The day is START's: a heat that ends after midnight stays on its day, the next one is the
    // first of the new day; a new session counts on from what the file holds.
    void heatsAreNumberedPerDayOfTheirStart() {
        const QDateTime evening(QDate(2024, 5, 4), QTime(23, 59, 50));
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        {
            RecordedHeat h(evening);
            h.file = file;
            h.Open(evening.date());
            h.Run(1000, 1100); // 23:59:50
            h.now->store(9000 * kMs);
            h.Run(5000, 5100); // 23:59:58 to 00:00:03
            QCOMPARE(h.db.RaceDay(), evening.date());
            h.now->store(20000 * kMs);
            h.Run(1000, 1100); // 00:00:09
            QCOMPARE(h.db.RaceDay(), QDate(2024, 5, 5));
            QCOMPARE(h.db.Runs().size(), 2);
            QCOMPARE(h.db.Days(), (QList<QDate>{QDate(2024, 5, 4), QDate(2024, 5, 5)}));
            QCOMPARE(h.db.Close(), QString());
            QCOMPARE(Select(file, "SELECT day, heat, lane, started_at FROM runs ORDER BY id"),
                     (QList<QStringList>{{"2024-05-04", "1", "1", "2024-05-04 23:59:50.000"},
                                         {"2024-05-04", "1", "2", "2024-05-04 23:59:50.000"},
                                         {"2024-05-04", "2", "1", "2024-05-04 23:59:58.000"},
                                         {"2024-05-04", "2", "2", "2024-05-04 23:59:58.000"},
                                         {"2024-05-05", "1", "1", "2024-05-05 00:00:09.000"},
                                         {"2024-05-05", "1", "2", "2024-05-05 00:00:09.000"}}));
        }
        const QDateTime morning(QDate(2024, 5, 5), QTime(9, 0));
        RecordedHeat h(morning);
        h.file = file;
        h.Open(morning.date());
        QCOMPARE(h.db.Runs().size(), 2); // what the file holds of the day
        h.Run(1000, 1100);
        h.db.Flush();
        QCOMPARE(Select(file, "SELECT id, day, heat FROM runs WHERE id > 6 ORDER BY id"),
                 (QList<QStringList>{{"7", "2024-05-05", "2"}, {"8", "2024-05-05", "2"}}));
    }
};
RENNUHR_TEST(RunRecorderTest);

#include "tst_runrecorder.moc"
