#pragma once

#include "imaging/PhotoImage.h"

#include <QString>

#include <cstdint>

namespace lumavo {

// Raises Qt's decoder allocation limit (256 MB by default, too small for a
// 100-megapixel photo) once per process, before the first picture is read.
// Every loader calls it before making a reader, so that no reader runs on
// another thread while the limit changes.
void PrepareDecoders();

// Checks the loaders make before trusting a decoder's success.

// A JPEG file whose last end-of-image marker follows its last scan.
bool JpegLooksComplete(const QString& path);
// An uncompressed BMP file at least as long as its header's pixel area.
bool BmpLooksComplete(const QString& path);
// A picture whose 32-bit pixels fit within kMaxPictureBytes.
bool FitsInMemoryLimit(int64_t width, int64_t height);

} // namespace lumavo
