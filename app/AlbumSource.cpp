#include "app/AlbumSource.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

namespace lumavo {

namespace {

int g_deadlineMs = CAlbumSource::kDeadlineMs;

// What the network may hold for one reply before it is read.
constexpr qint64 kReadChunkBytes = 1024 * 1024;

// The body of one reply as it arrives, never more than its cap.
struct Download {
    explicit Download(qint64 maxBytes)
        : maxBytes(maxBytes)
    {
    }
    // Adds what has arrived; false once the body is longer than the cap.
    bool Take(QNetworkReply* reply)
    {
        if (tooLong)
            return false;
        bytes += reply->read(maxBytes + 1 - bytes.size());
        if (bytes.size() > maxBytes) {
            tooLong = true;
            bytes = QByteArray();
        }
        return !tooLong;
    }

    const qint64 maxBytes;
    QByteArray bytes;
    bool tooLong = false;
};

} // namespace

// One file asked for, across the redirects that lead to it.
struct CAlbumSource::FetchJob {
    std::function<void(const QByteArray& bytes, bool ok)> done;
    qint64 maxBytes = 0;
    QDeadlineTimer deadline;
    int redirects = 0;
};

CAlbumSource::CAlbumSource(AlbumServer server, QString templateRoot, QObject* parent)
    : QObject(parent)
    , m_server(std::move(server))
    , m_templateRoot(std::move(templateRoot))
{
}

CAlbumSource::~CAlbumSource()
{
    // Requests still running end unheard: their handlers belong to this object.
    if (m_network) {
        for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>()) {
            reply->disconnect(this);
            reply->abort();
        }
    }
}

void CAlbumSource::Start()
{
    if (m_server.isRemote()) {
        Fetch(
            QLatin1String(kAlbumDataPath), [this](const QByteArray& bytes, bool ok) { Finish(bytes, ok); },
            kMaxAlbumDataBytes);
        return;
    }
    QByteArray bytes;
    bool ok = false;
    if (const auto path = m_server.LocalFile(QLatin1String(kAlbumDataPath))) {
        // A regular file only: opening a FIFO blocks, a device never ends.
        QFile file(*path);
        if (QFileInfo(*path).isFile() && file.open(QIODevice::ReadOnly)) {
            bytes = file.read(kMaxAlbumDataBytes + 1);
            ok = bytes.size() <= kMaxAlbumDataBytes;
        }
    }
    // Queued, so that a caller connecting after Start still hears it.
    QTimer::singleShot(0, this, [this, bytes, ok] { Finish(bytes, ok); });
}

void CAlbumSource::SetDeadlineForTesting(int milliseconds)
{
    g_deadlineMs = milliseconds > 0 ? milliseconds : kDeadlineMs;
}

void CAlbumSource::Fetch(
    const QString& relativePath, std::function<void(const QByteArray& bytes, bool ok)> done, qint64 maxBytes)
{
    const QUrl url = m_server.Url(relativePath);
    if (!m_server.isRemote() || !url.isValid()) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(QByteArray(), false); });
        return;
    }
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    Get(url, std::make_shared<FetchJob>(FetchJob { std::move(done), maxBytes, QDeadlineTimer(g_deadlineMs), 0 }));
}

void CAlbumSource::Get(const QUrl& url, std::shared_ptr<FetchJob> job)
{
    // Redirects are followed here, not by the network layer, so that each
    // hop is checked against the server and the deadline spans them all.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    // The reply stops reading from the network while this much waits unread,
    // so a server sending without end is held back, not buffered.
    reply->setReadBufferSize(kReadChunkBytes);
    auto download = std::make_shared<Download>(job->maxBytes);
    connect(reply, &QNetworkReply::readyRead, this, [reply, download] {
        if (!download->Take(reply))
            reply->abort();
    });
    // A server may send a byte at a time and never stall.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(std::chrono::milliseconds(std::max<qint64>(0, job->deadline.remainingTime())));

    connect(reply, &QNetworkReply::finished, this, [this, reply, download, job] {
        reply->deleteLater();
        const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (reply->error() == QNetworkReply::NoError && httpStatus / 100 == 3 && target.isValid()) {
            // Only places on the album server count, and only a few hops.
            const QUrl next = reply->url().resolved(target);
            if (++job->redirects <= kMaxRedirects && m_server.baseUrl().isParentOf(next))
                Get(next, job);
            else
                job->done(QByteArray(), false);
            return;
        }
        const bool ok = reply->error() == QNetworkReply::NoError && (httpStatus == 0 || httpStatus / 100 == 2)
            && download->Take(reply);
        job->done(ok ? download->bytes : QByteArray(), ok);
    });
}

void CAlbumSource::Finish(const QByteArray& bytes, bool ok)
{
    std::optional<AlbumData> data;
    if (ok)
        data = ParseAlbumXml(bytes);
    const bool fromServer = data.has_value();
    if (!data) {
        data.emplace();
        data->templates = ListTemplateFolders(m_templateRoot);
        if (!m_server.isRemote())
            data->tracks = ListMusicFiles(m_server.folder());
    }
    emit Loaded(*data, fromServer);
}

} // namespace lumavo
