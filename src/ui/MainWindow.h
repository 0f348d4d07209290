#pragma once

#include "race/Race.h"

#include <QWidget>

class TFrame1;
class TSortGrid;

// The operator's console: the two lane clocks above the results protocol.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);

    Race race;
    TFrame1* FrameT1;
    TFrame1* FrameT2;
    TSortGrid* SortGrid1;

    // Column widths of the protocol for the current width and wiring.
    void FormResize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
