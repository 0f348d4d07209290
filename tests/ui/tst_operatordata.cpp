// What the operator types, picks and saves arrives where it was meant to, through the window's
// own buttons, keys and dialogs.
#include "TestMain.h"
#include "Track.h"

#include "base/Program.h"
#include "export/BackgroundWriter.h"
#include "export/ExcelExport.h"
#include "export/HtmlProtocol.h"
#include "export/SaveBytes.h"
#include "settings/CfgDialog.h"
#include "settings/SettingsStore.h"
#include "ui/DlgYesNo.h"
#include "ui/LaneTimer.h"
#include "ui/ProtocolFiles.h"
#include "ui/QtGerman.h"
#include "ui/RaceArea.h"
#include "ui/TopBar.h"
#include "widgets/OperatorButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>

namespace {

// Takes what the window hands to the desktop, instead of starting a browser or a spreadsheet.
class Desktop : public QObject {
    Q_OBJECT
public:
    Desktop() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~Desktop() override { QDesktopServices::unsetUrlHandler("file"); }
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened << url.toLocalFile(); }
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the file dialog the next step opens: picks the entry, goes to the folder, keeps the
// offered name or types one, and presses Return as the operator would.
void AnswerFileDialog(int entry, const QString& folder, const QString& name = {},
                      QString* defaultSuffix = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(folder);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(types);
        types->setFocus();
        for (int i = types->currentIndex(); i < entry; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(types->currentIndex(), entry);
        auto* fileName = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(fileName);
        if (!name.isEmpty()) fileName->setText(name);
        if (defaultSuffix) *defaultSuffix = dialog->defaultSuffix();
        // Asked whether to replace a file: no, and the test fails instead of waiting.
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->reject();
        });
        QTest::keyClick(fileName, Qt::Key_Return);
        if (dialog->isVisible()) dialog->reject();
    });
}

// Opens an editor on a participant cell and types into it, without finishing the entry.
void TypeIntoCell(TSortGrid* grid, int row, int column, const QString& text) {
    const QModelIndex index = grid->Protocol()->index(row - 1, column);
    // A dialog that just closed may have left the window inactive.
    QApplication::setActiveWindow(grid->window());
    QVERIFY(QTest::qWaitForWindowActive(grid->window()));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    QTest::keyClick(grid, text[0].toLatin1());
    QVERIFY(grid->IsEditing());
    QTest::keyClicks(grid->window()->focusWidget(), text.mid(1));
}

} // namespace

class OperatorDataTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Picking a file type and keeping the offered name gives that type's extension, and what
    // is saved loads back; the open dialog adds ".txt" to a bare name.
    void saveDialogGivesThePickedTypeItsExtension() {
        Track t(false);
        t.w.FileWriter->Drain();
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(9876);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QTemporaryDir dir;
        const QString suffixes[] = {"txt", "xlsx", "docx", "html"};
        for (int entry = 0; entry < 4; ++entry) {
            AnswerFileDialog(entry, dir.path());
            t.w.PanelLeft->sbSave->click();
            const QStringList files = QDir(dir.path()).entryList({"*." + suffixes[entry]});
            QCOMPARE(files.size(), 1);
            QCOMPARE(t.w.race.settings.FilterInd, entry + 1);
        }
        const QString workbook = dir.filePath(QDir(dir.path()).entryList({"*.xlsx"}).first());
        QVERIFY(ReadAll(workbook).startsWith("PK"));
        QVERIFY(ReadAll(dir.filePath(QDir(dir.path()).entryList({"*.html"}).first()))
                    .contains("9,876"));

        // The workbook loads as a workbook, not as text.
        t.w.SortGrid1->ClearProtocol();
        AnswerFileDialog(1, dir.path(), QFileInfo(workbook).fileName());
        t.w.PanelLeft->sbLoad->click();
        QCOMPARE(t.Cell(1, ColTime), QString("9,876"));

        QString offered;
        AnswerFileDialog(0, dir.path(), QFileInfo(workbook).completeBaseName(), &offered);
        t.w.PanelLeft->sbLoad->click();
        QCOMPARE(offered, QString("txt"));
        // "<name>.txt" was loaded: the text file of the same heat.
        QCOMPARE(t.Cell(1, ColTime), QString("9,876"));
        QCOMPARE(t.Cell(0, ColName), QString("Name"));
    }

    // A blank title in a workbook stays blank; a text file still gets the title filled in.
    void workbookTitlesAreTakenAsTheyStand() {
        Track t(false);
        QTemporaryDir dir;
        QStringList header = TProtocolModel::DefaultHeaderTexts();
        header[4] = QString(); // "Motor"
        const ProtocolRows rows = {header, {"5", "Moser", "", "", "", "", "", "", "", "", ""}};
        QVERIFY(WriteExcelWorkbook(dir.filePath("liste.xlsx"), {rows, {}, "T", "Rennuhr"}).ok);
        QVERIFY(
            SaveFileBytes(dir.filePath("liste.txt"),
                          "St.Nr.\tName\tVorname\tRoller\t \tInfo\tRZ\tZZ\tKm/h\tZeit\tWin\t\r\n"
                          "5\tMoser\t \t \t \t \t \t \t \t \t \t\r\n")
                .ok);
        AnswerFileDialog(1, dir.path(), "liste.xlsx");
        t.w.PanelLeft->sbLoad->click();
        QCOMPARE(t.Cell(1, ColName), QString("Moser"));
        QCOMPARE(t.Cell(0, 4), QString());
        AnswerFileDialog(0, dir.path(), "liste.txt");
        t.w.PanelLeft->sbLoad->click();
        QCOMPARE(t.Cell(0, 4), QString("Motor"));
    }

    // A false start declared after the lane's own stop takes its mark back: one winner only,
    // and only that one goes on to the next race.
    void aHeatNeverHasTwoWinners() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(5000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QCOMPARE(t.Cell(1, ColWin), QString("+"));
        QTest::keyClick(&t.w, Qt::Key_F6);
        t.At(6000);
        QTest::keyClick(&t.w, Qt::Key_F9);
        QCOMPARE(t.Cell(1, ColTime), QString("-"));
        QCOMPARE(t.Cell(1, ColWin), QString());
        QCOMPARE(t.Cell(1, ColSpeed), QString());
        QCOMPARE(t.Cell(2, ColWin), QString("+"));
        t.w.PanelLeft->sbNextKrug->click();
        QCOMPARE(t.w.SortGrid1->Protocol()->DataRowCount(), 1);
        QCOMPARE(t.Cell(1, ColStartNr), QString("2"));
    }

    // Text still in an open editor is in the page, the print page and the workbook, and in
    // the file saved; START does not let it land on the start number it has just written.
    void textBeingTypedIsNeverLeftOut() {
        Track t(false);
        Desktop desktop;
        // The page for the browser and the printer is written to the working folder.
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        QDir::setCurrent(work.path());
        const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        TSortGrid* grid = t.w.SortGrid1;
        QTest::keyClick(&t.w, Qt::Key_N, Qt::ControlModifier);
        QTemporaryDir dir;
        const auto typeAndPress = [&](const QString& name, QToolButton* button) {
            TypeIntoCell(grid, 1, ColName, name);
            if (button == t.w.PanelLeft->sbSave) AnswerFileDialog(0, dir.path(), "p.txt");
            button->click();
            QVERIFY(!grid->IsEditing());
            QCOMPARE(t.Cell(1, ColName), name);
        };
        typeAndPress("Auer", t.w.PanelLeft->sbInet);
        QVERIFY(ReadAll(desktop.opened.last()).contains("Auer"));
        typeAndPress("Brandl", t.w.PanelLeft->sbPrint);
        QVERIFY(ReadAll(QDir::current().absoluteFilePath(HtmlViewFileName(ProgramTitle())))
                    .contains("Brandl"));
        typeAndPress("Czerny", t.w.PanelLeft->sbExcel);
        QVERIFY(desktop.opened.last().endsWith(".xlsx"));
        typeAndPress("Dallmayr", t.w.PanelLeft->sbSave);
        QVERIFY(ReadAll(dir.filePath("p.txt")).contains("Dallmayr"));

        // The operator is typing a start number into the only row when START comes.
        TypeIntoCell(grid, 1, ColStartNr, "17");
        QTest::keyClick(t.w.focusWidget(), Qt::Key_F5);
        QVERIFY(t.w.race.heat.Lane(1).running);
        t.w.setFocus();
        QVERIFY(!grid->IsEditing());
        QCOMPARE(t.Cell(1, ColStartNr), QString("17"));
        QCOMPARE(t.Cell(1, ColName), QString("Dallmayr"));
        QCOMPARE(t.Cell(2, ColStartNr), QString("1"));
        QCOMPARE(t.Cell(3, ColStartNr), QString("2"));
    }

    // Ctrl+N leaves the new row ready for typing, wherever the focus was.
    void newRowTakesTheKeyboard() {
        Track t(false);
        t.w.PanelLeft->eTitle->setFocus();
        QTest::keyClick(&t.w, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), t.w.SortGrid1);
        for (const char key : {'1', '2'})
            QTest::keyClick(t.w.focusWidget(), key);
        QTest::keyClick(t.w.focusWidget(), Qt::Key_Return);
        QCOMPARE(t.Cell(1, ColStartNr), QString("12"));
        QCOMPARE(t.w.PanelLeft->eTitle->text(), QString("* * *"));
    }

    // A rider registered as the operator does it: each Enter ends one field and moves one
    // column on, whether the cell's editor was open or not.
    void aRiderTypedInKeepsEveryField() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_N, Qt::ControlModifier);
        for (const char* field : {"7", "Huber", "Max", "Vespa", "PX"}) {
            for (const char key : std::string_view(field)) // each key where the focus is now
                QTest::keyClick(QApplication::focusWidget(), key);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCoreApplication::processEvents(); // the editor closes after the key
        }
        QCOMPARE(t.Cell(1, ColStartNr), QString("7"));
        QCOMPARE(t.Cell(1, ColName), QString("Huber"));
        QCOMPARE(t.Cell(1, ColFirstName), QString("Max"));
        QCOMPARE(t.Cell(1, ColVehicle), QString("Vespa"));
        QCOMPARE(t.Cell(1, ColEngine), QString("PX"));
    }

    // The standard dialogs speak the program's language, through the operator's own button.
    void theSaveDialogSpeaksGerman() {
        QTranslator* german = LoadQtGermanTexts();
        QVERIFY2(german, "Qt's German texts are missing (qt6-translations-l10n)");
        const auto unload = qScopeGuard([german] {
            QCoreApplication::removeTranslator(german);
            delete german;
        });
        Track t(false);
        t.w.SortGrid1->Protocol()->SetCell(1, ColStartNr, "1");
        t.w.UpdateProtocolCommands();
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                texts << label->text();
            for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
                texts << button->text();
            dialog->reject();
        });
        t.w.PanelLeft->sbSave->click();
        for (const char* german : {"Suchen in:", "Datei&name:", "Dateien des Typs:", "Abbrechen"})
            QVERIFY2(texts.contains(german), qPrintable(texts.join(u'|')));
        for (const char* english : {"Look in:", "File &name:", "Files of type:", "Cancel"})
            QVERIFY(!texts.contains(english));
    }

    // "Kein" is stored at exit and nothing is opened at the next start.
    void noPortStaysNoPort() {
        auto t = std::make_unique<Track>();
        auto cable = t->cable;
        QVERIFY(t->w.ComPort->Connected());
        TCfgDialog* dialog = t->w.CfgDialog;
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->cbPort->setCurrentIndex(0);
            dialog->OKBtn->click();
        });
        t->w.Panel1->bCFG->click();
        QCOMPARE(t->w.ComPort->Port(), 0);
        QVERIFY(!cable->IsOpen());
        t.reset();
        TFormMain again(nullptr, cable->Factory());
        QCOMPARE(again.race.settings.Port, 0);
        QVERIFY(!again.ComPort->Connected());
        QVERIFY(!cable->IsOpen());
    }

    // With barriers connected: a heat ends, the reset comes, a barrier offers a false start
    // and it is taken. That stops the lane and nothing more; the next START resets first and
    // moves both lanes on.
    void aFalseStartBeforeStartEndsNoHeat() {
        Track t;
        t.OneBarrier();
        t.w.Sequence->TimerGesperrtStop1->setInterval(0);
        t.w.Sequence->TimerGesperrtStop2->setInterval(0);
        t.w.PanelLeft->cbAutomatisch->setChecked(true);
        QSignalSpy finished(t.w.Sequence, &TRaceSequence::HeatFinished);
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(100);
        t.Lines(0);
        t.At(5000);
        t.Pulse(kModemRLSD);
        t.At(5100);
        t.Pulse(kModemDSR);
        QCOMPARE(finished.count(), 1);
        QTest::keyClick(&t.w, Qt::Key_F7);
        QCOMPARE(t.w.PanelLeft->FrameT1->editStartN1->value(), 3);
        QCOMPARE(t.w.PanelLeft->FrameT2->editStartN1->value(), 4);
        QCOMPARE(t.w.Sequence->StartLight(), 3); // armed for the next start

        t.At(20000);
        t.Pulse(kModemDSR);
        QVERIFY(!t.w.PanelLeft->bFehlStart2->isHidden());
        QTest::mouseClick(t.w.PanelLeft->bFehlStart2, Qt::LeftButton);
        QVERIFY(t.w.PanelLeft->bFehlStart2->isHidden());
        QCOMPARE(finished.count(), 1);
        QVERIFY(!t.w.Sequence->TimerReset->isActive());
        QCOMPARE(t.w.Sequence->StartLight(), 3);
        QCOMPARE(t.w.Sequence->ArmFlag(TRaceSequence::StartGroup), 1);
        QVERIFY(t.w.PanelLeft->bSTART->isEnabled());

        t.At(21000);
        t.Lines(kModemCTS);
        QVERIFY(t.w.race.heat.Lane(1).running && t.w.race.heat.Lane(2).running);
        QCOMPARE(t.w.PanelLeft->FrameT1->editStartN1->value(), 5);
        QCOMPARE(t.w.PanelLeft->FrameT2->editStartN1->value(), 6);
        QCOMPARE(finished.count(), 1);
    }

    // Enter in the question box means "Nein": a heat is not ended by a slip of the hand.
    void enterDoesNotEndTheProgram() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_F5);
        TFDlgYesNo* box = t.w.FDlgYesNo;
        QTimer::singleShot(0, box, [box] {
            QVERIFY(QTest::qWaitForWindowActive(box));
            QCOMPARE(box->focusWidget(), box->bNo);
            QTest::keyClick(box->focusWidget(), Qt::Key_Return);
            if (box->isVisible()) box->bYes->click();
        });
        QVERIFY(!t.w.close());
        QVERIFY(t.w.race.heat.Lane(1).running);
    }

    // START and STOPP act on any mouse button, the moment it goes down.
    void anyMouseButtonStartsAndStops() {
        Track t(false);
        QTest::mousePress(t.w.PanelLeft->bSTART, Qt::RightButton);
        QVERIFY(t.w.race.heat.Lane(1).running);
        t.At(2000);
        QTest::mousePress(t.w.PanelLeft->bSTOP1, Qt::MiddleButton);
        QVERIFY(!t.w.race.heat.Lane(1).running);
        QCOMPARE(t.Cell(1, ColTime), QString("2,000"));
        t.At(3000);
        QTest::mousePress(t.w.PanelLeft->bSTOP2, Qt::RightButton);
        QVERIFY(!t.w.race.heat.Lane(2).running);
        QTest::mouseRelease(t.w.PanelLeft->bSTOP2, Qt::RightButton);
        QCOMPARE(t.Cell(2, ColTime), QString("3,000"));
        QCOMPARE(t.w.PanelLeft->bAVARIA->text(), QString("GESTÜRZT"));
        QCOMPARE(t.w.PanelLeft->sbCLS->toolTip(), QString("Löschen"));
    }

    // The window's place and size, and the exit order: backup, then settings, then the port.
    void boundsSurviveARestartAndExitKeepsItsOrder() {
        auto t = std::make_unique<Track>();
        auto cable = t->cable;
        t->w.resize(820, 530);
        t->w.PanelLeft->eTitle->setText("Abschluss");
        QStringList order;
        const auto storedTitle = [] {
            return QSettings(QString::fromLatin1(kSettingsOrganization), ProgramTitle())
                .value("Title")
                .toString();
        };
        t->w.FileWriter->SetSink([&](const QString& file, const QByteArray& bytes) {
            order << QString("backup, title %1, port %2")
                         .arg(storedTitle() == "Abschluss" ? "stored" : "not stored",
                              cable->IsOpen() ? "open" : "closed");
            return SaveFileBytes(file, bytes);
        });
        QObject::connect(t->w.ComPort, &TComPort::OnClose, [&] {
            order << QString("port closes, title %1")
                         .arg(storedTitle() == "Abschluss" ? "stored" : "not stored");
        });
        t->w.FileWriter->Drain();
        order.clear();
        t.reset();
        QCOMPARE(order,
                 QStringList({"backup, title not stored, port open", "port closes, title stored"}));
        Track again;
        QCOMPARE(again.w.size(), QSize(820, 530));
        QCOMPARE(again.w.PanelLeft->eTitle->text(), QString("Abschluss"));
    }
};
RENNUHR_TEST(OperatorDataTest);

#include "tst_operatordata.moc"
