#include "TimeSlips.h"

#include "PrintQueue.h"
#include "SlipPaint.h"
#include "StartList.h"
#include "live/LiveAddress.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "race/RaceSequence.h"
#include "results/ResultsDatabase.h"

#include <QPagedPaintDevice>

#include <cstdio>

TTimeSlips::TTimeSlips(const Race& race, TRaceSequence& sequence, TResultsDatabase& results,
                       const TProtocolModel& protocol, QObject* parent)
    : QObject(parent), Slips(new TPrintQueue(this)), Lists(new TPrintQueue(this)), race_(race),
      results_(results), protocol_(protocol) {
    // Both lanes' runs are recorded by the time the heat is over. A lane that never stops (a
    // racer alone on the track) ends with the reset, which the next START also runs.
    connect(&sequence, &TRaceSequence::HeatFinished, this, &TTimeSlips::HeatEnded);
    connect(&sequence, &TRaceSequence::DisplayReset, this, &TTimeSlips::HeatEnded);
    for (TPrintQueue* queue : {Slips, Lists})
        connect(queue, &TPrintQueue::FailureChanged, this, &TTimeSlips::NoticeChanged);
}

TTimeSlips::~TTimeSlips() {
    // A slip that cannot be printed by now is lost; the operator must hear of it.
    for (TPrintQueue* queue : {Slips, Lists})
        if (const int lost = queue->Close())
            std::fprintf(stderr, "%d Druckaufträge nicht gedruckt: %s\n", lost,
                         qPrintable(queue->Failure()));
}

QString TTimeSlips::Notice() const {
    QStringList notices;
    if (!Slips->Failure().isEmpty())
        notices << QStringLiteral("Zeitzettel können nicht gedruckt werden: ") + Slips->Failure();
    if (!Lists->Failure().isEmpty())
        notices << QStringLiteral("Die Startliste kann nicht gedruckt werden: ") + Lists->Failure();
    return notices.join(u'\n');
}

QString TTimeSlips::PageAddress() const {
    if (address_) return address_();
    // Without the page a code would lead nowhere.
    return race_.settings.LiveResults ? LiveAddress(quint16(race_.settings.LivePort)) : QString();
}

TSlip TTimeSlips::Slip(const TRun& run, const TRuns& dayRuns) const {
    return MakeSlip(run, dayRuns, race_.settings.Title, round_ ? round_(run) : QString(),
                    PageAddress());
}

void TTimeSlips::PrintSlip(const TRun& run, const TRuns& dayRuns) {
    const TSlip slip = Slip(run, dayRuns);
    const TSlipPaper paper = race_.settings.SlipPaper;
    Slips->Add({race_.settings.SlipPrinter, slip.JobTitle(), SlipPageLayout(slip, paper),
                [slip, paper](QPagedPaintDevice&, QPainter& painter) {
                    PaintSlip(painter, slip, paper);
                }});
}

void TTimeSlips::PrintStartList() {
    const TStartList list = MakeStartList(protocol_.Rows(), race_.settings.Title, PageAddress(),
                                          QDateTime::currentDateTime());
    Lists->Add({QString(), QStringLiteral("Startliste"), StartListPageLayout(),
                [list](QPagedPaintDevice& device, QPainter& painter) {
                    PaintStartList(device, painter, list);
                }});
}

void TTimeSlips::HeatEnded() {
    std::optional<TRun> runs[] = {results_.HeatRun(1), results_.HeatRun(2)};
    const TRun* any = runs[0] ? &*runs[0] : runs[1] ? &*runs[1] : nullptr;
    if (!any || (any->day == queuedDay_ && any->heat == queuedHeat_)) return;
    queuedDay_ = any->day;
    queuedHeat_ = any->heat;
    if (!race_.settings.SlipPrint) return;
    for (const std::optional<TRun>& run : runs)
        if (run && !run->startNumber.isEmpty()) PrintSlip(*run, results_.Runs());
}
