#include "Slip.h"

#include "live/LiveAddress.h"

#include <QUrl>

#include <cstdlib>

namespace {

// Whole milliseconds as "s,mmm", as the protocol writes times.
QString Seconds(qint64 ms) {
    return QStringLiteral("%1,%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

QString TSlip::JobTitle() const {
    return QStringLiteral("Zeitzettel Lauf %1 Bahn %2 St.Nr. %3")
        .arg(heat)
        .arg(lane)
        .arg(startNumber);
}

QString TimeDifference(qint64 ownMs, qint64 opponentMs) {
    if (ownMs < 0 || opponentMs < 0) return {};
    const qint64 ahead = opponentMs - ownMs;
    const QString sign = ahead > 0 ? QStringLiteral("+") : ahead < 0 ? QStringLiteral("-") : "";
    return sign + Seconds(std::llabs(ahead)) + QStringLiteral(" s");
}

std::optional<TRun> OpponentRun(const TRuns& dayRuns, const TRun& run) {
    for (const TRun& other : dayRuns)
        if (other.day == run.day && other.heat == run.heat && other.lane != run.lane) return other;
    return std::nullopt;
}

QString BestRunText(const TRuns& dayRuns, const QString& startNumber) {
    const TRun* best = nullptr;
    for (const TRun& run : dayRuns) {
        if (run.startNumber != startNumber || !run.Valid()) continue;
        if (!best || run.finalMs < best->finalMs ||
            (run.finalMs == best->finalMs && run.heat < best->heat))
            best = &run;
    }
    if (!best) return QStringLiteral("–");
    return QStringLiteral("%1 s (Lauf %2)").arg(best->finalTime).arg(best->heat);
}

QString RacerAddress(const QString& pageAddress, const QString& startNumber) {
    const QUrl page(pageAddress);
    const QString number = startNumber.trimmed();
    if (!IsRacerPageNumber(number) || !page.isValid() || page.host().isEmpty() ||
        page.host() == QStringLiteral("localhost"))
        return {};
    return pageAddress + QStringLiteral("fahrer/") + number;
}

TSlip MakeSlip(const TRun& run, const TRuns& dayRuns, const QString& title, const QString& round,
               const QString& pageAddress) {
    TSlip slip;
    slip.title = title;
    slip.startedAt = run.startedAt;
    slip.heat = run.heat;
    slip.round = round;
    slip.lane = run.lane;
    slip.startNumber = run.startNumber;
    slip.name = QStringList{run.firstName, run.name}.join(u' ').trimmed();
    slip.classInfo = run.classInfo;
    slip.reaction = run.reaction;
    slip.intermediate = run.intermediate;
    slip.speed = run.speed;
    slip.finalTime = run.finalTime;
    slip.outcome = run.Outcome();
    if (const std::optional<TRun> opponent = OpponentRun(dayRuns, run)) {
        slip.opponentNumber = opponent->startNumber;
        slip.opponentTime = opponent->finalTime;
        slip.difference = TimeDifference(run.finalMs, opponent->finalMs);
    }
    slip.bestRun = BestRunText(dayRuns, run.startNumber);
    slip.address = RacerAddress(pageAddress, run.startNumber);
    return slip;
}
