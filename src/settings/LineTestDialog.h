#pragma once

#include "race/TrackWalk.h"
#include "serial/ComLineEvent.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class TComPort;
class THighResTimer;
class TLed;

// Setting up at the track: the live levels of the start contact and both lane lines with
// their edge counters, the adapter, and a walk along the barriers of both lanes. It takes the
// port's line events as the wait thread stamped them; while it is open they start and stop
// nothing (the window sees to that).
class TLineTestDialog : public QDialog {
    Q_OBJECT
public:
    TLineTestDialog(TComPort& port, const THighResTimer& timeBase, const TBarrierLayout& layout,
                    QWidget* parent = nullptr);

    // Lines in the order shown: start contact, lane 1, lane 2.
    static constexpr quint32 kLines[3] = {kModemCTS, kModemRLSD, kModemDSR};

    const TTrackWalk& Walk() const { return walk_; }
    // Edges seen on line i (0 start contact, 1 lane 1, 2 lane 2) since the dialog opened.
    quint64 EdgeCount(int i) const { return edges_[i]; }

    QLabel* LabAdapter;
    TLed* LedLine[3];
    QLabel* LabLevel[3];
    QLabel* LabEdges[3];
    QPushButton* bWalk;
    QPushButton* bSkip;
    QTableWidget* WalkSteps;
    QLabel* LabFindings;
    QPushButton* bClose;

private:
    void LineEvent(const TComLineEvent& event);
    void ShowAdapter();
    void ShowLevels(quint32 status);
    void ShowWalk();

    TComPort& port_;
    const THighResTimer& timeBase_;
    TBarrierLayout layout_;
    TTrackWalk walk_;
    quint64 edges_[3] = {};
};
