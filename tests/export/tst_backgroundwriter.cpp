#include "TestMain.h"

#include "export/BackgroundWriter.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

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
};
RENNUHR_TEST(BackgroundWriterTest);

#include "tst_backgroundwriter.moc"
