#include "app/AlbumSource.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace lumavo {

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
        QFile file(*path);
        if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxAlbumDataBytes) {
            bytes = file.readAll();
            ok = true;
        }
    }
    // Queued, so that a caller connecting after Start still hears it.
    QTimer::singleShot(0, this, [this, bytes, ok] { Finish(bytes, ok); });
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
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    // A server that sends without end would otherwise fill the memory: the
    // transfer timeout only notices a stall.
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, maxBytes](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && (httpStatus == 0 || httpStatus / 100 == 2);
        done(ok ? reply->readAll() : QByteArray(), ok);
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
