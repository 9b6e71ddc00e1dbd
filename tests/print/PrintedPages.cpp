#include "print/PrintedPages.h"

#include "TestUtils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace lumavo::test {

QString PrintQueueFolder()
{
    return QStringLiteral(LUMAVO_PRINT_QUEUE);
}

QString PrintQueueServer()
{
    const QString socket = PrintQueueFolder() + QStringLiteral("/cupsd.sock");
    return QFileInfo::exists(socket) ? socket : QString();
}

QString PrintedFile(int jobId, int timeoutMs)
{
    QDir out(PrintQueueFolder() + QStringLiteral("/out"));
    const QStringList pattern { QStringLiteral("*job_%1.pdf").arg(jobId) };
    QElapsedTimer clock;
    clock.start();
    do {
        const QStringList found = out.entryList(pattern, QDir::Files);
        // cups-pdf writes the file in one go once the job is done.
        if (!found.isEmpty() && LoggedCopies(jobId) >= 0)
            return out.filePath(found.constFirst());
        QThread::msleep(50);
    } while (clock.elapsed() < timeoutMs);
    return {};
}

namespace {

// The page log's line of a job: printer, job id, job name, paper, copies, pages.
QList<QByteArray> LoggedJob(int jobId)
{
    const QList<QByteArray> lines = ReadFile(PrintQueueFolder() + QStringLiteral("/log/page_log")).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 6 && fields[1].toInt() == jobId)
            return fields.mid(fields.size() - 3);
    }
    return {};
}

} // namespace

int LoggedCopies(int jobId)
{
    const QList<QByteArray> job = LoggedJob(jobId);
    return job.isEmpty() ? -1 : job[1].toInt();
}

QString LoggedMedia(int jobId)
{
    const QList<QByteArray> job = LoggedJob(jobId);
    return job.isEmpty() ? QString() : QString::fromUtf8(job[0]);
}

} // namespace lumavo::test
