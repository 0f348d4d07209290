#include "TestMain.h"

#include "base/Program.h"
#include "export/BackgroundWriter.h"
#include "export/ProtocolBackup.h"
#include "export/SaveBytes.h"
#include "race/RaceSequence.h"
#include "settings/CfgDialog.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/Monitor2.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"
#include "ui/SortGrid.h"
#include "ui/Termination.h"
#include "ui/TitlePicture.h"
#include "ui/TopBar.h"
#include "widgets/Digit.h"
#include "widgets/Led.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <csignal>
#include <memory>

#include <sys/stat.h>

namespace {

constexpr qint64 kMs = 1000000;

std::unique_ptr<TFormMain> Window(qint64& now) {
    auto w = std::make_unique<TFormMain>();
    w->race.HighResTimer1.SetTickSource([&now] { return now; });
    w->show();
    QApplication::setActiveWindow(w.get());
    return w;
}

void RunHeat(TFormMain& w, qint64& now) {
    w.Sequence->mStart->trigger();
    now += 9876 * kMs;
    w.Sequence->mStop1->trigger();
    now += 111 * kMs;
    w.Sequence->mStop2->trigger();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString BackupPath() {
    return ProgramFolder() + "/" + ProgramTitle() + "-Sicherungsdatei.txt";
}

} // namespace

class WiringTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void firstStartHasAnEmptyProtocolAndThePresetNumbers() {
        qint64 now = 0;
        auto w = Window(now);
        QCOMPARE(w->SortGrid1->Protocol()->DataRowCount(), 1);
        QVERIFY(w->SortGrid1->Protocol()->IsBlankRow(1));
        QCOMPARE(w->PanelLeft->FrameT1->editStartN1->value(), 1);
        QCOMPARE(w->PanelLeft->FrameT2->editStartN2->value(), 4);
        QCOMPARE(w->PanelLeft->eTitle->text(), QString("* * *"));
        QVERIFY(!QFile::exists(BackupPath()));
    }

    void heatIsBackedUpAndRestoredAtTheNextStart() {
        qint64 now = 100 * kMs;
        {
            auto w = Window(now);
            w->PanelLeft->eTitle->setText("Finale");
            w->race.settings.Alg = 1;
            RunHeat(*w, now);
            w->FileWriter->Drain();
            QVERIFY(QFile::exists(BackupPath())); // written when the heat ended
            w->SortGrid1->Protocol()->SetCell(1, ColName, "Huber");
        } // closing writes the backup and the settings once more
        auto w = Window(now);
        const TProtocolModel* protocol = w->SortGrid1->Protocol();
        QCOMPARE(protocol->Cell(1, ColTime), QString("9,876"));
        QCOMPARE(protocol->Cell(1, ColWin), QString("+"));
        QCOMPARE(protocol->Cell(1, ColName), QString("Huber"));
        QCOMPARE(protocol->Cell(2, ColTime), QString("9,987"));
        QCOMPARE(w->PanelLeft->eTitle->text(), QString("Finale"));
        QCOMPARE(w->race.settings.Alg, 1);
        QVERIFY(w->PanelLeft->sbSave->isEnabled());
        // The lanes race rows 1 and 2 again; nothing further is ready.
        QCOMPARE(w->PanelLeft->FrameT1->editStartN1->value(), 1);
        QCOMPARE(w->PanelLeft->FrameT2->editStartN1->value(), 2);
    }

    void savedProtocolLoadsBackAndABadFileChangesNothing() {
        qint64 now = 0;
        auto w = Window(now);
        QStringList messages;
        w->Files->SetMessageSink([&](const QString& m) { messages << m; });
        RunHeat(*w, now);
        QTemporaryDir dir;
        const QString file = dir.filePath("heat.txt");
        QVERIFY(w->Files->Save(file, ProtocolFileKind::Text));
        QVERIFY(w->Files->Save(dir.filePath("heat.xlsx"), ProtocolFileKind::Excel));
        QVERIFY(w->Files->Save(dir.filePath("heat.docx"), ProtocolFileKind::Word));
        QVERIFY(w->Files->Save(dir.filePath("heat.html"), ProtocolFileKind::Html));
        QVERIFY(messages.isEmpty());
        w->SortGrid1->ClearProtocol();
        QVERIFY(w->Files->Load(file, ProtocolFileKind::Text));
        QCOMPARE(w->SortGrid1->Protocol()->Cell(2, ColTime), QString("9,987"));
        QVERIFY(!w->Files->Load(dir.filePath("missing.txt"), ProtocolFileKind::Text));
        QVERIFY(!w->Files->Load(dir.filePath("heat.docx"), ProtocolFileKind::Excel));
        QCOMPARE(messages.size(), 2);
        QCOMPARE(w->SortGrid1->Protocol()->Cell(2, ColTime), QString("9,987"));
        QVERIFY(w->Files->Load(dir.filePath("heat.xlsx"), ProtocolFileKind::Excel));
        QCOMPARE(w->SortGrid1->Protocol()->Cell(1, ColTime), QString("9,876"));
        QVERIFY(!w->Files->Save(dir.filePath("no/such/folder/x.txt"), ProtocolFileKind::Text));
        QVERIFY(messages.last().startsWith("Der Schreibfehler der Datei: "));
    }

    void tvWindowMirrorsTheClocksAndFollowsTheKeys() {
        qint64 now = 0;
        auto w = Window(now);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(!w->FMonitor2->isVisible());
        w->PanelLeft->eTitle->setText("Bergrennen");
        QCOMPARE(w->FMonitor2->PanelTitle->text(), QString("Bergrennen"));
        w->SortGrid1->Protocol()->SetRows(
            {TProtocolModel::DefaultHeaderTexts(), {"1", "Berg", "Eva"}});
        QCOMPARE(w->FMonitor2->Extras[0].name->text(), QString("Berg Eva"));
        w->Sequence->mStart->trigger();
        now += 12345 * kMs;
        w->Sequence->mStop1->trigger();
        QCOMPARE(w->FMonitor2->Digit5->Value(), 1);
        QCOMPARE(w->FMonitor2->Digit9->Value(), 5);
        QVERIFY(w->FMonitor2->Extras[0].winBadge->isVisibleTo(w->FMonitor2));
        QTest::keyClick(w.get(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(w->FMonitor2->isVisible());
        QVERIFY(!w->PanelLeft->ImageTVEin->isHidden());

        // The TV covers the only screen: the settings come above it, the keys return to it.
        TCfgDialog* dialog = w->CfgDialog;
        bool onTop = false;
        QTimer::singleShot(0, dialog, [dialog, &onTop] {
            onTop = dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
            dialog->CancelBtn->click();
        });
        QTest::keyClick(w->FMonitor2, Qt::Key_F2);
        QVERIFY(onTop);
        QTRY_COMPARE(QApplication::activeWindow(), w->FMonitor2);

        w->Sequence->mStop2->trigger();
        w->Sequence->mReset->trigger();
        QCOMPARE(w->FMonitor2->LabStart1->text(), QString(" Start-Nr.:3"));
        QCOMPARE(w->FMonitor2->LabNext2->text(), QString("Bereit: 6 "));
        QVERIFY(!w->FMonitor2->Extras[0].winBadge->isVisibleTo(w->FMonitor2));
        w->Modus1->trigger();
        QVERIFY(!w->FMonitor2->isVisible());
        QVERIFY(w->PanelLeft->ImageTVEin->isHidden());
    }

    void settingsDialogOpensFromTheKeyAndCancelChangesNothing() {
        qint64 now = 0;
        auto w = Window(now);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const TRaceSettings before = w->race.settings;
        TCfgDialog* dialog = w->CfgDialog;
        bool opened = false;
        QTimer::singleShot(0, dialog, [dialog, &opened] {
            opened = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            // Changed in the dialog, then thrown away.
            dialog->cbKlass->setChecked(!dialog->cbKlass->isChecked());
            dialog->cbLsCentr->setChecked(!dialog->cbLsCentr->isChecked());
            dialog->CancelBtn->click();
        });
        QTest::keyClick(w.get(), Qt::Key_F2);
        QVERIFY(opened);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w->race.settings.Klass, before.Klass);
        QCOMPARE(w->race.settings.ColSpeed2, before.ColSpeed2);
        QCOMPARE(w->race.settings.Length, before.Length);
        QCOMPARE(w->SortGrid1->Protocol()->Cell(0, ColClass), QString("Info"));
        QVERIFY(w->SortGrid1->ColumnWidth(ColIntermediate) > 0);
    }

    void uncheckedIntermediateBarrierHidesItsColumnAfterOk() {
        qint64 now = 0;
        auto w = Window(now);
        QVERIFY(w->SortGrid1->ColumnWidth(ColIntermediate) > 0);
        TCfgDialog* dialog = w->CfgDialog;
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->cbLsCentr->setChecked(false);
            dialog->OKBtn->click();
        });
        w->bCFGClick();
        QVERIFY(!w->race.settings.ColSpeed2);
        QCOMPARE(w->race.settings.BarrierCount, 3);
        QCOMPARE(w->SortGrid1->ColumnWidth(ColIntermediate), -1);
        QVERIFY(w->PanelLeft->Led[4]->isHidden()); // three barriers: the fourth lamp goes
    }

    void titlePictureIsDecodedAndABrokenOneIgnored() {
        QTemporaryDir dir;
        QImage picture(64, 32, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 30));
        QVERIFY(picture.save(dir.filePath("title.jpg"), "JPEG"));
        const QImage decoded = LoadJpegPicture(dir.filePath("title.jpg"));
        QCOMPARE(decoded.size(), QSize(64, 32));
        QVERIFY(qAbs(QColor(decoded.pixel(10, 10)).red() - 200) < 8);
        QFile broken(dir.filePath("broken.jpg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        QFile whole(dir.filePath("title.jpg"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        broken.write(whole.read(200)); // cut off in the middle
        broken.close();
        // libjpeg's default error handler would end the process here.
        (void)LoadJpegPicture(broken.fileName());
        QVERIFY(LoadJpegPicture(dir.filePath("missing.jpg")).isNull());
        QFile garbage(dir.filePath("garbage.jpg"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("not a picture at all");
        garbage.close();
        QVERIFY(LoadJpegPicture(garbage.fileName()).isNull());

        // A picture declaring more pixels than any title needs is not decoded: a few bytes
        // would otherwise claim gigabytes.
        QByteArray huge = ReadAll(dir.filePath("title.jpg"));
        const qsizetype frame = huge.indexOf("\xFF\xC0");
        QVERIFY(frame > 0);
        for (const int at : {5, 7}) { // height, then width, big-endian
            huge[frame + at] = char(9000 >> 8);
            huge[frame + at + 1] = char(9000 & 0xFF);
        }
        QVERIFY(SaveFileBytes(dir.filePath("huge.jpg"), huge).ok);
        QVERIFY(LoadJpegPicture(dir.filePath("huge.jpg")).isNull());
        // Nor is a file above 20 MiB read, whatever it holds.
        QVERIFY(QFile::copy(dir.filePath("title.jpg"), dir.filePath("big.jpg")));
        QVERIFY(QFile::resize(dir.filePath("big.jpg"), 20 * 1024 * 1024 + 1));
        QVERIFY(LoadJpegPicture(dir.filePath("big.jpg")).isNull());
        QVERIFY(QFile::resize(dir.filePath("big.jpg"), 20 * 1024 * 1024));
        QVERIFY(!LoadJpegPicture(dir.filePath("big.jpg")).isNull());
    }

    // A FIFO by the picture's name would make the start wait for a writer for ever.
    void aTitlePictureThatIsNoFileDoesNotHoldUpTheStart() {
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QCOMPARE(mkfifo(QFile::encodeName(ProgramTitle() + ".jpg").constData(), 0600), 0);
        qint64 now = 0;
        auto w = Window(now);
        QVERIFY(w->PanelLeft->ImageTitle->pixmap().isNull());
        QCOMPARE(w->PanelLeft->ImageTitle->toolTip(), ProgramTitle() + ".jpg");
    }

    // Logout and shutdown send SIGTERM: the event loop ends at once, without asking about the
    // heat that still runs, and main() destroys the window, which writes the backup.
    void terminationSignalEndsTheProgramWithoutAQuestion() {
        QuitOnTermination();
        qint64 now = 0;
        auto w = Window(now);
        w->Sequence->mStart->trigger();
        QVERIFY(w->race.heat.Lane(1).running);
        QWidget* question = nullptr;
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, [&question] {
            question = QApplication::activeModalWidget();
            QCoreApplication::exit(1);
        });
        giveUp.start(5000);
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(question, nullptr);
    }

    // No window, no box, no question: the race goes on as if the key had not been pressed.
    void helpWithoutAHelpFileDoesNothing() {
        qint64 now = 0;
        auto w = Window(now);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const auto shown = [] {
            QWidgetList visible;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget->isVisible()) visible << widget;
            return visible;
        };
        const QWidgetList before = shown();
        QWidget* modal = nullptr;
        // A box that opened would still be open when this runs; it is closed so the test ends.
        QTimer::singleShot(0, [&modal] {
            modal = QApplication::activeModalWidget();
            if (modal) modal->close();
        });
        QTest::keyClick(w.get(), Qt::Key_F1);
        QTest::keyClick(w.get(), Qt::Key_I, Qt::AltModifier);
        w->Panel1->bHelp->click();
        QApplication::processEvents();
        QCOMPARE(modal, nullptr);
        QCOMPARE(shown(), before);
        QCOMPARE(QApplication::activeWindow(), w.get());
    }
};
RENNUHR_TEST(WiringTest);

#include "tst_wiring.moc"
