#include "TrackWalk.h"

QList<int> TBarrierLayout::Barriers() const {
    QList<int> barriers;
    if (reaction) barriers.append(1);
    if (intermediate) barriers.append(2);
    if (topSpeed) barriers.append(3);
    barriers.append(4);
    return barriers;
}

QString BarrierName(int barrier) {
    switch (barrier) {
    case 1:
        return QStringLiteral("Reaktion-LS");
    case 2:
        return QStringLiteral("LS-Zwischzeit");
    case 3:
        return QStringLiteral("TopSpeed-LS");
    default:
        return QStringLiteral("Stopp-LS");
    }
}

void TTrackWalk::Begin(const TBarrierLayout& layout, qint64 ticks) {
    steps_.clear();
    for (int lane = 1; lane <= 2; ++lane)
        for (int barrier : layout.Barriers())
            steps_.append({lane, barrier});
    began_ = ticks;
    for (int lane = 1; lane <= 2; ++lane) {
        lastPulse_[lane] = 0;
        lastStep_[lane] = -1;
        surplus_[lane] = 0;
    }
}

int TTrackWalk::Expected() const {
    for (int i = 0; i < steps_.size(); ++i)
        if (steps_[i].state == TState::Waiting) return i;
    return -1;
}

int TTrackWalk::FiredCount(int lane) const {
    int fired = 0;
    for (const TStep& step : steps_)
        fired += step.lane == lane && step.state == TState::Fired;
    return fired;
}

void TTrackWalk::Pulse(int lane, qint64 ticks) {
    if (!Walking() || (lane != 1 && lane != 2)) return;
    if (lastStep_[lane] >= 0 && ticks - lastPulse_[lane] < kSameBarrierTicks) {
        ++steps_[lastStep_[lane]].repeats;
        lastPulse_[lane] = ticks;
        return;
    }
    lastPulse_[lane] = ticks;
    int next = -1;
    for (int i = 0; i < steps_.size() && next < 0; ++i)
        if (steps_[i].lane == lane && steps_[i].state == TState::Waiting) next = i;
    if (next < 0) {
        ++surplus_[lane];
        return;
    }
    const int expected = Expected();
    const int expectedLane = steps_[expected].lane;
    bool early = false;
    if (expectedLane != lane) {
        if (FiredCount(expectedLane) > 0) {
            // The walker has moved on: what the lane before did not show is missing.
            for (TStep& step : steps_)
                if (step.lane == expectedLane && step.state == TState::Waiting)
                    step.state = TState::Missing;
        } else {
            early = true;
        }
    }
    TStep& step = steps_[next];
    step.state = TState::Fired;
    step.ticks = ticks;
    step.early = early;
    lastStep_[lane] = next;
}

void TTrackWalk::Skip() {
    const int expected = Expected();
    if (expected >= 0) steps_[expected].state = TState::Missing;
}

QStringList TTrackWalk::Findings() const {
    QStringList findings;
    if (!Walking()) return findings;
    bool early = false;
    for (const TStep& step : steps_)
        early = early || step.early;
    if (early)
        findings.append(QStringLiteral("Bahn 2 hat vor Bahn 1 ausgelöst: Leitungen der Bahnen "
                                       "vertauscht (1+4 und 4+6)?"));
    for (int lane = 1; lane <= 2; ++lane) {
        int total = 0, missing = 0;
        for (const TStep& step : steps_)
            if (step.lane == lane) {
                ++total;
                missing += step.state == TState::Missing;
            }
        if (missing)
            findings.append(
                QStringLiteral("Bahn %1: nur %2 von %3 Lichtschranken haben ausgelöst; die "
                               "Zeiten zeigen, welche fehlt.")
                    .arg(lane)
                    .arg(total - missing)
                    .arg(total));
        if (surplus_[lane])
            findings.append(QStringLiteral("Bahn %1: %2 Impulse mehr als Lichtschranken.")
                                .arg(lane)
                                .arg(surplus_[lane]));
    }
    const int expected = Expected();
    if (expected >= 0) {
        findings.append(QStringLiteral("Als Nächstes: Bahn %1, %2.")
                            .arg(steps_[expected].lane)
                            .arg(BarrierName(steps_[expected].barrier)));
    } else if (findings.isEmpty()) {
        findings.append(QStringLiteral("Strecke in Ordnung: alle Lichtschranken haben in der "
                                       "richtigen Reihenfolge ausgelöst."));
    }
    return findings;
}
