#pragma once

#include "HighResTimer.h"
#include "RaceSettings.h"
#include "RaceState.h"

// The program-wide race records and the time base, owned by the main window and
// handed by reference to everything that times or shows a heat.
struct Race {
    TRaceSettings settings;
    TRaceState state;
    THighResTimer HighResTimer1;
};
