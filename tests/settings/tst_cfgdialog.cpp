#include "TestMain.h"

#include "settings/CfgDialog.h"
#include "settings/TrackSchematic.h"
#include "ui/SortGrid.h"
#include "widgets/SpinFloatEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <climits>

namespace {

TPortScan Ports(quint32 present) {
    TPortScan scan;
    scan.present = present;
    return scan;
}

// COM1, COM5 and COM16 present.
constexpr quint32 kPorts = (16u << 16) | 0x1u | 0x10u | 0x8000u;
const QList<QRect> kOneScreen = {QRect(0, 0, 1024, 768)};
const QList<QRect> kTwoScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

// The dialog with every action recorded, in order, with the settings it saw.
struct Fixture {
    TRaceSettings settings;
    TCfgDialog* dialog = nullptr;
    QStringList log;

    explicit Fixture(quint32 ports = kPorts, const QList<QRect>& screens = kTwoScreens) {
        settings.Port = 5;
        dialog = new TCfgDialog(settings, Ports(ports));
        dialog->SetScreens(screens);
        TCfgActions actions;
        actions.ApplyClassMode = [this] { log << QString("class %1").arg(settings.Klass); };
        actions.PlaceMonitor = [this] { log << QString("monitor %1").arg(settings.Monitor); };
        actions.SetStartLockOut = [this](int ms) {
            log << QString("lockout %1 length %2").arg(ms).arg(settings.Length);
        };
        actions.ClosePort = [this] { log << QString("close %1").arg(settings.Port); };
        actions.Pause = [this](int ms) { log << QString("pause %1").arg(ms); };
        actions.OpenPort = [this](int port) {
            log << QString("open %1 alg %2").arg(port).arg(settings.Alg);
        };
        actions.ShowBarrierLamps = [this] { log << "lamps"; };
        actions.FormResize = [this] { log << "resize"; };
        dialog->SetActions(actions);
    }
    ~Fixture() { delete dialog; }

    void Open() {
        dialog->Fill();
        dialog->show();
    }
    static void Type(TSpinFloatEdit* edit, const QString& text) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
};

} // namespace

class CfgDialogTest : public QObject {
    Q_OBJECT
private slots:
    void scaleRoundedHalvesToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("result");
        QTest::newRow("km tie down") << 0.4025 << 1000 << 402;
        QTest::newRow("km tie up") << 0.4035 << 1000 << 404;
        QTest::newRow("m tie") << 201.35 << 10 << 2014;
        QTest::newRow("just above a tie") << 201.2501 << 10 << 2013;
        QTest::newRow("s tie to zero") << 0.0005 << 1000 << 0;
        QTest::newRow("negative tie") << -0.0025 << 1000 << -2;
        QTest::newRow("too large") << 1e12 << 1000 << INT_MAX;
    }
    void scaleRoundedHalvesToEven() {
        QFETCH(double, value);
        QFETCH(int, factor);
        QFETCH(int, result);
        QCOMPARE(ScaleRounded(value, factor), result);
    }

    void creationFillsTheLengthAndThePortList() {
        TRaceSettings settings;
        settings.Length = 0;
        TCfgDialog dialog(settings, Ports(kPorts));
        QCOMPARE(settings.Length, 402);
        QStringList entries;
        for (int i = 0; i < dialog.cbPort->count(); ++i)
            entries << dialog.cbPort->itemText(i);
        QCOMPARE(entries,
                 QStringList({"Kein", "COM1 (ttyS0)", "COM5 (ttyUSB0)", "COM16 (ttyACM3)"}));
        // A stored length stays; bits above the highest port count are no ports.
        settings.Length = 250;
        TCfgDialog other(settings, Ports((2u << 16) | 0x2u | 0x10u));
        QCOMPARE(settings.Length, 250);
        QCOMPARE(other.cbPort->count(), 2);
    }

    void openingShowsTheSettings() {
        Fixture f;
        f.settings.LengthC = 2015;
        f.settings.WaitStart = 2500;
        f.settings.Alg = 1;
        f.settings.ColSpeed0 = false;
        f.settings.ManyStart = true;
        f.settings.MinTime = 1500;
        f.Open();
        QCOMPARE(f.dialog->sfeLen->text(), QString("0,402"));
        QCOMPARE(f.dialog->seMinTime->text(), QString("1,5"));
        QCOMPARE(f.dialog->seFinalLen->text(), QString("392,0"));
        QCOMPARE(f.dialog->seCentrLen->text(), QString("201,5"));
        QCOMPARE(f.dialog->seWait->text(), QString("2,5"));
        QCOMPARE(f.dialog->cbPort->currentText(), QString("COM5 (ttyUSB0)"));
        QCOMPARE(f.dialog->cbAlg->currentText(), QString("Aus"));
        QVERIFY(!f.dialog->cbAmpel->isChecked());
        QVERIFY(f.dialog->cbManyStart->isChecked());
        f.dialog->close();

        // A port that was not present at start-up shows as none; "OK" keeps the polarity.
        f.settings.Port = 7;
        f.settings.ManyStart = false;
        f.Open();
        QCOMPARE(f.dialog->cbPort->currentIndex(), 0);
        QVERIFY(!f.dialog->cbManyStart->isChecked());
        f.dialog->OKBtn->click();
        QCOMPARE(f.settings.Port, 0);
        QCOMPARE(f.settings.Alg, 1);
        QVERIFY(f.log.filter("open").isEmpty());
    }

    void okAppliesEveryFieldInOrder() {
        Fixture f;
        f.Open();
        QTest::keyClick(f.dialog->cbPort, Qt::Key_End); // COM16
        f.dialog->cbAlg->setCurrentIndex(1);
        f.dialog->cbMonitor->setCurrentIndex(1);
        f.dialog->cbKlass->setChecked(true);
        f.dialog->cbManyStart->setChecked(true);
        f.dialog->cbAmpel->setChecked(false);
        // Typed and confirmed by clicking OK: the texts count as typed, halves go to even.
        Fixture::Type(f.dialog->sfeLen, "0,4025");
        Fixture::Type(f.dialog->seFinalLen, "301,25");
        Fixture::Type(f.dialog->seCentrLen, "201,35");
        Fixture::Type(f.dialog->seStartLen, "12,3");
        Fixture::Type(f.dialog->seWait, "1,0005");
        Fixture::Type(f.dialog->seMinTime, "2,5");
        // A distance disabled with its barrier still keeps what it shows.
        f.dialog->cbLsStart->setChecked(false);
        f.dialog->OKBtn->click();

        QVERIFY(!f.dialog->isVisible());
        const TRaceSettings& s = f.settings;
        QCOMPARE(QList<int>({s.Length, s.LengthF, s.LengthC, s.LengthS, s.WaitStart, s.MinTime}),
                 QList<int>({402, 3012, 2014, 123, 1000, 2500}));
        QCOMPARE(QList<int>({s.Port, s.Alg, s.Monitor}), QList<int>({16, 1, 1}));
        QCOMPARE(
            QList<bool>({s.Klass, s.ManyStart, s.ColSpeed0, s.ColSpeed1, s.ColSpeed2, s.ColSpeed3}),
            QList<bool>({true, true, false, false, true, true}));
        // Each step sees the settings of the steps before it, and nothing later.
        QCOMPARE(f.log, QStringList({"class 1", "monitor 1", "lockout 1000 length 402", "close 5",
                                     "pause 50", "open 16 alg 1", "lamps", "resize"}));
    }

    // The slips' printer and paper only while slips are on; a stored queue that is gone
    // stays chosen rather than quietly becoming another.
    void slipSettings() {
        Fixture f;
        f.settings.SlipPrinter = "Bon im Zelt";
        f.Open();
        QVERIFY(!f.dialog->cbSlipPrint->isChecked());
        QVERIFY(!f.dialog->cbSlipPrinter->isEnabled() && !f.dialog->cbSlipPaper->isEnabled());
        QCOMPARE(f.dialog->cbSlipPaper->currentText(), "Bonrolle 80 mm");
        QCOMPARE(f.dialog->cbSlipPrinter->currentText(), "Bon im Zelt (nicht gefunden)");
        f.dialog->cbSlipPrint->setChecked(true);
        QVERIFY(f.dialog->cbSlipPrinter->isEnabled() && f.dialog->cbSlipPaper->isEnabled());
        f.dialog->cbSlipPaper->setCurrentText("A6");
        f.dialog->OKBtn->click();
        QVERIFY(f.settings.SlipPrint);
        QCOMPARE(f.settings.SlipPrinter, "Bon im Zelt");
        QCOMPARE(f.settings.SlipPaper, TSlipPaper::A6);
        // The slips' group lies below everything else and inside the dialog.
        const QRect slips = f.dialog->gbSlip->geometry();
        QVERIFY(slips.top() > f.dialog->cbLive->geometry().bottom());
        QVERIFY(slips.bottom() < f.dialog->OKBtn->geometry().top());
        QVERIFY(f.dialog->rect().contains(f.dialog->OKBtn->geometry()));
    }

    void cancelChangesNothing() {
        Fixture f;
        f.Open();
        QTest::keyClick(f.dialog->cbPort, Qt::Key_Home);
        f.dialog->cbLsCentr->setChecked(false);
        Fixture::Type(f.dialog->sfeLen, "0,3");
        f.dialog->CancelBtn->click();
        QVERIFY(!f.dialog->isVisible());
        QVERIFY(f.log.isEmpty());
        QCOMPARE(f.settings.Port, 5);
        QCOMPARE(f.settings.Length, 402);
        QVERIFY(f.settings.ColSpeed2);
        // The edits stay until the next opening refills the controls.
        QCOMPARE(f.dialog->sfeLen->text(), QString("0,3"));
        f.Open();
        QCOMPARE(f.dialog->sfeLen->text(), QString("0,402"));
        QCOMPARE(f.dialog->cbPort->currentIndex(), 2);
        QTest::keyClick(f.dialog, Qt::Key_Escape);
        QVERIFY(!f.dialog->isVisible());
        QVERIFY(f.log.isEmpty());
    }

    void noPortDisablesTheWiringAndKeepsThePolarity() {
        Fixture f;
        f.settings.Alg = 1;
        f.Open();
        QVERIFY(f.dialog->seFinalLen->isEnabled());
        QTest::keyClick(f.dialog->cbPort, Qt::Key_Home); // "Kein"
        const QList<QWidget*> wiring = {f.dialog->cbAlg, f.dialog->seWait, f.dialog->seStartLen,
                                        f.dialog->seCentrLen, f.dialog->seFinalLen};
        for (QWidget* control : wiring)
            QVERIFY(!control->isEnabled());
        f.dialog->cbAlg->setCurrentIndex(0);
        f.dialog->OKBtn->click();
        QCOMPARE(f.settings.Port, 0);
        QCOMPARE(f.settings.Alg, 1);
        QCOMPARE(f.log.filter(QRegularExpression("close|pause|open")), QStringList({"close 5"}));

        // Opened again without a port, the wiring stays disabled until one is chosen.
        f.Open();
        QVERIFY(!f.dialog->seWait->isEnabled());
        QTest::keyClick(f.dialog->cbPort, Qt::Key_Down);
        for (QWidget* control : wiring)
            QVERIFY(control->isEnabled());
    }

    void distancesFollowTheTrackLength() {
        Fixture f;
        f.Open();
        f.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.dialog));
        f.dialog->sfeLen->setFocus();
        // Typed over the old length on the way to 0,5 km: nothing is cut on the way.
        Fixture::Type(f.dialog->sfeLen, "0,5");
        QTest::keyClick(f.dialog->sfeLen, Qt::Key_Tab);
        QCOMPARE(f.dialog->seFinalLen->MaxValue(), 500.0);
        QCOMPARE(f.dialog->seFinalLen->text(), QString("392,0"));

        // 0,300 km lowers the top-speed distance to the stop barrier.
        f.dialog->sfeLen->setFocus();
        Fixture::Type(f.dialog->sfeLen, "0,3");
        QTest::keyClick(f.dialog->sfeLen, Qt::Key_Tab);
        QCOMPARE(f.dialog->seFinalLen->text(), QString("300,0"));
        QCOMPARE(f.dialog->seCentrLen->text(), QString("201,0"));
        // The arrows follow at once.
        f.dialog->sfeLen->stepBy(-1);
        QCOMPARE(f.dialog->seCentrLen->text(), QString("200,0"));

        // A length typed and confirmed without leaving the field bounds them too.
        Fixture::Type(f.dialog->sfeLen, "0,15");
        f.dialog->OKBtn->click();
        QCOMPARE(f.settings.Length, 150);
        QCOMPARE(f.settings.LengthF, 1500);
        QCOMPARE(f.settings.LengthC, 1500);
    }

    void invalidTrackLengthKeepsTheDialogOpen_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("no number") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("above the range") << "1000";
        QTest::newRow("below the range") << "0,05";
    }
    void invalidTrackLengthKeepsTheDialogOpen() {
        QFETCH(QString, typed);
        Fixture f;
        f.Open();
        f.dialog->cbLsCentr->setChecked(false);
        Fixture::Type(f.dialog->seFinalLen, "100");
        Fixture::Type(f.dialog->sfeLen, typed);
        QString message;
        QTimer::singleShot(0, [&message] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        f.dialog->OKBtn->click();
        QVERIFY2(message.contains("Streckenlänge"), qPrintable(message));
        QVERIFY(message.contains("0,100 bis 999,000"));
        QVERIFY(f.dialog->isVisible());
        QVERIFY(f.log.isEmpty());
        QCOMPARE(f.settings.LengthF, 3920);
        QVERIFY(f.settings.ColSpeed2);
        QCOMPARE(f.settings.Length, 402);

        // Mended, the same "OK" goes through.
        Fixture::Type(f.dialog->sfeLen, "0,4");
        f.dialog->OKBtn->click();
        QVERIFY(!f.dialog->isVisible());
        QCOMPARE(f.settings.Length, 400);
        QCOMPARE(f.settings.LengthF, 1000);
    }

    void monitorList() {
        Fixture two(kPorts, kTwoScreens);
        two.settings.Monitor = 1;
        two.Open();
        QVERIFY(two.dialog->cbMonitor->isEnabled());
        QCOMPARE(two.dialog->cbMonitor->itemText(0), QString("0=(0,0)-(1920,1080)"));
        QCOMPARE(two.dialog->cbMonitor->itemText(1), QString("1=(1920,0)-(1280,1024)"));
        QCOMPARE(two.dialog->cbMonitor->currentIndex(), 1);
        QTest::keyClick(two.dialog->cbMonitor, Qt::Key_Home);
        two.dialog->OKBtn->click();
        QCOMPARE(two.settings.Monitor, 0);

        Fixture one(kPorts, kOneScreen);
        one.settings.Monitor = 1;
        one.Open();
        QVERIFY(!one.dialog->cbMonitor->isEnabled());
        QCOMPARE(one.dialog->cbMonitor->count(), 1);
        QCOMPARE(one.dialog->cbMonitor->currentText(), QString("Kein"));
        one.dialog->OKBtn->click();
        QCOMPARE(one.settings.Monitor, 0);
    }

    void blinkColours() {
        Fixture f;
        f.Open();
        const TTrackSchematic* schematic = f.dialog->Schematic;
        QVERIFY(f.dialog->TimerBlink->isActive());
        // A port chosen: nothing blinks; a barrier not wired is dark.
        f.dialog->cbLsCentr->setChecked(false);
        for (int tick = 0; tick < 2; ++tick) {
            const TSchematicColors& c = schematic->Colors();
            QCOMPARE(c.StartContact, QRgb(0x00FF00));
            QCOMPARE(c.Barrier[0][ReactionBarrier], QRgb(0xFF0000));
            QCOMPARE(c.Barrier[0][IntermediateBarrier], QRgb(0x7F0000));
            QCOMPARE(c.Barrier[1][IntermediateBarrier], QRgb(0x00007F));
            f.dialog->TimerBlinkTimer();
        }
        // "Kein": everything blinks, the missing barrier against the others.
        QTest::keyClick(f.dialog->cbPort, Qt::Key_Home);
        const int phase = f.dialog->BlinkPhase();
        const TSchematicColors bright = SchematicColors(0, true, false, true);
        const TSchematicColors dark = SchematicColors(1, true, false, true);
        QCOMPARE(schematic->Colors(), phase ? dark : bright);
        f.dialog->TimerBlinkTimer();
        QCOMPARE(schematic->Colors(), phase ? bright : dark);
        QCOMPARE(dark.StartContact, QRgb(0x007F00));
        QCOMPARE(dark.Barrier[0][IntermediateBarrier], QRgb(0xFF0000));
        QCOMPARE(dark.Barrier[1][StopBarrier], QRgb(0x00007F));
        // Lines take the OR of the barriers before them.
        QCOMPARE(dark.Line[0][0], QRgb(0x7F0000));
        QCOMPARE(dark.Line[0][1], QRgb(0xFF0000));
        QCOMPARE(SchematicColors(0, false, false, true).Line[1][1], QRgb(0x00007F));

        // The phase is kept between showings; the timer runs only while the dialog shows.
        f.dialog->close();
        QVERIFY(!f.dialog->TimerBlink->isActive());
        f.Open();
        QCOMPARE(f.dialog->BlinkPhase(), 1 - phase);
    }

    void theSchematicPaintsItsColoursAndHints() {
        Fixture f;
        f.Open();
        f.dialog->cbLsFinal->setChecked(false);
        TTrackSchematic* schematic = f.dialog->Schematic;
        const QImage image = schematic->grab().toImage();
        const auto pixel = [&](const QRectF& bar) {
            return image.pixel(bar.center().toPoint() + QPoint(0, -4)) & 0xFFFFFF;
        };
        QCOMPARE(pixel(schematic->BarrierBar(1, TopSpeedBarrier)), QRgb(0x7F0000));
        QCOMPARE(pixel(schematic->BarrierBar(2, TopSpeedBarrier)), QRgb(0x00007F));
        QCOMPARE(pixel(schematic->StartContactBar()), QRgb(0x00FF00));

        QCOMPARE(schematic->HintAt(schematic->BarrierBar(1, IntermediateBarrier).topLeft()),
                 QString("LS-Zwischzeit"));
        QCOMPARE(schematic->HintAt(schematic->BarrierBar(2, StopBarrier).center()),
                 QString("Stopp-LS"));
        const QRectF reaction = schematic->BarrierBar(1, ReactionBarrier);
        QCOMPARE(schematic->HintAt(reaction.center() + QPointF(30, 0)), QString("Start-LS"));
        QCOMPARE(schematic->HintAt(QPointF(300, 150)), QString());
    }

    void uncheckingTheIntermediateBarrierHidesItsColumn() {
        Fixture f;
        TSortGrid grid;
        TCfgActions actions;
        actions.ApplyClassMode = [&] { grid.ApplyClassMode(f.settings.Klass); };
        actions.FormResize = [&] {
            const auto widths = ProtocolColumnWidths(f.settings, 780);
            for (int column = 0; column < kProtocolColumns; ++column)
                grid.SetColumnWidth(column, widths[column]);
        };
        f.dialog->SetActions(actions);
        f.Open();
        f.dialog->cbLsCentr->setChecked(false);
        QVERIFY(!f.dialog->seCentrLen->isEnabled());
        f.dialog->cbKlass->setChecked(true);
        f.dialog->OKBtn->click();
        QVERIFY(!grid.VisibleColumns()[ColIntermediate]);
        QVERIFY(grid.VisibleColumns()[ColReaction]);
        QCOMPARE(grid.model()->headerData(ColClass, Qt::Horizontal).toString(), QString("Klasse"));
    }

    void executeIsModal() {
        Fixture f;
        // Enter is the default button.
        QTimer::singleShot(0, f.dialog, [&] {
            Fixture::Type(f.dialog->seWait, "2");
            QTest::keyClick(f.dialog->seWait, Qt::Key_Return);
        });
        QVERIFY(f.dialog->Execute());
        QCOMPARE(f.settings.WaitStart, 2000);
    }
};

RENNUHR_TEST(CfgDialogTest);
#include "tst_cfgdialog.moc"
