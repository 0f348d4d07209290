#pragma once

#include "results/CallUp.h"

#include <QLabel>

// The call-up ("Vorstart") on the TV: the next pairings in one line. On a screen wider than 4:3
// the title strip has room beside the title, and the line stays there; on a 4:3 screen it takes
// the title's place between heats only.
class TTvCallUp : public QLabel {
    Q_OBJECT
public:
    static constexpr int kPairings = 3;

    explicit TTvCallUp(QWidget* parent);

    void SetSource(PairingSource source) { source_ = std::move(source); }
    // The line as it reads now, with the racers' names or with the numbers alone; empty when
    // nothing is to come.
    static QString LineText(const QList<TCallUpPairing>& pairings, bool names);
    // Follows the pairings, the title strip and whether a heat runs.
    void Refresh(QLabel* title, bool wide, bool racing);

private:
    PairingSource source_;
};
