#include "TestMain.h"

#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

namespace {

const QStringList kReadOrder = {"Left",      "Top",      "Width",     "Height",    "Sound",
                                "Port",      "Alg",      "WaitStart", "FilterInd", "Length",
                                "Monitor",   "Title",    "Klass",     "KlassSort", "LengthS",
                                "LengthC",   "LengthF",  "ColSpeed0", "ColSpeed1", "ColSpeed2",
                                "ColSpeed3", "ManyStart"};
// Every value stored, none at its default, in read order.
const QStringList kFullStore = {
    "100",          "50", "900", "600", "0",    "3",    "1", "1500", "2", "201", "1",
    "Sommerrennen", "1",  "0",   "5",   "1000", "1900", "0", "0",    "0", "0",   "1"};
const QList<QRect> kTwoScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

// Each value by name, as the store keeps it: booleans as 0/1.
QMap<QString, QString> AsStored(const TRaceSettings& s, const TWindowBounds& b) {
    const QVariantList values = {b.Left,      b.Top,      b.Width,     b.Height,    s.Sound,
                                 s.Port,      s.Alg,      s.WaitStart, s.FilterInd, s.Length,
                                 s.Monitor,   s.Title,    s.Klass,     s.KlassSort, s.LengthS,
                                 s.LengthC,   s.LengthF,  s.ColSpeed0, s.ColSpeed1, s.ColSpeed2,
                                 s.ColSpeed3, s.ManyStart};
    QMap<QString, QString> stored;
    for (int i = 0; i < kReadOrder.size(); ++i)
        stored[kReadOrder[i]] = values[i].typeId() == QMetaType::Bool
                                    ? QString(values[i].toBool() ? "1" : "0")
                                    : values[i].toString();
    return stored;
}

// The full store with some values changed; a null text leaves the value out. Each file has
// a name of its own: QSettings keeps what it has read of a file for the whole process.
QString WriteStore(const QTemporaryDir& dir, const QMap<QString, QString>& changes = {},
                   const QByteArray& extra = {}) {
    static int count = 0;
    const QString path = dir.filePath(QString("store%1.conf").arg(++count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write("[General]\n");
    for (int i = 0; i < kReadOrder.size(); ++i) {
        const QString value = changes.value(kReadOrder[i], kFullStore[i]);
        if (!value.isNull()) file.write((kReadOrder[i] + '=' + value + '\n').toUtf8());
    }
    file.write(extra);
    return path;
}

struct Loaded {
    TRaceSettings settings;
    TWindowBounds bounds;
};

Loaded Load(const QString& path, const QList<QRect>& screens = kTwoScreens) {
    Loaded loaded;
    QSettings store(path, QSettings::IniFormat);
    LoadSettings(store, loaded.settings, loaded.bounds, screens);
    return loaded;
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunKeepsEveryDefaultAndCreatesNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Rennuhr.conf");
        const Loaded loaded = Load(path);
        QCOMPARE(AsStored(loaded.settings, loaded.bounds),
                 AsStored(TRaceSettings(), TWindowBounds()));
        QCOMPARE(QSize(loaded.bounds.Width, loaded.bounds.Height), QSize(800, 572));
        QCOMPARE(loaded.settings.Title, QString("* * *"));
        QVERIFY(!loaded.bounds.HasPosition);
        QVERIFY(!QFile::exists(path));
    }

    // Everything before the first missing or non-integer value is applied, everything from
    // it on keeps its default.
    void readingStopsAtTheFirstBadValue_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text"); // null: the value is missing
        QTest::newRow("nothing wrong") << ""
                                       << "";
        QTest::newRow("FilterInd missing") << "FilterInd" << QString();
        QTest::newRow("Left missing") << "Left" << QString();
        QTest::newRow("ManyStart missing") << "ManyStart" << QString();
        QTest::newRow("Alg not a number") << "Alg"
                                          << "abc";
        QTest::newRow("Width with a fraction") << "Width"
                                               << "900.5";
        QTest::newRow("Sound as a word") << "Sound"
                                         << "true";
        QTest::newRow("Port empty") << "Port"
                                    << "";
        QTest::newRow("LengthC beyond 32 bits") << "LengthC"
                                                << "99999999999";
    }
    void readingStopsAtTheFirstBadValue() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const Loaded loaded = Load(WriteStore(dir, {{key, text}}));
        const auto actual = AsStored(loaded.settings, loaded.bounds);
        const auto defaults = AsStored(TRaceSettings(), TWindowBounds());
        const qsizetype stop = key.isEmpty() ? kReadOrder.size() : kReadOrder.indexOf(key);
        for (qsizetype i = 0; i < kReadOrder.size(); ++i) {
            const QString& name = kReadOrder[i];
            QCOMPARE(name + '=' + actual[name],
                     name + '=' + (i < stop ? kFullStore[i] : defaults[name]));
        }
    }

    void valueRules_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("screens");
        QTest::addColumn<QString>("expected");
        QTest::newRow("WaitStart 0 keeps 3000") << "WaitStart"
                                                << "0" << 2 << "3000";
        QTest::newRow("WaitStart negative keeps 3000") << "WaitStart"
                                                       << "-5" << 2 << "3000";
        QTest::newRow("Port 257 is port 1") << "Port"
                                            << "257" << 2 << "1";
        QTest::newRow("unsigned double word") << "LengthS"
                                              << "4294967295" << 2 << "-1";
        QTest::newRow("Width at least 792") << "Width"
                                            << "100" << 2 << "792";
        QTest::newRow("Height at least 488") << "Height"
                                             << "-1" << 2 << "488";
        QTest::newRow("Monitor 2 of two screens") << "Monitor"
                                                  << "2" << 2 << "0";
        QTest::newRow("Monitor 1 of one screen") << "Monitor"
                                                 << "1" << 1 << "0";
        QTest::newRow("Monitor negative") << "Monitor"
                                          << "-1" << 2 << "0";
        QTest::newRow("any non-zero is true") << "Klass"
                                              << "-7" << 2 << "1";
        QTest::newRow("Title missing reads empty") << "Title" << QString() << 2 << "";
        QTest::newRow("Title with a comma") << "Title"
                                            << "Lauf 1, Lauf 2" << 2 << "Lauf 1, Lauf 2";
    }
    void valueRules() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, screens);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const Loaded loaded = Load(WriteStore(dir, {{key, text}}), kTwoScreens.mid(0, screens));
        QCOMPARE(AsStored(loaded.settings, loaded.bounds)[key], expected);
        QVERIFY(loaded.settings.ManyStart); // the rule did not end the reading
    }

    void positionOffEveryScreenIsIgnored_data() {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top"); // null: missing
        QTest::addColumn<int>("screens");
        QTest::addColumn<bool>("kept");
        QTest::newRow("second screen") << "2500"
                                       << "100" << 2 << true;
        QTest::newRow("second screen unplugged") << "2500"
                                                 << "100" << 1 << false;
        QTest::newRow("left of all screens") << "-2000"
                                             << "0" << 2 << false;
        QTest::newRow("maximized frame just outside") << "-8"
                                                      << "-8" << 2 << true;
        QTest::newRow("caption above the screen") << "100"
                                                  << "-20" << 2 << false;
        QTest::newRow("only a sliver visible") << "3180"
                                               << "100" << 2 << false;
        QTest::newRow("far out, no overflow")
            << QString::number(INT_MAX) << QString::number(INT_MAX) << 2 << false;
        QTest::newRow("left without top") << "100" << QString() << 2 << false;
    }
    void positionOffEveryScreenIsIgnored() {
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(int, screens);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const Loaded loaded =
            Load(WriteStore(dir, {{"Left", left}, {"Top", top}}), kTwoScreens.mid(0, screens));
        QCOMPARE(loaded.bounds.HasPosition, kept);
        QCOMPARE(loaded.bounds.Width, top.isNull() ? 800 : 900); // only the position is dropped
    }

    void saveThenLoadRoundTripsAllValues() {
        QTemporaryDir dir;
        const TRaceSettings saved = {.Port = 7,
                                     .Alg = 1,
                                     .Sound = false,
                                     .WaitStart = 2500,
                                     .FilterInd = 3,
                                     .Length = 201,
                                     .Monitor = 1,
                                     .Title = "  Großer Preis, \"Finale\" = 1 ",
                                     .Klass = true,
                                     .KlassSort = false,
                                     .LengthS = 12,
                                     .LengthC = 1005,
                                     .LengthF = 1800,
                                     .ColSpeed0 = false,
                                     .ColSpeed1 = true,
                                     .ColSpeed2 = false,
                                     .ColSpeed3 = false,
                                     .ManyStart = true,
                                     .MinTime = 2500,
                                     .LiveResults = true,
                                     .LivePort = 9000,
                                     .SlipPrint = true,
                                     .SlipPrinter = "Bon 80 mm",
                                     .SlipPaper = TSlipPaper::A6};
        const TWindowBounds bounds{2000, 40, 1024, 700, true};
        const QString path = dir.filePath("Rennuhr.conf");
        {
            QSettings store(path, QSettings::IniFormat);
            QCOMPARE(SaveSettings(store, saved, bounds), std::nullopt);
        }
        // A copy is parsed afresh from the file, not served from the process's cache.
        const QString copy = dir.filePath("copy.conf");
        QVERIFY(QFile::copy(path, copy));
        QCOMPARE(QSettings(copy, QSettings::IniFormat).allKeys().size(), 28);
        const Loaded loaded = Load(copy);
        QCOMPARE(AsStored(loaded.settings, loaded.bounds), AsStored(saved, bounds));
        QCOMPARE(loaded.settings.MinTime, 2500);
        QVERIFY(loaded.bounds.HasPosition);
        QVERIFY(loaded.settings.LiveResults);
        QCOMPARE(loaded.settings.LivePort, 9000);
        QVERIFY(loaded.settings.SlipPrint);
        QCOMPARE(loaded.settings.SlipPrinter, "Bon 80 mm");
        QCOMPARE(loaded.settings.SlipPaper, TSlipPaper::A6);
    }

    // Stores from before the results page have neither value; a bad one keeps its default
    // without touching the other, and a stop early in the fixed order does not reach them.
    void liveValuesAreReadOnTheirOwn() {
        QTemporaryDir dir;
        const Loaded older = Load(WriteStore(dir));
        QVERIFY(!older.settings.LiveResults);
        QCOMPARE(older.settings.LivePort, 8080);
        for (const char* port : {"0", "65536", "-1", "abc"}) {
            const Loaded bad =
                Load(WriteStore(dir, {}, QByteArray("LiveResults=1\nLivePort=") + port + '\n'));
            QVERIFY(bad.settings.LiveResults);
            QCOMPARE(bad.settings.LivePort, 8080);
        }
        const Loaded stopped =
            Load(WriteStore(dir, {{"Left", QString()}}, "LiveResults=1\nLivePort=9001\n"));
        QCOMPARE(stopped.bounds.Width, 800); // the fixed order stopped at its first value
        QVERIFY(stopped.settings.LiveResults);
        QCOMPARE(stopped.settings.LivePort, 9001);
    }

    // Older stores print no slips; a paper out of range keeps the 80 mm roll.
    void slipValuesAreReadOnTheirOwn() {
        QTemporaryDir dir;
        const Loaded older = Load(WriteStore(dir));
        QVERIFY(!older.settings.SlipPrint);
        QCOMPARE(older.settings.SlipPrinter, QString());
        QCOMPARE(older.settings.SlipPaper, TSlipPaper::Roll80);
        for (const char* paper : {"3", "-1", "A6"}) {
            const Loaded bad = Load(WriteStore(
                dir, {}, QByteArray("SlipPrint=1\nSlipPrinter=Bon\nSlipPaper=") + paper + '\n'));
            QVERIFY(bad.settings.SlipPrint);
            QCOMPARE(bad.settings.SlipPrinter, "Bon");
            QCOMPARE(bad.settings.SlipPaper, TSlipPaper::Roll80);
        }
        const Loaded stopped =
            Load(WriteStore(dir, {{"Port", QString()}}, "SlipPrint=1\nSlipPaper=0\n"));
        QCOMPARE(stopped.settings.Alg, TRaceSettings().Alg); // the fixed order stopped early
        QVERIFY(stopped.settings.SlipPrint);
        QCOMPARE(stopped.settings.SlipPaper, TSlipPaper::Roll58);
    }

    void theMinimumTimeIsReadOnItsOwn() {
        QTemporaryDir dir;
        // A store of an earlier version has none: the default stays.
        QCOMPARE(Load(WriteStore(dir)).settings.MinTime, 1000);
        // The reading of the original values stopped early; the minimum time is still read.
        const Loaded stopped = Load(WriteStore(dir, {{"FilterInd", QString()}}, "MinTime=1500\n"));
        QCOMPARE(stopped.settings.MinTime, 1500);
        QCOMPARE(stopped.settings.LengthF, 3920);
        QCOMPARE(Load(WriteStore(dir, {}, "MinTime=-5\n")).settings.MinTime, 1000);
        QCOMPARE(Load(WriteStore(dir, {}, "MinTime=viel\n")).settings.MinTime, 1000);
    }

    void writeFailureNamesTheFirstValueNotWritten() {
        QTemporaryDir dir;
        // A file where the folder should be: nobody, root included, can write below it.
        QFile blocker(dir.filePath("Tempiqo"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QSettings store(dir.filePath("Tempiqo/Rennuhr.conf"), QSettings::IniFormat);
        QCOMPARE(SaveSettings(store, TRaceSettings(), TWindowBounds()),
                 std::optional<QString>("Failed to set data for 'Left'"));
    }

    void damagedStoreIsRewrittenNotReportedAsFailure() {
        QTemporaryDir dir;
        const QString path = WriteStore(dir, {}, "\x01\x02[[garbage\n=\n");
        TRaceSettings settings;
        settings.Port = 4;
        {
            QSettings store(path, QSettings::IniFormat);
            QCOMPARE(SaveSettings(store, settings, TWindowBounds()), std::nullopt);
        }
        const QString copy = dir.filePath("damaged-copy.conf");
        QVERIFY(QFile::copy(path, copy));
        QCOMPARE(Load(copy).settings.Port, 4);
    }
};

RENNUHR_TEST(SettingsStoreTest);
#include "tst_settingsstore.moc"
