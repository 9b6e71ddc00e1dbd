#pragma once

#include "app/AlbumData.h"
#include "app/AlbumServer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace lumavo {

// Reads the album's data from the album server, never blocking the
// user-interface thread on the network. When the server has no usable
// album.xml (missing, unreadable, not reachable), the album falls back to
// the local template root and, for a local server, to its music folder, so
// that the browser always offers the templates it can open.
class CAlbumSource : public QObject {
    Q_OBJECT
public:
    CAlbumSource(AlbumServer server, QString templateRoot, QObject* parent = nullptr);
    ~CAlbumSource() override;

    // Starts reading; Loaded follows (queued, also for a local server).
    void Start();

    const AlbumServer& server() const { return m_server; }
    const QString& templateRoot() const { return m_templateRoot; }

    // Fetches a file of a remote server; `done` runs on this object's thread
    // with the bytes, or with ok = false. Not called after this object is gone.
    // A response longer than maxBytes is dropped as it arrives and counts as
    // failed, and so does one that takes longer than the deadline in all.
    // Redirects are followed only to addresses below the server, a few times.
    void Fetch(const QString& relativePath, std::function<void(const QByteArray& bytes, bool ok)> done,
        qint64 maxBytes = kMaxTransferBytes);

    // How long one request may take in all, however steadily data comes.
    static constexpr int kDeadlineMs = 10000;
    // Tests shorten the deadline; 0 restores kDeadlineMs.
    static void SetDeadlineForTesting(int milliseconds);
    static constexpr int kMaxRedirects = 3;
    // No thumbnail or data file of the album is anywhere near this long.
    static constexpr qint64 kMaxTransferBytes = 16 * 1024 * 1024;
    static constexpr qint64 kMaxAlbumDataBytes = 4 * 1024 * 1024;

signals:
    // The album's data; `fromServer` is false when the fallback was used.
    void Loaded(const lumavo::AlbumData& data, bool fromServer);

private:
    struct FetchJob;
    void Get(const QUrl& url, std::shared_ptr<FetchJob> job);
    void Finish(const QByteArray& bytes, bool ok);

    AlbumServer m_server;
    QString m_templateRoot;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

} // namespace lumavo
