#pragma once

#include "race/Race.h"

#include <QWidget>

class TFrame1;

// The operator's console. For now it holds the two lane clocks.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);

    Race race;
    TFrame1* FrameT1;
    TFrame1* FrameT2;
};
