#pragma once

#include "Slip.h"
#include "results/Run.h"

#include <QDate>
#include <QObject>

#include <functional>

class TPrintQueue;
class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
struct Race;

// The printed time slips and the start list. When a heat ends, each lane that had a racer gets
// a slip of its run as recorded (while "Zeitzettel drucken" is on), on the slip queue; a slip
// can be printed again, and the start list goes to the default printer. Both print in the
// background: queueing is all that happens on the caller's thread.
class TTimeSlips : public QObject {
    Q_OBJECT
public:
    // The heat's round in the ladder, for the slip; empty when there is none.
    using RoundSource = std::function<QString(const TRun& run)>;
    // The results page's address, "http://<host>:<port>/".
    using AddressSource = std::function<QString()>;

    TTimeSlips(const Race& race, TRaceSequence& sequence, TResultsDatabase& results,
               const TProtocolModel& protocol, QObject* parent = nullptr);
    ~TTimeSlips() override;

    void SetRoundSource(RoundSource source) { round_ = std::move(source); }
    // Until set: while "Live-Ergebnisse im Netzwerk" is on, this machine's address with the
    // results page's port, as the settings show it; else none, and the slips have no code.
    void SetAddressSource(AddressSource source) { address_ = std::move(source); }

    TPrintQueue* Slips;
    TPrintQueue* Lists;

    // What the notice bar says while slips or the start list cannot be printed; else empty.
    QString Notice() const;
    // dayRuns: the runs of the run's day, its opponent's among them.
    TSlip Slip(const TRun& run, const TRuns& dayRuns) const;
    // The run's slip, on the slip queue, whatever the setting.
    void PrintSlip(const TRun& run, const TRuns& dayRuns);
    // The protocol's racers, on the default printer.
    void PrintStartList();

signals:
    void NoticeChanged();

private:
    void HeatEnded();
    QString PageAddress() const;

    const Race& race_;
    TResultsDatabase& results_;
    const TProtocolModel& protocol_;
    RoundSource round_;
    AddressSource address_;
    // The heat whose slips were queued last: each heat's once.
    QDate queuedDay_;
    int queuedHeat_ = 0;
};
