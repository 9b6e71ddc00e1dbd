#include "imaging/PngCodec.h"

#include "imaging/HuffmanDeflate.h"
#include "imaging/PictureChecks.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>
#include <zlib.h>

namespace lumavo {

namespace {

constexpr char kSignature[8] = { char(0x89), 'P', 'N', 'G', '\r', '\n', char(0x1A), '\n' };
// Ancillary, private, unsafe to copy: a program that changes the picture
// and does not know the chunk drops it, so it never describes other bands.
constexpr char kBandsChunk[4] = { 'l', 'u', 'M', 'S' };
constexpr uint8_t kBandsVersion = 1;
// Enough bands for any number of cores to share the work evenly; each costs
// a flush of a few bytes and a fresh start of the compressor's history.
constexpr int kMaxBands = 16;
constexpr int kMinBandRows = 16;
// The largest chunk length PNG allows.
constexpr uint32_t kMaxChunk = 0x7FFFFFFFu;

// The filter each row gets: "sub" (the difference to the pixel on the left)
// takes grain and gradients down as far as the costlier filters do on
// photos, and a row needs nothing from the row above, so every band stands
// alone for reading. After that filter a photo's bytes are mostly small
// differences without repeats worth finding, so they are Huffman coded
// alone (imaging/HuffmanDeflate): the file zlib's run-length matching gave
// on grainy and smooth 24 MP photos, in a fraction of its time (a flat area
// still costs only a bit per byte).
constexpr int kFilterSub = 1;

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

uint32_t GetU32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint32_t ChunkCrc(const char type[4], const uint8_t* data, size_t length)
{
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    // zlib takes lengths as uInt: feed large data in pieces.
    while (length > 0) {
        const uInt piece = uInt(std::min<size_t>(length, 1u << 30));
        crc = crc32(crc, data, piece);
        data += piece;
        length -= piece;
    }
    return uint32_t(crc);
}

uint32_t Adler(const uint8_t* data, size_t length)
{
    uLong adler = adler32(0L, Z_NULL, 0);
    while (length > 0) {
        const uInt piece = uInt(std::min<size_t>(length, 1u << 30));
        adler = adler32(adler, data, piece);
        data += piece;
        length -= piece;
    }
    return uint32_t(adler);
}

void AppendChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t length)
{
    PutU32(out, uint32_t(length));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + length);
    PutU32(out, ChunkCrc(type, data, length));
}

bool WriteAll(QIODevice& device, const uint8_t* data, size_t length)
{
    return device.write(reinterpret_cast<const char*>(data), qint64(length)) == qint64(length);
}

bool WriteChunk(QIODevice& device, const char type[4], const uint8_t* data, size_t length, uint32_t crc)
{
    uint8_t head[8] = { uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length),
        uint8_t(type[0]), uint8_t(type[1]), uint8_t(type[2]), uint8_t(type[3]) };
    const uint8_t tail[4] = { uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc) };
    return WriteAll(device, head, 8) && WriteAll(device, data, length) && WriteAll(device, tail, 4);
}

struct Band {
    int firstRow = 0;
    int rows = 0;
    std::vector<uint8_t> packed; // compressed, with the stream header in the first band
    uint32_t adler = 0; // of the filtered rows
    uint32_t crc = 0; // of the IDAT chunk holding `packed`
    bool ok = false;
};

// One band of rows: filtered, compressed on its own, ended on a byte boundary
// with a full flush (the last one ends the stream).
void CompressBand(const QImage& image, Band& band, bool first, bool last)
{
    const int width = image.width();
    const size_t rowBytes = 1 + size_t(width) * 3;
    std::vector<uint8_t> raw;
    try {
        raw.resize(rowBytes * size_t(band.rows));
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int r = 0; r < band.rows; ++r) {
        const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(band.firstRow + r));
        uint8_t* out = raw.data() + rowBytes * size_t(r);
        out[0] = kFilterSub;
        uint32_t left = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = line[x];
            out[1 + 3 * x] = uint8_t((p >> 16) - (left >> 16));
            out[2 + 3 * x] = uint8_t((p >> 8) - (left >> 8));
            out[3 + 3 * x] = uint8_t(p - left);
            left = p;
        }
    }
    band.adler = Adler(raw.data(), raw.size());

    const size_t header = first ? 2 : 0;
    try {
        band.packed.reserve(header + DeflateLiteralsBound(raw.size()));
        if (first) {
            // Deflate, 32 KB window, fastest compression; checksum of the header.
            band.packed.push_back(0x78);
            band.packed.push_back(0x01);
        }
        DeflateLiterals(raw.data(), raw.size(), last, band.packed);
    } catch (const std::bad_alloc&) {
        return;
    }
    band.crc = ChunkCrc("IDAT", band.packed.data(), band.packed.size());
    band.ok = true;
}

std::vector<Band> PlanBands(int height)
{
    const int count = std::clamp(height / kMinBandRows, 1, kMaxBands);
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[size_t(i)].firstRow = int(int64_t(height) * i / count);
        bands[size_t(i)].rows = int(int64_t(height) * (i + 1) / count) - bands[size_t(i)].firstRow;
    }
    return bands;
}

// ---- reading ---------------------------------------------------------------

struct Span {
    size_t offset;
    size_t length;
};

inline uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes a row's filter in place; `above` is the unfiltered row above (zeros
// for the first row). False for an unknown filter.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* above, size_t length)
{
    constexpr size_t bpp = 3;
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = bpp; i < length; ++i)
            row[i] = uint8_t(row[i] + row[i - bpp]);
        return true;
    case 2:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + above[i]);
        return true;
    case 3:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + ((i >= bpp ? row[i - bpp] : 0) + above[i]) / 2);
        return true;
    case 4:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + Paeth(i >= bpp ? row[i - bpp] : 0, above[i], i >= bpp ? above[i - bpp] : 0));
        return true;
    default:
        return false;
    }
}

struct BandRecord {
    uint32_t rows;
    uint32_t length;
    uint32_t adler;
};

// Inflates one band, which must give exactly its rows and must end the
// stream only if it is the last, then undoes the filters into the picture.
bool ReadBand(const uint8_t* packed, size_t packedLength, const BandRecord& band, int firstRow, bool last, uchar* bits,
    qsizetype stride, int width)
{
    const size_t rowBytes = 1 + size_t(width) * 3;
    const size_t expected = rowBytes * band.rows;
    std::vector<uint8_t> raw;
    try {
        // One byte more than the rows, to see a band that holds too much.
        raw.resize(expected + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    z_stream z {};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(packed);
    z.avail_in = uInt(packedLength);
    z.next_out = raw.data();
    z.avail_out = uInt(raw.size());
    int result = Z_OK;
    while (result == Z_OK && z.avail_in > 0)
        result = inflate(&z, Z_SYNC_FLUSH);
    const size_t produced = z.total_out;
    inflateEnd(&z);
    const bool ended = result == Z_STREAM_END;
    if (produced != expected || z.avail_in != 0 || ended != last || (result != Z_OK && !ended))
        return false;
    if (Adler(raw.data(), expected) != band.adler)
        return false;

    std::vector<uint8_t> zeros(rowBytes - 1, 0);
    for (uint32_t r = 0; r < band.rows; ++r) {
        uint8_t* row = raw.data() + rowBytes * r;
        const uint8_t filter = row[0];
        // A band's first row must not need the row above, which belongs to
        // another band (only the picture's first row has zeros above it).
        const bool needsAbove = filter >= 2;
        if (r == 0 && needsAbove && firstRow != 0)
            return false;
        const uint8_t* above = r == 0 ? zeros.data() : row - rowBytes + 1;
        if (!Unfilter(filter, row + 1, above, rowBytes - 1))
            return false;
        auto* out = reinterpret_cast<uint32_t*>(bits + stride * (firstRow + int(r)));
        const uint8_t* in = row + 1;
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xFF000000u | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
    }
    return true;
}

} // namespace

bool WritePng24(const QImage& image, QIODevice& device)
{
    if (image.isNull() || (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32))
        return false;
    const int width = image.width();
    const int height = image.height();

    std::vector<Band> bands = PlanBands(height);
    ParallelFor(int64_t(bands.size()), 1, int64_t(width) * bands.front().rows, [&](int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i)
            CompressBand(image, bands[size_t(i)], i == 0, i + 1 == int64_t(bands.size()));
    });
    uLong adler = 0;
    const size_t rowBytes = 1 + size_t(width) * 3;
    for (const Band& band : bands) {
        if (!band.ok || band.packed.size() > kMaxChunk)
            return false;
        adler = &band == &bands.front() ? band.adler
                                        : adler32_combine(adler, band.adler, z_off_t(rowBytes * size_t(band.rows)));
    }

    std::vector<uint8_t> head(kSignature, kSignature + 8);
    std::vector<uint8_t> data;
    PutU32(data, uint32_t(width));
    PutU32(data, uint32_t(height));
    data.insert(data.end(), { 8, 2, 0, 0, 0 }); // 8 bits, RGB, deflate, standard filters, no interlace
    AppendChunk(head, "IHDR", data.data(), data.size());
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        data.clear();
        PutU32(data, uint32_t(image.dotsPerMeterX()));
        PutU32(data, uint32_t(image.dotsPerMeterY()));
        data.push_back(1); // per metre
        AppendChunk(head, "pHYs", data.data(), data.size());
    }
    data.assign(1, kBandsVersion);
    PutU32(data, uint32_t(bands.size()));
    for (const Band& band : bands) {
        PutU32(data, uint32_t(band.rows));
        PutU32(data, uint32_t(band.packed.size() - (&band == &bands.front() ? 2 : 0)));
        PutU32(data, band.adler);
    }
    AppendChunk(head, kBandsChunk, data.data(), data.size());
    if (!WriteAll(device, head.data(), head.size()))
        return false;
    for (const Band& band : bands) {
        if (!WriteChunk(device, "IDAT", band.packed.data(), band.packed.size(), band.crc))
            return false;
    }
    std::vector<uint8_t> tail;
    const uint8_t trailer[4] = { uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler) };
    AppendChunk(tail, "IDAT", trailer, 4);
    AppendChunk(tail, "IEND", nullptr, 0);
    return WriteAll(device, tail.data(), tail.size());
}

QImage ReadPng24(const QByteArray& file)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.constData());
    const size_t size = size_t(file.size());
    if (size < 8 || std::memcmp(bytes, kSignature, 8) != 0)
        return {};

    int width = 0;
    int height = 0;
    int dpmX = 0;
    int dpmY = 0;
    std::vector<BandRecord> bands;
    std::vector<Span> idat;
    bool sawHeader = false;
    bool sawEnd = false;
    size_t at = 8;
    while (at + 12 <= size && !sawEnd) {
        const uint32_t length = GetU32(bytes + at);
        if (length > kMaxChunk || length > size - at - 12)
            return {};
        const char* type = reinterpret_cast<const char*>(bytes + at + 4);
        const uint8_t* data = bytes + at + 8;
        const uint32_t crc = GetU32(data + length);
        const bool isData = std::memcmp(type, "IDAT", 4) == 0;
        // The picture data's checksums are checked band by band, on all cores.
        if (!isData && ChunkCrc(type, data, length) != crc)
            return {};
        if (!sawHeader) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return {};
            const uint32_t w = GetU32(data);
            const uint32_t h = GetU32(data + 4);
            // 8-bit RGB, deflate, standard filters, not interlaced.
            if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu || data[8] != 8 || data[9] != 2 || data[10] != 0
                || data[11] != 0 || data[12] != 0 || !FitsInMemoryLimit(int64_t(w), int64_t(h)))
                return {};
            width = int(w);
            height = int(h);
            sawHeader = true;
        } else if (isData) {
            if (bands.empty() || (!idat.empty() && idat.back().offset + idat.back().length + 4 != at))
                return {}; // no band record before the data, or the data not in one run of chunks
            idat.push_back({ at + 8, length });
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            sawEnd = true;
        } else if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && data[8] == 1) {
            dpmX = int(std::min<uint32_t>(GetU32(data), 0x7FFFFFFFu));
            dpmY = int(std::min<uint32_t>(GetU32(data + 4), 0x7FFFFFFFu));
        } else if (std::memcmp(type, kBandsChunk, 4) == 0) {
            if (!idat.empty() || !bands.empty() || length < 5 || data[0] != kBandsVersion)
                return {};
            const uint32_t count = GetU32(data + 1);
            if (count == 0 || count > uint32_t(height) || length != 5 + size_t(count) * 12)
                return {};
            uint64_t rows = 0;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* record = data + 5 + size_t(i) * 12;
                bands.push_back({ GetU32(record), GetU32(record + 4), GetU32(record + 8) });
                if (bands.back().rows == 0)
                    return {};
                rows += bands.back().rows;
            }
            if (rows != uint64_t(height))
                return {};
        } else if ((type[0] & 0x20) == 0) {
            return {}; // a critical chunk this reader does not know (a palette, for one)
        }
        at += 12 + size_t(length);
    }
    if (!sawEnd || idat.empty())
        return {};

    // The zlib stream, gathered from its chunks while their checksums are checked.
    size_t streamLength = 0;
    for (const Span& span : idat)
        streamLength += span.length;
    size_t bandTotal = 0;
    for (const BandRecord& band : bands)
        bandTotal += band.length;
    if (streamLength != 2 + bandTotal + 4)
        return {};
    std::unique_ptr<uint8_t[]> stream(new (std::nothrow) uint8_t[streamLength]);
    if (!stream)
        return {};
    std::vector<size_t> placed(idat.size());
    for (size_t i = 0, offset = 0; i < idat.size(); offset += idat[i].length, ++i)
        placed[i] = offset;
    std::atomic<bool> intact { true };
    ParallelFor(
        int64_t(idat.size()), 1, int64_t(streamLength / idat.size()) / 4,
        [&](int64_t first, int64_t end) {
            for (int64_t i = first; i < end; ++i) {
                const Span& span = idat[size_t(i)];
                const uint8_t* data = bytes + span.offset;
                if (ChunkCrc("IDAT", data, span.length) != GetU32(data + span.length))
                    intact = false;
                std::memcpy(stream.get() + placed[size_t(i)], data, span.length);
            }
        },
        int64_t(1) << 20);
    const uint8_t cmf = stream[0];
    const uint8_t flg = stream[1];
    if (!intact || (cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flg & 0x20) != 0 || (cmf * 256 + flg) % 31 != 0)
        return {};

    const size_t rowBytes = 1 + size_t(width) * 3;
    uLong adler = 0;
    std::vector<size_t> offsets(bands.size());
    std::vector<int> firstRows(bands.size());
    for (size_t i = 0, offset = 2, row = 0; i < bands.size(); ++i) {
        offsets[i] = offset;
        firstRows[i] = int(row);
        offset += bands[i].length;
        row += bands[i].rows;
        adler = i == 0 ? bands[i].adler : adler32_combine(adler, bands[i].adler, z_off_t(rowBytes * bands[i].rows));
    }
    if (GetU32(stream.get() + streamLength - 4) != uint32_t(adler))
        return {};

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    std::atomic<bool> ok { true };
    ParallelFor(
        int64_t(bands.size()), 1, int64_t(width) * (height / int64_t(bands.size())), [&](int64_t first, int64_t end) {
            for (int64_t i = first; i < end && ok; ++i) {
                const size_t k = size_t(i);
                if (!ReadBand(stream.get() + offsets[k], bands[k].length, bands[k], firstRows[k], k + 1 == bands.size(),
                        bits, stride, width))
                    ok = false;
            }
        });
    if (!ok)
        return {};
    if (dpmX > 0 && dpmY > 0) {
        image.setDotsPerMeterX(dpmX);
        image.setDotsPerMeterY(dpmY);
    }
    return image;
}

} // namespace lumavo
