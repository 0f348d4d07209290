#include "TestMain.h"

#include "export/BackgroundWriter.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>

class BackgroundWriterTest : public QObject {
    Q_OBJECT
private slots:
    void writesInOrderOneAtATimeAndTheNewestBytesWin() {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false;
        QStringList written;
        int inside = 0, mostInside = 0;
        bool offThread = true;
        TBackgroundWriter writer;
        writer.SetSink([&](const QString& file, const QByteArray& bytes) {
            std::unique_lock lock(mutex);
            if (QThread::currentThread() == qApp->thread()) offThread = false;
            mostInside = std::max(mostInside, ++inside);
            released.wait(lock, [&] { return open; });
            written << file + "=" + QString::fromLatin1(bytes);
            --inside;
            FileWriteResult result;
            result.ok = file != "b";
            return result;
        });
        QSignalSpy reported(&writer, &TBackgroundWriter::Written);
        writer.Submit("a", "1"); // taken at once, held by the disk
        QTRY_VERIFY([&] {
            std::lock_guard lock(mutex);
            return inside == 1;
        }());
        writer.Submit("b", "1");
        writer.Submit("a", "2"); // "a" is being written: this one comes after it
        writer.Submit("b", "2"); // "b" has not begun: its bytes are replaced
        writer.Submit("a", "3");
        QVERIFY(writer.Busy());
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        released.notify_all();
        writer.Drain();
        QVERIFY(!writer.Busy());
        QCOMPARE(written, (QStringList{"a=1", "b=2", "a=3"}));
        QCOMPARE(mostInside, 1);
        QVERIFY(offThread);
        // Reported on this thread, once per file written, with its result.
        QCOMPARE(reported.count(), 3);
        QCOMPARE(reported[1][0].toString(), QString("b"));
        QVERIFY(!reported[1][1].value<FileWriteResult>().ok);
        QVERIFY(reported[2][1].value<FileWriteResult>().ok);
    }

    void appendsJoinInOrderAndWhatFailedIsWrittenFirstLater() {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false, failing = true;
        int entered = 0;
        QStringList written;
        TBackgroundWriter writer;
        writer.SetAppendSink([&](const QString& file, const QByteArray& bytes,
                                 const QByteArray& header, bool sync, qsizetype& done) {
            std::unique_lock lock(mutex);
            ++entered;
            released.wait(lock, [&] { return open; });
            written << file + "=" + QString::fromLatin1(header + "|" + bytes) + (sync ? "!" : "");
            FileWriteResult result;
            result.ok = !failing;
            // A disk that fills up halfway: the first byte got there.
            done = failing ? std::min<qsizetype>(bytes.size(), 1) : bytes.size();
            return result;
        });
        writer.SetSink([&](const QString& file, const QByteArray& bytes) {
            std::lock_guard lock(mutex);
            written << file + "=" + QString::fromLatin1(bytes);
            FileWriteResult result;
            result.ok = true;
            return result;
        });
        writer.Append("j", "1", "H", false); // taken at once, held by the disk
        QTRY_VERIFY([&] {
            std::lock_guard lock(mutex);
            return entered == 1;
        }());
        writer.Append("j", "2", "H", false);
        writer.Submit("b", "x"); // a whole file in between keeps its place
        writer.Append("j", "3", "H", true);
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        released.notify_all();
        writer.Drain();
        {
            std::lock_guard lock(mutex);
            failing = false;
        }
        writer.Append("j", "4", "H", false);
        writer.Drain();
        // "2" and "3" waited together; of them only "2" got there, so "3" goes first next time,
        // still to be synced.
        QCOMPARE(written, (QStringList{"j=H|1", "j=H|23!", "b=x", "j=H|34!"}));
    }

    // The disk that was full has room again: the writer tries by itself, without a new heat.
    void whatFailedIsTriedAgainUntilItIsWritten() {
        std::mutex mutex;
        bool full = true;
        QStringList written;
        TBackgroundWriter writer;
        writer.SetSink([&](const QString& file, const QByteArray& bytes) {
            std::lock_guard lock(mutex);
            written << file + "=" + QString::fromLatin1(bytes);
            return FileWriteResult(!full, full ? "voll" : "", full ? "Datenträger voll" : "");
        });
        writer.SetAppendSink([&](const QString& file, const QByteArray& bytes, const QByteArray&,
                                 bool sync, qsizetype& done) {
            std::lock_guard lock(mutex);
            written << file + "+" + QString::fromLatin1(bytes) + (sync ? "!" : "");
            done = full ? 0 : bytes.size();
            return FileWriteResult(!full, {});
        });
        QSignalSpy reported(&writer, &TBackgroundWriter::Written);
        writer.Submit("sicherung", "1");
        writer.Append("journal", "a", "H", true);
        writer.Drain();
        QVERIFY(writer.RetryTimer->isActive());
        QCOMPARE(writer.RetryTimer->interval(), TBackgroundWriter::kRetryIntervalMs);

        // Still full: tried again, still kept.
        writer.RetryFailed();
        writer.Drain();
        QVERIFY(writer.RetryTimer->isActive());
        // Newer bytes take the place of those that failed.
        writer.Submit("sicherung", "2");
        writer.Drain();
        {
            std::lock_guard lock(mutex);
            full = false;
        }
        writer.RetryFailed(); // as the timer does
        writer.Drain();
        QVERIFY(!writer.RetryTimer->isActive());
        QCOMPARE(written, (QStringList{"sicherung=1", "journal+a!", "sicherung=1", "journal+a!",
                                       "sicherung=2", "sicherung=2", "journal+a!"}));
        QVERIFY(reported.last()[1].value<FileWriteResult>().ok);

        // All written: nothing is tried again.
        writer.RetryFailed();
        writer.Drain();
        QCOMPARE(written.size(), 7);
    }
};
RENNUHR_TEST(BackgroundWriterTest);

#include "tst_backgroundwriter.moc"
