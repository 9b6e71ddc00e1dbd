#include "imaging/PhotoImage.h"

#include "imaging/JpegDecoder.h"
#include "imaging/PictureChecks.h"
#include "imaging/PngCodec.h"
#include "platform/DiskPath.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace lumavo {

namespace {

float DpiFromDotsPerMeter(int dotsPerMeter)
{
    const float dpi = float(dotsPerMeter * 0.0254);
    // Files store whole dots per metre; 350 dpi comes back as 350.01.
    const float whole = std::round(dpi);
    return std::fabs(dpi - whole) < 0.05f ? whole : dpi;
}

Status StatusFromReaderError(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
        return FileNotFound;
    case QImageReader::DeviceError:
        return AccessDenied;
    case QImageReader::UnsupportedFormatError:
        return UnknownImageFormat;
    default:
        return GenericError;
    }
}

// The quick reader takes the 24-bit PNGs our own writer made; a file of
// another make, or one larger than its pixels could need, gives a null
// picture and goes to Qt's reader.
QImage ReadQuickly(const QString& path, const QSize& size)
{
    QFile file;
    if (!size.isValid() || OpenForReading(file, path) != OpenError::None)
        return {};
    const qint64 rawBytes = qint64(size.width() * 3 + 1) * size.height();
    if (file.size() > rawBytes + rawBytes / 8 + (qint64(1) << 20))
        return {};
    return ReadPng24(file.readAll());
}

} // namespace

PhotoImage::PhotoImage(QImage image)
    : m_image(std::move(image))
{
    if (!m_image.isNull()) {
        m_dpiX = DpiFromDotsPerMeter(m_image.dotsPerMeterX());
        m_dpiY = DpiFromDotsPerMeter(m_image.dotsPerMeterY());
    }
}

PhotoImage::~PhotoImage() = default;

std::unique_ptr<PhotoImage> PhotoImage::FromFile(const QString& path, uint64_t byteLimit)
{
    PrepareDecoders();

    std::unique_ptr<PhotoImage> picture(new PhotoImage(QImage()));
    // Opened through the names on disk, which Qt alone may not find.
    QFile file;
    if (const OpenError error = OpenForReading(file, path); error != OpenError::None) {
        picture->SetStatus(error == OpenError::Unreadable ? AccessDenied : FileNotFound);
        return picture;
    }
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    if (reader.format() == "jpeg") {
        // Our own decoder: it tells a file cut short from a whole one.
        DecodedJpeg decoded = DecodeJpeg(path, 1, byteLimit);
        if (decoded.status != Ok) {
            picture->SetStatus(decoded.status);
            return picture;
        }
        picture.reset(new PhotoImage(std::move(decoded.image)));
        return picture;
    }
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (size.isValid() && !DecodeFits(size.width(), size.height(), format, byteLimit)) {
        picture->SetStatus(OutOfMemory);
        return picture;
    }
    if (reader.format() == "bmp" && !BmpLooksComplete(path)) {
        picture->SetStatus(GenericError);
        return picture;
    }
    QImage image;
    if (reader.format() == "png")
        image = ReadQuickly(path, size);
    if (image.isNull() && (!reader.read(&image) || image.isNull())) {
        const Status status = StatusFromReaderError(reader.error());
        // A large picture that failed to decode most likely found no memory.
        const bool large = size.isValid() && !DecodeFits(size.width() * 2, size.height() * 2, format, byteLimit);
        picture->SetStatus(status == GenericError && large ? OutOfMemory : status);
        return picture;
    }
    if (image.colorSpace().isValid())
        image.setColorSpace(QColorSpace());
    picture.reset(new PhotoImage(std::move(image)));
    return picture;
}

std::unique_ptr<PhotoImage> PhotoImage::Blank(int32_t width, int32_t height, PixelFormat format)
{
    std::unique_ptr<PhotoImage> picture(new PhotoImage(QImage()));
    const QImage::Format storage = StorageFormat(format);
    if (width <= 0 || height <= 0 || storage == QImage::Format_Invalid) {
        picture->SetStatus(InvalidParameter);
        return picture;
    }
    if (!FitsInMemoryLimit(width, height)) {
        picture->SetStatus(OutOfMemory);
        return picture;
    }
    QImage image(width, height, storage);
    if (image.isNull()) {
        picture->SetStatus(OutOfMemory);
        return picture;
    }
    image.fill(0);
    picture->m_image = std::move(image);
    picture->SetStatus(Ok);
    return picture;
}

std::unique_ptr<PhotoImage> PhotoImage::Adopt(QImage image, Status failure)
{
    const bool ok = !image.isNull();
    std::unique_ptr<PhotoImage> picture(new PhotoImage(std::move(image)));
    picture->SetStatus(ok ? Ok : failure);
    return picture;
}

std::unique_ptr<PhotoImage> PhotoImage::Clone() const
{
    std::unique_ptr<PhotoImage> copy(new PhotoImage(m_image));
    copy->m_dpiX = m_dpiX;
    copy->m_dpiY = m_dpiY;
    return copy;
}

std::unique_ptr<PhotoImage> PhotoImage::CloneArea(
    int32_t x, int32_t y, int32_t width, int32_t height, PixelFormat format)
{
    const QImage::Format storage = StorageFormat(format);
    // Checked in 64 bits: a far-off corner plus the size would overflow a QRect.
    if (m_image.isNull() || width <= 0 || height <= 0 || x < 0 || y < 0 || storage == QImage::Format_Invalid
        || int64_t(x) + width > m_image.width() || int64_t(y) + height > m_image.height()) {
        SetStatus(InvalidParameter);
        return nullptr;
    }
    const QRect area(x, y, width, height);
    QImage copy = area == m_image.rect() ? m_image : m_image.copy(area);
    copy = std::move(copy).convertToFormat(storage);
    if (copy.isNull()) {
        SetStatus(OutOfMemory);
        return nullptr;
    }
    SetStatus(Ok);
    std::unique_ptr<PhotoImage> result(new PhotoImage(std::move(copy)));
    result->m_dpiX = m_dpiX;
    result->m_dpiY = m_dpiY;
    return result;
}

PixelFormat PhotoImage::Format() const
{
    switch (m_image.format()) {
    case QImage::Format_Invalid:
        return PixelFormatUndefined;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return PixelFormat1bppIndexed;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        return PixelFormat8bppIndexed;
    case QImage::Format_Grayscale16:
        return PixelFormat16bppGrayScale;
    case QImage::Format_ARGB32:
    case QImage::Format_RGBA8888:
        return PixelFormat32bppARGB;
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888_Premultiplied:
        return PixelFormat32bppPARGB;
    case QImage::Format_RGBX64:
        return PixelFormat48bppRGB;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return PixelFormat64bppARGB;
    default:
        return m_image.hasAlphaChannel() ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    }
}

std::unique_ptr<QPainter> PhotoImage::Surface()
{
    const PixelFormat format = Format();
    if (m_image.isNull() || format == PixelFormat1bppIndexed || format == PixelFormat8bppIndexed) {
        RecordStatus(m_image.isNull() ? InvalidParameter : NotImplemented);
        return nullptr;
    }
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&m_image)) {
        RecordStatus(GenericError);
        return nullptr;
    }
    return painter;
}

Status PhotoImage::SetResolution(float dpiX, float dpiY)
{
    if (!(dpiX > 0.0f) || !(dpiY > 0.0f)) {
        RecordStatus(InvalidParameter);
        return InvalidParameter;
    }
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    if (!m_image.isNull()) {
        m_image.setDotsPerMeterX(DotsPerMeter(dpiX));
        m_image.setDotsPerMeterY(DotsPerMeter(dpiY));
    }
    return Ok;
}

Status PhotoImage::TakeStatus()
{
    const Status status = m_lastStatus;
    m_lastStatus = Ok;
    return status;
}

void PhotoImage::RecordStatus(Status status)
{
    if (status != Ok)
        m_lastStatus = status;
}

void PhotoImage::ReplaceImage(QImage image)
{
    image.setDotsPerMeterX(m_image.isNull() ? DotsPerMeter(m_dpiX) : m_image.dotsPerMeterX());
    image.setDotsPerMeterY(m_image.isNull() ? DotsPerMeter(m_dpiY) : m_image.dotsPerMeterY());
    m_image = std::move(image);
}

QImage::Format StorageFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
        return QImage::Format_RGB32;
    case PixelFormat32bppARGB:
        return QImage::Format_ARGB32;
    case PixelFormat32bppPARGB:
        return QImage::Format_ARGB32_Premultiplied;
    case PixelFormat8bppIndexed:
        return QImage::Format_Indexed8;
    case PixelFormat1bppIndexed:
        return QImage::Format_Mono;
    case PixelFormat16bppGrayScale:
        return QImage::Format_Grayscale16;
    case PixelFormat48bppRGB:
        return QImage::Format_RGBX64;
    case PixelFormat64bppARGB:
        return QImage::Format_RGBA64;
    default:
        return QImage::Format_Invalid;
    }
}

int DotsPerMeter(float dpi)
{
    return int(std::lround(double(dpi) / 0.0254));
}

} // namespace lumavo
