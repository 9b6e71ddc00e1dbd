#include "imaging/ImageFiles.h"

#include "imaging/PngCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <algorithm>

namespace lumavo {

namespace {

// Qt's TIFF plugin takes 1 for LZW (0 is no compression).
constexpr int kQtTiffLzw = 1;

// Only ASCII letters change: the extension lists and MIME types are ASCII,
// and folding other letters could turn a foreign character into one of them.
QString AsciiLower(const QString& text)
{
    QString lowered = text;
    for (QChar& c : lowered) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return lowered;
}

QString LookupKey(const QString& text)
{
    const QString lowered = AsciiLower(text);
    const qsizetype dot = lowered.lastIndexOf(u'.');
    return dot < 0 ? lowered : QStringLiteral("*") + lowered.mid(dot);
}

// An existing file without its owner's write permission counts as read-only
// even for a user (such as root) whom the system would let write it: the save
// replaces the file, and a read-only picture is not ours to replace.
bool IsReadOnly(const QFileInfo& info)
{
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

Status StatusForUnopenableTarget(const QString& path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    return folder.isDir() ? AccessDenied : Win32Error;
}

} // namespace

const QList<EncoderInfo>& InstalledEncoders()
{
    static const QList<EncoderInfo> encoders = [] {
        // The order the lookup walks them; the first match wins.
        const QList<EncoderInfo> known = {
            { "bmp", QStringLiteral("*.BMP;*.DIB;*.RLE"), QStringLiteral("image/bmp") },
            { "jpeg", QStringLiteral("*.JPG;*.JPEG;*.JPE;*.JFIF"), QStringLiteral("image/jpeg") },
            { "tiff", QStringLiteral("*.TIF;*.TIFF"), QStringLiteral("image/tiff") },
            { "png", QStringLiteral("*.PNG"), QStringLiteral("image/png") },
        };
        const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
        QList<EncoderInfo> installed;
        for (const EncoderInfo& encoder : known) {
            if (writable.contains(encoder.format))
                installed.append(encoder);
        }
        return installed;
    }();
    return encoders;
}

ImageEncoder::ImageEncoder(const QString& text)
{
    const QString key = LookupKey(text);
    // An empty key, or a name ending in "." (whose key "*." is in every
    // extension list), would be found inside every list; Windows drops
    // such a trailing dot, so out.jpg. would become a BMP named out.jpg.
    if (key.isEmpty() || key == u"*.")
        return;
    for (const EncoderInfo& encoder : InstalledEncoders()) {
        const QString mimeType = AsciiLower(encoder.mimeType);
        if (mimeType == key || AsciiLower(encoder.extensions).contains(key)) {
            m_found = true;
            m_mimeType = mimeType;
            m_format = encoder.format;
            return;
        }
    }
}

Status ImageEncoder::Save(PhotoImage& picture, const QString& path) const
{
    if (!m_found)
        return GenericError;
    if (picture.IsNull()) {
        picture.RecordStatus(InvalidParameter);
        return InvalidParameter;
    }

    const QFileInfo target(path);
    if (target.exists() && (!target.isFile() || IsReadOnly(target))) {
        picture.RecordStatus(AccessDenied);
        return AccessDenied;
    }

    // The picture goes to a new file beside the old one, which is replaced
    // only once the new file is complete: a failed save loses nothing.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        const Status status = StatusForUnopenableTarget(path);
        picture.RecordStatus(status);
        return status;
    }

    // PNG stays lossless; zlib's default effort costs seconds on a large
    // photo for about a tenth smaller files, so a lighter level is used
    // (Qt maps this quality to zlib level 2).
    constexpr int kPngSpeed = 70;
    QImageWriter writer(&file, m_format);
    if (m_mimeType == u"image/jpeg")
        writer.setQuality(std::clamp(quality, 0, 100)); // Qt would read a negative quality as 75
    else if (m_mimeType == u"image/tiff")
        writer.setCompression(kQtTiffLzw);
    else if (m_mimeType == u"image/png")
        writer.setQuality(kPngSpeed);

    // Every writer here stores pictures without alpha (RGB32 and the like) as
    // 24-bit pixels line by line, so the picture is written as it is held.
    // Opaque PNGs go through the quick writer, on all cores.
    const bool quickPng = m_mimeType == u"image/png" && picture.image().format() == QImage::Format_RGB32;
    if (quickPng ? !WritePng24(picture.image(), file) : !writer.write(picture.image())) {
        const Status status = file.error() != QFileDevice::NoError ? Win32Error : GenericError;
        file.cancelWriting();
        picture.RecordStatus(status);
        return status;
    }
    if (!file.commit()) {
        picture.RecordStatus(Win32Error);
        return Win32Error;
    }
    return Ok;
}

Status SaveImage(std::unique_ptr<PhotoImage>& picture, const QString& path, int32_t quality)
{
    if (!picture)
        return GenericError;
    ImageEncoder encoder(path);
    encoder.quality = quality;
    const Status status = encoder.Save(*picture, path);
    if (status == Ok)
        picture.reset();
    return status;
}

} // namespace lumavo
