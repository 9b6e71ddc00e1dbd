#include "printing/CupsPrintQueue.h"

#include "printing/PagePdf.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cups/cups.h>
#include <memory>
#include <thread>
#include <vector>

namespace lumavo {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestFree>;

struct InfoFree {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using DestInfo = std::unique_ptr<cups_dinfo_t, InfoFree>;

struct ConnectionClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, ConnectionClose>;

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppFree>;

struct Options {
    int count = 0;
    cups_option_t* values = nullptr;
    ~Options() { cupsFreeOptions(count, values); }
    void Add(const char* name, const QByteArray& value)
    {
        count = cupsAddOption(name, value.constData(), count, &values);
    }
};

// libcups reports an unreachable server as a missing printer: asked apart.
bool ServiceUnreachable()
{
    return !Connection(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr));
}

QString LastError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

QString Text(ipp_t* response, const char* name)
{
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    if (!attribute)
        return {};
    QStringList values;
    for (int i = 0; i < ippGetCount(attribute); ++i) {
        const char* value = ippGetString(attribute, i, nullptr);
        if (value && std::strcmp(value, "none") != 0)
            values << QString::fromUtf8(value);
    }
    return values.join(QStringLiteral(", "));
}

int Integer(ipp_t* response, const char* name, int fallback)
{
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    return attribute ? ippGetInteger(attribute, 0) : fallback;
}

// A printer's URI on the scheduler.
QByteArray PrinterUri(cups_dest_t* dest)
{
    if (const char* uri = cupsGetOption("printer-uri-supported", dest->num_options, dest->options))
        return uri;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", dest->name);
    return uri;
}

Ipp Ask(ipp_op_t operation, const char* uriName, const QByteArray& uri, std::initializer_list<const char*> wanted)
{
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    std::vector<const char*> names(wanted);
    ippAddStrings(
        request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(names.size()), nullptr, names.data());
    return Ipp(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
}

Paper PaperOf(const cups_size_t& size)
{
    Paper paper;
    paper.name = QString::fromUtf8(size.media);
    paper.sizeMm = QSizeF(size.width / 100.0, size.length / 100.0);
    paper.marginsMm = QMarginsF(size.left / 100.0, size.top / 100.0, size.right / 100.0, size.bottom / 100.0);
    return paper;
}

struct JobState {
    bool known = false;
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    QString reasons;
    QString message;
    int copies = 0;
};

JobState AskJob(int jobId)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    const Ipp response = Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", uri,
        { "job-state", "job-state-reasons", "job-state-message", "job-printer-state-message", "copies" });
    JobState job;
    if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING)
        return job;
    job.known = true;
    job.state = ipp_jstate_t(Integer(response.get(), "job-state", IPP_JSTATE_PENDING));
    job.reasons = Text(response.get(), "job-state-reasons");
    job.message = Text(response.get(), "job-state-message");
    const QString printerMessage = Text(response.get(), "job-printer-state-message");
    if (job.message.isEmpty())
        job.message = printerMessage;
    job.copies = Integer(response.get(), "copies", 1);
    return job;
}

} // namespace

CupsPrintQueue::CupsPrintQueue(std::chrono::milliseconds follow, QString server)
    : m_follow(follow)
    , m_server(std::move(server))
{
}

void CupsPrintQueue::UseServer() const
{
    if (!m_server.isEmpty())
        cupsSetServer(m_server.toUtf8().constData());
}

QStringList CupsPrintQueue::PrinterNames()
{
    UseServer();
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        if (!dests[i].instance)
            names << QString::fromUtf8(dests[i].name);
    }
    cupsFreeDests(count, dests);
    return names;
}

QString CupsPrintQueue::DefaultPrinter()
{
    UseServer();
    const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    return dest ? QString::fromUtf8(dest->name) : QString();
}

PrinterStatus CupsPrintQueue::Printer(const QString& name)
{
    UseServer();
    PrinterStatus status;
    status.name = name;
    if (name.isEmpty()) {
        status.problem = PrintProblem::NoPrinter;
        return status;
    }
    const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.toUtf8().constData(), nullptr));
    if (!dest) {
        status.problem = ServiceUnreachable() ? PrintProblem::NoPrintService : PrintProblem::NoPrinter;
        return status;
    }
    status.found = true;

    const Ipp response = Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", PrinterUri(dest.get()),
        { "printer-state", "printer-state-message", "printer-state-reasons", "printer-is-accepting-jobs",
            "media-default" });
    QString loadedMedia;
    if (response) {
        status.stopped = Integer(response.get(), "printer-state", IPP_PSTATE_IDLE) == IPP_PSTATE_STOPPED;
        ipp_attribute_t* accepting = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
        status.acceptingJobs = !accepting || ippGetBoolean(accepting, 0);
        status.reason = Text(response.get(), "printer-state-message");
        if (status.reason.isEmpty())
            status.reason = Text(response.get(), "printer-state-reasons");
        loadedMedia = Text(response.get(), "media-default");
    }

    const DestInfo info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
    if (!info)
        return status;
    const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest.get(), info.get(), CUPS_MEDIA_FLAGS_DEFAULT);
    for (int i = 0; i < count; ++i) {
        cups_size_t size {};
        if (cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest.get(), info.get(), i, CUPS_MEDIA_FLAGS_DEFAULT, &size))
            status.papers << PaperOf(size);
    }
    // The paper loaded: the printer's own default (libcups' would be Letter
    // for any printer that has no default set on this machine).
    cups_size_t loaded {};
    const bool known = !loadedMedia.isEmpty()
        ? cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest.get(), info.get(), loadedMedia.toUtf8().constData(),
            CUPS_MEDIA_FLAGS_DEFAULT, &loaded)
        : cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest.get(), info.get(), CUPS_MEDIA_FLAGS_DEFAULT, &loaded);
    if (known) {
        const Paper paper = PaperOf(loaded);
        for (int i = 0; i < status.papers.size() && status.defaultPaper < 0; ++i) {
            const QSizeF difference = status.papers[i].sizeMm - paper.sizeMm;
            if (std::abs(difference.width()) < 0.5 && std::abs(difference.height()) < 0.5)
                status.defaultPaper = i;
        }
        if (status.defaultPaper < 0) {
            status.defaultPaper = int(status.papers.size());
            status.papers << paper;
        }
    }
    return status;
}

PrintOutcome CupsPrintQueue::Submit(const PrintJob& job)
{
    UseServer();
    PrintOutcome outcome;
    if (job.copies < 1 || !job.drawPage) {
        outcome.problem = PrintProblem::BadRequest;
        return outcome;
    }
    QByteArray pdf;
    if (!DrawPagePdf(job, &pdf)) {
        outcome.problem = PrintProblem::DrawingFailed;
        return outcome;
    }

    const QByteArray name = job.printer.toUtf8();
    const Dest dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr));
    if (!dest) {
        const bool unreachable = ServiceUnreachable();
        outcome.result = unreachable ? PrintResult::NotStarted : PrintResult::Refused;
        outcome.problem = unreachable ? PrintProblem::NoPrintService : PrintProblem::NoPrinter;
        outcome.detail = job.printer;
        return outcome;
    }

    Options options;
    options.Add("copies", QByteArray::number(job.copies));
    // The page is already the paper's size: nothing may fit or shrink it.
    options.Add("print-scaling", "none");
    if (!job.paper.name.isEmpty()) {
        // libcups lists borderless papers under names of its own making,
        // which no printer knows.
        QByteArray media = job.paper.name.toUtf8();
        if (media.endsWith("_borderless"))
            media.chop(int(qstrlen("_borderless")));
        // The paper options need a connection of their own (not the default one).
        const Connection http(
            httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr));
        const DestInfo info(http ? cupsCopyDestInfo(http.get(), dest.get()) : nullptr);
        cups_size_t size {};
        qstrncpy(size.media, media.constData(), sizeof size.media);
        size.width = int(std::lround(job.paper.sizeMm.width() * 100));
        size.length = int(std::lround(job.paper.sizeMm.height() * 100));
        size.left = int(std::lround(job.paper.marginsMm.left() * 100));
        size.top = int(std::lround(job.paper.marginsMm.top() * 100));
        size.right = int(std::lround(job.paper.marginsMm.right() * 100));
        size.bottom = int(std::lround(job.paper.marginsMm.bottom() * 100));
        const unsigned flags = job.paper.Borderless() ? CUPS_MEDIA_FLAGS_BORDERLESS : CUPS_MEDIA_FLAGS_DEFAULT;
        const int before = options.count;
        if (info)
            options.count = cupsAddDestMediaOptions(
                http.get(), dest.get(), info.get(), flags, &size, options.count, &options.values);
        if (options.count == before)
            options.Add("media", media);
    }

    const QByteArray title = job.title.toUtf8();
    const int jobId
        = cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), title.constData(), options.count, options.values);
    if (jobId == 0) {
        const ipp_status_t status = cupsLastError();
        outcome.detail = LastError();
        if (status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS) {
            outcome.result = PrintResult::Refused;
            outcome.problem = PrintProblem::NotAcceptingJobs;
        } else if (status == IPP_STATUS_ERROR_NOT_FOUND) {
            outcome.result = PrintResult::Refused;
            outcome.problem = PrintProblem::NoPrinter;
        } else {
            outcome.problem = ServiceUnreachable() ? PrintProblem::NoPrintService : PrintProblem::SubmitFailed;
        }
        return outcome;
    }
    outcome.jobId = jobId;

    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), jobId, title.constData(), CUPS_FORMAT_PDF, 1)
        == HTTP_STATUS_CONTINUE;
    constexpr qsizetype kChunk = 1 << 16;
    for (qsizetype at = 0; sent && at < pdf.size(); at += kChunk) {
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData() + at, size_t(std::min(kChunk, pdf.size() - at)))
            == HTTP_STATUS_CONTINUE;
    }
    const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) == IPP_STATUS_OK;
    if (!sent || !finished) {
        outcome.detail = LastError();
        // Nothing half-sent may print.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), jobId, 0);
        outcome.problem = PrintProblem::SubmitFailed;
        return outcome;
    }

    // The queue took the job; watch it for a while to learn its fate.
    outcome.result = PrintResult::Queued;
    const auto deadline = std::chrono::steady_clock::now() + m_follow;
    for (;;) {
        const JobState state = AskJob(jobId);
        if (state.known) {
            outcome.copies = state.copies;
            outcome.detail = state.message;
            switch (state.state) {
            case IPP_JSTATE_COMPLETED:
                outcome.result = PrintResult::Printed;
                return outcome;
            case IPP_JSTATE_ABORTED:
            case IPP_JSTATE_CANCELED:
                outcome.result = PrintResult::Refused;
                outcome.problem
                    = state.state == IPP_JSTATE_ABORTED ? PrintProblem::JobAborted : PrintProblem::JobCanceled;
                if (outcome.detail.isEmpty())
                    outcome.detail = state.reasons;
                return outcome;
            case IPP_JSTATE_HELD:
            case IPP_JSTATE_STOPPED:
                outcome.result = PrintResult::Held;
                outcome.problem = PrintProblem::JobHeld;
                if (outcome.detail.isEmpty())
                    outcome.detail = state.reasons;
                return outcome;
            default:
                // Pending behind a stopped printer is held all the same.
                if (state.reasons.contains(QStringLiteral("printer-stopped"))) {
                    outcome.result = PrintResult::Held;
                    outcome.problem = PrintProblem::PrinterStopped;
                    return outcome;
                }
                break;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return outcome;
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::unique_ptr<PrintQueue> MakeSystemPrintQueue(std::chrono::milliseconds follow)
{
    return std::make_unique<CupsPrintQueue>(follow);
}

} // namespace lumavo
