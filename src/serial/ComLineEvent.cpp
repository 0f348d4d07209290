#include "ComLineEvent.h"

#include <algorithm>

TLineEdges DecodeLineEdges(quint32 previous, quint32 status, const TLineCounts& before,
                           const TLineCounts& after, bool hasCounters) {
    struct Line {
        quint32 bit;
        quint32 TLineCounts::*count;
    };
    static constexpr Line lines[] = {{kModemCTS, &TLineCounts::cts},
                                     {kModemDSR, &TLineCounts::dsr},
                                     {kModemRing, &TLineCounts::ring},
                                     {kModemRLSD, &TLineCounts::rlsd}};
    TLineEdges edges;
    for (const Line& line : lines) {
        // Unsigned difference: a counter that wrapped still moved by the right amount.
        const quint32 moved = hasCounters ? after.*line.count - before.*line.count : 0;
        const bool wasOn = previous & line.bit;
        const bool isOn = status & line.bit;
        // The ring counter counts trailing edges only: one per pulse, not two.
        const quint32 perPulse = line.bit == kModemRing ? 1 : 2;
        edges.folded.*line.count =
            (wasOn != isOn ? moved - std::min<quint32>(moved, 1) : moved) / perPulse;
        if (wasOn != isOn) {
            edges.changed |= line.bit;
            if (isOn) {
                edges.rising |= line.bit;
            } else if (moved >= 3) {
                // on, off, on, off: it came on in between.
                edges.rising |= line.bit;
                edges.pulsed |= line.bit;
            }
        } else if (moved != 0) {
            edges.changed |= line.bit;
            edges.rising |= line.bit;
            edges.pulsed |= line.bit;
        }
    }
    return edges;
}

quint32 FoldedPulses(const TLineCounts& folded, quint32 line) {
    switch (line) {
    case kModemCTS:
        return folded.cts;
    case kModemDSR:
        return folded.dsr;
    case kModemRing:
        return folded.ring;
    case kModemRLSD:
        return folded.rlsd;
    default:
        return 0;
    }
}
