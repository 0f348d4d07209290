#pragma once

#include <QString>

// The paper of the time slips, as stored ("SlipPaper").
enum class TSlipPaper { Roll58 = 0, Roll80 = 1, A6 = 2 };

// What the operator configured. The field names are the names of the stored values.
struct TRaceSettings {
    int Port = 0;         // 0 = no port, n = COMn
    int Alg = 0;          // start-light polarity: 0 "Ein", 1 "Aus"
    bool Sound = true;    // start and stop sounds
    int WaitStart = 3000; // start lock-out, ms
    int FilterInd = 1;    // preselected entry of the protocol save dialog
    int Length = 402;     // track length, m
    int Monitor = 0;      // screen index of the TV window
    QString Title = QStringLiteral("* * *");
    bool Klass = false;
    bool KlassSort = true;
    int LengthS = 0;       // reaction barrier position, dm (kept, not computed with)
    int LengthC = 2010;    // intermediate barrier position, dm (kept, not computed with)
    int LengthF = 3920;    // top-speed barrier position, dm: the trap runs from here to the stop
    bool ColSpeed0 = true; // start-light contact wired
    bool ColSpeed1 = true; // reaction barrier wired
    bool ColSpeed2 = true; // intermediate barrier wired
    bool ColSpeed3 = true; // top-speed barrier wired
    bool ManyStart = false;
    // A final time below it is implausible ("Mindestzeit"), ms. Stored beside the others.
    int MinTime = 1000;
    bool LiveResults = false; // the results page on the local network
    int LivePort = 8080;
    // A time slip per racer after each heat, on this print queue (empty: the default printer).
    bool SlipPrint = false;
    QString SlipPrinter;
    TSlipPaper SlipPaper = TSlipPaper::Roll80;

    // Barrier events that complete a lane; the stop barrier always exists.
    // Kept as a field because it only follows the flags when the lamps are laid out.
    int BarrierCount = 4;

    void UpdateBarrierCount() {
        BarrierCount = 1 + int(ColSpeed1) + int(ColSpeed2) + int(ColSpeed3);
    }
};
