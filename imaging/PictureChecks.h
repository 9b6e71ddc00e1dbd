#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace lumavo {

// Raises Qt's decoder allocation limit (256 MB by default, too small for a
// 100-megapixel photo) once per process, before the first picture is read.
// Every loader calls it before making a reader, so that no reader runs on
// another thread while the limit changes.
void PrepareDecoders();

// Checks the loaders make before trusting a decoder's success.

// An uncompressed BMP file at least as long as its header's pixel area.
bool BmpLooksComplete(const QString& path);
// A picture whose 32-bit pixels fit within kMaxPictureBytes.
bool FitsInMemoryLimit(int64_t width, int64_t height);
// The memory a picture takes once decoded in the given format, with the
// 32-bit copy that drawing or editing it makes unless it is 32-bit already
// (a 16-bit RGBA picture: 8 + 4 bytes a pixel).
uint64_t DecodedBytes(int64_t width, int64_t height, QImage::Format format);
// Whether a picture decoded in that format stays within byteLimit (and
// within kMaxPictureBytes as 32-bit pixels).
bool DecodeFits(int64_t width, int64_t height, QImage::Format format, uint64_t byteLimit);

} // namespace lumavo
