#pragma once

// Readers for the header fields of written picture files, so tests check what
// a file really holds rather than what Qt reads back from it.

#include <QByteArray>
#include <QMap>

#include <cstdint>
#include <optional>

namespace lumavo::test {

struct JpegHeader {
    int densityUnits = -1; // JFIF APP0: 1 = dots per inch
    int densityX = -1;
    int densityY = -1;
    int width = -1;
    int height = -1;
    int components = -1; // 3 for colour
    int firstLumaQuant = -1; // DC entry of the first quantisation table
};
std::optional<JpegHeader> ParseJpeg(const QByteArray& bytes);

struct PngHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = -1;
    int colourType = -1; // 2 = RGB, 6 = RGBA, 3 = palette
    int64_t pixelsPerUnitX = -1; // pHYs
    int64_t pixelsPerUnitY = -1;
    int unit = -1; // 1 = metre
};
std::optional<PngHeader> ParsePng(const QByteArray& bytes);

struct BmpHeader {
    int32_t width = 0;
    int32_t height = 0;
    int bitsPerPixel = -1;
    int32_t pelsPerMeterX = -1;
    int32_t pelsPerMeterY = -1;
};
std::optional<BmpHeader> ParseBmp(const QByteArray& bytes);

// The first IFD of a TIFF file: tag -> first value; a rational value is its
// numerator divided by its denominator.
struct TiffTags {
    QMap<int, double> values;
    double get(int tag) const { return values.value(tag, -1.0); }
};
std::optional<TiffTags> ParseTiff(const QByteArray& bytes);

// PNG chunk checksum, for building test files by hand.
uint32_t Crc32(const QByteArray& bytes);

} // namespace lumavo::test
