#pragma once

#include "imaging/PhotoImage.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace lumavo {

// How the segments of a JPEG file lie, found without decoding it.
enum class JpegLayout {
    Whole, // the scans end at an end-of-image marker
    EndMissing, // the file ends inside the last scan's data, with no end marker
    Broken, // cut short in its headers, scans missing, or no JPEG at all
};

// Walks the segments as the decoder does: headers, then each scan's data
// (where 0xFF is followed only by 0x00, fill or a restart marker), up to the
// first end marker (phones append videos and further pictures after it).
// The scans must carry every component of the frame and, in a progressive
// file, every coefficient down to its last bit: a file cut between two scans
// would otherwise decode as a blurred or colourless picture.
// endMarker, when given, receives the offset of a whole file's end marker.
JpegLayout ReadJpegLayout(const uchar* data, size_t size, size_t* endMarker = nullptr);

struct DecodedJpeg {
    QImage image; // null on failure
    Status status = GenericError;
};

// Decodes a JPEG file, whole (reduction 1) or at 1/2, 1/4 or 1/8 of its size
// with the decoder's DCT scaling. Grey files give Grayscale8, all others
// RGB32 (CMYK converted as Adobe stores it); the JFIF density becomes the
// picture's resolution. A file whose data ends before the picture does is
// refused however it ends (cut short, an end marker put after half a file,
// a stretch overwritten), while warnings that ordinary camera files raise
// (zeros padding the end, odd APPn segments) are not. byteLimit caps
// the decoded picture's bytes, counting the 32-bit copy that drawing makes
// of a grey one; a file over it is refused as OutOfMemory before decoding.
DecodedJpeg DecodeJpeg(const QString& path, int32_t reduction, uint64_t byteLimit);

} // namespace lumavo
