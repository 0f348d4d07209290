// What a slip and the start list say, and how they read back from the PDF.
#include "TestMain.h"

#include "PdfTools.h"
#include "slips/Slip.h"
#include "slips/SlipPaint.h"
#include "slips/StartList.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTest>

namespace {

TRun MakeRun(int heat, int lane, const QString& number, qint64 ms) {
    TRun run;
    run.day = QDate(2026, 7, 4);
    run.heat = heat;
    run.lane = lane;
    run.startedAt = QDateTime(run.day, QTime(14, 32, 5));
    run.startNumber = number;
    run.finalMs = ms;
    run.finalTime =
        ms < 0 ? "-" : QString("%1,%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QChar('0'));
    return run;
}

TSlip FullSlip() {
    TSlip s;
    s.title = "Sommerrennen 2026 am Flugplatz";
    s.startedAt = QDateTime(QDate(2026, 7, 4), QTime(14, 32, 5));
    s.heat = 12;
    s.round = "Halbfinale";
    s.lane = 1;
    s.startNumber = "17";
    s.name = "Max Özdemir";
    s.classInfo = "50 ccm";
    s.reaction = "0,512";
    s.intermediate = "5,123";
    s.speed = "123,4";
    s.finalTime = "12,345";
    s.outcome = "Sieg";
    s.opponentNumber = "18";
    s.opponentTime = "12,468";
    s.difference = "+0,123 s";
    s.bestRun = "12,300 s (Lauf 3)";
    s.address = "http://192.0.2.2:8080/fahrer/17";
    return s;
}

QString Render(const QTemporaryDir& dir, const TSlip& slip, TSlipPaper paper) {
    static int rendered = 0;
    const QString file = dir.filePath(QString("slip%1-%2.pdf").arg(int(paper)).arg(++rendered));
    QPdfWriter writer(file);
    writer.setResolution(kPrintResolution);
    writer.setPageLayout(SlipPageLayout(slip, paper));
    QPainter painter(&writer);
    PaintSlip(painter, slip, paper);
    return file;
}

} // namespace

class SlipContentTest : public QObject {
    Q_OBJECT
private slots:
    void differenceIsTheOpponentsTimeMinusTheOwn() {
        QCOMPARE(TimeDifference(12345, 12468), "+0,123 s");
        QCOMPARE(TimeDifference(12468, 12345), "-0,123 s");
        QCOMPARE(TimeDifference(9995, 11000), "+1,005 s");
        QCOMPARE(TimeDifference(12345, 12345), "0,000 s");
        QCOMPARE(TimeDifference(-1, 12345), QString());
        QCOMPARE(TimeDifference(12345, -1), QString());
    }

    void bestRunIsTheFastestValidRunOfTheDay() {
        TRuns runs = {MakeRun(3, 1, "7", 12300), MakeRun(5, 2, "7", 12300),
                      MakeRun(6, 1, "7", 11000), MakeRun(7, 1, "7", 10000),
                      MakeRun(8, 1, "7", -1),    MakeRun(9, 2, "8", 9000),
                      MakeRun(10, 1, "7", 10500)};
        runs[2].voided = true;
        runs[3].crashed = true;
        runs[4].falseStart = true;
        runs[6].falseStart = true;
        // Equal times: the earlier heat.
        QCOMPARE(BestRunText(runs, "7"), "12,300 s (Lauf 3)");
        QCOMPARE(BestRunText(runs, "8"), "9,000 s (Lauf 9)");
        QCOMPARE(BestRunText(runs, "9"), "–");
    }

    void racerAddressNeedsAHostAPhoneCanReach() {
        QCOMPARE(RacerAddress("http://192.0.2.2:8080/", "17"), "http://192.0.2.2:8080/fahrer/17");
        QCOMPARE(RacerAddress("http://192.0.2.2:8080/", " 7 "), "http://192.0.2.2:8080/fahrer/7");
        // Numbers the page has no racer's page for get no code that leads nowhere.
        QCOMPARE(RacerAddress("http://192.0.2.2:8080/", "A 7/2"), QString());
        QCOMPARE(RacerAddress("http://192.0.2.2:8080/", "12345"), QString());
        QCOMPARE(RacerAddress("http://localhost:8080/", "17"), QString());
        QCOMPARE(RacerAddress("http://192.0.2.2:8080/", ""), QString());
    }

    void aSlipSetsTheRunAgainstItsOpponent() {
        TRun own = MakeRun(4, 1, "1", 12345);
        own.winner = true;
        own.firstName = "Max";
        own.name = "Huber";
        own.reaction = "0,512";
        own.opponentNumber = "2";
        TRun other = MakeRun(4, 2, "2", 12468);
        other.opponentNumber = "1";
        const TRuns day = {MakeRun(2, 1, "1", 12000), own, other};

        const TSlip first = MakeSlip(own, day, "Titel", "Finale", "http://192.0.2.2:8080/");
        QCOMPARE(first.name, "Max Huber");
        QCOMPARE(first.outcome, "Sieg");
        QCOMPARE(first.opponentNumber, "2");
        QCOMPARE(first.opponentTime, "12,468");
        QCOMPARE(first.difference, "+0,123 s");
        QCOMPARE(first.bestRun, "12,000 s (Lauf 2)");
        QCOMPARE(first.round, "Finale");
        QCOMPARE(first.address, "http://192.0.2.2:8080/fahrer/1");
        QCOMPARE(first.JobTitle(), "Zeitzettel Lauf 4 Bahn 1 St.Nr. 1");

        const TSlip second = MakeSlip(other, day, "Titel", "", "http://192.0.2.2:8080/");
        QCOMPARE(second.outcome, "Niederlage");
        QCOMPARE(second.difference, "-0,123 s");
        QCOMPARE(second.bestRun, "12,468 s (Lauf 4)");

        // A false start has no time to set against, and a lone racer no opponent.
        TRun jumped = other;
        jumped.falseStart = true;
        jumped.finalMs = -1;
        jumped.finalTime = "-";
        const TSlip afterFalseStart = MakeSlip(own, {own, jumped}, "", "", "");
        QCOMPARE(afterFalseStart.opponentTime, "-");
        QCOMPARE(afterFalseStart.difference, QString());
        QCOMPARE(MakeSlip(jumped, {own, jumped}, "", "", "").outcome, "Fehlstart");
        const TSlip alone = MakeSlip(own, {own}, "", "", "");
        QCOMPARE(alone.opponentNumber, QString());
        QCOMPARE(alone.address, QString());
    }

    void everyPaperReadsBack_data() {
        QTest::addColumn<TSlipPaper>("paper");
        QTest::addColumn<double>("width");
        QTest::newRow("Bonrolle 58 mm") << TSlipPaper::Roll58 << 58.0;
        QTest::newRow("Bonrolle 80 mm") << TSlipPaper::Roll80 << 80.0;
        QTest::newRow("A6") << TSlipPaper::A6 << 105.0;
    }
    void everyPaperReadsBack() {
        QFETCH(TSlipPaper, paper);
        QFETCH(double, width);
        QTemporaryDir dir;
        const TSlip slip = FullSlip();
        const QString file = Render(dir, slip, paper);
        QCOMPARE(pdf::Pages(file), 1);
        const QSizeF size = pdf::PageSizeMm(file);
        QVERIFY2(qAbs(size.width() - width) < 0.5, qPrintable(QString::number(size.width())));
        if (paper == TSlipPaper::A6) QVERIFY(qAbs(size.height() - 148) < 0.5);
        const QString text = pdf::Text(file);
        // The cells' labels and values, in whatever order the columns read back.
        for (const QString expected : {"Zeitzettel",
                                       "Sommerrennen 2026 am Flugplatz",
                                       "04.07.2026 14:32:05",
                                       "Lauf 12 · Halbfinale",
                                       "Bahn 1",
                                       "St.Nr. 17",
                                       "Max Özdemir",
                                       "50 ccm",
                                       "Zeit 12,345 s Sieg",
                                       "RZ",
                                       "0,512",
                                       "ZZ",
                                       "5,123",
                                       "Km/h",
                                       "123,4",
                                       "Differenz",
                                       "+0,123 s",
                                       "Gegner",
                                       "St.Nr. 18",
                                       "12,468 s",
                                       "Bester Lauf heute 12,300 s (Lauf 3)"})
            QVERIFY2(text.contains(expected), qPrintable(expected + " in: " + text));
        QCOMPARE(pdf::QrCodes(file), QStringList{slip.address});
    }

    void aRollIsAsLongAsItsContent() {
        QTemporaryDir dir;
        TSlip slip = FullSlip();
        const double full = pdf::PageSizeMm(Render(dir, slip, TSlipPaper::Roll58)).height();
        slip.address.clear();
        const QString file = Render(dir, slip, TSlipPaper::Roll58);
        QVERIFY2(pdf::PageSizeMm(file).height() < full - 25, "the QR code's room goes");
        QVERIFY(pdf::QrCodes(file).isEmpty());
        slip.name = QString("Maximilian-Alexander von und zu Hohenberg-Ebersdorf ").repeated(3);
        QVERIFY(pdf::PageSizeMm(Render(dir, slip, TSlipPaper::Roll58)).height() >
                pdf::PageSizeMm(file).height() + 10);
    }

    void a6ShrinksALongSlipOntoItsSheet() {
        QTemporaryDir dir;
        TSlip slip = FullSlip();
        slip.title = QString("Internationales Sommerrennen am Flugplatz ").repeated(4);
        slip.name = QString("Maximilian-Alexander von Hohenberg ").repeated(3);
        const QString file = Render(dir, slip, TSlipPaper::A6);
        QCOMPARE(pdf::Pages(file), 1);
        QVERIFY(pdf::Text(file).contains("Bester Lauf heute 12,300 s (Lauf 3)"));
        QCOMPARE(pdf::QrCodes(file), QStringList{slip.address});
    }

    void startListHasEachRacerOnce() {
        const QList<QStringList> rows = {{"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Klasse"},
                                         {"3", "Klein", "Tom", "", "", "125 ccm"},
                                         {"", "Ohne", "Nummer"},
                                         {" 1 ", "Huber", "Max", "", "", "50 ccm"},
                                         {"3", "Klein", "Tom", "", "", "125 ccm"}};
        const TStartList list = MakeStartList(rows, "Titel", "http://192.0.2.2:8080/", {});
        QCOMPARE(list.classHeader, "Klasse");
        QCOMPARE(list.racers.size(), 2);
        QCOMPARE(list.racers[0].startNumber, "3");
        QCOMPARE(list.racers[1].startNumber, "1");
        QCOMPARE(list.racers[1].address, "http://192.0.2.2:8080/fahrer/1");
        QCOMPARE(list.racers[1].classInfo, "50 ccm");
    }

    void startListPrintsEveryRacerWithTheirCode() {
        QList<QStringList> rows = {{"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info"}};
        const int racers = StartListRacersPerPage() + 3;
        for (int i = 1; i <= racers; ++i)
            rows << QStringList{QString::number(i), "Fahrer" + QString::number(i), "Vorname"};
        const TStartList list = MakeStartList(rows, "Sommerrennen", "http://192.0.2.2:8080/",
                                              QDateTime(QDate(2026, 7, 4), QTime(9, 0)));
        QTemporaryDir dir;
        const QString file = dir.filePath("startliste.pdf");
        {
            QPdfWriter writer(file);
            writer.setResolution(kPrintResolution);
            writer.setPageLayout(StartListPageLayout());
            QPainter painter(&writer);
            PaintStartList(writer, painter, list);
        }
        QCOMPARE(pdf::Pages(file), 2);
        const QSizeF a4 = pdf::PageSizeMm(file);
        QVERIFY(qAbs(a4.width() - 210) < 0.5 && qAbs(a4.height() - 297) < 0.5);
        const QString text = pdf::Text(file);
        for (const QString& expected : QStringList{"Startliste", "Sommerrennen", "Seite 1 von 2",
                                                   "Seite 2 von 2", "St.Nr. Name Vorname", "Info",
                                                   "Fahrer1", "Fahrer" + QString::number(racers)})
            QVERIFY2(text.contains(expected), qPrintable(expected + " in: " + text));
        for (int page = 1; page <= 2; ++page) {
            QStringList expected;
            const int first = (page - 1) * StartListRacersPerPage() + 1;
            const int last = std::min(racers, page * StartListRacersPerPage());
            for (int i = first; i <= last; ++i)
                expected << "http://192.0.2.2:8080/fahrer/" + QString::number(i);
            expected.sort();
            QCOMPARE(pdf::QrCodes(file, page), expected);
        }
    }
};
RENNUHR_TEST(SlipContentTest);

#include "tst_slipcontent.moc"
