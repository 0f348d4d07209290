#include "TestMain.h"

#include "protocol/ProtocolModel.h"
#include "race/LaneResult.h"
#include "race/RaceSettings.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A protocol with one row per start number given ("" keeps a row without number).
void Fill(TProtocolModel& model, const QStringList& startNumbers) {
    QList<QStringList> rows = {TProtocolModel::DefaultHeaderTexts()};
    for (const QString& number : startNumbers) {
        QStringList row(kProtocolColumns, QString());
        row[ColStartNr] = number;
        rows.append(row);
    }
    model.SetRows(rows);
}

QStringList Column(const TProtocolModel& model, int column) {
    QStringList texts;
    for (int row = 1; row <= model.DataRowCount(); ++row)
        texts << model.Cell(row, column);
    return texts;
}

LaneResult Result(const QString& time, bool first = false, bool marked = false) {
    LaneResult r;
    r.reaction = "0,450";
    r.intermediate = "6,100";
    r.speed = "144,0";
    r.finalTime = time;
    r.first = first;
    r.marked = marked;
    return r;
}

} // namespace

class ProtocolModelTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithHeaderAndOneBlankRow() {
        TProtocolModel model;
        QCOMPARE(model.DataRowCount(), 1);
        QVERIFY(model.IsBlankRow(1));
        QCOMPARE(model.Rows()[0], TProtocolModel::DefaultHeaderTexts());
        QCOMPARE(model.headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Zeit"));
        QVERIFY(!model.HasContent());
    }

    void firstHeatUsesTheBlankRowThenAppends() {
        TProtocolModel model;
        model.SetCell(1, ColName, "Huber"); // typed before any number
        QCOMPARE(model.PrepareHeatRow("1"), 1);
        QCOMPARE(model.PrepareHeatRow("2"), 2);
        QCOMPARE(Column(model, ColStartNr), (QStringList{"1", "2"}));
        QCOMPARE(model.Cell(1, ColName), QString("Huber"));
        QVERIFY(model.HasContent());
        // Same number on both lanes shares a row; "01" is not "1".
        QCOMPARE(model.PrepareHeatRow("2"), 2);
        QCOMPARE(model.PrepareHeatRow("01"), 3);
        QCOMPARE(model.FindStartRow(" 1"), 0);
    }

    void prepareEmptiesOnlyTheResults() {
        TProtocolModel model;
        model.PrepareHeatRow("7");
        model.SetCell(1, ColName, "Meier");
        model.WriteLaneResult("7", Result("9,876", true));
        QCOMPARE(model.Cell(1, ColWin), QString("+"));
        model.PrepareHeatRow("7");
        for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
            QVERIFY(model.Cell(1, column).isEmpty());
        QCOMPARE(model.Cell(1, ColName), QString("Meier"));
    }

    void laneResultsAndWinnerMark() {
        TProtocolModel model;
        Fill(model, {"1", "2"});
        QCOMPARE(model.WriteLaneResult("1", Result("12,345", true)), 1);
        QCOMPARE(model.Rows()[1].mid(6), (QStringList{"0,450", "6,100", "144,0", "12,345", "+"}));
        LaneResult noBarriers = Result("13,000");
        noBarriers.reaction.clear();
        noBarriers.intermediate.clear();
        model.WriteLaneResult("2", noBarriers);
        QCOMPARE(model.Rows()[2].mid(6), (QStringList{"", "", "144,0", "13,000", ""}));
        QCOMPARE(model.WriteLaneResult("9", Result("1,000")), 0); // row gone: nothing written
    }

    void falseStartWritesOnlyTheDash() {
        TProtocolModel model;
        Fill(model, {"3"});
        model.WriteLaneResult("3", Result("0,800", true, true));
        QCOMPARE(model.Rows()[1].mid(6), (QStringList{"", "", "", "-", ""}));
    }

    void crashReplacesTheMark() {
        TProtocolModel model;
        Fill(model, {"1", "2"});
        model.SetCell(2, ColName, "Kurz");
        model.WriteLaneResult("2", Result("12,000", true));
        model.MarkRowCrashed(2);
        QCOMPARE(model.Rows()[2].mid(6), QStringList(5, "-"));
        QCOMPARE(model.Cell(2, ColName), QString("Kurz"));
    }

    void nextFreeStartNumber() {
        TProtocolModel model;
        QCOMPARE(model.NextFreeStartNumber(), 1);
        Fill(model, {"1", "2", "3", "5"});
        QCOMPARE(model.NextFreeStartNumber(), 4);
        QStringList many;
        for (int n = 1; n <= 301; ++n)
            many << QString::number(n);
        Fill(model, many);
        QCOMPARE(model.NextFreeStartNumber(), 301); // taken, but the search ends there
    }

    void newRowReusesABlankLastRow() {
        TProtocolModel model;
        QCOMPARE(model.NewRow(), 1);
        QCOMPARE(model.DataRowCount(), 1);
        QCOMPARE(model.NewRow(), 2);
        QCOMPARE(Column(model, ColStartNr), (QStringList{"1", "2"}));
        model.SetCell(2, ColStartNr, "");
        model.SetCell(2, ColName, "X"); // not blank: a new row is appended
        QCOMPARE(model.NewRow(), 3);
        QCOMPARE(model.Cell(3, ColStartNr), QString("2"));
    }

    void removedRowsLeaveNothingBehind() {
        TProtocolModel model;
        Fill(model, {"1", "2"});
        model.SetCell(2, ColName, "Alt");
        QCOMPARE(model.RemoveRow(2), 1);
        QCOMPARE(model.RemoveRow(1), 1); // the only row is emptied, never removed
        QCOMPARE(model.DataRowCount(), 1);
        QVERIFY(model.IsBlankRow(1));
        QCOMPARE(model.NewRow(), 1);
        model.PrepareHeatRow("5");
        QVERIFY(model.Cell(2, ColName).isEmpty());
    }

    void removeResultsKeepsParticipants() {
        TProtocolModel model;
        Fill(model, {"1", "2"});
        model.SetCell(1, ColName, "A");
        model.WriteLaneResult("1", Result("1,000", true));
        model.MarkRowCrashed(2);
        model.RemoveResults();
        QCOMPARE(model.DataRowCount(), 2);
        QCOMPARE(model.Cell(1, ColName), QString("A"));
        for (int row = 1; row <= 2; ++row)
            QCOMPARE(model.Rows()[row].mid(6), QStringList(5, QString()));
    }

    void jokerToggles() {
        TProtocolModel model;
        Fill(model, {"1"});
        model.MarkRowCrashed(1);
        model.ToggleJoker(1);
        QCOMPARE(model.Cell(1, ColWin), QString("+"));
        QCOMPARE(model.Cell(1, ColTime), QString("-"));
        model.ToggleJoker(1);
        QCOMPARE(model.Cell(1, ColWin), QString());
        model.SetCell(1, ColWin, "++");
        model.ToggleJoker(1);
        QCOMPARE(model.Cell(1, ColWin), QString("+"));
    }

    void nextRaceKeepsTheMarkedRows_data() {
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("+ _ + -") << QStringList{"+", "", "+", "-"} << QStringList{"1", "3"};
        QTest::newRow("none marked") << QStringList{"", "-", ""} << QStringList{""};
        QTest::newRow("single marked") << QStringList{"+"} << QStringList{"1"};
        QTest::newRow("last marked") << QStringList{"", "", "+"} << QStringList{"3"};
        QTest::newRow("all marked") << QStringList{"+", "+"} << QStringList{"1", "2"};
    }
    void nextRaceKeepsTheMarkedRows() {
        QFETCH(QStringList, marks);
        QFETCH(QStringList, kept);
        TProtocolModel model;
        QStringList numbers;
        for (int i = 1; i <= marks.size(); ++i)
            numbers << QString::number(i);
        Fill(model, numbers);
        for (int row = 1; row <= marks.size(); ++row)
            model.SetCell(row, ColWin, marks[row - 1]);
        model.NextRace();
        QCOMPARE(Column(model, ColStartNr), kept);
        if (kept == QStringList{""}) QVERIFY(model.IsBlankRow(1));
    }

    void clearLeavesOneBlankRowAndTheHeader() {
        TProtocolModel model;
        Fill(model, {"1", "2", "3"});
        model.ApplyClassMode(true);
        model.ClearProtocol();
        QCOMPARE(model.DataRowCount(), 1);
        QVERIFY(model.IsBlankRow(1));
        QCOMPARE(model.Cell(0, ColClass), QString("Klasse"));
    }

    void classModeRenamesColumnFiveOnly() {
        TProtocolModel model;
        Fill(model, {"1"});
        model.SetCell(1, ColClass, "Info-Text");
        QSignalSpy header(&model, &QAbstractItemModel::headerDataChanged);
        model.ApplyClassMode(true);
        QCOMPARE(model.Cell(0, ColClass), QString("Klasse"));
        QCOMPARE(model.HeaderTexts[ColClass], QString("Klasse"));
        QCOMPARE(model.Cell(1, ColClass), QString("Info-Text"));
        QCOMPARE(header.count(), 1);
        model.ApplyClassMode(false);
        QCOMPARE(model.Cell(0, ColClass), QString("Info"));
    }

    void startNumbersToFeed_data() {
        QTest::addColumn<QStringList>("column0");
        QTest::addColumn<QList<int>>("fed");
        QTest::newRow("four rows")
            << QStringList{"5", "6", "7", "8", "9"} << QList<int>{5, 6, 7, 8};
        QTest::newRow("fewer rows") << QStringList{"11", "12"} << QList<int>{11, 12};
        QTest::newRow("letter ends") << QStringList{"7", "7a", "9"} << QList<int>{7};
        QTest::newRow("blank ends") << QStringList{"7", " 7", "9"} << QList<int>{7};
        QTest::newRow("empty ends") << QStringList{"", "2"} << QList<int>{};
        QTest::newRow("clamped") << QStringList{"0", "12345", "-4", "99999999999999999999"}
                                 << QList<int>{1, 9999, 1, 9999};
    }
    void startNumbersToFeed() {
        QFETCH(QStringList, column0);
        TProtocolModel model;
        Fill(model, column0);
        QTEST(model.StartNumbersToFeed(), "fed");
    }

    void loadedRowsArePaddedToElevenCells() {
        TProtocolModel model;
        model.SetRows({TProtocolModel::DefaultHeaderTexts(), {"4", "Lang"}, QStringList(14, "x")});
        QCOMPARE(model.Rows()[1], (QStringList{"4", "Lang", "", "", "", "", "", "", "", "", ""}));
        QCOMPARE(model.Rows()[2], QStringList(kProtocolColumns, "x"));
        model.SetRows({TProtocolModel::DefaultHeaderTexts()});
        QCOMPARE(model.DataRowCount(), 1); // never without a data row
        QVERIFY(model.IsBlankRow(1));
    }

    void columnWidthsFollowTheWiringAndTheWidth() {
        TRaceSettings settings;
        auto widths = ProtocolColumnWidths(settings, 400);
        // 400 − (40 + 90 + 60 + 60 + 58 + 51 + 57 + 43 + 57 + 30) − 11 = −157: no split
        QCOMPARE(widths[ColName], -157);
        QCOMPARE(widths[ColFirstName], 90);
        widths = ProtocolColumnWidths(settings, 800);
        const int sum = 800 - 546 - 11 + 90;
        QCOMPARE(widths[ColName], (sum / 3) * 2);
        QCOMPARE(widths[ColName] + widths[ColFirstName], sum);
        settings.ColSpeed2 = false;
        settings.ColSpeed1 = false;
        widths = ProtocolColumnWidths(settings, 800);
        QCOMPARE(widths[ColReaction], -1);
        QCOMPARE(widths[ColIntermediate], -1);
        QCOMPARE(widths[ColName] + widths[ColFirstName], sum + 51 + 1 + 57 + 1);
    }
};
RENNUHR_TEST(ProtocolModelTest);

#include "tst_protocolmodel.moc"
