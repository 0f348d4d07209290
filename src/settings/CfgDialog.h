#pragma once

#include "race/RaceSettings.h"
#include "race/TrackWalk.h"
#include "serial/ComPort.h"

#include <QDialog>
#include <QList>
#include <QRect>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class TSpinFloatEdit;
class TTrackSchematic;

// What "OK" asks of the rest of the program, called in this order after the settings they
// depend on are written. An empty function is skipped.
struct TCfgActions {
    std::function<void()> ApplyClassMode;        // the class column follows Klass
    std::function<void()> PlaceMonitor;          // the TV window moves to the screen Monitor
    std::function<void(int ms)> SetStartLockOut; // interval of the start lock-out timer
    std::function<void()> ClosePort;             // errors are the caller's to swallow
    std::function<void(int ms)> Pause;           // before re-opening; empty: a plain sleep
    std::function<void(int port)> OpenPort;      // errors are the caller's to swallow
    std::function<QString(int port)> PortNotice; // what the operator must know about port n
    std::function<void()> ShowBarrierLamps;      // lamps and BarrierCount follow ColSpeed0 … 3
    std::function<void()> FormResize;            // protocol columns follow ColSpeed0 … 2
    // The line test, for the barriers ticked in the dialog; on the port that is open.
    std::function<void(const TBarrierLayout& barriers)> OpenLineTest;
    std::function<void()> ApplyLiveResults; // the results page follows LiveResults, LivePort
    // Why the results page on port n is not served, empty when it is or nothing is known.
    std::function<QString(int port)> LiveNotice;
};

// A number scaled by a power of ten and rounded to the nearest integer, halves to even,
// judged on the shortest decimal digits that read back as the double, which are the digits
// typed: 0.4025 km is halfway between 402 and 403 m, though its double lies a little above.
// Clamped to the int range.
int ScaleRounded(double value, int factor);

// The settings dialog: serial port, barriers and their distances, track length, start
// lock-out, start-light polarity, TV screen, class handling, the results page on the local
// network and the time slips. It edits the race settings it was created with and reaches the rest
// of the program only through TCfgActions.
class TCfgDialog : public QDialog {
    Q_OBJECT
public:
    // ports: what the scan at start-up found. Sets Length to the design value when it is
    // still 0.
    TCfgDialog(TRaceSettings& settings, const TPortScan& ports, QWidget* parent = nullptr);

    void SetActions(TCfgActions actions) { actions_ = std::move(actions); }
    // The screens the TV box offers; until set, the system's screens when the dialog shows.
    void SetScreens(const QList<QRect>& screens) { screens_ = screens; }

    // Fills the controls from the settings, shows the dialog modally and applies on "OK".
    // True when the settings were applied. Either way the caller then gives the focus back
    // to its race area.
    bool Execute();
    // The opening steps without showing: the controls take the current settings.
    void Fill();

    // One blink of the schematic; TimerBlink calls it every 500 ms while the dialog shows.
    void TimerBlinkTimer();
    int BlinkPhase() const { return blinkPhase_; }

    void accept() override;

    QLabel* LabLen;
    TSpinFloatEdit* sfeLen;
    QGroupBox* gbLS;
    TTrackSchematic* Schematic;
    TSpinFloatEdit* seStartLen;
    TSpinFloatEdit* seCentrLen;
    TSpinFloatEdit* seFinalLen;
    QCheckBox* cbAmpel;
    QCheckBox* cbLsStart;
    QCheckBox* cbLsCentr;
    QCheckBox* cbLsFinal;
    QLabel* LabPort;
    QComboBox* cbPort;
    // Under the port's group: adapters that cannot be used well, or not at all.
    QLabel* LabPortNotice;
    QLabel* LabAlg;
    QComboBox* cbAlg;
    QLabel* LabWait;
    TSpinFloatEdit* seWait;
    QLabel* LabMonitor;
    QComboBox* cbMonitor;
    QCheckBox* cbKlass;
    QCheckBox* cbManyStart;
    QLabel* LabMinTime;
    TSpinFloatEdit* seMinTime;
    QPushButton* bLineTest;
    QCheckBox* cbLive;
    QLabel* LabLivePort;
    QSpinBox* seLivePort;
    // While cbLive is ticked: the address phones open, with its QR code, or why it cannot be.
    QLabel* LabLiveAddress;
    QLabel* ImageLiveQr;
    // A time slip per racer after each heat: on which print queue, on which paper.
    QGroupBox* gbSlip;
    QCheckBox* cbSlipPrint;
    QLabel* LabSlipPrinter;
    QComboBox* cbSlipPrinter;
    QLabel* LabSlipPaper;
    QComboBox* cbSlipPaper;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QTimer* TimerBlink;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateControls(const TPortScan& ports);
    // Shows the notice for the chosen port and makes room for it.
    void ShowPortNotice();
    void ShowLiveAddress();
    void CreateSlipControls();
    // The system's print queues, the stored one chosen, else the default printer.
    void FillSlipPrinters();
    // Moves the controls below the notice and the live address by the room these take.
    void PlaceBelow();
    bool PortChosen() const;
    int ChosenPort() const;
    void UpdateEnabledStates();
    void FollowTrackLength();
    void FillMonitors();
    void RefreshSchematic();
    bool CheckTrackLength();
    void Apply();

    TRaceSettings& settings_;
    TCfgActions actions_;
    std::optional<QList<QRect>> screens_;
    QStringList refusedNotices_;
    // The controls below the notice, at their places without one.
    QList<QPair<QWidget*, int>> belowNotice_;
    int noticeRoom_ = 0;
    int liveRoom_ = 0;
    int blinkPhase_ = 0;
};
