#pragma once

#include "race/LaneResult.h"

#include <QWidget>

class QFont;
class QLabel;
class QRect;
class TDigit;
class TFrame1;
struct TRaceSettings;

// The spectators' screen: both lane clocks, the start numbers and the event title, scaled
// from the lane frames' own layout up to the chosen monitor. It has no controls; everything
// on it is written from outside, also while it is hidden, so showing it needs no catch-up.
class TFormMonitor2 : public QWidget {
    Q_OBJECT
public:
    // laneFrame1 and laneFrame2 are the main window's FrameT1 and FrameT2: the layout source
    // and the clocks this window mirrors. settings is read live for Monitor.
    TFormMonitor2(TFrame1* laneFrame1, TFrame1* laneFrame2, const TRaceSettings& settings,
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

    // Pixel size of a font that is size points high at 96 dots per inch, and back.
    static int PointsToPixels(int points);
    static int FontPoints(const QFont& font);
    static int RoundHalfEven(double value);

    static QString StartLabelText(int startNumber);
    static QString NextLabelText(int readyNumber);

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
    void ReportVisibility(bool visible);
    QRect Scaled(const QRect& source) const;
    void ScaleRow(TFrame1* source, TDigit* const row[6]);

    TFrame1* frame1_;
    TFrame1* frame2_;
    const TRaceSettings& settings_;
    double k_ = 1.0;
    int left_ = 0; // where the scaled rows begin
    int placedScreen_ = 0;
    bool reportedVisible_ = false;
};
