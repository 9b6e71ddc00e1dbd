#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>

namespace lumavo {

// A quick codec for opaque 24-bit PNG files, the kind handed to outside
// programs and saved by the operator. The writer compresses bands of rows on
// all cores and joins them into the one zlib stream a PNG holds (each band
// ends on a full flush, so it starts afresh), so every PNG reader reads the
// file. A private chunk that other programs skip records where the bands
// start; the reader uses it to inflate the bands on all cores again.

// Writes an RGB32 or ARGB32 picture (alpha is dropped) as an 8-bit RGB PNG
// with its resolution. False for other formats or when the device fails.
bool WritePng24(const QImage& image, QIODevice& device);

// Reads a PNG file that the writer above made (the whole file's bytes) into
// an RGB32 picture with the file's resolution. A null picture for any other
// file, or for a file that fails any check (chunk checksums, the bands'
// checksums, lengths): the caller then reads it the ordinary way.
QImage ReadPng24(const QByteArray& file);

} // namespace lumavo
