#pragma once

#include <QObject>

#include <optional>

class QAction;
class TFormMonitor2;
class TLadder;
class TLadderRunner;
class TRaceSequence;
struct TPairingRef;

// When the TV shows a ladder instead of the clocks: from the reset that loads one of its pairings
// or ends one of its heats, to the next START; and whenever the operator asks for it.
class TTvLadderSwitch : public QObject {
    Q_OBJECT
public:
    TTvLadderSwitch(const TLadderRunner& ladders, TRaceSequence& sequence, TFormMonitor2& tv,
                    QObject* parent = nullptr);

    // "Ausscheidung auf TV" (Strg+B): the ladder on the TV, or back to the clocks.
    QAction* mTvLadder;

    // The active ladder whose pairing is in the lanes or on the clocks, else the one of the heat
    // started last; none when the heats are not the ladders'.
    const TLadder* Current() const;
    void Toggle();

private:
    std::optional<TPairingRef> Marked() const;
    void Started();
    void Reset();
    // The ladder on the TV follows its changes; gone or set aside, it gives way to the clocks.
    void Refresh();
    void Show(const TLadder& ladder);

    const TLadderRunner& ladders_;
    TFormMonitor2& tv_;
    qint64 lastRun_ = 0; // the ladder of the heat started last; 0 when it was none's
    qint64 shown_ = 0;
};
