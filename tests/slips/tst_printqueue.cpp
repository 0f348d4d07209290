// The print queue's thread, its order, its retries and what it tells; and the slips a heat
// queues, through the real sequence and results.
#include "TestMain.h"

#include "PdfTools.h"
#include "Submissions.h"
#include "live/LiveAddress.h"
#include "results/Recorded.h"
#include "slips/PrintQueue.h"
#include "slips/TimeSlips.h"

#include <QLocalServer>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <future>

namespace {

TPrintJob Job(const QString& title) {
    return {"Bon", title, QPageLayout(QPageSize(QPageSize::A6), QPageLayout::Portrait, {}),
            [title](QPagedPaintDevice&, QPainter& painter) {
                painter.setFont(QFont("Arial", 20));
                painter.drawText(QPointF(200, 400), title);
            }};
}

} // namespace

class PrintQueueTest : public QObject {
    Q_OBJECT
private slots:
    void printsInOrderOnAThreadOfItsOwn() {
        Submissions printed;
        TPrintQueue queue;
        QSignalSpy done(&queue, &TPrintQueue::Printed);
        for (const char* title : {"eins", "zwei", "drei"})
            queue.Add(Job(title));
        QTRY_COMPARE(done.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const Submissions::Job job = printed.At(i);
            QCOMPARE(done[i][0].toString(), QStringList({"eins", "zwei", "drei"})[i]);
            QCOMPARE(job.submission.title, done[i][0].toString());
            QCOMPARE(job.submission.printer, "Bon");
            QCOMPARE(job.submission.media, "A6");
            QVERIFY(job.thread != QThread::currentThread());
            QCOMPARE(pdf::Text(job.copy), job.submission.title);
        }
        QCOMPARE(queue.Waiting(), 0);
        QCOMPARE(queue.Failure(), QString());
    }

    void addingNeverWaitsForThePrinter() {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> calls = 0;
        SetPrintSubmitCall([&](const TPrintSubmission&) {
            ++calls;
            released.wait(); // a print server that does not answer
            return QString();
        });
        TPrintQueue queue;
        QSignalSpy done(&queue, &TPrintQueue::Printed);
        queue.Add(Job("eins"));
        QTRY_COMPARE(calls.load(), 1);
        queue.Add(Job("zwei"));
        QCOMPARE(queue.Waiting(), 2);
        QVERIFY(done.isEmpty());
        release.set_value();
        QTRY_COMPARE(done.size(), 2);
        SetPrintSubmitCall({});
    }

    void aFailureIsToldOnceAndTheJobsWait() {
        Submissions printed;
        printed.Fail("Drucker „Bon“ nimmt keine Aufträge an");
        TPrintQueue queue;
        queue.SetRetryInterval(5);
        QSignalSpy told(&queue, &TPrintQueue::FailureChanged);
        QSignalSpy done(&queue, &TPrintQueue::Printed);
        queue.Add(Job("eins"));
        queue.Add(Job("zwei"));
        QTRY_VERIFY(printed.Attempts() >= 5); // tried again and again
        QCOMPARE(told.size(), 1);
        QCOMPARE(queue.Failure(), "Drucker „Bon“ nimmt keine Aufträge an");
        QCOMPARE(queue.Waiting(), 2);
        // Another reason is told over.
        printed.Fail("der Druckdienst (CUPS) ist nicht erreichbar");
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(queue.Failure(), "der Druckdienst (CUPS) ist nicht erreichbar");

        printed.Fail({});
        QTRY_COMPARE(done.size(), 2);
        QCOMPARE(done[0][0].toString(), "eins");
        QCOMPARE(done[1][0].toString(), "zwei");
        QCOMPARE(told.size(), 3);
        QCOMPARE(queue.Failure(), QString());
        QCOMPARE(printed.Count(), 2);
    }

    void aNewJobTriesAgainAtOnce() {
        Submissions printed;
        printed.Fail("Drucker „Bon“ nicht gefunden");
        TPrintQueue queue;
        queue.SetRetryInterval(3600 * 1000);
        QSignalSpy done(&queue, &TPrintQueue::Printed);
        queue.Add(Job("eins"));
        QTRY_COMPARE(queue.Failure(), "Drucker „Bon“ nicht gefunden");
        printed.Fail({});
        queue.Add(Job("zwei"));
        QTRY_COMPARE(done.size(), 2);
        QCOMPARE(done[0][0].toString(), "eins");
    }

    // At the end the printer is not waited for once more when it failed.
    void closingGivesUpOnAFailingPrinterAndCountsTheLost() {
        Submissions printed;
        printed.Fail("Drucker „Bon“ nicht gefunden");
        auto* queue = new TPrintQueue;
        queue->SetRetryInterval(3600 * 1000);
        queue->Add(Job("eins"));
        queue->Add(Job("zwei"));
        QTRY_VERIFY(!queue->Failure().isEmpty());
        const int before = printed.Attempts();
        QCOMPARE(queue->Close(), 2);
        QCOMPARE(printed.Attempts(), before);
        delete queue;
    }

    void closingPrintsWhatWaitsOnAWorkingPrinter() {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> calls = 0;
        SetPrintSubmitCall([&](const TPrintSubmission&) {
            released.wait();
            ++calls;
            return QString();
        });
        TPrintQueue queue;
        for (const char* title : {"eins", "zwei", "drei"})
            queue.Add(Job(title));
        std::future<int> lost = std::async(std::launch::async, [&] { return queue.Close(); });
        release.set_value();
        QCOMPARE(lost.get(), 0);
        QCOMPARE(calls.load(), 3);
        SetPrintSubmitCall({});
    }

    void aPrintServerThatIsNotRunningIsAFailure() {
        // The system's own hand-over, to a server socket nobody listens on.
        QTemporaryDir dir;
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", (dir.path() + "/cups.sock").toUtf8());
        TPrintQueue queue;
        queue.SetRetryInterval(3600 * 1000);
        queue.Add(Job("eins"));
        QTRY_COMPARE(queue.Failure(), "der Druckdienst (CUPS) ist nicht erreichbar");
        QCOMPARE(queue.Waiting(), 1);
        queue.Close();
        server.isNull() ? qunsetenv("CUPS_SERVER") : qputenv("CUPS_SERVER", server);
    }

    // A server that takes the connection and never answers: the job waits, the failure is
    // told, and the thread is free again.
    void aPrintServerThatNeverAnswersIsAFailure() {
        QTemporaryDir dir;
        QLocalServer mute;
        QVERIFY(mute.listen(dir.filePath("cups.sock")));
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", mute.fullServerName().toUtf8());
        SetPrintAnswerTimeout(50);
        TPrintQueue queue;
        queue.SetRetryInterval(3600 * 1000);
        queue.Add(Job("eins"));
        QTRY_COMPARE(queue.Failure(), "der Druckdienst (CUPS) antwortet nicht");
        QCOMPARE(queue.Waiting(), 1);
        QCOMPARE(queue.Close(), 1);
        SetPrintAnswerTimeout(0);
        server.isNull() ? qunsetenv("CUPS_SERVER") : qputenv("CUPS_SERVER", server);
    }
};
RENNUHR_TEST(PrintQueueTest);

class TimeSlipsTest : public QObject {
    Q_OBJECT
    struct Track : RecordedHeat {
        Submissions printed;
        TTimeSlips slips{race, sequence, db, protocol.model};
        Track() {
            Open();
            Participants(4);
            race.settings.Title = "Sommerrennen";
            race.settings.SlipPrint = true;
            race.settings.SlipPrinter = "Bon";
            race.settings.SlipPaper = TSlipPaper::Roll58;
            slips.SetAddressSource([] { return QString("http://192.0.2.7:8080/"); });
        }
        // Slips handed over or waiting: queueing happens on the caller's thread, so this
        // counts every slip queued so far without waiting (one in the hand-over counts twice).
        int Queued() const { return printed.Count() + slips.Slips->Waiting(); }
    };

private slots:
    void eachRacerGetsASlipWhenTheHeatEnds() {
        Track t;
        t.Run(12345, 12468);
        QTRY_COMPARE(t.printed.Count(), 2);
        const Submissions::Job first = t.printed.At(0), second = t.printed.At(1);
        QCOMPARE(first.submission.title, "Zeitzettel Lauf 1 Bahn 1 St.Nr. 1");
        QCOMPARE(second.submission.title, "Zeitzettel Lauf 1 Bahn 2 St.Nr. 2");
        QCOMPARE(first.submission.printer, "Bon");
        QVERIFY(first.submission.media.startsWith("Custom.58x"));
        // The run as recorded, set against the other lane's; the layout has tests of its own.
        const QString one = pdf::Text(first.copy);
        for (const QString expected : {"Sommerrennen", "Vorname1 Fahrer1", "Zeit 12,345 s Sieg",
                                       "+0,123 s", "St.Nr. 2", "12,468 s"})
            QVERIFY2(one.contains(expected), qPrintable(expected + " in: " + one));
        QVERIFY(pdf::Text(second.copy).contains("Zeit 12,468 s Niederlage"));
        QCOMPARE(pdf::QrCodes(first.copy), QStringList{"http://192.0.2.7:8080/fahrer/1"});
        // The reset that follows queues nothing more.
        t.Key(t.sequence.mReset);
        QCOMPARE(t.Queued(), 2);
    }

    void noSlipsWhileSwitchedOff() {
        Track t;
        t.race.settings.SlipPrint = false;
        t.Run(12345, 12468);
        // Switched on afterwards: the heat that is over stays unprinted.
        t.race.settings.SlipPrint = true;
        t.Key(t.sequence.mReset);
        QCOMPARE(t.Queued(), 0);
        t.Run(11000, 11500);
        QTRY_COMPARE(t.printed.Count(), 2);
        QCOMPARE(t.printed.At(0).submission.title, "Zeitzettel Lauf 2 Bahn 1 St.Nr. 3");
    }

    void aRacerAloneGetsTheSlipAtTheReset() {
        Track t;
        t.Start();
        t.At(9000);
        t.Key(t.sequence.mStop1);
        QCOMPARE(t.Queued(), 0);
        t.Key(t.sequence.mReset);
        QTRY_COMPARE(t.printed.Count(), 1);
        const QString text = pdf::Text(t.printed.At(0).copy);
        QVERIFY(text.contains("9,000 s"));
        QVERIFY(!text.contains("Gegner"));
    }

    void theRoundAndAReprint() {
        Track t;
        t.slips.SetRoundSource([](const TRun& run) { return QString("Runde %1").arg(run.heat); });
        t.race.settings.SlipPrint = false;
        t.Run(12345, 12468);
        t.race.settings.SlipPaper = TSlipPaper::A6;
        t.slips.PrintSlip(*t.db.HeatRun(2), t.db.Runs());
        QTRY_COMPARE(t.printed.Count(), 1);
        QCOMPARE(t.printed.At(0).submission.media, "A6");
        QVERIFY(pdf::Text(t.printed.At(0).copy).contains("Lauf 1 · Runde 1"));
    }

    // Without a source of its own the code is the results page's, and only while it is on.
    void theCodeLeadsToTheResultsPageOnlyWhileItIsOn() {
        Track t;
        t.slips.SetAddressSource({});
        t.race.settings.LivePort = 8123;
        t.Run(12345, 12468);
        QTRY_COMPARE(t.printed.Count(), 2);
        QVERIFY(pdf::QrCodes(t.printed.At(0).copy).isEmpty());
        QVERIFY(!pdf::Text(t.printed.At(0).copy).contains("fahrer"));

        t.race.settings.LiveResults = true;
        const QString page = LiveAddress(8123);
        t.Run(11000, 11500);
        QTRY_COMPARE(t.printed.Count(), 4);
        const QStringList expected =
            page.contains("localhost") ? QStringList() : QStringList{page + "fahrer/3"};
        QCOMPARE(pdf::QrCodes(t.printed.At(2).copy), expected);
    }

    void theStartListGoesToTheDefaultPrinter() {
        Track t;
        QSignalSpy notice(&t.slips, &TTimeSlips::NoticeChanged);
        t.printed.Fail("kein Standarddrucker eingerichtet");
        t.slips.PrintStartList();
        QTRY_COMPARE(notice.size(), 1);
        QCOMPARE(t.slips.Notice(),
                 "Die Startliste kann nicht gedruckt werden: kein Standarddrucker eingerichtet");
        t.printed.Fail({});
        t.slips.Lists->RetryNow();
        QTRY_COMPARE(t.printed.Count(), 1);
        QTRY_COMPARE(t.slips.Notice(), QString());
        const Submissions::Job job = t.printed.At(0);
        QCOMPARE(job.submission.printer, QString());
        QCOMPARE(job.submission.media, "A4");
        QVERIFY(pdf::Text(job.copy).contains("St.Nr. Name Vorname"));
        QCOMPARE(pdf::QrCodes(job.copy).size(), 4);
    }
};
RENNUHR_TEST(TimeSlipsTest);

#include "tst_printqueue.moc"
