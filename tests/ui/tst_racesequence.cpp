#include "TestMain.h"

#include "race/RaceSequence.h"
#include "ui/DlgYesNo.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/RaceArea.h"
#include "ui/SortGrid.h"
#include "widgets/Digit.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

constexpr qint64 kMs = 1000000;

// The real window, shown offscreen and active, with a clock the test moves by hand.
struct Console {
    std::unique_ptr<TFormMain> owner = std::make_unique<TFormMain>();
    TFormMain& w = *owner;
    qint64 now = 1000 * kMs;
    qint64 start = 0;
    Console() {
        w.race.HighResTimer1.SetTickSource([this] { return now; });
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&w, Qt::Key(key), modifiers);
    }
    void Press(QAbstractButton* button) { QTest::mousePress(button, Qt::LeftButton); }
    void Release(QAbstractButton* button) { QTest::mouseRelease(button, Qt::LeftButton); }
    void Start() {
        Key(Qt::Key_F5);
        start = w.race.heat.state.StartTicks;
    }
    void At(qint64 ms) { now = start + ms * kMs; }
    QString Cell(int row, int column) { return w.SortGrid1->Protocol()->Cell(row, column); }
    QString Shown(TFrame1* f) {
        QString s;
        for (TDigit* d : {f->Digit4, f->Digit5, f->Digit6, f->Digit7, f->Digit8, f->Digit9})
            s += QString::number(d->Value());
        return s.insert(3, ',');
    }
    // Answers the next question box; it is modal, so the answer is queued before it opens.
    void Answer(bool yes) {
        TFDlgYesNo* dialog = w.FDlgYesNo;
        QTimer::singleShot(0, dialog, [dialog, yes] {
            if (dialog->isVisible()) (yes ? dialog->bYes : dialog->bNo)->click();
        });
    }
};

} // namespace

// The heat through the window: keys, buttons, clocks and questions. The rules themselves are
// tested without a window.
class RaceSequenceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }
    void readyAtStartUp() {
        Console c;
        QVERIFY(c.w.PanelLeft->bSTART->isEnabled());
        QVERIFY(!c.w.PanelLeft->bSTOP1->isEnabled() && !c.w.PanelLeft->bSTOP2->isEnabled() &&
                !c.w.PanelLeft->bRESET->isEnabled());
        QVERIFY(c.w.Sequence->mStart->isEnabled());
        QVERIFY(!c.w.Sequence->mReset->isEnabled());
        QVERIFY(c.w.PanelLeft->bFehlStart1->isHidden() && c.w.PanelLeft->bFehlStart2->isHidden());
        QVERIFY(c.w.PanelLeft->ImageLSstart->isHidden()); // no barrier port: manual mode
        QCOMPARE(c.w.Sequence->StartLight(), 2);
        QCOMPARE(c.w.HideMenu->actions().size(), 24);
        // One key, one command.
        QSet<QKeySequence> keys;
        for (const QAction* action : c.w.HideMenu->actions())
            if (!action->shortcut().isEmpty()) {
                QVERIFY2(!keys.contains(action->shortcut()), qPrintable(action->text()));
                keys.insert(action->shortcut());
            }
        QCOMPARE(c.w.HideMenu->actions().first()->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(c.w.HideMenu->actions().last()->text(), QString("&Beenden"));
    }

    void startWithThePortClosed() {
        Console c;
        c.Start();
        QVERIFY(c.w.race.heat.Lane(1).running && c.w.race.heat.Lane(2).running);
        QVERIFY(!c.w.PanelLeft->bSTART->isEnabled() && !c.w.Sequence->mStart->isEnabled());
        QVERIFY(c.w.PanelLeft->bSTOP1->isEnabled() && c.w.PanelLeft->bSTOP2->isEnabled());
        QCOMPARE(c.w.PanelLeft->bSTOP1->CurrentFace(), QColor(0xFF, 0x00, 0x00));
        QVERIFY(!c.w.PanelLeft->bFehlStart1->isHidden() && !c.w.PanelLeft->bFehlStart2->isHidden());
        QVERIFY(!c.w.PanelLeft->bRESET->isEnabled());
        QCOMPARE(c.w.PanelLeft->bRESET->CurrentFace(),
                 c.w.PanelLeft->bRESET->palette().color(QPalette::Button));
        QCOMPARE(c.w.Sequence->ArmFlag(TRaceSequence::Lane1Group), 1);
        QCOMPARE(c.w.Sequence->ArmFlag(TRaceSequence::StartGroup), 0);
        QVERIFY(c.w.Sequence->TimerGesperrtStart->isActive());
        QCOMPARE(c.Cell(1, ColStartNr), QString("1"));
        QCOMPARE(c.Cell(2, ColStartNr), QString("2"));
        c.At(1234);
        QTRY_COMPARE(c.Shown(c.w.PanelLeft->FrameT1), QString("001,234"));
    }

    void twoStopsFinishTheHeatAndTheResetFollows() {
        Console c;
        c.w.PanelLeft->cbAutomatisch->setChecked(true);
        QSignalSpy finished(c.w.Sequence, &TRaceSequence::HeatFinished);
        c.Start();
        c.At(12345);
        c.Press(c.w.PanelLeft->bSTOP1); // acts on the press, not on the release
        QVERIFY(!c.w.race.heat.Lane(1).running);
        c.Release(c.w.PanelLeft->bSTOP1);
        QVERIFY(c.w.PanelLeft->bFehlStart1
                    ->isHidden()); // stopped by its button: no false start offered
        QVERIFY(c.w.PanelLeft->bRESET->isEnabled());
        QVERIFY(!c.w.Sequence->TimerReset->isActive());
        c.At(13000);
        c.Key(Qt::Key_F9);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(c.Cell(1, ColTime), QString("12,345"));
        QCOMPARE(c.Cell(1, ColWin), QString("+"));
        QCOMPARE(c.Cell(2, ColTime), QString("13,000"));
        QCOMPARE(c.Cell(2, ColWin), QString());
        QVERIFY(c.w.Sequence->TimerReset->isActive());
        QCOMPARE(c.w.Sequence->TimerReset->interval(), 5000);
    }

    void automaticResetAdvancesTheStartNumbers() {
        Console c;
        c.w.PanelLeft->cbAutomatisch->setChecked(true);
        c.Start();
        c.At(5000);
        c.Key(Qt::Key_F8);
        c.Key(Qt::Key_F9);
        c.w.Sequence->TimerResetTimer();
        QCOMPARE(c.w.PanelLeft->FrameT1->editStartN1->value(), 3);
        QCOMPARE(c.w.PanelLeft->FrameT1->editStartN2->value(), 5);
        QCOMPARE(c.w.PanelLeft->FrameT2->editStartN1->value(), 4);
        QCOMPARE(c.w.PanelLeft->FrameT2->editStartN2->value(), 6);
        QCOMPARE(c.Shown(c.w.PanelLeft->FrameT1), QString("000,000"));
        QVERIFY(c.w.PanelLeft->bSTART->isEnabled() && !c.w.PanelLeft->bRESET->isEnabled());
        QVERIFY(!c.w.Sequence->TimerReset->isActive());
    }

    void falseStartGivesTheOtherLaneTheMark() {
        Console c;
        c.Start();
        c.At(800);
        c.Key(Qt::Key_F6, Qt::ControlModifier); // Strg+F6: lane 2
        QVERIFY(!c.w.race.heat.Lane(2).running);
        QVERIFY(c.w.PanelLeft->bFehlStart2->isHidden());
        QCOMPARE(c.Cell(2, ColTime), QString("-"));
        c.At(9000);
        c.Key(Qt::Key_F8);
        QCOMPARE(c.Cell(1, ColWin), QString("+"));
        QCOMPARE(c.Cell(2, ColWin), QString());
        QCOMPARE(c.Cell(2, ColSpeed), QString());
    }

    void crashMarksTheSelectedRow() {
        Console c;
        c.Key(Qt::Key_F4); // empty protocol: nothing to mark
        QVERIFY(!c.w.mAvaria->isEnabled());
        c.Start();
        QVERIFY(c.w.mAvaria->isEnabled());
        c.Key(Qt::Key_F8);
        c.Key(Qt::Key_F9);
        c.w.SortGrid1->SelectRow(1);
        c.Key(Qt::Key_F4);
        for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
            QCOMPARE(c.Cell(1, column), QString("-"));
        QCOMPARE(c.Cell(2, ColWin), QString());
    }

    void closeAsksOnlyWhileAClockRuns() {
        Console c;
        c.Start();
        c.Answer(false);
        QVERIFY(!c.w.close());
        QVERIFY(c.w.isVisible());
        QVERIFY(c.w.race.heat.Lane(1).running);
        QCOMPARE(c.w.FDlgYesNo->Label1->text(), QString("Beenden?"));
        c.Answer(true);
        QVERIFY(c.w.close());
        Console idle;
        QVERIFY(idle.w.close()); // nothing runs: no question
    }

    void clearingAsksFirst() {
        Console c;
        c.Start();
        c.Key(Qt::Key_F8);
        c.Key(Qt::Key_F9);
        QVERIFY(c.w.PanelLeft->sbCLS->isEnabled());
        c.Answer(false);
        c.w.PanelLeft->sbCLS->click();
        QCOMPARE(c.w.FDlgYesNo->Label1->text(), QString("Zeitenprotokoll  löschen?"));
        QCOMPARE(c.w.SortGrid1->Protocol()->DataRowCount(), 2);
        c.Answer(true);
        c.w.PanelLeft->sbCLS->click();
        QCOMPARE(c.w.SortGrid1->Protocol()->DataRowCount(), 1);
        QVERIFY(!c.w.PanelLeft->sbCLS->isEnabled() && !c.w.PanelLeft->sbSave->isEnabled() &&
                !c.w.mAvaria->isEnabled());
        QVERIFY(c.w.PanelLeft->sbLoad->isEnabled() && c.w.PanelLeft->sbNextKrug->isEnabled());
    }

    void protocolWithoutNumberInRowOneCountsAsEmpty() {
        Console c;
        TProtocolModel* protocol = c.w.SortGrid1->Protocol();
        protocol->SetRows({TProtocolModel::DefaultHeaderTexts(),
                           QStringList(kProtocolColumns, QString()),
                           {"7", "Huber", "", "", "", "", "", "", "", "", ""}});
        QVERIFY(!c.w.PanelLeft->sbSave->isEnabled() && !c.w.PanelLeft->sbPrint->isEnabled() &&
                !c.w.PanelLeft->sbInet->isEnabled());
        protocol->SetCell(1, ColStartNr, "3");
        QVERIFY(c.w.PanelLeft->sbSave->isEnabled() && c.w.PanelLeft->sbExcel->isEnabled() &&
                c.w.mAvaria->isEnabled());
    }

    void layoutFollowsTheWidthAndTheWiring() {
        Console c;
        auto width = [&](int column) { return c.w.SortGrid1->ColumnWidth(column); };
        c.w.resize(800, 572);
        QTRY_COMPARE(width(ColStartNr), 40);
        const int client = c.w.SortGrid1->viewport()->width();
        int sum = client - 11 - (40 + 60 + 60 + 58 + 51 + 57 + 43 + 57 + 30);
        QCOMPARE(width(ColName), sum / 3 * 2);
        QCOMPARE(width(ColFirstName), sum - sum / 3 * 2);
        QCOMPARE(c.w.PanelLeft->eTitle->width(), 800 - 400 - 2);
        c.w.resize(1100, 600);
        QTRY_COMPARE(c.w.PanelLeft->eTitle->width(), 1100 - 400 - 2);
        const int wide = c.w.SortGrid1->viewport()->width();
        sum = wide - 11 - (40 + 60 + 60 + 58 + 51 + 57 + 43 + 57 + 30);
        QCOMPARE(width(ColName) + width(ColFirstName), sum);
        c.w.race.settings.ColSpeed2 = false;
        c.w.FormResize();
        QCOMPARE(width(ColIntermediate), -1);
        QCOMPARE(width(ColName) + width(ColFirstName), sum + 58);
        // The right-hand protocol buttons keep to the right edge.
        QCOMPARE(c.w.PanelLeft->Panel4->width() - c.w.PanelLeft->sbCLS->x(), 391 - 354);
    }

    void imitationPanelToggles() {
        Console c;
        QVERIFY(c.w.PanelLeft->PanelImit->isHidden());
        c.Key(Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!c.w.PanelLeft->PanelImit->isHidden());
        c.Key(Qt::Key_T, Qt::ControlModifier);
        QVERIFY(c.w.PanelLeft->PanelImit->isHidden());
    }

    void protocolShortcuts() {
        Console c;
        c.Key(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(c.Cell(1, ColStartNr), QString("1"));
        c.Key(Qt::Key_Escape);
        c.Key(Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(c.Cell(1, ColWin), QString("+"));
        c.Key(Qt::Key_0, Qt::ControlModifier);
        QVERIFY(c.w.SortGrid1->Protocol()->IsBlankRow(1));
    }
};
RENNUHR_TEST(RaceSequenceTest);

#include "tst_racesequence.moc"
