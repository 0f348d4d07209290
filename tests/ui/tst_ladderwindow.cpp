// Ladders as the operator runs them: Strg+L opens the window, "Anlegen..." the dialog, the
// pairings are picked with the mouse, and the heats go by the keys on the simulated track.
#include "TestMain.h"
#include "Track.h"

#include "results/ResultsDatabase.h"
#include "slips/TimeSlips.h"
#include "ui/DlgYesNo.h"
#include "ui/LadderDialog.h"
#include "ui/LadderView.h"
#include "ui/LadderWindow.h"
#include "ui/ResultsViews.h"
#include "ui/VoidDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

namespace {

// Racers 1 … n of class 50, then racers of class 125, with class mode on.
void Racers(Track& t, int fifty, int others = 0) {
    t.w.race.settings.Klass = true;
    t.w.SortGrid1->ApplyClassMode(true);
    QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
    for (int n = 1; n <= fifty + others; ++n) {
        const QString s = QString::number(n);
        rows << QStringList{s,  "Fahrer" + s, "", "", "", n <= fifty ? "50" : "125",
                            "", "",           "", "", ""};
    }
    t.w.SortGrid1->Protocol()->SetRows(rows);
}

// A heat by the keys: START, lane 1 at ms1, lane 2 at ms2. The clocks keep showing it.
void Heat(Track& t, qint64 ms1, qint64 ms2) {
    QTest::keyClick(&t.w, Qt::Key_F5);
    t.At(std::min(ms1, ms2));
    QTest::keyClick(&t.w, ms1 <= ms2 ? Qt::Key_F8 : Qt::Key_F9);
    t.At(std::max(ms1, ms2));
    QTest::keyClick(&t.w, ms1 <= ms2 ? Qt::Key_F9 : Qt::Key_F8);
}

void Reset(Track& t) {
    QTest::keyClick(&t.w, Qt::Key_F7);
}

// The lanes' start numbers and ready numbers, "1/5 2/3".
QString Lanes(Track& t) {
    const THeatModel& heat = t.w.race.heat;
    return QString("%1/%2 %3/%4")
        .arg(heat.Lane(1).startNumber)
        .arg(heat.Lane(2).startNumber)
        .arg(heat.Lane(1).readyNumber)
        .arg(heat.Lane(2).readyNumber);
}

TLadderWindow* OpenLadders(Track& t) {
    t.w.Results->Flush(); // a ladder is only made once the file has been read
    QTest::keyClick(&t.w, Qt::Key_L, Qt::ControlModifier);
    TLadderWindow* window = t.w.Views->LadderWindow;
    return window && window->isVisible() ? window : nullptr;
}

// The keys go to the main window again.
void Back(Track& t) {
    QApplication::setActiveWindow(&t.w);
    QVERIFY(QTest::qWaitForWindowActive(&t.w));
}

TPairingRef Ref(TLadderWindow* window, int round, int slot) {
    return {window->Shown(), round, slot};
}

void Click(TLadderWindow* window, const TPairingRef& ref) {
    const QRect box = window->View->BoxOf(ref);
    QVERIFY(!box.isEmpty());
    QTest::mouseClick(window->View, Qt::LeftButton, {}, box.center());
}

// The pairing's menu as a right click opens it, its entry triggered.
void FromMenu(TLadderWindow* window, const TPairingRef& ref, const QString& entry) {
    const QPoint at = window->View->BoxOf(ref).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, window->View->mapToGlobal(at));
    QApplication::sendEvent(window->View, &event);
    QCOMPARE(window->Selected(), ref);
    for (QAction* action : window->PairingMenu->actions())
        if (action->text() == entry) {
            QVERIFY(action->isEnabled());
            window->PairingMenu->close();
            action->trigger();
            return;
        }
    QFAIL(qPrintable("no menu entry " + entry));
}

// Makes the class's ladder in the dialog, from the source given.
void Create(TLadderWindow* window, const QString& classInfo, QRadioButton* TLadderDialog::*source,
            bool third, QStringList* preview = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<TLadderDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->cbClass->setCurrentText(classInfo);
        (dialog->*source)->click();
        dialog->cbThird->setChecked(third);
        if (preview)
            for (int row = 0; row < dialog->TableField->rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < dialog->TableField->columnCount(); ++column)
                    if (!dialog->TableField->isColumnHidden(column))
                        cells << dialog->TableField->item(row, column)->text();
                *preview << cells.join('|');
            }
        dialog->bCreate->click();
        if (dialog->isVisible()) { // refused: the reason stays in the dialog
            if (preview) *preview << dialog->LabProblem->text();
            dialog->reject();
        }
    });
    window->bCreate->click();
}

QStringList Places(TLadderWindow* window) {
    QStringList places;
    for (int row = 0; row < window->TablePlaces->rowCount(); ++row)
        places << window->TablePlaces->item(row, 0)->text() + "|" +
                      window->TablePlaces->item(row, 1)->text();
    return places;
}

} // namespace

class LadderWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Six racers from the standings into 8 places with a race for third place: seeds 1 and 2
    // have byes; 4-5 both false-start and the joker decides; 6 is marked as not started in the
    // window; the first semi-final is voided from the window and run again; the program is
    // closed and started again; the race for third place is swapped from the window.
    void aLadderOfSixFromTheStandingsToTheFinalPlaces() {
        {
            Track t(false);
            Racers(t, 6);
            Heat(t, 8000, 8100); // qualifying: the lower the number, the faster
            Reset(t);
            Heat(t, 8200, 8300);
            Reset(t);
            Heat(t, 8400, 8500);
            TLadderWindow* window = OpenLadders(t);
            QVERIFY(window);
            QCOMPARE(window->Shown(), 0);
            QVERIFY(!window->bRemove->isEnabled() && !window->bLoad->isEnabled());

            QStringList preview;
            Create(window, "50", &TLadderDialog::rbStandings, true, &preview);
            QCOMPARE(preview, (QStringList{"1|1|Fahrer1|1|8,000", "2|2|Fahrer2|2|8,100",
                                           "3|3|Fahrer3|3|8,200", "4|4|Fahrer4|4|8,300",
                                           "5|5|Fahrer5|5|8,400", "6|6|Fahrer6|6|8,500"}));
            QVERIFY(window->Shown() != 0);
            QCOMPARE(window->cbLadder->currentText(), QString("Klasse 50"));
            QVERIFY(window->cbThird->isChecked());
            preview.clear();
            Create(window, "50", &TLadderDialog::rbProtocol, false, &preview);
            QCOMPARE(preview.last(), QString("Die Klasse 50 hat heute schon eine Ausscheidung."));
            QCOMPARE(t.w.Views->Ladders->Ladders().size(), 1);

            // The bracket: byes for 1 and 2, the race for third below the final.
            QCOMPARE(window->View->LineTexts(Ref(window, 0, 0), kLower),
                     (QStringList{"", "Freilos", ""}));
            QVERIFY(!window->View->BoxOf(Ref(window, 3, 0)).isEmpty());
            QVERIFY(window->View->BoxOf(Ref(window, 3, 0)).top() >
                    window->View->BoxOf(Ref(window, 2, 0)).bottom());
            Back(t);
            QCOMPARE(Lanes(t), QString("5/6 4/5"));
            Reset(t);
            QCOMPARE(Lanes(t), QString("4/5 3/6"));

            // 4-5: both false starts; the reset offers it again, the joker for 5 decides.
            QTest::keyClick(&t.w, Qt::Key_F5);
            t.At(100);
            QTest::keyClick(&t.w, Qt::Key_F6);
            QTest::keyClick(&t.w, Qt::Key_F6, Qt::ControlModifier);
            QCOMPARE(window->View->LineTexts(Ref(window, 0, 1), kUpper),
                     (QStringList{"4", "Fahrer4", "Fehlstart"}));
            Reset(t);
            QCOMPARE(Lanes(t), QString("4/5 3/6"));
            t.w.SortGrid1->SelectRow(t.w.SortGrid1->Protocol()->FindStartRow("5"));
            QTest::keyClick(&t.w, Qt::Key_J, Qt::ControlModifier);
            QCOMPARE(t.w.Views->Ladders->Pairing(Ref(window, 0, 1))->winner, 5);
            QCOMPARE(Lanes(t), QString("3/6 1/5"));

            // 6 does not turn up: marked from the pairing's menu, taken back with the button,
            // marked again.
            FromMenu(window, Ref(window, 0, 3), "St.Nr. 6 nicht angetreten");
            QCOMPARE(window->View->LineTexts(Ref(window, 0, 3), kLower),
                     (QStringList{"6", "Fahrer6", "nicht angetreten"}));
            QCOMPARE(Lanes(t), QString("1/5 2/3"));
            QVERIFY(window->bNoShow[kLower]->isChecked() && window->bNoShow[kLower]->isEnabled());
            QVERIFY(!window->bLoad->isEnabled());
            window->bNoShow[kLower]->click();
            QVERIFY(!t.w.Views->Ladders->Pairing(Ref(window, 0, 3))->Decided());
            QVERIFY(window->bLoad->isEnabled());
            window->bNoShow[kLower]->click();
            QCOMPARE(t.w.Views->Ladders->Pairing(Ref(window, 0, 3))->winner, 3);
            QCOMPARE(Lanes(t), QString("1/5 2/3"));

            // 1-5, won by 1, then voided from the window and run again: 5 wins the re-run.
            Back(t);
            Heat(t, 7900, 8050);
            QCOMPARE(window->View->LineTexts(Ref(window, 1, 0), kUpper),
                     (QStringList{"1", "Fahrer1", "7,900"}));
            Click(window, Ref(window, 1, 0));
            QVERIFY(window->bRerun->isEnabled() && !window->bLoad->isEnabled());
            QTimer::singleShot(0, [] {
                auto* dialog = qobject_cast<TVoidDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), QString("Wiederholen"));
                QVERIFY(dialog->rbBoth->isChecked());
                dialog->cbReason->setEditText("Fehlauslösung");
                static_cast<QDialog*>(dialog)->accept(); // as Return does
            });
            window->bRerun->click();
            QCOMPARE(window->View->LineTexts(Ref(window, 1, 0), kUpper),
                     (QStringList{"1", "Fahrer1", "ungültig"}));
            QCOMPARE(t.w.Results->Runs().last().voidReason, QString("Fehlauslösung"));
            QVERIFY(!window->bRerun->isEnabled() && window->bLoad->isEnabled());
            QCOMPARE(Lanes(t), QString("1/5 2/3"));
            Back(t);
            Heat(t, 8000, 7950);
            QCOMPARE(t.w.Views->Ladders->Pairing(Ref(window, 1, 0))->winner, 5);
            QCOMPARE(window->View->LineTexts(Ref(window, 1, 0), kLower),
                     (QStringList{"5", "Fahrer5", "7,950"}));
            t.w.Results->Flush();
        }

        // Started again on the same data folder: the ladder goes on where it stopped.
        Track t(false);
        TLadderWindow* window = OpenLadders(t);
        QVERIFY(window);
        QCOMPARE(window->cbLadder->currentText(), QString("Klasse 50"));
        QCOMPARE(window->View->LineTexts(Ref(window, 2, 0), kUpper),
                 (QStringList{"5", "Fahrer5", ""}));
        QCOMPARE(Lanes(t), QString("2/3 4/5"));
        QCOMPARE(t.w.Views->Ladders->InLanes(), Ref(window, 1, 1));
        Back(t);
        Heat(t, 8300, 8200); // 3 beats 2
        // The race for third place is "Bereit"; its lanes swapped in the window.
        QCOMPARE(Lanes(t), QString("2/3 1/2"));
        Click(window, Ref(window, 3, 0));
        QVERIFY(window->bSwap->isEnabled());
        window->bSwap->click();
        QCOMPARE(Lanes(t), QString("2/3 2/1"));
        Back(t);
        Reset(t);
        QCOMPARE(Lanes(t), QString("2/1 3/5"));
        Heat(t, 8000, 8100); // lane 1: racer 2 takes third place
        QVERIFY(!window->cbThird->isEnabled());
        Reset(t);
        QCOMPARE(Lanes(t), QString("3/5 5/7"));
        Heat(t, 7900, 7800); // the final: 5 wins
        // Its slips name the round; the qualifying heats' name none.
        const TRuns runs = t.w.Results->Runs();
        QCOMPARE(t.w.Slips->Slip(runs.last(), runs).round, QString("Finale"));
        QCOMPARE(t.w.Slips->Slip(runs.first(), runs).round, QString());
        QCOMPARE(Places(window), (QStringList{"1|5", "2|3", "3|2", "4|1", "5|4", "5|6"}));
        QVERIFY(window->LabInfo->text().contains("beendet"));
        Reset(t);
        QCOMPARE(Lanes(t), QString("5/7 7/9")); // nothing left: the numbers move on by 2

        // The page printed as the protocol is, and the workbook where the operator says.
        window->bPrint->click();
        const QStringList pages = QDir::current().entryList({"*-Ausscheidung.html"});
        QCOMPARE(pages.size(), 1);
        QFile page(pages[0]);
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().contains("Lauf um Platz 3"));
        QTemporaryDir folder;
        QString offered;
        QTimer::singleShot(0, [&folder, &offered] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->selectFile(folder.filePath("leiter.xlsx"));
            static_cast<QDialog*>(dialog)->accept(); // as Return does
        });
        window->bExcel->click();
        QVERIFY(offered.startsWith("Ausscheidung-") && offered.endsWith("-50.xlsx"));
        QVERIFY(QFileInfo(folder.filePath("leiter.xlsx")).size() > 0);
    }

    // Two classes: each its ladder, the chooser shows either, a pairing of the other class is
    // loaded, a ladder rests and is removed after the question.
    void twoClassesInTheWindow() {
        Track t(false);
        Racers(t, 3, 4);
        TLadderWindow* window = OpenLadders(t);
        QVERIFY(window);
        QStringList preview;
        Create(window, "50", &TLadderDialog::rbProtocol, false, &preview);
        QCOMPARE(preview, (QStringList{"1|1|Fahrer1", "2|2|Fahrer2", "3|3|Fahrer3"}));
        const qint64 fifty = window->Shown();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TLadderDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->cbClass->currentText(), QString("125")); // the one without
            dialog->rbDraw->click();
            QVERIFY(!dialog->eDraw->text().isEmpty());
            dialog->eDraw->setText("0");
            QVERIFY(!dialog->bCreate->isEnabled());
            dialog->eDraw->setText("12345");
            QCOMPARE(dialog->TableField->item(0, 1)->text(), QString("7"));
            dialog->bCreate->click();
        });
        window->bCreate->click();
        const qint64 drawn = window->Shown();
        QVERIFY(drawn != fifty);
        QCOMPARE(window->LabInfo->text().trimmed(), QString("4 Fahrer aus Auslosung Nr. 12345"));
        QCOMPARE(window->cbLadder->count(), 2);
        QCOMPARE(Lanes(t), QString("2/3 7/6")); // both semi-finals before any final

        // The drawn class's lower semi-final into the lanes, from the window.
        Click(window, {drawn, 0, 1});
        QVERIFY(window->bLoad->isEnabled());
        window->bLoad->click();
        QCOMPARE(Lanes(t), QString("5/4 2/3"));
        window->cbLadder->setCurrentIndex(window->cbLadder->findData(fifty));
        emit window->cbLadder->activated(window->cbLadder->currentIndex());
        QCOMPARE(window->Shown(), fifty);
        // Four places are enough for a race for third place, and it can go again.
        window->cbThird->click();
        QVERIFY(t.w.Views->Ladders->Ladder(fifty)->ThirdPlace());
        QVERIFY(!window->View->BoxOf({fifty, 2, 0}).isEmpty());
        window->cbThird->click();
        QVERIFY(!t.w.Views->Ladders->Ladder(fifty)->ThirdPlace());
        Click(window, {fifty, 0, 1});
        QVERIFY(window->bLoad->isEnabled());

        // Resting: the reset passes it by and its pairings stay as they are.
        window->cbResting->click();
        QVERIFY(!t.w.Views->Ladders->Ladder(fifty)->active);
        QVERIFY(!window->bLoad->isEnabled() && !window->bSwap->isEnabled());
        QVERIFY(window->LabInfo->text().contains("ruht"));
        QCOMPARE(Lanes(t), QString("5/4 7/6"));

        // "Nein" keeps it, "Ja" removes it.
        for (const bool yes : {false, true}) {
            QTimer::singleShot(0, [yes] {
                auto* ask = qobject_cast<TFDlgYesNo*>(QApplication::activeModalWidget());
                QVERIFY(ask);
                QCOMPARE(ask->Label1->text(), QString("Die Ausscheidung der Klasse 50 entfernen?"));
                (yes ? ask->bYes : ask->bNo)->click();
            });
            window->bRemove->click();
            QCOMPARE(t.w.Views->Ladders->Ladder(fifty) != nullptr, !yes);
        }
        QCOMPARE(window->cbLadder->count(), 1);
        QCOMPARE(window->Shown(), drawn);
    }
};
RENNUHR_TEST(LadderWindowTest);

#include "tst_ladderwindow.moc"
