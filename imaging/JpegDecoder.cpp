#include "imaging/JpegDecoder.h"

#include "imaging/FileBytes.h"
#include "imaging/PictureChecks.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it; jerror.h's list of
// messages depends on jconfig.h.
#include <jconfig.h>
#include <jerror.h>
#include <jpeglib.h>

namespace lumavo {

namespace {

// A progressive file of a few hundred scans is already absurd; each scan
// makes the decoder walk every block of the picture again.
constexpr int kMaxScans = 500;
// What the decoder may set aside for a progressive file's coefficients (two
// bytes a sample): a 100-megapixel photo without chroma subsampling needs 600 MB.
constexpr long kMaxDecoderMemory = 768L << 20;
constexpr uchar kEndOfImage = 0xD9;
constexpr uchar kStartOfScan = 0xDA;

bool IsStartOfFrame(uchar marker)
{
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsProgressive(uchar frameMarker)
{
    return frameMarker == 0xC2 || frameMarker == 0xC6 || frameMarker == 0xCA || frameMarker == 0xCE;
}

bool IsLossless(uchar frameMarker)
{
    return frameMarker == 0xC3 || frameMarker == 0xC7 || frameMarker == 0xCB || frameMarker == 0xCF;
}

// Which coefficient bits of which components the scans have carried so far.
class ScanCoverage {
public:
    bool SetFrame(uchar marker, const uchar* segment, qint64 length)
    {
        if (length < 8)
            return false;
        const int count = segment[7];
        if (count == 0 || length < 8 + 3 * count)
            return false;
        m_frameMarker = marker;
        m_components.assign(size_t(count), Component {});
        for (int i = 0; i < count; ++i)
            m_components[size_t(i)].id = segment[8 + 3 * i];
        return true;
    }

    bool AddScan(const uchar* segment, qint64 length)
    {
        if (m_components.empty() || length < 3)
            return false;
        const int count = segment[2];
        if (count == 0 || length < 6 + 2 * count)
            return false;
        const uchar* tail = segment + 3 + 2 * count;
        const int first = std::min<int>(tail[0], 63);
        const int last = std::min<int>(tail[1], 63);
        const int low = tail[2] & 0x0F;
        for (int i = 0; i < count; ++i) {
            Component* component = Find(segment[3 + 2 * i]);
            if (!component)
                return false;
            if (!IsProgressive(m_frameMarker)) {
                component->bits.fill(0);
                continue;
            }
            for (int k = first; k <= last; ++k)
                component->bits[size_t(k)] = std::min<uchar>(component->bits[size_t(k)], uchar(low));
        }
        return true;
    }

    bool Complete() const
    {
        if (m_components.empty())
            return false;
        for (const Component& component : m_components) {
            // A lossless scan carries samples, not coefficients: only the
            // first entry is meaningful for it.
            const size_t entries = IsLossless(m_frameMarker) ? 1 : component.bits.size();
            if (std::any_of(component.bits.begin(), component.bits.begin() + entries, [](uchar b) { return b != 0; }))
                return false;
        }
        return true;
    }

private:
    struct Component {
        int id = 0;
        std::array<uchar, 64> bits = MakeUnseen(); // lowest bit position received; 0xFF: none
    };
    static std::array<uchar, 64> MakeUnseen()
    {
        std::array<uchar, 64> bits {};
        bits.fill(0xFF);
        return bits;
    }
    Component* Find(int id)
    {
        for (Component& component : m_components) {
            if (component.id == id)
                return &component;
        }
        return nullptr;
    }

    uchar m_frameMarker = 0;
    std::vector<Component> m_components;
};

// Everything the decoding needs after a long jump has left the function
// that set it up; members rather than locals, so that nothing is lost.
struct Decoding {
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    std::jmp_buf escape {};
    JpegLayout layout = JpegLayout::Whole;
    const uchar* data = nullptr;
    size_t endMarker = 0; // offset of the end marker's 0xFF, for a whole file
    Status failure = GenericError;
    QImage image;
    std::vector<uchar> cmykRow;
};

Decoding& DecodingOf(j_common_ptr info)
{
    return *static_cast<Decoding*>(info->client_data);
}

// Warnings that mean pixels are missing or invented: the data ran out
// before the picture did, or the decoder lost its place in it.
bool IsDamage(const Decoding& decoding, const jpeg_error_mgr& errors)
{
    switch (errors.msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
#if JPEG_LIB_VERSION >= 70 || defined(C_ARITH_CODING_SUPPORTED) || defined(D_ARITH_CODING_SUPPORTED)
    case JWRN_ARITH_BAD_CODE:
#endif
    case JWRN_MUST_RESYNC:
        return true;
    case JWRN_JPEG_EOF:
        // Expected only where the file ends without its end marker.
        return decoding.layout != JpegLayout::EndMissing;
    case JWRN_EXTRANEOUS_DATA: {
        // Bytes before a restart marker mean an interval decoded short.
        // Before the end marker some cameras write zeros; anything else there
        // is data the decoder never needed: it lost its place on the way.
        const int marker = errors.msg_parm.i[1];
        if (marker != kEndOfImage || decoding.layout != JpegLayout::Whole)
            return true;
        size_t at = decoding.endMarker;
        while (at > 0 && decoding.data[at - 1] == 0xFF)
            --at;
        const size_t bytes = std::min(size_t(std::max(errors.msg_parm.i[0], 0)), at);
        return std::any_of(decoding.data + at - bytes, decoding.data + at, [](uchar b) { return b != 0; });
    }
    default:
        return false;
    }
}

void OnError(j_common_ptr info)
{
    Decoding& decoding = DecodingOf(info);
    const int code = info->err->msg_code;
    decoding.failure = code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE || code == JERR_IMAGE_TOO_BIG
        ? OutOfMemory
        : GenericError;
    std::longjmp(decoding.escape, 1);
}

void OnMessage(j_common_ptr info, int level)
{
    // Level -1 is a warning about the data; higher levels are traces.
    if (level >= 0)
        return;
    Decoding& decoding = DecodingOf(info);
    ++info->err->num_warnings;
    if (IsDamage(decoding, *info->err)) {
        decoding.failure = GenericError;
        std::longjmp(decoding.escape, 1);
    }
}

void NoOutput(j_common_ptr)
{
    // Nothing the library says reaches the terminal: the callers word failures.
}

int DotsPerMeterOf(int density, int unit)
{
    if (density <= 0)
        return 0;
    if (unit == 1)
        return int(100.0 * density / 2.54 + 0.5);
    if (unit == 2)
        return 100 * density;
    return 0;
}

void ConvertCmykRow(const uchar* cmyk, uchar* out, JDIMENSION width)
{
    // Adobe stores CMYK inverted: each byte is 255 minus the ink.
    auto* pixels = reinterpret_cast<QRgb*>(out);
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        const int k = cmyk[3];
        pixels[x] = qRgb(cmyk[0] * k / 255, cmyk[1] * k / 255, cmyk[2] * k / 255);
    }
}

// The decoder's part. Only the Decoding lives across the long jump.
bool Run(Decoding& decoding, const uchar* data, size_t size, int32_t reduction, uint64_t byteLimit)
{
    jpeg_decompress_struct& info = decoding.info;
    if (setjmp(decoding.escape))
        return false;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;

    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (grey)
        info.out_color_space = JCS_GRAYSCALE;
    else if (cmyk)
        info.out_color_space = JCS_CMYK;
    else
        info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(reduction);
    jpeg_calc_output_dimensions(&info);
    const QImage::Format format = grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    if (!DecodeFits(info.output_width, info.output_height, format, byteLimit)) {
        decoding.failure = OutOfMemory;
        return false;
    }

    jpeg_start_decompress(&info);
    decoding.image = QImage(int(info.output_width), int(info.output_height), format);
    try {
        if (cmyk)
            decoding.cmykRow.resize(size_t(info.output_width) * 4);
    } catch (const std::bad_alloc&) {
        decoding.image = QImage();
    }
    if (decoding.image.isNull()) {
        decoding.failure = OutOfMemory;
        return false;
    }
    while (info.output_scanline < info.output_height) {
        uchar* line = decoding.image.scanLine(int(info.output_scanline));
        JSAMPROW row = cmyk ? decoding.cmykRow.data() : line;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
        if (cmyk)
            ConvertCmykRow(decoding.cmykRow.data(), line, info.output_width);
    }
    // Reads on to the end marker, which is where padding is noticed.
    jpeg_finish_decompress(&info);

    const int dotsX = DotsPerMeterOf(info.X_density, info.density_unit);
    const int dotsY = DotsPerMeterOf(info.Y_density, info.density_unit);
    if (dotsX > 0 && dotsY > 0) {
        decoding.image.setDotsPerMeterX(dotsX);
        decoding.image.setDotsPerMeterY(dotsY);
    }
    return true;
}

} // namespace

JpegLayout ReadJpegLayout(const uchar* data, size_t size, size_t* endMarker)
{
    const uchar* const end = data + size;
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return JpegLayout::Broken;

    ScanCoverage coverage;
    int scans = 0;
    const uchar* at = data + 2;
    for (;;) {
        // The next marker; stray bytes before it are skipped, as the decoder does.
        at = static_cast<const uchar*>(std::memchr(at, 0xFF, size_t(end - at)));
        if (!at)
            return JpegLayout::Broken;
        while (at < end && *at == 0xFF)
            ++at;
        if (at == end)
            return JpegLayout::Broken;
        const uchar marker = *at++;
        if (marker == kEndOfImage) {
            if (endMarker)
                *endMarker = size_t(at - 2 - data);
            return scans > 0 && coverage.Complete() ? JpegLayout::Whole : JpegLayout::Broken;
        }
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (end - at < 2)
            return JpegLayout::Broken;
        const qint64 length = qFromBigEndian<quint16>(at);
        if (length < 2 || end - at < length)
            return JpegLayout::Broken;
        if (IsStartOfFrame(marker) && !coverage.SetFrame(marker, at, length))
            return JpegLayout::Broken;
        if (marker == kStartOfScan && (++scans > kMaxScans || !coverage.AddScan(at, length)))
            return JpegLayout::Broken;
        at += length;
        if (marker != kStartOfScan)
            continue;
        // A scan's data runs to the first marker other than a restart; a
        // file that ends inside it may still hold the whole picture.
        for (;;) {
            at = static_cast<const uchar*>(std::memchr(at, 0xFF, size_t(end - at)));
            if (!at || end - at < 2)
                return coverage.Complete() ? JpegLayout::EndMissing : JpegLayout::Broken;
            const uchar next = at[1];
            if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
                at += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
    }
}

DecodedJpeg DecodeJpeg(const QString& path, int32_t reduction, uint64_t byteLimit)
{
    DecodedJpeg result;
    if (reduction != 1 && reduction != 2 && reduction != 4 && reduction != 8) {
        result.status = InvalidParameter;
        return result;
    }
    const FileBytes file(path);
    if (file.status() != Ok) {
        result.status = file.status();
        return result;
    }
    const uchar* const data = file.data();
    const size_t size = file.size();

    Decoding decoding;
    decoding.data = data;
    decoding.layout = ReadJpegLayout(data, size, &decoding.endMarker);
    // The decoder takes the length as an unsigned long (32 bits on Windows).
    if (decoding.layout == JpegLayout::Broken || size > std::numeric_limits<unsigned long>::max())
        return result;

    decoding.info.err = jpeg_std_error(&decoding.errors);
    decoding.errors.error_exit = OnError;
    decoding.errors.emit_message = OnMessage;
    decoding.errors.output_message = NoOutput;
    decoding.info.client_data = &decoding;
    const bool decoded = Run(decoding, data, size, reduction, byteLimit);
    jpeg_destroy_decompress(&decoding.info);
    if (!decoded) {
        result.status = decoding.failure;
        return result;
    }
    result.image = std::move(decoding.image);
    result.status = Ok;
    return result;
}

} // namespace lumavo
