#include "TestMain.h"

#include "race/Race.h"
#include "race/RaceSequence.h"
#include "ui/SortGrid.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

namespace {

// A shown grid of a usable size with rows numbered as given.
struct Grid {
    TSortGrid grid;
    explicit Grid(const QStringList& startNumbers = {}) {
        grid.resize(700, 300);
        for (int i = 0; i < kProtocolColumns; ++i)
            grid.SetColumnWidth(i, 60);
        if (!startNumbers.isEmpty()) {
            QList<QStringList> rows = {TProtocolModel::DefaultHeaderTexts()};
            for (const QString& n : startNumbers) {
                QStringList row(kProtocolColumns, QString());
                row[ColStartNr] = n;
                row[ColName] = "Name " + n;
                rows << row;
            }
            grid.Protocol()->SetRows(rows);
        }
        grid.show();
        grid.SelectRow(1);
    }
    TProtocolModel& model() { return *grid.Protocol(); }
    QPoint CellCentre(int row, int column) {
        return grid.visualRect(model().index(row - 1, column)).center();
    }
    void Click(int row, int column, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid.viewport(), button, {}, CellCentre(row, column));
    }
    // Whole row selected (all 11 cells) with the current cell in the last column.
    bool RowSelected(int row) {
        const QModelIndex current = grid.currentIndex();
        return current.row() == row - 1 && current.column() == ColWin &&
               grid.selectionModel()->isRowSelected(row - 1, {}) &&
               grid.selectionModel()->selectedIndexes().size() == kProtocolColumns;
    }
};

} // namespace

class SortGridTest : public QObject {
    Q_OBJECT
private slots:
    void looksAsSpecified() {
        Grid g;
        QCOMPARE(QFontInfo(g.grid.font()).pixelSize(), 15);
        QCOMPARE(g.grid.rowHeight(0), 19);
        QVERIFY(g.grid.showGrid());
        QCOMPARE(g.grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(g.grid.horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
        QCOMPARE(g.model().data(g.model().index(0, 0), Qt::TextAlignmentRole).toInt() & 0xF,
                 int(Qt::AlignRight));
        QCOMPARE(g.model().data(g.model().index(0, 3), Qt::TextAlignmentRole).toInt() & 0xF,
                 int(Qt::AlignLeft));
        QCOMPARE(g.model().data(g.model().index(0, 10), Qt::TextAlignmentRole).toInt() & 0xF,
                 int(Qt::AlignHCenter));
        QCOMPARE(g.grid.Mode(), TSortGrid::RowMode);
    }

    void contextMenuCaptions() {
        Grid g;
        QStringList visible;
        for (QAction* action : g.grid.PopupMenuProtokol->actions())
            if (action->isVisible()) visible << action->text();
        QCOMPARE(visible, (QStringList{"Joker                 (Strg+J)", "Zeile entfernen (Strg+0)",
                                       "Neue Zeile         (Strg+N)", "Sortieren Klassen+Zeit",
                                       "Platz verteilen", "Rezult entfernen", "",
                                       "Rennjournal        (F3)", "Lauf ungültig...  (Strg+U)",
                                       "Ausscheidung...   (Strg+L)", "", "Startliste drucken"}));
        // The standings by class only while classes are kept.
        QVERIFY(!g.grid.SortierenKlassenZeit1->isEnabled());
        g.grid.ApplyClassMode(true);
        QVERIFY(g.grid.SortierenKlassenZeit1->isEnabled());
    }

    // A start list needs a racer with a start number.
    void startListOnlyWithRacers() {
        Grid empty;
        QVERIFY(!empty.grid.Startliste1->isEnabled());
        Grid g({"", "7"});
        QVERIFY(g.grid.Startliste1->isEnabled());
        g.model().SetCell(2, ColStartNr, "");
        QVERIFY(!g.grid.Startliste1->isEnabled());
    }

    void hiddenColumnKeepsItsCells() {
        Grid g({"1"});
        g.grid.SetColumnWidth(ColIntermediate, -1);
        QCOMPARE(g.grid.ColumnWidth(ColIntermediate), -1);
        QVERIFY(!g.grid.VisibleColumns()[ColIntermediate]);
        LaneResult r;
        r.intermediate = "5,000";
        r.finalTime = "9,000";
        g.grid.WriteLaneResult("1", r);
        QCOMPARE(g.model().Cell(1, ColIntermediate), QString("5,000"));
        g.grid.SetColumnWidth(ColIntermediate, 57);
        QCOMPARE(g.grid.ColumnWidth(ColIntermediate), 57);
    }

    void clickOnAResultSelectsTheRow() {
        Grid g({"1", "2", "3"});
        g.Click(2, ColName);
        QCOMPARE(g.grid.Mode(), TSortGrid::EditMode);
        QCOMPARE(g.grid.currentIndex(), g.model().index(1, ColName));
        QCOMPARE(g.grid.selectionModel()->selectedIndexes().size(), 1);
        g.Click(3, ColSpeed);
        QCOMPARE(g.grid.Mode(), TSortGrid::RowMode);
        QVERIFY(g.RowSelected(3));
    }

    void enterMovesRightThenSelectsTheRow() {
        Grid g({"1", "2"});
        g.Click(1, 3);
        QTest::keyClick(&g.grid, Qt::Key_Return);
        QCOMPARE(g.grid.currentIndex().column(), 4);
        QTest::keyClick(&g.grid, Qt::Key_Return);
        QCOMPARE(g.grid.currentIndex().column(), 5);
        QTest::keyClick(&g.grid, Qt::Key_Return);
        QVERIFY(g.RowSelected(1));
        QTest::keyClick(&g.grid, Qt::Key_Return); // and again: nothing moves, no error
        QVERIFY(g.RowSelected(1));
    }

    void escapeReturnsToRowMode() {
        Grid g({"1", "2"});
        g.Click(2, ColFirstName);
        QTest::keyClick(&g.grid, Qt::Key_Escape);
        QCOMPARE(g.grid.Mode(), TSortGrid::RowMode);
        QVERIFY(g.RowSelected(2));
    }

    void typingEditsParticipantCells() {
        Grid g({"1"});
        g.Click(1, ColName);
        QTest::keyClicks(&g.grid, "Z");
        auto* editor = g.grid.findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, "oe");
        QCOMPARE(editor->text(), QString("Zoe"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(g.model().Cell(1, ColName), QString("Zoe"));
        QCOMPARE(g.grid.currentIndex().column(), ColFirstName); // Enter went on to the right
    }

    void startNumberTakesDigitsOnly() {
        Grid g({"1"});
        g.Click(1, ColStartNr);
        QTest::keyClicks(&g.grid, "x"); // dropped before an editor opens
        QVERIFY(!g.grid.IsEditing());
        QTest::keyClicks(&g.grid, "4");
        auto* editor = g.grid.findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, "2a-7.");
        QCOMPARE(editor->text(), QString("427"));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(g.model().Cell(1, ColStartNr), QString("42"));
    }

    void resultCellsCannotBeEdited() {
        Grid g({"1"});
        g.Click(1, ColName);
        QTest::keyClick(&g.grid, Qt::Key_End); // moves to the last column: refused
        QVERIFY(g.RowSelected(1));
        QTest::keyClicks(&g.grid, "99");
        QCOMPARE(g.model().Cell(1, ColWin), QString());
        QVERIFY(!g.grid.IsEditing());
    }

    void classDropDownInClassMode() {
        Grid g({"1", "2"});
        QComboBox cbKlass;
        cbKlass.addItems({"Z-Klasse", "A-Klasse", "M-Klasse"});
        g.grid.SetClassSource(&cbKlass);
        g.grid.ApplyClassMode(true);
        g.model().SetCell(2, ColClass, "M-Klasse");
        g.Click(2, ColClass);
        auto* combo = g.grid.findChild<QComboBox*>();
        QVERIFY(combo);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString("Z-Klasse")); // its own order
        QCOMPARE(combo->currentText(), QString("M-Klasse"));
        QCOMPARE(combo->maxVisibleItems(), 10);
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QTRY_COMPARE(g.model().Cell(2, ColClass), QString("A-Klasse"));
    }

    void infoColumnIsFreeTextWithoutClasses() {
        Grid g({"1"});
        g.Click(1, ColClass);
        QVERIFY(!g.grid.findChild<QComboBox*>());
        QTest::keyClicks(&g.grid, "f");
        QTest::keyClicks(g.grid.findChild<QLineEdit*>(), "rei");
        QTest::keyClick(g.grid.findChild<QLineEdit*>(), Qt::Key_Return);
        QCOMPARE(g.model().Cell(1, ColClass), QString("frei"));
    }

    void headerClickNeverReorders() {
        Grid g({"3", "1", "2"});
        QHeaderView* header = g.grid.horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(9) + 5, 5));
        QCOMPARE(g.model().Cell(1, 0) + g.model().Cell(2, 0) + g.model().Cell(3, 0),
                 QString("312"));
        QVERIFY(g.RowSelected(1));
    }

    void newRowOpensItsStartNumberForEditing() {
        Grid g({"1", "2", "3", "5"});
        g.grid.NewRow();
        QCOMPARE(g.model().Cell(5, ColStartNr), QString("4"));
        QCOMPARE(g.grid.Mode(), TSortGrid::EditMode);
        QCOMPARE(g.grid.currentIndex(), g.model().index(4, ColStartNr));
        QCOMPARE(g.grid.selectionModel()->selectedIndexes().size(), 1);
    }

    void removeRowFeedsTheLanes() {
        Race race;
        Grid g({"11", "12", "13", "14", "15"});
        g.grid.SetHeat(&race.heat);
        QSignalSpy changed(&g.grid, &TSortGrid::ContentChanged);
        g.grid.SelectRow(2);
        g.grid.RemoveRow();
        QCOMPARE(g.model().DataRowCount(), 4);
        QVERIFY(g.RowSelected(4));
        QCOMPARE(race.heat.Lane(1).startNumber, 11);
        QCOMPARE(race.heat.Lane(2).startNumber, 13);
        QCOMPARE(race.heat.Lane(1).readyNumber, 14);
        QCOMPARE(race.heat.Lane(2).readyNumber, 15);
        QVERIFY(changed.count() > 0);
    }

    void removingTheOnlyRowLeavesABlankRow() {
        Grid g({"1"});
        g.grid.RemoveRow();
        QCOMPARE(g.model().DataRowCount(), 1);
        QVERIFY(g.model().IsBlankRow(1));
        QVERIFY(!g.model().HasContent());
        QVERIFY(g.RowSelected(1));
    }

    void jokerAndCrashActOnTheCurrentRow() {
        Grid g({"1", "2"});
        g.Click(2, ColWin);
        g.grid.MarkRowCrashed();
        QCOMPARE(g.model().Cell(2, ColTime), QString("-"));
        g.grid.Joker1->trigger();
        QCOMPARE(g.model().Cell(2, ColWin), QString("+"));
        QVERIFY(g.RowSelected(2));
        g.grid.mJokerClick();
        QCOMPARE(g.model().Cell(2, ColWin), QString());
        QVERIFY(g.model().Cell(1, ColWin).isEmpty());
    }

    void nextRaceSelectsRowOne() {
        Grid g({"1", "2", "3"});
        g.model().SetCell(3, ColWin, "+");
        g.grid.SelectRow(2);
        g.grid.sbNextKrugClick();
        QCOMPARE(g.model().DataRowCount(), 1);
        QCOMPARE(g.model().Cell(1, ColStartNr), QString("3"));
        QVERIFY(g.RowSelected(1));
    }

    void lanesWriteThroughTheGrid() {
        Race race;
        qint64 now = 1000000000;
        race.HighResTimer1.SetTickSource([&] { return now; });
        Grid g;
        TRaceSequence sequence(race);
        sequence.SetProtocol(&g.grid);
        sequence.mStart->trigger();
        QCOMPARE(g.model().DataRowCount(), 2);
        QVERIFY(g.RowSelected(2));
        now += 8000000000;
        sequence.mStop2->trigger();
        now += 500000000;
        sequence.mStop1->trigger();
        QCOMPARE(g.model().Rows()[2].mid(9), (QStringList{"8,000", "+"}));
        QCOMPARE(g.model().Rows()[1].mid(9), (QStringList{"8,500", ""}));
        QVERIFY(g.RowSelected(1));
    }
};
RENNUHR_TEST(SortGridTest);

#include "tst_sortgrid.moc"
