#pragma once

#include "results/Recorded.h"

#include "export/BackgroundWriter.h"
#include "export/Journal.h"
#include "export/JournalRecorder.h"
#include "ladder/LadderRunner.h"
#include "results/VoidRuns.h"

// A race day as the window runs it, without a window: heats through the sequence, recorded into
// a results file, void and re-run, and the ladders. The runner is made before the file is opened,
// as in the window.
struct LadderDay : RecordedHeat {
    TBackgroundWriter writer;
    TJournal journal{writer, race.HighResTimer1, [this] { return dir.path(); }, "Rennuhr"};
    TJournalRecorder journalRecorder{journal,       race,         sequence,
                                     *port.ComPort, plausibility, protocol.model};
    TVoidRuns voider{db, protocol.model, race, sequence, journalRecorder};
    TLadderRunner ladders{db, race, sequence, protocol.model};

    // Racers 1 … n of the class, and others of another class after them.
    explicit LadderDay(const QString& fileName = {}, int racers = 6, int others = 0) {
        if (!fileName.isEmpty()) file = fileName;
        race.settings.Klass = true;
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (int i = 1; i <= racers + others; ++i) {
            const QString s = QString::number(i);
            rows << QStringList{s,
                                "Fahrer" + s,
                                "Vorname" + s,
                                "Roller" + s,
                                "Motor" + s,
                                i <= racers ? "50" : "125",
                                "",
                                "",
                                "",
                                "",
                                ""};
        }
        protocol.model.SetRows(rows);
    }

    const TLadder& Ladder() const { return ladders.Ladders().constFirst(); }
    TPairingRef Ref(int round, int slot) const { return {Ladder().id, round, slot}; }
    const TLadderPairing& Pairing(int round, int slot) const {
        return *Ladder().Pairing(round, slot);
    }
    // The lanes' start numbers and ready numbers, "1/5 3/6".
    QString Lanes() const {
        return QString("%1/%2 %3/%4")
            .arg(heat.Lane(1).startNumber)
            .arg(heat.Lane(2).startNumber)
            .arg(heat.Lane(1).readyNumber)
            .arg(heat.Lane(2).readyNumber);
    }
    // The joker on the row of a start number, as the window gives it.
    void Joker(int startNumber) {
        const int row = protocol.model.FindStartRow(QString::number(startNumber));
        protocol.model.ToggleJoker(row);
        recorder.JokerToggled(row);
    }
    // Qualifying for the standings: racers 1 … 6 in heats 1-2, 3-4, 5-6, faster the lower the
    // number.
    void Qualify() {
        Run(8000, 8100);
        Run(8200, 8300);
        Run(8400, 8500);
    }
    void Reset() { Key(sequence.mReset); }
    // START and both false starts.
    void BothFalseStarts() {
        Start();
        At(100);
        Key(sequence.mFehlstart1);
        Key(sequence.mFehlstart2);
    }
};

// What a ladder says in a line per pairing, "0.1 4-5 >5 settled", and the places by seed.
inline QStringList Summary(const TLadder& ladder) {
    QStringList lines;
    for (const TLadderPairing* pairing : ladder.Pairings())
        lines << QString("%1.%2 %3-%4 >%5%6%7%8 heats %9")
                     .arg(pairing->round)
                     .arg(pairing->slot)
                     .arg(pairing->seeds[kUpper])
                     .arg(pairing->seeds[kLower])
                     .arg(pairing->winner)
                     .arg(pairing->settled ? " settled" : "")
                     .arg(pairing->swapped ? " swapped" : "")
                     .arg(pairing->noShow ? QString(" no-show %1").arg(pairing->noShow) : "")
                     .arg(pairing->heats.size());
    QStringList places;
    for (const TLadderEntrant& racer : ladder.field)
        places << QString::number(racer.place);
    lines << "places " + places.join(' ');
    return lines;
}
