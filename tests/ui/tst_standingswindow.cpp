// The standings and void and re-run as the operator reaches them: Strg+W and the protocol's
// menu, Strg+U with its dialog, the standings window's runs, and the standings on the TV.
#include "TestMain.h"
#include "Track.h"

#include "results/ResultsDatabase.h"
#include "ui/Monitor2.h"
#include "ui/ResultsViews.h"
#include "ui/StandingsWindow.h"
#include "ui/TvStandingsPage.h"
#include "ui/VoidDialog.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {

// Riders 1 … 4, 1 and 3 in class A, 2 and 4 in class B, and class mode on.
void TwoClasses(Track& t) {
    t.w.race.settings.Klass = true;
    t.w.SortGrid1->ApplyClassMode(true);
    QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
    for (int n = 1; n <= 4; ++n)
        rows << QStringList{QString::number(n),
                            "Fahrer" + QString::number(n),
                            "",
                            "",
                            "",
                            n % 2 ? "A" : "B",
                            "",
                            "",
                            "",
                            "",
                            ""};
    t.w.SortGrid1->Protocol()->SetRows(rows);
}

// The standings table's texts, a row a line, its cells joined by '|'.
QStringList Lines(const QTableWidget* table, int columns) {
    QStringList lines;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        lines << cells.join('|');
    }
    return lines;
}

} // namespace

class StandingsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void standingsFollowEachHeatByClass() {
        Track t(false);
        TwoClasses(t);
        t.KeyHeat(9000, 9500); // 1 (A) beats 2 (B)
        QTest::keyClick(&t.w, Qt::Key_W, Qt::ControlModifier);
        TStandingsWindow* window = t.w.Views->Standings;
        QVERIFY(window && window->isVisible());
        QCOMPARE(Lines(window->TableStandings, 3),
                 (QStringList{"Klasse A||", "1|1|Fahrer1", "Klasse B||", "1|2|Fahrer2"}));
        // The next heat goes straight in.
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.KeyHeat(8000, 8900); // 3 (A) is faster than 1
        QCOMPARE(Lines(window->TableStandings, 3),
                 (QStringList{"Klasse A||", "1|3|Fahrer3", "2|1|Fahrer1", "Klasse B||",
                              "1|4|Fahrer4", "2|2|Fahrer2"}));
        QCOMPARE(window->TableRuns->rowCount(), 4);
        QCOMPARE(window->cbDay->count(), 1);

        // The protocol's menu opens it too, by class only in class mode.
        window->close();
        t.w.SortGrid1->mPlatz->trigger();
        QVERIFY(window->isVisible());
        window->close();
        QVERIFY(t.w.SortGrid1->SortierenKlassenZeit1->isEnabled());
        t.w.SortGrid1->SortierenKlassenZeit1->trigger();
        QVERIFY(window->isVisible());
        t.w.race.settings.Klass = false;
        t.w.SortGrid1->ApplyClassMode(false);
        QVERIFY(!t.w.SortGrid1->SortierenKlassenZeit1->isEnabled());
    }

    // Strg+U: the dialog picks lane 1 with a reason; the run leaves the standings and its row,
    // its number goes back into lane 1, and a re-run counts.
    void aVoidedLaneIsRunAgain() {
        Track t(false);
        TwoClasses(t);
        t.KeyHeat(9000, 9500);
        QVERIFY(t.w.Views->mUngueltig->isEnabled());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TVoidDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(dialog->rbBoth->isChecked());
            dialog->rbLane1->setChecked(true);
            dialog->cbReason->setEditText("abgewunken");
            dialog->accept();
        });
        QTest::keyClick(&t.w, Qt::Key_U, Qt::ControlModifier);
        const TRuns& runs = t.w.Results->Runs();
        QVERIFY(runs[0].voided && !runs[1].voided);
        QCOMPARE(runs[0].voidReason, QString("abgewunken"));
        QCOMPARE(t.Cell(1, ColTime), QString());
        QCOMPARE(t.Cell(2, ColTime), QString("9,500"));
        QCOMPARE(t.w.race.heat.Lane(1).startNumber, 1);
        QCOMPARE(t.w.race.heat.Lane(2).startNumber, 4);
        const TStandings standings = t.w.Views->Current();
        QCOMPARE(standings.groups[0].entries[0].reason, QString("ungültig"));

        // The dialog has closed; the keys go to the window again.
        QApplication::setActiveWindow(&t.w);
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        t.KeyHeat(9200, 9900); // 1 again, against 4
        const TStandings after = t.w.Views->Current();
        const auto classA =
            std::find_if(after.groups.begin(), after.groups.end(),
                         [](const TStandingsGroup& g) { return g.classInfo == "A"; });
        QVERIFY(classA != after.groups.end());
        QCOMPARE(classA->entries[0].startNumber, QString("1"));
        QCOMPARE(classA->entries[0].place, 1);
        QCOMPARE(classA->entries[0].time, QString("9,200"));
    }

    // Any run of the day from the window's runs: voided with a reason, and taken back.
    void aRunOfTheDayIsVoidedFromTheWindowAndTakenBack() {
        Track t(false);
        t.KeyHeat(9000, 9500);
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.KeyHeat(8000, 8500);
        QTest::keyClick(&t.w, Qt::Key_W, Qt::ControlModifier);
        TStandingsWindow* window = t.w.Views->Standings;
        window->Tabs->setCurrentWidget(window->TableRuns);
        window->TableRuns->selectRow(0); // heat 1, lane 1
        QVERIFY(window->bVoid->isEnabled() && !window->bUnvoid->isEnabled());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setTextValue("Zeitnahme gestört");
            dialog->accept();
        });
        window->bVoid->click();
        QVERIFY(t.w.Results->Runs()[0].voided);
        QVERIFY(window->TableRuns->item(0, 11)->text().contains("ungültig: Zeitnahme gestört"));
        window->TableRuns->selectRow(0);
        QVERIFY(window->bUnvoid->isEnabled());
        window->bUnvoid->click();
        QVERIFY(!t.w.Results->Runs()[0].voided);
    }

    // Put on the TV between heats, gone at the next START.
    void theStandingsOnTheTvUntilTheNextStart() {
        Track t(false);
        t.KeyHeat(9000, 9500);
        QTest::keyClick(&t.w, Qt::Key_W, Qt::ControlModifier);
        t.w.Views->Standings->bTv->click();
        TTvStandingsPage* page = t.w.FMonitor2->StandingsPage;
        QVERIFY(page && page->isVisible() && t.w.FMonitor2->isVisible());
        QCOMPARE(page->PageLines(0).size(), 3); // the heading and two racers
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(page->isVisible());
        QTest::keyClick(&t.w, Qt::Key_F5);
        QVERIFY(!page->isVisible());
        t.w.FMonitor2->Close();
    }
};
RENNUHR_TEST(StandingsWindowTest);

#include "tst_standingswindow.moc"
