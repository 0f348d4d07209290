#include "TestMain.h"

#include "base/Program.h"
#include "export/ProtocolBackup.h"
#include "help/SPHTMLHelp.h"
#include "race/RaceSequence.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"
#include "ui/SortGrid.h"
#include "widgets/Digit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }
    void titleComesFromTheExecutable() {
        QCOMPARE(ProgramTitle(), QString("test_ui"));
        TFormMain window;
        QCOMPARE(window.windowTitle(), QString("test_ui v 1.1"));
        QCOMPARE(window.size(), QSize(800, 572));
        QCOMPARE(window.minimumSize(), QSize(792, 488));
    }

    void showsBothLaneClocks() {
        TFormMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // In the race area below the 38 pixel top bar.
        QCOMPARE(window.PanelLeft->FrameT1->geometry(), QRect(19, 20, 374, 143));
        QCOMPARE(window.PanelLeft->FrameT2->geometry(), QRect(19, 159, 374, 143));
        QCOMPARE(window.PanelLeft->FrameT1->mapTo(&window, QPoint()), QPoint(19, 58));
        QCOMPARE(window.PanelLeft->FrameT1->Tag(), 1);
        QCOMPARE(window.PanelLeft->FrameT2->Tag(), 2);
        QCOMPARE(window.PanelLeft->FrameT2->editStartN1->value(), 2);
        QCOMPARE(window.PanelLeft->FrameT2->editStartN2->value(), 4);

        // Black panel, dark leading zeros, yellow units.
        const QImage shot = window.grab().toImage();
        const QPoint frame = window.PanelLeft->FrameT1->mapTo(&window, QPoint());
        const QPoint digit4 = frame + window.PanelLeft->FrameT1->Digit4->pos();
        const QPoint digit6 = frame + window.PanelLeft->FrameT1->Digit6->pos();
        QCOMPARE(QColor(shot.pixel(digit4 + QPoint(23, 5))), DigitPalette[0]);
        QCOMPARE(QColor(shot.pixel(digit6 + QPoint(23, 5))), DigitPalette[1]);
        QCOMPARE(QColor(shot.pixel(digit6 + QPoint(24, 24))), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(680, 250)), QColor(0xA6, 0xCA, 0xF0));
    }

    void lanesWriteIntoTheProtocol() {
        TFormMain window;
        window.show();
        qint64 now = 5000000000;
        window.race.HighResTimer1.SetTickSource([&] { return now; });
        window.Sequence->mStart->trigger();
        now += 7654000000;
        window.Sequence->mStop1->trigger();
        const TProtocolModel* protocol = window.SortGrid1->Protocol();
        QCOMPARE(protocol->Cell(1, ColStartNr), QString("1"));
        QCOMPARE(protocol->Cell(2, ColStartNr), QString("2"));
        QCOMPARE(protocol->Cell(1, ColTime), QString("7,654"));
        QCOMPARE(protocol->Cell(1, ColWin), QString("+"));
        // The protocol fills the window below the race area, columns laid out to its width.
        QCOMPARE(window.SortGrid1->geometry().bottom(), window.height() - 1);
        int total = kProtocolColumns;
        for (int column = 0; column < kProtocolColumns; ++column)
            total += window.SortGrid1->ColumnWidth(column);
        QCOMPARE(total, window.SortGrid1->viewport()->width());
    }

    // A build folder has them beside the executable, an installed program under share/rennuhr.
    void readOnlyFilesBesideTheProgramOrInstalled() {
        {
            TFormMain window;
            QVERIFY(window.race.heat.state.StartSoundFile.isEmpty());
            QVERIFY(window.race.heat.state.StopSoundFile.isEmpty());
        }
        const QString installed = InstalledFilesFolder();
        QVERIFY(QDir().mkpath(installed));
        const QString help = ProgramTitle() + ".hlp";
        for (const QString& name : {QString("start.wav"), QString("stopp.wav"), help})
            QVERIFY(QFile(installed + "/" + name).open(QIODevice::WriteOnly));
        QVERIFY(QFile(ProgramFolder() + "/start.wav").open(QIODevice::WriteOnly));

        TFormMain window;
        QCOMPARE(window.race.heat.state.StartSoundFile, ProgramFolder() + "/start.wav");
        QCOMPARE(window.race.heat.state.StopSoundFile, installed + "/stopp.wav");
        QCOMPARE(SPHTMLHelp::ApplicationHelpFile(), installed + "/" + help);
        // Installed, it writes to the user's data folder even where it could write beside
        // itself, as root can.
        QCOMPARE(QFileInfo(window.Files->Backup->FilePath()).path(), UserDataFolder());
    }

    void commaIsASerifBoldFace() {
        TFormMain window;
        const QLabel* comma = window.PanelLeft->FrameT1->LabSec;
        const QFontInfo info(comma->font());
        QVERIFY2(info.family().contains("Serif") || info.family().contains("Times"),
                 qPrintable(info.family()));
        QVERIFY(info.bold());
        QCOMPARE(info.pixelSize(), 64);
        QCOMPARE(comma->geometry(), QRect(164, 70, 25, 81));
        const QFontInfo digits(window.PanelLeft->FrameT1->Label1->font());
        QVERIFY2(digits.family().contains("Sans") || digits.family().contains("Arial"),
                 qPrintable(digits.family()));
    }
};
RENNUHR_TEST(MainWindowTest);

#include "tst_mainwindow.moc"
