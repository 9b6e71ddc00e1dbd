#pragma once

#include "imaging/PhotoImage.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace lumavo {

// The pixel size a picture file declares in its header, read without
// decoding the picture. Invalid when the file cannot be read as a picture.
QSize ReadPictureSize(const QString& path);

// Most memory a photo decoded for drawing may take. With the template's
// own limit this keeps one finished picture within about 1.5 GB.
constexpr uint64_t kMaxDrawnPhotoBytes = 512ull << 20;

// How much smaller (1, 2, 4 or 8 times) a JPEG of fullSize can be decoded by
// the decoder's DCT scaling when it will be drawn at drawWidth x drawHeight:
// the largest reduction that still leaves at least twice the drawn size in
// each direction. The area-averaging scale that follows then gives what it
// would give from the full picture; from exactly the drawn size, fine
// repeating detail (a weave, a grid) would beat against the 8 x 8 blocks.
int32_t ChooseDecodeReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight);
// The same for a decoder that averages blocks of any whole size (1 to 256).
int32_t ChooseRowReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight);

struct ScaledPicture {
    // Never null; its lastStatus tells whether decoding worked, exactly as
    // for PhotoImage::FromFile.
    std::unique_ptr<PhotoImage> picture;
    // The size the picture has in the file (what a full decode gives).
    QSize fullSize;
    // The reduction the decoder applied (1 = full size).
    int32_t reduction = 1;
};

// Decodes a picture that is only going to be drawn at drawWidth x
// drawHeight, taking no more memory than that needs. JPEG files are decoded
// at 1/2, 1/4 or 1/8 of their size by the decoder's DCT scaling when
// ChooseDecodeReduction allows it; PNG files (not interlaced) row by row into
// averaged blocks, as ChooseRowReduction allows, so a small file claiming a
// huge picture costs only the drawn size. Everything else is decoded at full
// size by PhotoImage::FromFile. A picture over byteLimit, and any failure, is
// reported as FromFile reports it.
ScaledPicture LoadForDrawing(
    const QString& path, int32_t drawWidth, int32_t drawHeight, uint64_t byteLimit = kMaxDrawnPhotoBytes);

} // namespace lumavo
