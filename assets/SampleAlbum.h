#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace lumavo::samples {

struct AlbumEntry {
    QString folder;
    QString caption;
};

// A short piece of music of our own: a gentle pentatonic melody over a slow
// bass line, plucked-string timbre, as a 16-bit mono 44.1 kHz WAV file.
QByteArray SynthesiseSampleMusic();

// Writes the album server's data into a program folder: "ablum/album.xml"
// listing the templates and the sample track, and the track itself under
// "ablum/music/". False on failure.
bool WriteSampleAlbum(const QString& programDir, const std::vector<AlbumEntry>& templates);

} // namespace lumavo::samples
