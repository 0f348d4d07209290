// The journal viewer: the day's heats with their start numbers, raw events since START, the
// results and the edits made by hand afterwards; a long day or junk read while the window's
// thread goes on.
#include "JournalSample.h"
#include "TestMain.h"
#include "Track.h"

#include "export/BackgroundWriter.h"
#include "export/Journal.h"
#include "race/RaceSequence.h"
#include "ui/JournalViewer.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

using M = TJournalModel;

QString Text(const QModelIndex& row, int column) {
    return row.siblingAtColumn(column).data().toString();
}

QStringList Rows(const QModelIndex& heat) {
    QStringList rows;
    const QAbstractItemModel* model = heat.model();
    for (int i = 0; i < model->rowCount(heat); ++i) {
        const QModelIndex c = model->index(i, 0, heat);
        rows << (Text(c, M::ColSinceStart) + '|' + Text(c, M::ColEvent) + '|' +
                 Text(c, M::ColLane) + '|' + Text(c, M::ColValues))
                    .trimmed();
    }
    return rows;
}

QList<QModelIndex> HeatRows(const TJournalViewer* viewer) {
    QList<QModelIndex> heats;
    const QAbstractItemModel* model = viewer->Heats->model();
    for (int i = 0; i < model->rowCount(); ++i)
        if (Text(model->index(i, 0), M::ColEvent).startsWith("Lauf ")) heats << model->index(i, 0);
    return heats;
}

// A journal of its own whose day is the sample's, with the viewer on it.
struct SampleDay {
    QTemporaryDir dir;
    TBackgroundWriter writer;
    THighResTimer timeBase;
    TJournal journal{writer, timeBase, [this] { return dir.path(); }, "Rennuhr"};
    std::unique_ptr<TJournalViewer> viewer;

    SampleDay() {
        journal.SetWallClock([] { return QDateTime(QDate(2024, 5, 4), QTime(12, 0)); });
        viewer = std::make_unique<TJournalViewer>(journal, "Rennuhr");
        viewer->show();
    }
    QString File(QDate day = QDate(2024, 5, 4)) const {
        return TJournal::FileName(dir.path(), "Rennuhr", day);
    }
    int Threads() const { return int(QDir("/proc/self/task").count()) - 2; }
};

} // namespace

class JournalViewerTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void heatsShowTheirEventsResultsAndEdits() {
        Track t;
        t.OneBarrier();
        QTest::keyClick(&t.w, Qt::Key_F10);
        for (int heat = 0; heat < 2; ++heat) {
            // A minute later the lanes' lock-outs are long over; they run in real time.
            t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop1);
            t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop2);
            t.now->fetch_add(60000 * kMs);
            t.Lines(kModemCTS);
            t.Lines(0);
            t.At(9000);
            t.Pulse(kModemRLSD);
            t.At(9250);
            t.Pulse(kModemDSR | kModemRLSD); // lane 1 chatters in its lock-out
            QTest::keyClick(&t.w, Qt::Key_F7);
        }
        t.w.SortGrid1->SelectRow(1); // start number 1, which ran in the first heat
        QTest::keyClick(&t.w, Qt::Key_F4);

        // Opened from the protocol's context menu, and by its key.
        t.w.SortGrid1->Journal1->trigger();
        TJournalViewer* viewer = t.w.JournalViewer;
        QVERIFY(viewer && viewer->isVisible());
        viewer->close();
        QApplication::setActiveWindow(&t.w);
        QTest::keyClick(&t.w, Qt::Key_F3);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->cbDay->count(), 1);
        QCOMPARE(viewer->cbDay->currentText(), QDate::currentDate().toString("yyyy-MM-dd"));
        QTRY_VERIFY(!viewer->Loading());

        const QList<QModelIndex> heats = HeatRows(viewer);
        QCOMPARE(heats.size(), 2);
        QCOMPARE(Text(heats[0], M::ColEvent), QString("Lauf 1: START (Lichtschranke)"));
        QCOMPARE(Text(heats[0], M::ColStartNr), QString("1 / 2"));
        QCOMPARE(Text(heats[1], M::ColStartNr), QString("3 / 4"));
        QVERIFY(viewer->Heats->isExpanded(heats[1]));
        QCOMPARE(
            Rows(heats[0]),
            (QStringList{"0,000|Ampel (CTS) ein||", "0,000|START (Lichtschranke)||",
                         "0,000|Ampel (CTS) aus||", "9,000|Bahn 1 (DCD) aus|1|1 Impuls dazwischen",
                         "9,000|STOPP (Lichtschranke)|1|",
                         "9,000|Ergebnis|1|RZ 9,000   Km/h 160,8   Zeit 9,000   Win +",
                         "9,250|Bahn 1 (DCD) aus|1|1 Impuls dazwischen",
                         "9,250|Bahn 2 (DSR) aus|2|1 Impuls dazwischen",
                         "9,250|STOPP (Lichtschranke)|2|",
                         "9,250|Ergebnis|2|RZ 9,250   Km/h 156,5   Zeit 9,250",
                         "9,250|Warnung: Sperrzeit|1|Impuls 0,250 s nach dem Stopp: "
                         "Lichtschranke prellt",
                         "9,250|ZURÜCKSETZEN (Taste)||",
                         "|von Hand: GESTÜRZT (Taste)||RZ -   ZZ -   Km/h -   Zeit -   "
                         "Win -"}));
        // The heat line sums it up.
        QCOMPARE(Text(heats[0], M::ColValues),
                 QString("Bahn 1: 9,000 +   Bahn 2: 9,250   1 × Warnung   von Hand geändert"));
        QCOMPARE(Text(heats[1], M::ColValues),
                 QString("Bahn 1: 9,000 +   Bahn 2: 9,250   1 × Warnung"));
    }

    void theWindowGoesOnWhileALongDayLoads() {
        SampleDay d;
        const journal_sample::Day written = journal_sample::WriteDay(d.File(), 200000);
        TJournalViewer& viewer = *d.viewer;
        // Stands for the lane clocks, which are repainted from this thread.
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(0);
        QList<int> progress;
        QStringList shownProgress;
        connect(viewer.pbRead, &QProgressBar::valueChanged, [&](int value) {
            progress << value;
            shownProgress << viewer.pbRead->text();
        });
        QSignalSpy shown(&viewer, &TJournalViewer::DayShown);

        viewer.Refresh();
        QCOMPARE(ticks, 0);
        QVERIFY(viewer.Loading());
        QVERIFY(viewer.pbRead->isVisible());
        QVERIFY(shown.wait(60000));
        const int ticksWhileLoading = ticks;
        clock.stop();

        QVERIFY(ticksWhileLoading > 0);
        QVERIFY(progress.size() > 1);
        QCOMPARE(progress.last(), 100);
        QCOMPARE(shownProgress.last(), QString("Rennjournal wird gelesen … 100 %"));
        QVERIFY(!viewer.pbRead->isVisible());
        // All of it: every heat, each with its events.
        const QList<QModelIndex> heats = HeatRows(&viewer);
        QCOMPARE(heats.size(), written.heats);
        QCOMPARE(Text(heats.last(), M::ColStartNr),
                 QString("%1 / %2").arg(2 * written.heats - 1).arg(2 * written.heats));
        QCOMPARE(viewer.Heats->model()->rowCount(heats.last()), written.heats % 5 ? 10 : 11);
        QVERIFY(viewer.LabMessage->isHidden());
    }

    void closingOrDestroyingTheWindowMidLoadStopsTheRead() {
        SampleDay d;
        journal_sample::WriteDay(d.File(), 200000);
        const int threadsBefore = d.Threads();
        QSignalSpy shown(d.viewer.get(), &TJournalViewer::DayShown);
        d.viewer->Refresh();
        QVERIFY(d.viewer->Loading());
        d.viewer->close();
        QVERIFY(!d.viewer->Loading());
        QVERIFY(d.viewer->pbRead->isHidden());
        QCOMPARE(d.viewer->Heats->model()->rowCount(), 0);

        // Opened again, it reads afresh; destroyed mid-read, its thread goes with it.
        d.viewer->show();
        QSignalSpy progressed(d.viewer->pbRead, &QProgressBar::valueChanged);
        d.viewer->Refresh();
        QVERIFY(progressed.wait(30000));
        QVERIFY(d.viewer->Loading());
        d.viewer.reset();
        QCOMPARE(d.Threads(), threadsBefore - 1);
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 0);
    }

    void anotherDayChosenMidLoadIsTheDayShown() {
        SampleDay d;
        journal_sample::WriteDay(d.File(), 200000);
        const QString earlier = d.File(QDate(2024, 5, 3));
        journal_sample::WriteDay(earlier, 30);
        QSignalSpy shown(d.viewer.get(), &TJournalViewer::DayShown);
        TJournalViewer& viewer = *d.viewer;
        viewer.Refresh();
        QCOMPARE(viewer.cbDay->count(), 2);
        QCOMPARE(viewer.cbDay->itemText(1), QString("2024-05-03"));
        viewer.cbDay->setCurrentIndex(1);
        emit viewer.cbDay->activated(1);
        QVERIFY(shown.wait(60000));
        QVERIFY(!viewer.Loading());
        QCOMPARE(HeatRows(&viewer).size(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(HeatRows(&viewer).size(), 3);
    }

    void junkAndWhatIsNotKeptAreSaidInTheWindow() {
        SampleDay d;
        // A start contact that chatters after START, a line far too long, binary junk.
        QByteArray bytes = TJournal::HeaderLine() + journal_sample::Heat(1);
        const qsizetype afterStart = bytes.indexOf('\n', bytes.indexOf("\tSTART\t")) + 1;
        for (int i = 0; i < 10; ++i)
            bytes.insert(afterStart, journal_sample::Line(3001 + i, "Leitung", "CTS", {}, {},
                                                          i % 2 ? "1" : "0", "0"));
        bytes += QByteArray(10000, 'x') + '\n' + QByteArray("\x01\x02\xff\n") +
                 journal_sample::Heat(2) + journal_sample::Heat(3);
        QFile file(d.File());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        TJournalLimits limits;
        limits.lineEventsPerHeat = 4;
        limits.keptBytes = 3000; // the first heat and a part of the second
        d.viewer->SetLimits(limits);
        QSignalSpy shown(d.viewer.get(), &TJournalViewer::DayShown);
        d.viewer->Refresh();
        QVERIFY(shown.wait(30000));

        const QList<QModelIndex> heats = HeatRows(d.viewer.get());
        QCOMPARE(heats.size(), 2);
        QCOMPARE(Text(heats[0], M::ColValues),
                 QString("Bahn 1: 9,000 +   Bahn 2: 9,250   8 Leitungsereignisse nicht gezeigt"));
        const QStringList rows = Rows(heats[0]);
        QCOMPARE(rows.size(), 20 - 8 + 1); // 12 of its 20 lines and the note
        QVERIFY(rows.contains("|… 8 Leitungsereignisse nicht gezeigt||"));
        QVERIFY(d.viewer->LabMessage->isVisible());
        QVERIFY(d.viewer->LabMessage->text().startsWith(
            "2 Zeilen übersprungen (zu lang oder unlesbar). Das Rennjournal ist zu groß; gezeigt "
            "ist es bis 08:00:"));
    }
};
RENNUHR_TEST(JournalViewerTest);

#include "tst_journalviewer.moc"
