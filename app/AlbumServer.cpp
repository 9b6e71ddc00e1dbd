#include "app/AlbumServer.h"

#include <QDir>

namespace lumavo {

namespace {

bool HasHttpScheme(const QString& text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

AlbumServer AlbumServer::FromText(const QString& text)
{
    AlbumServer server;
    const QString trimmed = text.trimmed();
    if (HasHttpScheme(trimmed)) {
        server.m_remote = true;
        QString base = trimmed;
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        server.m_baseUrl = QUrl(base);
        return server;
    }
    QString folder = trimmed;
    if (folder.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        folder = QUrl(folder).toLocalFile();
    folder = QDir::fromNativeSeparators(folder);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    server.m_folder = folder;
    return server;
}

bool IsPlainRelativePath(const QString& path)
{
    if (path.isEmpty() || path.contains(QLatin1Char('\\')) || path.contains(QChar(0)))
        return false;
    if (path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char(':')))
        return false; // absolute, a drive letter or a scheme
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

std::optional<QString> AlbumServer::LocalFile(const QString& relativePath) const
{
    if (m_remote || !IsPlainRelativePath(relativePath))
        return std::nullopt;
    if (m_folder == QLatin1String("/"))
        return m_folder + relativePath;
    return m_folder + QLatin1Char('/') + relativePath;
}

QUrl AlbumServer::Url(const QString& relativePath) const
{
    if (!IsPlainRelativePath(relativePath))
        return {};
    if (m_remote) {
        // Percent-encoded dots ("%2e%2e/") survive the plain-path check but
        // are dot segments to the resolver: the result must stay below the base.
        const QUrl url = m_baseUrl.resolved(QUrl(relativePath, QUrl::TolerantMode));
        return m_baseUrl.isParentOf(url) ? url : QUrl();
    }
    return QUrl::fromLocalFile(*LocalFile(relativePath));
}

MovieAddress ParseMovieAddress(const QString& url)
{
    MovieAddress address;
    const bool remote = HasHttpScheme(url.trimmed());
    // Local addresses may come with the platform's own separators.
    const QString text = remote ? url.trimmed() : QDir::fromNativeSeparators(url.trimmed());
    const struct {
        const char* path;
        MovieKind kind;
    } movies[] = { { kAlbumMoviePath, MovieKind::Album }, { kPlayerMoviePath, MovieKind::MusicPlayer } };
    for (const auto& movie : movies) {
        const QLatin1String path(movie.path);
        if (text.endsWith(path, Qt::CaseInsensitive)) {
            address.kind = movie.kind;
            address.server = AlbumServer::FromText(text.left(text.size() - path.size()));
            break;
        }
    }
    return address;
}

} // namespace lumavo
