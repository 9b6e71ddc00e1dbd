#pragma once

#include <QByteArrayView>
#include <QMetaType>
#include <QString>

#include <optional>
#include <vector>

namespace lumavo {

// One template in the album.
struct AlbumTemplate {
    // The template's folder name under the template root; what "bt" carries.
    QString folder;
    // Shown under the thumbnail; the folder name when empty.
    QString caption;
    // A picture on the album server (relative path); empty when the album
    // makes the thumbnail from the template folder.
    QString thumbnail;

    QString ShownName() const { return caption.isEmpty() ? folder : caption; }
};

// One piece of music for the player strip.
struct AlbumTrack {
    QString title;
    // Relative path on the album server.
    QString file;
};

struct AlbumData {
    std::vector<AlbumTemplate> templates;
    std::vector<AlbumTrack> tracks;
};

// The album's data file on the album server.
inline constexpr const char* kAlbumDataPath = "ablum/album.xml";
// Where the music lies when the server has no data file.
inline constexpr const char* kAlbumMusicFolder = "ablum/music";

// Reads album.xml (UTF-8, or GBK when the bytes are not valid UTF-8).
// None when the text is not a well-formed <album> document. Entries whose
// folder name could leave the template root, or whose file paths could leave
// the server, are dropped (a bad thumbnail path only loses the thumbnail);
// a folder listed twice counts once.
std::optional<AlbumData> ParseAlbumXml(QByteArrayView bytes);

// The templates of a template root: every sub-folder holding a background
// picture, sorted by name the way people sort (numbers by value).
std::vector<AlbumTemplate> ListTemplateFolders(const QString& templateRoot);

// The music files (wav, mp3, ogg, oga, flac, m4a) of a local server's
// music folder, by name; titles are the file names without extension.
std::vector<AlbumTrack> ListMusicFiles(const QString& serverFolder);

} // namespace lumavo

Q_DECLARE_METATYPE(lumavo::AlbumData)
