#pragma once

#include "HeatModel.h"
#include "base/HighResTimer.h"
#include "RaceSettings.h"

// The program-wide race records, the heat and the time base, owned by the main window and
// handed by reference to everything that times or shows a heat.
struct Race {
    TRaceSettings settings;
    THighResTimer HighResTimer1;
    THeatModel heat;
};
