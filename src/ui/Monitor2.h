#pragma once

#include "race/LaneResult.h"
#include "results/CallUp.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <optional>

class QFont;
class QLabel;
class QRect;
class TDigit;
class TFrame1;
class THeatModel;
class TProtocolModel;
class TTvScale;
class TTvCallUp;
class TTvLadderPage;
class TTvStandingsPage;
class TLadder;
struct TPairingRef;
struct TStandings;
struct Race;
struct TRaceSettings;

// The spectators' screen: both lane clocks, the start numbers and the event title, scaled
// from the lane frames' own layout up to the chosen monitor, with each rider's name, each
// stopped lane's results and the heat's winner. It has no controls; everything on it is
// written from outside, also while it is hidden, so showing it needs no catch-up.
class TFormMonitor2 : public QWidget {
    Q_OBJECT
public:
    // laneFrame1 and laneFrame2 are the main window's FrameT1 and FrameT2: the layout source
    // and the clocks this window mirrors. settings is read live for Monitor.
    TFormMonitor2(const Race& race, TFrame1* laneFrame1, TFrame1* laneFrame2,
                  QWidget* parent = nullptr);

    // Bounds := the screen Monitor, then FitTo() those bounds.
    void Placement();
    // Bounds := the given rectangle; k := width / lane frame width, or on a screen wider than
    // 4:3 the k that fits the rows into its height; then Layout().
    void FitTo(const QRect& bounds);
    // Scales the lane frames' controls by the last k, the rows centred across the width.
    void Layout();
    double ScaleFactor() const { return k_; }
    // Index of the screen the window was last placed on.
    int PlacedScreen() const { return placedScreen_; }

    static QString StartLabelText(int startNumber);
    static QString NextLabelText(int readyNumber);

    // The names beside the start numbers come from this protocol and follow its changes.
    void SetProtocol(const TProtocolModel* protocol);

    QWidget* Panel1;
    QWidget* PanelTimer;
    QLabel* PanelTitle;
    QWidget* PanelLab1;
    QWidget* PanelLab2;
    QLabel* LabStart1;
    QLabel* LabNext1;
    QLabel* LabStart2;
    QLabel* LabNext2;
    TDigit* Digit4;
    TDigit* Digit5;
    TDigit* Digit6;
    QLabel* LabSec;
    TDigit* Digit7;
    TDigit* Digit8;
    TDigit* Digit9;
    TDigit* Digit4a;
    TDigit* Digit5a;
    TDigit* Digit6a;
    QLabel* LabSec2;
    TDigit* Digit7a;
    TDigit* Digit8a;
    TDigit* Digit9a;

    // What a lane shows besides its clock; [0] is the upper row (lane 1).
    struct LaneExtras {
        QLabel* name;      // beside the start number
        QWidget* winFrame; // around the winner's clock
        QWidget* resultBar;
        QLabel* winBadge; // "SIEG"
        QLabel* result;   // the result line, or "FEHLSTART"
    };
    LaneExtras Extras[2];
    // While the results page is served: its address in the title strip and its QR code in
    // the room right of the clocks.
    QLabel* LabLiveAddress;
    QLabel* ImageLiveQr;
    // Between heats, made the first time it is shown.
    TTvStandingsPage* StandingsPage = nullptr;
    TTvLadderPage* LadderPage = nullptr;
    // The next pairings ("Vorstart"), in the title strip.
    TTvCallUp* CallUp;

    // The ladder over the clocks until the next START; marked: the pairing in the lanes.
    void ShowLadder(const TLadder& ladder, const std::optional<TPairingRef>& marked);
    bool ShowsLadder() const;

    // Lane 1's, any other lane's the lower row's, as for the clocks.
    const LaneExtras& ExtrasOf(int lane) const { return Extras[lane == 1 ? 0 : 1]; }

public slots:
    // Placement, the start labels from the lane frames, then visible.
    void Show();
    // Shows the window; on a monitor other than 0 the keyboard focus goes back to
    // mainWindow at once, so the operator keeps typing there (the TV switch image).
    void ShowFromSwitch(QWidget* mainWindow);
    // Hidden, never destroyed.
    void Close();
    // Ctrl+M: close when visible, else show.
    void Toggle();

    // Lane 1 goes to the upper row, any other lane to the lower one.
    void ShowClockFace(int lane, const ClockFace& face);
    void SetLaneNumbers(int lane, int startNumber, int readyNumber);
    void SetStartNumbers(int start1, int next1, int start2, int next2);
    void SetTitle(const QString& title);
    void ShowResult(int lane, const LaneResult& result);
    void ClearResult(int lane);
    // The results page's address; empty hides it.
    void ShowLiveAddress(const QString& address);
    // The standings over the clocks until the next START.
    void ShowStandings(const TStandings& standings);
    // Back to the clocks.
    void ShowClocks();
    // Where the next pairings come from.
    void SetCallUpSource(PairingSource source);

    // The pairings to come changed without the lanes' numbers.
    void RefreshCallUp();

signals:
    // For the main window's ImageTVEin.
    void VisibilityChanged(bool visible);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void RefreshStartLabels();
    void RefreshNames();
    void LayoutExtras();
    void LayoutLive();
    bool CoversOperatorScreen() const;
    void ReportVisibility(bool visible);
    void ScaleRow(const TTvScale& scale, TFrame1* source, TDigit* const row[6]);
    // A page between heats over the clocks, made the first time; the others go.
    template <typename Page> Page* Cover(Page*& page);

    TFrame1* frame1_;
    TFrame1* frame2_;
    const TRaceSettings& settings_;
    const THeatModel& heat_;
    QPointer<const TProtocolModel> protocol_;
    QString liveAddress_;
    double k_ = 1.0;
    int placedScreen_ = 0;
    bool reportedVisible_ = false;
};
