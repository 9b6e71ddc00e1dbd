#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace lumavo {

struct DecodedPng {
    QImage image; // null on failure
    Status status = GenericError;
};

// Decodes a PNG file reduced by a whole factor (1 to 256): each pixel of
// the result is the average of a reduction x reduction block (fewer at the
// right and bottom edges), alpha-weighted. Rows are read one at a time, so
// the memory taken is the result's, whatever size the file claims. The
// result is RGB32, or premultiplied ARGB32 when the file has transparency;
// 16-bit files are rounded to 8 bits. Interlaced files are not read this
// way (NotImplemented): their rows arrive spread over seven passes.
DecodedPng DecodePngReduced(const QString& path, int32_t reduction, uint64_t byteLimit);

} // namespace lumavo
