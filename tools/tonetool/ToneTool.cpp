#include "ToneTool.h"

#include "imaging/ImageFiles.h"
#include "imaging/PhotoImage.h"
#include "imaging/ToneFilters.h"
#include "platform/ProgramFolder.h"

#include <QImage>
#include <QImageReader>

#include <memory>

namespace lumavo {

namespace {

// The encoder the extension names; for a file whose extension names none,
// the format its content is in, so the file keeps being what it was.
ImageEncoder EncoderFor(const QString& path)
{
    ImageEncoder byExtension(path);
    if (byExtension.found())
        return byExtension;
    return ImageEncoder(QStringLiteral("*.") + QString::fromLatin1(QImageReader::imageFormat(path)));
}

bool Save(PhotoImage& picture, const QString& path)
{
    ImageEncoder encoder = EncoderFor(path);
    encoder.quality = kDefaultQuality;
    return encoder.Save(picture, path) == Ok;
}

} // namespace

ToneToolResult RunToneTool(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return { kToneToolUsage, QStringLiteral("用法：偏紫淡蓝 <图片文件路径>") };
    const QString& path = arguments.front();

    std::unique_ptr<PhotoImage> picture = PhotoImage::FromFile(path);
    if (picture->IsNull())
        return { kToneToolUnreadable, QStringLiteral("无法读取图片：") + path };

    // The kernel works on whole 32-bit rows (never padded). A picture
    // without alpha stays without it, so a 24-bit file is written as 24-bit.
    QImage& image = picture->mutableImage();
    image = std::move(image).convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return { kToneToolUnreadable, QStringLiteral("内存不足：") + path };
    PurplishLightBlueFilter(image.width(), image.height(), reinterpret_cast<uint32_t*>(image.bits()));

    if (!Save(*picture, path))
        return { kToneToolUnwritable, QStringLiteral("无法写回图片：") + path };
    return {};
}

} // namespace lumavo
