#pragma once

#include "Heat.h"

#include "results/ResultsDatabase.h"
#include "results/RunRecorder.h"

#include "SqlSelect.h"

#include <QDateTime>
#include <QTemporaryDir>

inline const QDateTime kRaceMorning(QDate(2024, 5, 4), QTime(10, 0));

// Heats through the real sequence, recorded into a results file of the test's own. The wall
// clock runs with the test's time base: ticks 1000 ms are at1000ms.
struct RecordedHeat : Heat {
    QTemporaryDir dir;
    QString file;
    TResultsDatabase db;
    TRunRecorder recorder{db, race, sequence, plausibility, protocol.model};

    explicit RecordedHeat(const QDateTime& at1000ms = kRaceMorning, bool withPort = false)
        : Heat(withPort), file(TResultsDatabase::FileName(dir.path(), "Rennuhr")) {
        recorder.SetWallClock([clock = now, at1000ms] {
            return at1000ms.addMSecs((clock->load() - 1000 * kMs) / kMs);
        });
    }
    void Open(QDate day = kRaceMorning.date()) {
        db.Open(file, day);
        db.Flush();
    }
    // A heat by hand after the reset: START, lane 1 stops at ms1, lane 2 at ms2 after START,
    // in time order.
    void Run(qint64 ms1, qint64 ms2) {
        if (heat.ResetOpen()) Key(sequence.mReset);
        Start();
        const int first = ms1 <= ms2 ? 1 : 2;
        At(std::min(ms1, ms2));
        Key(first == 1 ? sequence.mStop1 : sequence.mStop2);
        At(std::max(ms1, ms2));
        Key(first == 1 ? sequence.mStop2 : sequence.mStop1);
    }
    // Participants for start numbers 1 … n: name "Fahrer<n>", the other cells numbered alike.
    void Participants(int n) {
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (int i = 1; i <= n; ++i) {
            const QString s = QString::number(i);
            rows << QStringList{s,
                                "Fahrer" + s,
                                "Vorname" + s,
                                "Roller" + s,
                                "Motor" + s,
                                "Klasse" + s,
                                "",
                                "",
                                "",
                                "",
                                ""};
        }
        protocol.model.SetRows(rows);
    }
};
