#include "PrintSubmit.h"

#include <cups/cups.h>

#include <atomic>
#include <mutex>

namespace {

std::mutex callMutex;
PrintSubmitCall activeCall;
std::atomic<int> answerMs{kPrintAnswerMs};

// libcups asks whether to go on waiting each time the wait runs out: never.
int GiveUp(http_t*, void*) {
    return 0;
}

QString Quoted(const QByteArray& printer) {
    return QStringLiteral("„%1“").arg(QString::fromUtf8(printer));
}

// One Print-Job request on the connection given, so that every wait is the connection's own:
// libcups's own print calls ask further questions on a connection of their own, which waits
// for a minute when the server does not answer.
QString PrintJob(http_t* http, const QByteArray& printer, const TPrintSubmission& job) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", printer.constData());
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                 job.title.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "application/pdf");
    cups_option_t* options = nullptr;
    int count = 0;
    if (!job.media.isEmpty())
        count = cupsAddOption("media", job.media.toUtf8().constData(), count, &options);
    cupsEncodeOptions2(request, count, options, IPP_TAG_JOB);
    cupsFreeOptions(count, options);

    const QByteArray resource = "/printers/" + printer;
    ipp_t* response = cupsDoFileRequest(http, request, resource.constData(),
                                        job.file.toUtf8().constData()); // frees the request
    // No answer in time, or the connection broke.
    if (!response) return QStringLiteral("der Druckdienst (CUPS) antwortet nicht");
    const ipp_status_t status = ippGetStatusCode(response);
    const bool taken = status <= IPP_STATUS_OK_EVENTS_COMPLETE &&
                       ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    ippDelete(response);
    if (taken) return {};
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        return QStringLiteral("Drucker %1 nicht gefunden").arg(Quoted(printer));
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return QStringLiteral("Drucker %1 nimmt keine Aufträge an").arg(Quoted(printer));
    default:
        return QString::fromUtf8(cupsLastErrorString());
    }
}

} // namespace

// libcups keeps its last error per thread: this runs on the printing thread.
QString SystemPrintSubmit(const TPrintSubmission& job) {
    const int waitMs = answerMs;
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                waitMs, nullptr);
    if (!http) return QStringLiteral("der Druckdienst (CUPS) ist nicht erreichbar");
    // A server that takes the connection and never answers would hold every later slip.
    httpSetTimeout(http, waitMs / 1000.0, GiveUp, nullptr);
    QByteArray printer = job.printer.toUtf8();
    if (printer.isEmpty()) printer = cupsGetDefault2(http);
    const QString failure = printer.isEmpty() ? QStringLiteral("kein Standarddrucker eingerichtet")
                                              : PrintJob(http, printer, job);
    httpClose(http);
    return failure;
}

QString SubmitPrintJob(const TPrintSubmission& job) {
    PrintSubmitCall call;
    {
        std::lock_guard lock(callMutex);
        call = activeCall;
    }
    return call ? call(job) : SystemPrintSubmit(job);
}

void SetPrintAnswerTimeout(int ms) {
    answerMs = ms > 0 ? ms : kPrintAnswerMs;
}

void SetPrintSubmitCall(PrintSubmitCall call) {
    std::lock_guard lock(callMutex);
    activeCall = std::move(call);
}
