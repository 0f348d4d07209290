#pragma once

#include "slips/PrintSubmit.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QThread>

#include <mutex>

// What reached the print server's hand-over, with a copy of each PDF: the hand-over is the one
// thing a machine without a print server cannot do. Answers with failure while it is set.
struct Submissions {
    struct Job {
        TPrintSubmission submission;
        QString copy; // the PDF as handed over
        QThread* thread = nullptr;
    };
    QTemporaryDir dir;
    mutable std::mutex mutex;
    QList<Job> jobs;
    QString failure;
    int attempts = 0;

    Submissions() {
        SetPrintSubmitCall([this](const TPrintSubmission& submission) {
            std::lock_guard lock(mutex);
            ++attempts;
            if (!failure.isEmpty()) return failure;
            const QString copy = dir.filePath(QString("job%1.pdf").arg(jobs.size() + 1));
            QFile::copy(submission.file, copy);
            jobs.append({submission, copy, QThread::currentThread()});
            return QString();
        });
    }
    ~Submissions() { SetPrintSubmitCall({}); }

    int Count() const {
        std::lock_guard lock(mutex);
        return int(jobs.size());
    }
    int Attempts() const {
        std::lock_guard lock(mutex);
        return attempts;
    }
    Job At(int i) const {
        std::lock_guard lock(mutex);
        return jobs.value(i);
    }
    void Fail(const QString& reason) {
        std::lock_guard lock(mutex);
        failure = reason;
    }
};
