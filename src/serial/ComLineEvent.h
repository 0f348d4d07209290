#pragma once

#include <QtGlobal>

// Bits of the modem status word.
constexpr quint32 kModemCTS = 0x10;
constexpr quint32 kModemDSR = 0x20;
constexpr quint32 kModemRing = 0x40;
constexpr quint32 kModemRLSD = 0x80;
constexpr quint32 kModemLines = kModemCTS | kModemDSR | kModemRing | kModemRLSD;

// The driver's transition counters of the input lines. They wrap at 2^32.
struct TLineCounts {
    quint32 cts = 0;
    quint32 dsr = 0;
    quint32 ring = 0;
    quint32 rlsd = 0;

    bool operator==(const TLineCounts&) const = default;
};

// What happened on the lines between two reads, as status word bits.
struct TLineEdges {
    quint32 changed = 0; // level changed, or pulsed
    quint32 rising = 0;  // came on, or came on and went off again
    quint32 pulsed = 0;  // a whole pulse the levels alone do not show
    TLineCounts folded;  // whole pulses per line the levels alone do not show

    bool operator==(const TLineEdges&) const = default;
};

// Rising lines from two reads of the status word and of the counters. Without counters only
// the levels speak, so a pulse that began and ended between the reads is not seen.
TLineEdges DecodeLineEdges(quint32 previous, quint32 status, const TLineCounts& before,
                           const TLineCounts& after, bool hasCounters);

// One notification of the wait thread. Everything in it was read on the wait thread the
// moment the wait returned, before the user-interface thread got to it.
struct TComLineEvent {
    qint64 ticks = 0;    // time base when the wait returned
    quint32 status = 0;  // modem status word read right after
    quint32 changed = 0; // lines this notification reports
    quint32 rising = 0;  // lines that came on (pulses included)
    quint32 pulsed = 0;  // lines with a complete pulse folded between two reads
    TLineCounts folded;  // how many complete pulses, per line
    bool hasCounters = false;
};

// Whole pulses folded into an event on one line (a status word bit), 0 for other bits.
quint32 FoldedPulses(const TLineCounts& folded, quint32 line);
