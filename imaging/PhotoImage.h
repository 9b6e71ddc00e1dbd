#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class QPainter;

namespace lumavo {

// Status of an imaging operation. The numbers are those of the imaging
// library the stored template files and settings were made with; 0 is success.
enum Status : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedLibraryVersion = 17,
    LibraryNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// Pixel-format values. A decoded picture reports the format its decoder gave;
// pictures without alpha are held in a 32-bit layout (QImage::Format_RGB32)
// for speed and still report PixelFormat24bppRGB: they have no alpha channel
// and are written to files as 24-bit pictures.
enum PixelFormat : int32_t {
    PixelFormatUndefined = 0,
    PixelFormat1bppIndexed = 0x30101,
    PixelFormat4bppIndexed = 0x30402,
    PixelFormat8bppIndexed = 0x30803,
    PixelFormat16bppGrayScale = 0x101004,
    PixelFormat24bppRGB = 0x21808,
    PixelFormat32bppRGB = 0x22009,
    PixelFormat32bppARGB = 0x26200A,
    PixelFormat32bppPARGB = 0xE200B,
    PixelFormat48bppRGB = 0x10300C,
    PixelFormat64bppARGB = 0x34400D,
};

// Largest picture we hold: width x height x 4 must stay within 32 bits.
constexpr uint64_t kMaxPictureBytes = 0xFFFFFFFFull;
// Most memory one decoded picture may take, counting the 32-bit copy that
// drawing makes of a picture in any other format (a grey 30000 x 30000 PNG
// would take 0.9 + 3.6 GB): files that claim more are refused before decoding.
constexpr uint64_t kMaxDecodeBytes = 1536ull << 20;

// One raster picture with the status of its last failed operation.
// Always handled through a pointer: std::unique_ptr owns, a plain pointer borrows.
class PhotoImage {
public:
    // Decodes a picture file. Colour profiles and EXIF orientation are not
    // applied. Always returns an object; its lastStatus() tells whether the
    // decoding worked (a failed picture reads as 0 x 0). A picture that would
    // take more than byteLimit (see DecodedBytes) is refused as OutOfMemory
    // before it is decoded.
    static std::unique_ptr<PhotoImage> FromFile(const QString& path, uint64_t byteLimit = kMaxDecodeBytes);
    // A blank picture of the given size and format (content undefined, as
    // the library leaves it; callers draw over it).
    static std::unique_ptr<PhotoImage> Blank(int32_t width, int32_t height, PixelFormat format);
    // Adopts a QImage made by engine code. A null image gives a failed picture
    // with the given status.
    static std::unique_ptr<PhotoImage> Adopt(QImage image, Status failure = OutOfMemory);

    virtual ~PhotoImage();
    virtual std::unique_ptr<PhotoImage> Clone() const;

    PhotoImage(const PhotoImage&) = delete;
    PhotoImage& operator=(const PhotoImage&) = delete;

    // Copies a rectangle, converted to the format. The copy's status lands in
    // this picture's lastStatus even when it is Ok; none on failure.
    std::unique_ptr<PhotoImage> CloneArea(int32_t x, int32_t y, int32_t width, int32_t height, PixelFormat format);

    uint32_t Width() const { return uint32_t(m_image.width()); }
    uint32_t Height() const { return uint32_t(m_image.height()); }
    PixelFormat Format() const;
    bool IsNull() const { return m_image.isNull(); }

    // A painter on the picture; drawing changes it in place. Null when the
    // picture cannot be drawn on (failed, or indexed colour).
    std::unique_ptr<QPainter> Surface();

    // Resolution in dots per inch (96 for new pictures, the file's for decoded ones).
    float HorizontalResolution() const { return m_dpiX; }
    float VerticalResolution() const { return m_dpiY; }
    Status SetResolution(float dpiX, float dpiY);

    Status lastStatus() const { return m_lastStatus; }
    Status TakeStatus();
    // Records a failed operation's status; Ok leaves the last status alone.
    void RecordStatus(Status status);
    // Overwrites the status whatever it is (picture creation, CloneArea).
    void SetStatus(Status status) { m_lastStatus = status; }

    // The pixels. The mutable form marks the picture as changed (its
    // cacheKey moves on), which invalidates caches built from it.
    const QImage& image() const { return m_image; }
    QImage& mutableImage() { return m_image; }
    // Replaces the pixels, keeping this object (in-place edits such as turns).
    void ReplaceImage(QImage image);

protected:
    explicit PhotoImage(QImage image);

private:
    QImage m_image;
    Status m_lastStatus = Ok;
    float m_dpiX = 96.0f;
    float m_dpiY = 96.0f;
};

// The QImage format that holds pictures of a pixel format.
QImage::Format StorageFormat(PixelFormat format);
// Dots per metre for a resolution in dots per inch, as files store them.
int DotsPerMeter(float dpi);

} // namespace lumavo
