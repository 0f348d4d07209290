#pragma once

#include "race/Race.h"
#include "race/RaceCommand.h"
#include "serial/ComPort.h"

#include <QWidget>

#include <optional>

class QAction;
class QMenu;
class SignalPlayer;
class TBackgroundWriter;
class TBarrierInputs;
class TBarrierPort;
class TCfgDialog;
class TFDlgYesNo;
class TFileNotices;
class TFormMonitor2;
class THeatControls;
class TJournal;
class TJournalRecorder;
class TJournalViewer;
class TLineTestDialog;
class TLiveResults;
class TPlausibility;
class TProtocolFiles;
class TRaceArea;
class TRaceSequence;
class TResultsDatabase;
class TResultsViews;
class TRunRecorder;
class TSortGrid;
class TTimeSlips;
class TTopBar;
struct TBarrierLayout;

// The operator's console: the top bar, the race area with the lane clocks and the operator's
// buttons, and the results protocol below. It builds, lays out and connects; the rules live in
// the heat model, the sequence, the protocol and the files.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    // devices: where serial devices come from, the system's unless a test says otherwise.
    explicit TFormMain(QWidget* parent = nullptr, TSerialDeviceFactory devices = {});
    ~TFormMain() override;

    Race race;

    TTopBar* Panel1;
    TRaceArea* PanelLeft;
    TSortGrid* SortGrid1 = nullptr;
    TRaceSequence* Sequence;
    // The race area's buttons, pictures and lamps show the heat.
    THeatControls* HeatControls;
    TBarrierInputs* Barriers;
    // The serial port of the start contact and the barriers; ComPort is its component.
    TBarrierPort* BarrierPort;
    TComPort* ComPort;
    // What the scan at start-up found, with the adapters' names.
    TPortScan PortScan;
    // Writes the backup and the journal away from this thread.
    TBackgroundWriter* FileWriter;
    // Files that cannot be written, for the notice bar.
    TFileNotices* FileNotices;
    // The race day's raw events, commands and results, beside the backup.
    TJournal* Journal;
    TJournalRecorder* Recorder;
    // Every lane's run of every heat, beside the backup, and what records them.
    TResultsDatabase* Results;
    TRunRecorder* RunRecorder;
    // The time slips after each heat and the start list, printed in the background.
    TTimeSlips* Slips = nullptr;
    // The standings, the void command and what they show on the TV and the page.
    TResultsViews* Views;
    TJournalViewer* JournalViewer = nullptr;
    // Checks each lane's result; what it finds is shown in the race area until the reset.
    TPlausibility* Plausibility;
    // Open while the operator tests the lines: their events then start and stop nothing.
    TLineTestDialog* LineTest = nullptr;
    TFDlgYesNo* FDlgYesNo;
    TFormMonitor2* FMonitor2;
    TProtocolFiles* Files;
    TCfgDialog* CfgDialog;
    // The results page on the local network.
    TLiveResults* Live = nullptr;
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
    void UpdateProtocolCommands();
    void FormResize();
    void sbCLSClick();
    void bAVARIAClick();
    void est1Click();
    void HelpClick();
    void bCFGClick();
    void ShowJournal();
    // The line test for the barriers given, on the port that is open.
    void OpenLineTest(const TBarrierLayout& barriers);
    // Stored settings into the settings record and the window: bounds, title, lock-out time;
    // a notice when they cannot be stored at exit.
    void ApplyStoredSettings();
    // The window's bounds and the settings record into the store; the message when they
    // could not be written.
    std::optional<QString> StoreSettings();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateHiddenMenu();
    void CreateFiles();
    void ConnectProtocolCommands();
    void ConnectResultsViews();
    void StartUp();
    void ShowWarnings();

    SignalPlayer* player_;
};
