// The quick PNG reader on arbitrary bytes, and on its own files with bytes
// changed: it must never read outside the file or its bands, and a picture it
// gives back is whole. With the first byte odd, the input draws a small
// picture (sides and pixels from the bytes), which must come back exactly,
// and the later bytes then change the written file.
#include "fuzz/FuzzSupport.h"
#include "imaging/PngCodec.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

namespace {

void CheckRead(const QByteArray& file)
{
    const QImage image = lumavo::ReadPng24(file);
    if (!image.isNull() && (image.format() != QImage::Format_RGB32 || image.width() <= 0 || image.height() <= 0))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 || (data[0] & 1) == 0) {
        CheckRead(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        return 0;
    }
    const int width = 1 + data[1] % 48, height = 1 + data[2] % 48;
    const size_t pixelBytes = std::min<size_t>(size - 3, 256);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t i = 3 + (size_t(y) * width + x) * 3;
            line[x] = 0xFF000000u | uint32_t(data[3 + i % pixelBytes]) << 16
                | uint32_t(data[3 + (i + 1) % pixelBytes]) << 8 | uint32_t(data[3 + (i + 2) % pixelBytes]);
        }
    }
    QByteArray file;
    {
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        if (!lumavo::WritePng24(image, buffer))
            abort();
    }
    if (lumavo::ReadPng24(file) != image)
        abort();
    // The bytes after the pixels' share change the file: (position, value) pairs.
    for (size_t k = 3 + pixelBytes; k + 1 < size; k += 2)
        file[qsizetype(data[k] * 7919u % uint32_t(file.size()))] ^= char(data[k + 1] | 1);
    CheckRead(file);
    return 0;
}
