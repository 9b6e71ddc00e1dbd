#include "imaging/ScaledLoad.h"

#include "imaging/JpegDecoder.h"
#include "imaging/PictureChecks.h"
#include "imaging/PngDecoder.h"
#include "platform/DiskPath.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace lumavo {

namespace {

// The largest reduction among the candidates (largest first) that leaves
// the decoded picture at least twice the drawn size in each direction.
int32_t LargestReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight, int32_t largest, bool powersOfTwo)
{
    // A placement shrunk to nothing draws nothing; the smallest decode serves.
    const int64_t needWidth = 2 * int64_t(std::max(drawWidth, 1));
    const int64_t needHeight = 2 * int64_t(std::max(drawHeight, 1));
    for (int32_t reduction = largest; reduction > 1; reduction = powersOfTwo ? reduction / 2 : reduction - 1) {
        if (fullSize.width() / reduction >= needWidth && fullSize.height() / reduction >= needHeight)
            return reduction;
    }
    return 1;
}

} // namespace

QSize ReadPictureSize(const QString& path)
{
    QFile file;
    if (OpenForReading(file, path) != OpenError::None)
        return {};
    PrepareDecoders();
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

int32_t ChooseDecodeReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight)
{
    return LargestReduction(fullSize, drawWidth, drawHeight, 8, true);
}

int32_t ChooseRowReduction(QSize fullSize, int32_t drawWidth, int32_t drawHeight)
{
    // Every whole factor is possible; each candidate is one division.
    const int32_t largest = std::clamp(std::min(fullSize.width(), fullSize.height()) / 2, 1, 256);
    return LargestReduction(fullSize, drawWidth, drawHeight, largest, false);
}

ScaledPicture LoadForDrawing(const QString& path, int32_t drawWidth, int32_t drawHeight, uint64_t byteLimit)
{
    ScaledPicture result;
    PrepareDecoders();
    QFile file;
    const bool opened = OpenForReading(file, path) == OpenError::None;
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    const QSize fullSize = opened ? reader.size() : QSize();
    const QByteArray format = fullSize.isValid() ? reader.format() : QByteArray();

    QImage image;
    Status status = NotImplemented;
    int32_t reduction = 1;
    if (format == "jpeg") {
        reduction = ChooseDecodeReduction(fullSize, drawWidth, drawHeight);
        DecodedJpeg decoded = DecodeJpeg(path, reduction, byteLimit);
        image = std::move(decoded.image);
        status = decoded.status;
    } else if (format == "png") {
        reduction = ChooseRowReduction(fullSize, drawWidth, drawHeight);
        DecodedPng decoded = DecodePngReduced(path, reduction, byteLimit);
        image = std::move(decoded.image);
        status = decoded.status;
    }
    if (status == NotImplemented) {
        // No reduced decoding for this file: the full loader, in its own words.
        result.picture = PhotoImage::FromFile(path, byteLimit);
        result.fullSize = result.picture->IsNull() ? fullSize : result.picture->image().size();
        return result;
    }
    if (status != Ok) {
        result.picture = PhotoImage::Adopt(QImage(), status);
        result.fullSize = fullSize;
        return result;
    }
    result.picture = PhotoImage::Adopt(std::move(image), GenericError);
    result.fullSize = fullSize;
    result.reduction = reduction;
    return result;
}

} // namespace lumavo
