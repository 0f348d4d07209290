#pragma once

#include "race/Race.h"
#include "race/RaceCommand.h"
#include "serial/ComPort.h"

#include <QDateTime>
#include <QWidget>

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QPushButton;
class QToolButton;
class TBackgroundWriter;
class TFileNotices;
class TBarrierInputs;
class TBarrierPort;
class TJournal;
class TJournalViewer;
class TLineTestDialog;
class TPlausibility;
struct TBarrierLayout;
struct TPlausibilityWarning;
class TLed;
class TCfgDialog;
class TFDlgYesNo;
class TFormMonitor2;
class TProtocolFiles;
class TFrame1;
class THeatControls;
class TLiveFeed;
class TLiveServer;
class TOperatorButton;
class TRaceSequence;
class TSortGrid;
class SignalPlayer;

// The operator's console: the lane clocks and operator buttons above the results protocol.
// It wires the controls to the race sequence and the protocol; the rules live in those.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    // devices: where serial devices come from, the system's unless a test says otherwise.
    explicit TFormMain(QWidget* parent = nullptr, TSerialDeviceFactory devices = {});
    ~TFormMain() override;

    Race race;

    QWidget* Panel1;
    QToolButton* bHelp;
    QToolButton* bCFG;
    QLabel* LabelLogo;
    QLabel* PanelDate;
    QWidget* PanelLeft;
    QLineEdit* eTitle;
    QLabel* ImageTitle;
    TFrame1* FrameT1;
    TFrame1* FrameT2;
    TOperatorButton* bSTART;
    TOperatorButton* bSTOP1;
    TOperatorButton* bSTOP2;
    TOperatorButton* bRESET;
    TOperatorButton* bFehlStart1;
    TOperatorButton* bFehlStart2;
    TOperatorButton* bAVARIA;
    QLabel* ImageLSstart;
    QLabel* ImageLSstop1;
    QLabel* ImageLSstop2;
    QLabel* ImageAmpel;
    QCheckBox* cbAutomatisch;
    QComboBox* cbKlass;
    QLabel* ImageTVAus;
    QLabel* ImageTVEin;
    QWidget* PanelImit;
    QPushButton* bImit1;
    QPushButton* bImit2;
    QPushButton* bImit3;
    // Led[0] start contact, Led[1] … Led[4] lane 1, Led[5] … Led[8] lane 2.
    TLed* Led[9];
    QLabel* Panel4;
    QToolButton* sbLoad;
    QToolButton* sbSave;
    QToolButton* sbExcel;
    QToolButton* sbInet;
    QToolButton* sbNextKrug;
    QToolButton* sbPrint;
    QToolButton* sbCLS;
    TSortGrid* SortGrid1 = nullptr;
    TRaceSequence* Sequence;
    // The race area's buttons, pictures and lamps show the heat.
    THeatControls* HeatControls;
    TBarrierInputs* Barriers;
    // The serial port of the start contact and the barriers; ComPort is its component.
    TBarrierPort* BarrierPort;
    TComPort* ComPort;
    // Bit n-1 for each serial port n found at start-up; the highest in the high 16 bits.
    quint32 PortsPresent = 0;
    // What the scan at start-up found, with the adapters' names.
    TPortScan PortScan;
    // What the operator must know about the barrier port: shown, never asked.
    QLabel* LabPortNotice;
    // Writes the backup and the journal away from this thread.
    TBackgroundWriter* FileWriter;
    // Files that cannot be written, for the notice bar.
    TFileNotices* FileNotices;
    // The race day's raw events, commands and results, beside the backup.
    TJournal* Journal;
    TJournalViewer* JournalViewer = nullptr;
    // Checks each lane's result; what it finds is shown here until the reset.
    TPlausibility* Plausibility;
    QLabel* LabWarnings;
    // Open while the operator tests the lines: their events then start and stop nothing.
    TLineTestDialog* LineTest = nullptr;
    TFDlgYesNo* FDlgYesNo;
    TFormMonitor2* FMonitor2;
    TProtocolFiles* Files;
    TCfgDialog* CfgDialog;
    QTimer* TimerDate;
    // The results page on the local network: the feed only while LiveResults is on, the server
    // (idle when off) from the first time it is switched on.
    TLiveServer* LiveServer = nullptr;
    TLiveFeed* LiveFeed = nullptr;
    // Why the results page is not served, for the notice bar; empty when it is.
    QString LiveNotice;
    // Why the settings will not be kept, for the notice bar; empty when they will.
    QString SettingsNotice;

    // The hidden menu: its entries carry the keyboard shortcuts, in menu order.
    QMenu* HideMenu;
    QAction* mAvaria;
    QAction* Modus1;
    QAction* Hilfe1;
    QAction* mHilfe;
    QAction* EinstellunGen1;
    QAction* est1;
    QAction* Zeileentfernen1;
    QAction* Neu1;
    QAction* mJoker;
    QAction* mJournal;
    QAction* Beenden1;

    // Closes the barrier port and opens port n (0: none); a failure leaves manual mode.
    void OpenPort(int port);
    // What the operator must know about port n, empty when there is nothing.
    QString PortNotice(int port) const;
    void ShowPortNotice();
    // Starts, moves or stops the results page as LiveResults and LivePort say.
    void ApplyLiveResults();
    void UpdateProtocolCommands();
    void FormResize();
    void ShowDate(const QDateTime& now);
    void sbCLSClick();
    void bAVARIAClick();
    void est1Click();
    void HelpClick();
    void bCFGClick();
    void ShowJournal();
    // The line test for the barriers given, on the port that is open.
    void OpenLineTest(const TBarrierLayout& barriers);
    // Stored settings into the window: bounds, title, port, lock-out time; a notice when they
    // cannot be stored at exit.
    void ApplyStoredSettings();
    // The window's bounds and title, and the race settings, into the store; the message when
    // they could not be written.
    std::optional<QString> StoreSettings();

    // The maker's web page, opened by the logo.
    static const QString kMakerPage;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTopBar();
    void CreateRaceArea();
    void CreateProtocolBar();
    void CreateHiddenMenu();
    void CreateImitationPanel();
    void CreatePort(TSerialDeviceFactory devices);
    void CreateJournal();
    void StartUp();
    // A command on the protocol into the journal, after it ran; with the current row's
    // results for a command on one row.
    void JournalProtocolCommand(const QString& name, TCommandSource source, bool row,
                                const QString& text = {});
    void LaneWarned(int lane, const QString& startNumber, const TPlausibilityWarning& warning,
                    qint64 ticks);
    void ShowWarnings();

    SignalPlayer* player_;
    TPortCondition journaledCondition_;
};
