#pragma once

#include <QString>

#include <functional>

// Hands a PDF file to one of the system's print queues; the platform's part (CUPS). A stopped
// queue takes the job and holds it: only a queue that refuses it, or one that cannot be
// reached, fails.
struct TPrintSubmission {
    QString printer; // the queue; empty: the system's default printer
    QString file;    // the PDF
    QString title;   // the job's name in the queue
    QString media;   // the page size's name, as the system's print dialogs pass it
};

// Blocks until the queue has taken the job or refused it. The reason in German when the job
// was not taken, else empty. Through the call set, else the system's.
QString SubmitPrintJob(const TPrintSubmission& job);
// The system's own hand-over.
QString SystemPrintSubmit(const TPrintSubmission& job);

// How long the system's hand-over waits for the print server to connect, and then for each
// answer, before it gives up with a failure.
inline constexpr int kPrintAnswerMs = 10000;
// Tests shorten it; 0 restores kPrintAnswerMs.
void SetPrintAnswerTimeout(int ms);

// What SubmitPrintJob calls to hand the job over: the system's unless set. Tests that have no
// print server use it in its place, and tests that watch the system's wrap it. An empty call
// restores the system's; set it while nothing prints.
using PrintSubmitCall = std::function<QString(const TPrintSubmission& job)>;
void SetPrintSubmitCall(PrintSubmitCall call);
