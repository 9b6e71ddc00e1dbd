#include "JpegWriter.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace lumavo::test {

QByteArray WriteJpeg(const QImage& image, const JpegOptions& options)
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const QImage source = grey ? image : image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(source.width());
    info.image_height = JDIMENSION(source.height());
    info.input_components = grey ? 1 : options.cmyk ? 4 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : options.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.restart_in_rows = options.restartRows;
    jpeg_start_compress(&info, TRUE);
    for (const auto& [marker, body] : options.segments)
        jpeg_write_marker(&info, marker, reinterpret_cast<const JOCTET*>(body.constData()), unsigned(body.size()));
    std::vector<JSAMPLE> row(size_t(source.width()) * 4);
    for (int y = 0; y < source.height(); ++y) {
        const uchar* line = source.constScanLine(y);
        JSAMPROW rows[1] = { const_cast<JSAMPLE*>(line) };
        if (options.cmyk && !grey) {
            // Inverted CMYK whose conversion back gives the picture's colour.
            for (int x = 0; x < source.width(); ++x) {
                row[size_t(x) * 4 + 0] = line[x * 3 + 0];
                row[size_t(x) * 4 + 1] = line[x * 3 + 1];
                row[size_t(x) * 4 + 2] = line[x * 3 + 2];
                row[size_t(x) * 4 + 3] = 255;
            }
            rows[0] = row.data();
        }
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

} // namespace lumavo::test
