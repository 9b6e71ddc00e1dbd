#pragma once

// Picture files made to attack the readers, built byte by byte: sizes they
// only claim, bombs that inflate to gigabytes, chunks that make libraries
// complain. Nothing big is ever held in memory while writing them.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

namespace lumavo::test {

// A PNG chunk with its length and checksum.
QByteArray PngChunk(const QByteArray& type, const QByteArray& body);

// A PNG file whose header claims the size, with a token of pixel data.
QByteArray PngClaimingSize(uint32_t width, uint32_t height, int bitDepth = 8, int colourType = 6);

// A real PNG whose every sample is zero (black, transparent where there is
// alpha): a few hundred kilobytes that decode to width x height pixels.
// Colour types as in the PNG header (0 grey, 2 RGB, 6 RGBA).
bool WriteZeroPng(const QString& path, uint32_t width, uint32_t height, int bitDepth, int colourType);

// The picture as a PNG whose ancillary chunks make libpng warn: a colour
// profile too short to be one, a text chunk with a wrong checksum.
QByteArray PngWithNoisyChunks(const QImage& image);

// A small uncompressed RGB TIFF of one grey colour, carrying a private tag
// libtiff does not know (and warns about).
QByteArray TiffWithUnknownTag(int width, int height, uint8_t grey);

} // namespace lumavo::test
