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

// How much smaller (1, 2, 4 or 8 times) a picture of fullSize can be decoded
// when it will be drawn at drawWidth x drawHeight: the largest reduction that
// still leaves at least the drawn size in each direction. The decoder's
// reduction averages whole 8 x 8 blocks, so the area-averaging scale that
// follows gives what it would give from the full picture, within a level or two.
int32_t ChooseDecodeReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight);

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
// drawHeight. JPEG files are decoded at 1/2, 1/4 or 1/8 of their size by the
// decoder's DCT scaling when ChooseDecodeReduction allows it (much less work
// and memory for camera photos); everything else is decoded at full size by
// PhotoImage::FromFile. Failures are reported as FromFile reports them.
ScaledPicture LoadForDrawing(const QString& path, int32_t drawWidth, int32_t drawHeight);

} // namespace lumavo
