#include "PrintSubmit.h"

#include <cups/cups.h>

#include <mutex>

namespace {

std::mutex callMutex;
PrintSubmitCall activeCall;

QString Quoted(const QString& printer) {
    return QStringLiteral("„%1“").arg(printer);
}

// Why the queue did not take the job, in the operator's words; CUPS's own text for the rare
// rest. CUPS answers a print to a missing queue with an internal error, so the queue is asked.
QString Refusal(http_t* http, const QByteArray& printer) {
    const QString said = QString::fromUtf8(cupsLastErrorString());
    const QString name = Quoted(QString::fromUtf8(printer));
    cups_dest_t* dest = cupsGetNamedDest(http, printer.constData(), nullptr);
    if (!dest) return QStringLiteral("Drucker %1 nicht gefunden").arg(name);
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool refuses = accepting && qstrcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    if (refuses) return QStringLiteral("Drucker %1 nimmt keine Aufträge an").arg(name);
    return said;
}

} // namespace

// libcups keeps its last error per thread: this runs on the printing thread.
QString SystemPrintSubmit(const TPrintSubmission& job) {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                10000, nullptr);
    if (!http) return QStringLiteral("der Druckdienst (CUPS) ist nicht erreichbar");
    QString failure;
    QByteArray printer = job.printer.toUtf8();
    if (printer.isEmpty()) printer = cupsGetDefault2(http);
    if (printer.isEmpty()) {
        failure = QStringLiteral("kein Standarddrucker eingerichtet");
    } else {
        cups_option_t* options = nullptr;
        int count = 0;
        if (!job.media.isEmpty())
            count = cupsAddOption("media", job.media.toUtf8().constData(), count, &options);
        const int id = cupsPrintFile2(http, printer.constData(), job.file.toUtf8().constData(),
                                      job.title.toUtf8().constData(), count, options);
        cupsFreeOptions(count, options);
        if (id <= 0) failure = Refusal(http, printer);
    }
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

void SetPrintSubmitCall(PrintSubmitCall call) {
    std::lock_guard lock(callMutex);
    activeCall = std::move(call);
}
