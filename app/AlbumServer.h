#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace lumavo {

// The two movies the browser loads from the album server.
inline constexpr const char* kAlbumMoviePath = "/ablum/loadXml2.swf";
inline constexpr const char* kPlayerMoviePath = "/ablum/mp3player.swf";

// Where the album's data lives: a local folder (plain path or file: URL) or
// an http(s) address. Files on it are named by paths relative to it, such as
// "ablum/album.xml".
class AlbumServer {
public:
    // Reads a folder path, a file: URL or an http(s) address. A trailing
    // separator is optional.
    static AlbumServer FromText(const QString& text);

    bool isRemote() const { return m_remote; }
    // The folder of a local server, with '/' separators and no trailing one.
    const QString& folder() const { return m_folder; }
    // The base address of a remote server, ending with '/'.
    const QUrl& baseUrl() const { return m_baseUrl; }

    // The local file for a relative path; none for a remote server or for a
    // path that is not a plain relative path below the server.
    std::optional<QString> LocalFile(const QString& relativePath) const;
    // The address of a relative path, local (file:) or remote; empty when
    // the path is refused.
    QUrl Url(const QString& relativePath) const;

private:
    bool m_remote = false;
    QString m_folder;
    QUrl m_baseUrl;
};

// A relative path that stays below the folder it is read from: not empty,
// no scheme, not absolute, no drive letter, no ".." part, no backslash.
bool IsPlainRelativePath(const QString& path);

enum class MovieKind { None, Album, MusicPlayer };

struct MovieAddress {
    MovieKind kind = MovieKind::None;
    AlbumServer server;
};

// Tells which built-in movie an address names and on which server. The
// movie path is matched at the end of the address, separators of either
// kind, case ignored; anything else is MovieKind::None.
MovieAddress ParseMovieAddress(const QString& url);

} // namespace lumavo
