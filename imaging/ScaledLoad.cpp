#include "imaging/ScaledLoad.h"

#include "imaging/PictureChecks.h"
#include "platform/DiskPath.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace lumavo {

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
    // A placement shrunk to nothing draws nothing; the smallest decode serves.
    const int64_t needWidth = std::max(drawWidth, 1);
    const int64_t needHeight = std::max(drawHeight, 1);
    for (const int32_t reduction : { 8, 4, 2 }) {
        if (fullSize.width() / reduction >= needWidth && fullSize.height() / reduction >= needHeight)
            return reduction;
    }
    return 1;
}

ScaledPicture LoadForDrawing(const QString& path, int32_t drawWidth, int32_t drawHeight)
{
    ScaledPicture result;
    PrepareDecoders();
    QFile file;
    const bool opened = OpenForReading(file, path) == OpenError::None;
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    const QSize fullSize = opened ? reader.size() : QSize();
    const int32_t reduction
        = fullSize.isValid() && reader.format() == "jpeg" ? ChooseDecodeReduction(fullSize, drawWidth, drawHeight) : 1;
    if (reduction == 1 || !FitsInMemoryLimit(fullSize.width(), fullSize.height()) || !JpegLooksComplete(path)) {
        // Full decode, or a file the full loader refuses in its own words.
        result.picture = PhotoImage::FromFile(path);
        result.fullSize = result.picture->IsNull() ? fullSize : result.picture->image().size();
        return result;
    }

    // Asking for the size rounded down keeps the decoder on exactly
    // 1/reduction; when the size is not divisible, the decoder's one extra
    // column or row is resampled away.
    reader.setScaledSize(QSize(fullSize.width() / reduction, fullSize.height() / reduction));
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        result.picture = PhotoImage::FromFile(path);
        result.fullSize = fullSize;
        return result;
    }
    if (image.colorSpace().isValid())
        image.setColorSpace(QColorSpace());
    result.picture = PhotoImage::Adopt(std::move(image), GenericError);
    result.fullSize = fullSize;
    result.reduction = reduction;
    return result;
}

} // namespace lumavo
