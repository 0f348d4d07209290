// Time slips through a real CUPS print queue and its PDF printer (cups-pdf), as the operator
// sets them up and races: the settings dialog offers the system's queues, heats run on the
// simulated track, and what the printer wrote is read back with pdftotext and zbarimg.
// printtest/with-cups makes the queue and names it in RENNUHR_PRINT_QUEUE, and the folder the
// PDFs land in in RENNUHR_PRINT_OUT. Without a queue the tests skip, unless
// RENNUHR_PRINT_REQUIRED is set (as in CI): then that is a failure. RENNUHR_SLIP_PNG names a
// file to keep the first 80 mm slip in as a picture.
#include "TestMain.h"
#include "ui/Track.h"

#include "PdfTools.h"
#include "live/LiveAddress.h"
#include "live/LiveResults.h"
#include "live/LiveServer.h"
#include "results/ResultsDatabase.h"
#include "settings/CfgDialog.h"
#include "slips/PrintQueue.h"
#include "slips/PrintSubmit.h"
#include "slips/Slip.h"
#include "slips/TimeSlips.h"
#include "ui/TopBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>

#include <algorithm>
#include <cstdio>

namespace {

QString Queue() {
    return qEnvironmentVariable("RENNUHR_PRINT_QUEUE");
}

QString OutFolder() {
    return qEnvironmentVariable("RENNUHR_PRINT_OUT");
}

QStringList Printed() {
    return QDir(OutFolder()).entryList({"*.pdf"}, QDir::Files, QDir::Time | QDir::Reversed);
}

// cups-pdf writes its file and then moves on: a file is done once pdfinfo reads it whole.
bool Complete(const QString& name) {
    return pdf::Pages(QDir(OutFolder()).filePath(name)) > 0;
}

bool PrintedCount(int count) {
    const QStringList files = Printed();
    return files.size() == count && std::all_of(files.begin(), files.end(), Complete);
}

// The printed slip whose text names this heat and lane.
QString SlipOf(int heat, int lane) {
    for (const QString& name : Printed()) {
        const QString file = QDir(OutFolder()).filePath(name);
        const QString text = pdf::Text(file);
        if (text.contains(QString("Lauf %1 ").arg(heat)) &&
            text.contains(QString("Bahn %1 ").arg(lane)))
            return file;
    }
    return {};
}

bool Cups(const QString& command) {
    return QProcess::execute(command, {Queue()}) == 0;
}

// Jobs the queue holds, not yet printed.
int Held() {
    QProcess lpstat;
    lpstat.start("lpstat", {"-o", Queue()});
    lpstat.waitForFinished(10000);
    return int(
        QString::fromUtf8(lpstat.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size());
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// The window on the simulated track with four racers, the results page on, every barrier.
struct SlipTrack : Track {
    quint16 port = FreePort();
    SlipTrack() {
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        const char* const racers[4][3] = {{"1", "Huber", "Max"},
                                          {"2", "Özdemir", "Ayşe"},
                                          {"3", "Klein", "Tom"},
                                          {"4", "Brandt", "Lena"}};
        for (const auto& racer : racers)
            rows << QStringList{QString::fromUtf8(racer[0]),
                                QString::fromUtf8(racer[1]),
                                QString::fromUtf8(racer[2]),
                                "Vespa",
                                "",
                                "50 ccm",
                                "",
                                "",
                                "",
                                "",
                                ""};
        w.SortGrid1->Protocol()->SetRows(rows);
        w.PanelLeft->eTitle->setText("Sommerrennen am Flugplatz");
        w.Sequence->TimerGesperrtStop1->setInterval(0);
        w.Sequence->TimerGesperrtStop2->setInterval(0);
        w.race.settings.LiveResults = true;
        w.race.settings.LivePort = port;
        w.Live->Apply();
        QTRY_VERIFY(w.Live->Server()->IsListening());
        w.Slips->Slips->SetRetryInterval(200);
    }
    // F2: slips on, the test's queue, the 80 mm roll; OK.
    void SetUpSlips() {
        TCfgDialog* dialog = w.CfgDialog;
        bool offered = false;
        QTimer::singleShot(0, dialog, [dialog, &offered] {
            dialog->cbSlipPrint->setChecked(true);
            const int queue = dialog->cbSlipPrinter->findData(Queue());
            offered = queue >= 0;
            dialog->cbSlipPrinter->setCurrentIndex(queue);
            dialog->cbSlipPaper->setCurrentText("Bonrolle 80 mm");
            dialog->OKBtn->click();
        });
        QTest::keyClick(&w, Qt::Key_F2);
        QVERIFY2(offered, "the settings offer the queue");
        // OK gives the start its lock-out in real time again; these heats follow at once.
        w.Sequence->TimerGesperrtStart->setInterval(0);
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.race.settings.SlipPrint);
        QCOMPARE(w.race.settings.SlipPrinter, Queue());
        QCOMPARE(w.race.settings.SlipPaper, TSlipPaper::Roll80);
    }
    // START on the start contact, then each lane through its four barriers in time order,
    // the last at ms1 and ms2 after START; the reset follows.
    void Heat(qint64 at, qint64 ms1, qint64 ms2) {
        now->store(at * kMs);
        Lines(kModemCTS);
        QVERIFY(w.race.heat.Lane(1).running && w.race.heat.Lane(2).running);
        QList<std::pair<qint64, quint32>> crossings;
        for (const auto& [ms, line] : {std::pair{ms1, kModemRLSD}, std::pair{ms2, kModemDSR}})
            for (qint64 when : {qint64(450), ms / 2, ms - 400, ms})
                crossings.append({when, line});
        std::sort(crossings.begin(), crossings.end());
        for (const auto& [when, line] : crossings) {
            At(when);
            Pulse(line);
        }
        QVERIFY(!w.race.heat.Lane(1).running && !w.race.heat.Lane(2).running);
        QTest::keyClick(&w, Qt::Key_F7);
        now->store((at + 30000) * kMs);
        Lines(0);
    }
};

} // namespace

class PrintSlipsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        FreshStart();
        for (const QString& name : Printed())
            QFile::remove(QDir(OutFolder()).filePath(name));
    }

    void initTestCase() {
        const bool required = !qEnvironmentVariableIsEmpty("RENNUHR_PRINT_REQUIRED");
        const bool present = !Queue().isEmpty() &&
                             QPrinterInfo::availablePrinterNames().contains(Queue()) &&
                             QDir(OutFolder()).exists();
        if (!present && required)
            QFAIL("no print queue: run under printtest/with-cups, with cupsd and cups-pdf");
        if (!present) QSKIP("no print queue (printtest/with-cups makes one)");
    }

    // A heat prints a slip per racer; each says what the protocol says, with the racer's
    // page as its QR code.
    void slipsOfAHeatReadBack() {
        SlipTrack t;
        t.SetUpSlips();
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Heat(10000, 12345, 12468);
        QTRY_VERIFY_WITH_TIMEOUT(PrintedCount(2), 60000);
        const TRuns& runs = t.w.Results->Runs();
        QCOMPARE(runs.size(), 2);
        const QString page = LiveAddress(t.port);
        QVERIFY2(!page.contains("localhost"), "the machine has an address a phone can reach");
        const QString png = qEnvironmentVariable("RENNUHR_SLIP_PNG");
        if (!png.isEmpty()) {
            QString base = png;
            base.chop(4); // ".png"
            QCOMPARE(QProcess::execute("pdftoppm",
                                       {"-r", "300", "-png", "-singlefile", SlipOf(1, 2), base}),
                     0);
        }
        for (const TRun& run : runs) {
            const QString file = SlipOf(1, run.lane);
            QVERIFY2(!file.isEmpty(), qPrintable(QString("the slip of lane %1").arg(run.lane)));
            const TRun other = *OpponentRun(runs, run);
            const QString text = pdf::Text(file);
            const QStringList expected = {
                "Sommerrennen am Flugplatz", run.startedAt.toString("dd.MM.yyyy HH:mm:ss"),
                "Lauf 1", QString("Bahn %1").arg(run.lane), "St.Nr. " + run.startNumber,
                // The printer's PDF maps only the Latin-1 letters back to text ("Ay?e").
                run.lane == 1 ? "Max Huber" : "Özdemir", "50 ccm",
                "Zeit " + run.finalTime + " s " + (run.lane == 1 ? "Sieg" : "Niederlage"), "RZ",
                run.reaction, "ZZ", run.intermediate, "Km/h", run.speed, "Differenz",
                run.lane == 1 ? "+0,123 s" : "-0,123 s", "St.Nr. " + other.startNumber,
                other.finalTime + " s", "Bester Lauf heute " + run.finalTime + " s (Lauf 1)"};
            for (const QString& value : expected)
                QVERIFY2(!value.isEmpty() && text.contains(value),
                         qPrintable(QString("\"%1\" in: %2").arg(value, text)));
            QCOMPARE(run.finalTime, run.lane == 1 ? QString("12,345") : QString("12,468"));
            QCOMPARE(run.speed, QString("90,0"));
            const QSizeF size = pdf::PageSizeMm(file);
            QVERIFY2(qAbs(size.width() - 80) < 1, qPrintable(QString::number(size.width())));
            QCOMPARE(pdf::QrCodes(file), QStringList{page + "fahrer/" + run.startNumber});
            QCOMPARE(pdf::Pages(file), 1);
        }
    }

    // A stopped queue takes the slips and holds them: the next START does not wait, and they
    // print when the queue goes on.
    void aStoppedQueueHoldsTheSlipsAndLosesNone() {
        SlipTrack t;
        t.SetUpSlips();
        QTest::keyClick(&t.w, Qt::Key_F10);
        QVERIFY(Cups("cupsdisable"));
        t.Heat(10000, 11000, 11500);
        t.Heat(50000, 10500, 10400); // started at once, on the heels of the first
        QTRY_COMPARE_WITH_TIMEOUT(Held(), 4, 20000);
        QCOMPARE(t.w.Slips->Slips->Waiting(), 0); // every slip is with the print queue
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
        QElapsedTimer queued;
        queued.start();
        t.w.Slips->PrintSlip(t.w.Results->Runs().back(), t.w.Results->Runs());
        std::printf("a slip queued on the window's thread with the queue stopped: %.3f ms\n",
                    queued.nsecsElapsed() / 1e6);
        QTRY_COMPARE_WITH_TIMEOUT(Held(), 5, 20000);
        QVERIFY(Printed().isEmpty());

        QVERIFY(Cups("cupsenable"));
        QTRY_VERIFY_WITH_TIMEOUT(PrintedCount(5), 120000);
        QCOMPARE(Held(), 0);
        for (int heat = 1; heat <= 2; ++heat)
            for (int lane = 1; lane <= 2; ++lane)
                QVERIFY2(!SlipOf(heat, lane).isEmpty(),
                         qPrintable(QString("heat %1, lane %2").arg(heat).arg(lane)));
        QVERIFY(pdf::Text(SlipOf(2, 2)).contains("Zeit 10,400 s Sieg"));
    }

    // A queue that refuses jobs: told once in the notice bar, the race goes on, and the slips
    // print when it takes jobs again.
    void aRefusingQueueIsToldAndTheSlipsFollowLater() {
        SlipTrack t;
        t.SetUpSlips();
        QTest::keyClick(&t.w, Qt::Key_F10);
        QVERIFY(Cups("cupsreject"));
        QSignalSpy told(t.w.Slips->Slips, &TPrintQueue::FailureChanged);
        t.Heat(10000, 9000, 9100);
        QTRY_VERIFY_WITH_TIMEOUT(!t.w.Panel1->LabPortNotice->isHidden(), 20000);
        QCOMPARE(t.w.Panel1->LabPortNotice->text(),
                 "Zeitzettel können nicht gedruckt werden: Drucker „" + Queue() +
                     "“ nimmt keine Aufträge an");
        t.Heat(50000, 9200, 9300);
        QCOMPARE(t.w.Slips->Slips->Waiting(), 4);
        QCOMPARE(told.size(), 1);

        QVERIFY(Cups("cupsaccept"));
        QTRY_VERIFY_WITH_TIMEOUT(t.w.Panel1->LabPortNotice->isHidden(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(PrintedCount(4), 120000);
        QCOMPARE(told.size(), 2);
    }

    // CUPS's answers for a queue that does not exist, in the operator's words.
    void aQueueThatIsGoneIsNamed() {
        QTemporaryDir dir;
        const QString file = dir.filePath("leer.pdf");
        {
            QPdfWriter writer(file);
            QPainter(&writer).drawText(QPointF(100, 100), "leer");
        }
        QCOMPARE(SystemPrintSubmit({"GibtEsNicht", file, "Zeitzettel", "A6"}),
                 "Drucker „GibtEsNicht“ nicht gefunden");
    }

    void cleanupTestCase() {
        if (!Queue().isEmpty()) {
            Cups("cupsenable");
            Cups("cupsaccept");
        }
    }
};
RENNUHR_TEST(PrintSlipsTest);

#include "print_slips.moc"
