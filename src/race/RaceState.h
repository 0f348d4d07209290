#pragma once

#include <QString>
#include <QtGlobal>

// The heat that is running or has just finished. Lanes are 1 and 2, barrier events 1 … 4;
// index 0 is unused so that the code reads like the lane and event numbers.
struct TRaceState {
    qint64 StartTicks = 0;
    int LaneEventCount[3] = {};
    qint64 LaneTicks[3][5] = {}; // 0 = no event yet
    int StopCount = 0;
    // Lanes already counted in StopCount: a false start declared after a lane's own stop
    // must not count it twice and end the heat while the other lane still races.
    bool LaneStopped[3] = {};
    int FirstLane = 0;      // lane that gets the winner mark
    int FalseStartLane = 0; // lane with a false start in this heat
    quint32 PrevModemStatus = 0;
    bool ImitStart = false;
    bool ImitLane1 = false;
    bool ImitLane2 = false;
    QString StartSoundFile;
    QString StopSoundFile;

    // Everything START clears; StartTicks is stamped separately, before any other work.
    void ClearHeat() {
        FalseStartLane = 0;
        for (int lane = 1; lane <= 2; ++lane) {
            LaneEventCount[lane] = 0;
            LaneStopped[lane] = false;
            for (int event = 1; event <= 4; ++event)
                LaneTicks[lane][event] = 0;
        }
        StopCount = 0;
        FirstLane = 0;
    }
};
