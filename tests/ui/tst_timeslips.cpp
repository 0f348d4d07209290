// Time slips and the start list as the operator reaches them: the slips after each heat, a
// printer that fails in the notice bar, the start list from the protocol's menu and a slip
// again from the standings window.
#include "TestMain.h"
#include "Track.h"

#include "PdfTools.h"
#include "Submissions.h"
#include "slips/PrintQueue.h"
#include "slips/TimeSlips.h"
#include "ui/ResultsViews.h"
#include "ui/StandingsWindow.h"
#include "ui/TopBar.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>

namespace {

QString Notice(Track& t) {
    return t.w.Panel1->LabPortNotice->isHidden() ? QString() : t.w.Panel1->LabPortNotice->text();
}

} // namespace

class TimeSlipsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // The race goes on while the printer fails; the notice goes when the slips print, and
    // none is lost or printed twice.
    void aFailingPrinterIsToldAndTheRaceGoesOn() {
        Submissions printed;
        Track t(false);
        t.w.race.settings.SlipPrint = true;
        t.w.race.settings.SlipPrinter = "Bon";
        t.w.Slips->Slips->SetRetryInterval(3600 * 1000);
        t.KeyHeat(9000, 9500);
        QTRY_COMPARE(printed.Count(), 2);
        QCOMPARE(Notice(t), QString());

        printed.Fail("Drucker „Bon“ nimmt keine Aufträge an");
        QSignalSpy told(t.w.Slips, &TTimeSlips::NoticeChanged);
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.KeyHeat(8000, 8500);
        QTRY_COMPARE(told.size(), 1);
        QCOMPARE(Notice(t),
                 "Zeitzettel können nicht gedruckt werden: Drucker „Bon“ nimmt keine Aufträge an");
        // The next heat runs; its slips wait behind the others and are told no more.
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.KeyHeat(7000, 7500);
        QCOMPARE(t.Cell(6, ColTime), "7,500");
        QTRY_VERIFY(printed.Attempts() >= 3);
        QCOMPARE(told.size(), 1);
        QCOMPARE(t.w.Slips->Slips->Waiting(), 4);
        // A click puts the notice away.
        QTest::mouseClick(t.w.Panel1->LabPortNotice, Qt::LeftButton);
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());

        printed.Fail({});
        t.w.Slips->Slips->RetryNow();
        QTRY_COMPARE(printed.Count(), 6);
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(Notice(t), QString());
        QStringList titles;
        for (int i = 0; i < 6; ++i)
            titles << printed.At(i).submission.title;
        QCOMPARE(titles,
                 (QStringList{
                     "Zeitzettel Lauf 1 Bahn 1 St.Nr. 1", "Zeitzettel Lauf 1 Bahn 2 St.Nr. 2",
                     "Zeitzettel Lauf 2 Bahn 1 St.Nr. 3", "Zeitzettel Lauf 2 Bahn 2 St.Nr. 4",
                     "Zeitzettel Lauf 3 Bahn 1 St.Nr. 5", "Zeitzettel Lauf 3 Bahn 2 St.Nr. 6"}));
    }

    void theStartListFromTheProtocolsMenu() {
        Submissions printed;
        Track t(false);
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (const char* number : {"7", "12"})
            rows << QStringList{number, QString("Fahrer") + number, "", "", "", "", "", "", "", "",
                                ""};
        t.w.SortGrid1->Protocol()->SetRows(rows);
        QWidget* cells = t.w.SortGrid1->viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                cells->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(cells, &click);
        QMenu* menu = t.w.SortGrid1->PopupMenuProtokol;
        QTRY_VERIFY(menu->isVisible());
        QAction* startList = t.w.SortGrid1->Startliste1;
        QVERIFY(startList->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(startList).center());
        QTRY_COMPARE(printed.Count(), 1);
        const Submissions::Job job = printed.At(0);
        QCOMPARE(job.submission.title, "Startliste");
        QCOMPARE(job.submission.printer, QString()); // the default printer
        const QString text = pdf::Text(job.copy);
        QVERIFY2(text.contains("7 Fahrer7") && text.contains("12 Fahrer12"), qPrintable(text));
        // The results page is off: no code leads to it.
        QVERIFY(pdf::QrCodes(job.copy).isEmpty());
    }

    // Any run of the shown day, set against its own opponent and day, whatever the setting.
    void aSlipAgainFromTheStandingsWindow() {
        Submissions printed;
        Track t(false);
        t.KeyHeat(9000, 9500);
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.KeyHeat(8000, 8400);
        t.w.SortGrid1->mPlatz->trigger(); // "Platz verteilen" in the protocol's menu
        TStandingsWindow* window = t.w.Views->Standings;
        QVERIFY(window && window->isVisible());
        QVERIFY(!window->bSlip->isEnabled()); // the standings show no single run
        window->Tabs->setCurrentWidget(window->TableRuns);
        QVERIFY(!window->bSlip->isEnabled());
        window->TableRuns->selectRow(1); // heat 1, lane 2
        QVERIFY(window->bSlip->isEnabled());
        window->bSlip->click();
        QTRY_COMPARE(printed.Count(), 1);
        const Submissions::Job job = printed.At(0);
        QCOMPARE(job.submission.title, "Zeitzettel Lauf 1 Bahn 2 St.Nr. 2");
        const QString text = pdf::Text(job.copy);
        for (const QString expected : {"Zeit 9,500 s Niederlage", "-0,500 s", "St.Nr. 1"})
            QVERIFY2(text.contains(expected), qPrintable(expected + " in: " + text));
    }
};
RENNUHR_TEST(TimeSlipsWindowTest);

#include "tst_timeslips.moc"
