// Reading a journal file: junk of every kind is skipped and counted, what is kept stays within
// its limits, and a read on the loader's thread can be stopped at any time.
#include "JournalSample.h"
#include "TestMain.h"

#include "export/JournalReader.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace journal_sample;

namespace {

bool Write(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Heats(const TJournalDay& day) {
    QStringList heats;
    for (const TJournalItem& item : day.items)
        if (item.isHeat) heats << item.heat.startNumbers[1] + '/' + item.heat.startNumbers[2];
    return heats;
}

// A start contact that chatters through heat n: edges every millisecond after the START.
QByteArray ChatteringHeat(int n, int edges) {
    QByteArray heat = Heat(n);
    const qsizetype afterStart = heat.indexOf('\n', heat.indexOf("\tSTART\t")) + 1;
    QByteArray chatter;
    const qint64 at = 1000 + qint64(n) * 2000;
    for (int i = 1; i <= edges; ++i)
        chatter += Line(at + i % 800, "Leitung", "CTS", {}, {}, i % 2 ? "0" : "1", "0");
    return heat.insert(afterStart, chatter);
}

} // namespace

class JournalReaderTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString File(const QString& name) const { return dir_.filePath(name); }

private slots:
    void junkLinesAreSkippedCountedAndTheRestIsRead() {
        QByteArray longLine = Line(5000, "Befehl", "LADEN", "Menü");
        longLine.insert(longLine.size() - 1, QByteArray(kMaxJournalLineBytes, 'x'));
        QByteArray binary(300, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char(i * 37);
        binary.replace('\n', "\x01");
        const QByteArray bytes = TJournal::HeaderLine() + Heat(1) + longLine + binary + '\n' +
                                 "\n" + "only\ta\tfew\tfields\n" + Heat(2) +
                                 // one enormous line the file ends in
                                 QByteArray(20 * 1024 * 1024, 'y');
        QVERIFY(Write(File("junk.txt"), bytes));

        const TJournalDay day = ReadJournalDay(File("junk.txt"));
        QVERIFY(day.ok);
        QCOMPARE(day.skipped, 5); // long, binary, empty, too few fields, enormous
        QCOMPARE(Heats(day), (QStringList{"1/2", "3/4"}));
        QCOMPARE(day.items[0].heat.events.size(), 10);
        QCOMPARE(day.items[1].heat.events.size(), 10);
        QCOMPARE(day.items[1].heat.results.size(), 2);
        QCOMPARE(day.items[1].heat.results[1][JfFinalTime], QString("9,250"));
        QVERIFY(day.keptBytes < 20 * 1024);

        const TJournalRead read = ReadJournal(File("junk.txt"));
        QVERIFY(read.ok);
        QCOMPARE(read.lines.size(), 20);
        QCOMPARE(read.skipped, 5);
        QCOMPARE(read.lines[19][JfName], QString("ZURÜCKSETZEN"));
    }

    void filesThatAreNoJournalAreSaidToBeSo() {
        // Without a single line end, and with a header of a few megabytes.
        QVERIFY(Write(File("noend.txt"), QByteArray(8 * 1024 * 1024, 'z')));
        QVERIFY(Write(File("bighead.txt"), QByteArray(3 * 1024 * 1024, 'z') + '\n' + Heat(1)));
        QVERIFY(Write(File("empty.txt"), {}));
        for (const QString name : {"noend.txt", "bighead.txt", "empty.txt"}) {
            const TJournalDay day = ReadJournalDay(File(name));
            QVERIFY(!day.ok);
            QCOMPARE(day.message, "Die Datei ist kein Rennjournal: " + File(name));
            QVERIFY(day.items.isEmpty());
        }
        const TJournalDay missing = ReadJournalDay(File("missing.txt"));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.message,
                 "Das Rennjournal kann nicht gelesen werden: " + File("missing.txt"));
    }

    void randomBytesKeepNothing() {
        QVERIFY(WriteJunk(File("random.txt"), 16 * 1024 * 1024));
        const TJournalDay day = ReadJournalDay(File("random.txt"));
        QVERIFY(day.ok);
        QVERIFY(day.items.isEmpty());
        QCOMPARE(day.keptBytes, 0);
        QVERIFY(day.skipped > 16 * 1024 * 1024 / 4096);
    }

    void aChatteringLineKeepsItsFirstEdgesPerHeat() {
        // A contact that chatters before the first START keeps nothing but the edge at it.
        QByteArray bytes = TJournal::HeaderLine();
        for (int i = 0; i < 5000; ++i)
            bytes += Line(i, "Leitung", "CTS", {}, {}, i % 2 ? "0" : "1", "0");
        bytes += ChatteringHeat(1, 5000) + Heat(2);
        QVERIFY(Write(File("chatter.txt"), bytes));
        TJournalReadControl control;
        control.limits.lineEventsPerHeat = 100;
        const TJournalDay day = ReadJournalDay(File("chatter.txt"), control);
        QVERIFY(day.ok);
        QCOMPARE(Heats(day), (QStringList{"1/2", "3/4"}));
        const TJournalHeat& heat = day.items[0].heat;
        // The edge at START, 5000 of the chatter, the one after: 100 kept of 5002.
        QCOMPARE(heat.lineEventsLeftOut, 4902);
        int edges = 0;
        QStringList rest;
        for (const TJournalLine& line : heat.events) {
            if (line[JfName] == "CTS")
                ++edges;
            else
                rest << line[JfKind] + ' ' + line[JfName];
        }
        QCOMPARE(edges, 100);
        // The lanes' edges, the stops and the results are all there.
        QCOMPARE(rest,
                 (QStringList{"Befehl START", "Leitung DCD", "Befehl STOPP", "Ergebnis ",
                              "Leitung DSR", "Befehl STOPP", "Ergebnis ", "Befehl ZURÜCKSETZEN"}));
        // The edge that started the next heat is its own, though its line had chattered.
        const TJournalHeat& next = day.items[1].heat;
        QCOMPARE(next.lineEventsLeftOut, 0);
        QCOMPARE(next.events.size(), 10);
        QCOMPARE(next.events[0][JfName], QString("CTS"));
    }

    void aDayBeyondWhatIsKeptIsCutAndSaysWhere() {
        const Day written = WriteDay(File("long.txt"), 20000);
        TJournalReadControl control;
        control.limits.keptBytes = 256 * 1024;
        const TJournalDay day = ReadJournalDay(File("long.txt"), control);
        QVERIFY(day.ok);
        QVERIFY(day.keptBytes <= control.limits.keptBytes);
        QVERIFY(day.keptBytes > control.limits.keptBytes - 4 * kMaxJournalLineBytes);
        const qsizetype heats = Heats(day).size();
        QVERIFY(heats > 10 && heats < written.heats);
        const TJournalHeat& last = day.items.last().heat;
        QCOMPARE(day.cutAfter, last.events.last()[JfTime]);

        // Unlimited, every heat is there.
        QCOMPARE(Heats(ReadJournalDay(File("long.txt"))).size(), written.heats);
    }

    void aReadReportsProgressAndStopsWhenAsked() {
        WriteDay(File("progress.txt"), 40000); // about 5 MB
        QList<int> percents;
        TJournalReadControl control;
        control.progress = [&](int percent) { percents << percent; };
        QVERIFY(ReadJournalDay(File("progress.txt"), control).ok);
        QVERIFY(percents.size() > 10);
        QCOMPARE(percents.last(), 100);
        for (qsizetype i = 1; i < percents.size(); ++i)
            QVERIFY(percents[i] > percents[i - 1]);

        percents.clear();
        control.stopped = [&] { return percents.size() >= 3; };
        const TJournalDay stopped = ReadJournalDay(File("progress.txt"), control);
        QVERIFY(stopped.cancelled);
        QCOMPARE(percents.size(), 3);
        QVERIFY(percents.last() < 100);
    }

    void theLoaderReportsOnlyTheLoadStillWanted() {
        const Day big = WriteDay(File("big.txt"), 100000);
        QVERIFY(Write(File("small.txt"), TJournal::HeaderLine() + Heat(1) + Heat(2)));
        {
            TJournalLoader loader;
            QSignalSpy loaded(&loader, &TJournalLoader::Loaded);
            loader.Load(File("big.txt"));
            QVERIFY(loader.Loading());
            loader.Load(File("small.txt")); // another day chosen meanwhile
            QVERIFY(loaded.wait(30000));
            QVERIFY(!loader.Loading());
            QCOMPARE(Heats(loaded[0][0].value<TJournalDay>()), (QStringList{"1/2", "3/4"}));

            loader.Load(File("big.txt"));
            QVERIFY(loaded.wait(30000));
            QCOMPARE(loaded.size(), 2);
            QCOMPARE(Heats(loaded[1][0].value<TJournalDay>()).size(), big.heats);

            loader.Load(File("big.txt"));
            loader.Cancel();
            QVERIFY(!loader.Loading());
            // Given up mid-read: the loader goes with the read under way.
            loader.Load(File("big.txt"));
        }
        QCoreApplication::processEvents(); // what the read had posted is gone with the loader
    }
};
RENNUHR_TEST(JournalReaderTest);

#include "tst_journalreader.moc"
