#include "TestUtils.h"

#include <QFile>
#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace lumavo::test {

Sandbox::Sandbox()
{
    m_dir.setAutoRemove(true);
}

ImageDifference CompareImages(const QImage& a, const QImage& b)
{
    ImageDifference diff;
    diff.sameSize = a.size() == b.size();
    if (!diff.sameSize || a.isNull())
        return diff;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const uint32_t*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uint32_t*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int d = std::abs(int((p[col] >> shift) & 0xFF) - int((q[col] >> shift) & 0xFF));
                diff.maxChannelDelta = std::max(diff.maxChannelDelta, d);
                sum += d;
            }
        }
    }
    diff.meanChannelDelta = sum / (double(x.width()) * x.height() * 4);
    return diff;
}

bool FuzzyEqual(const QImage& a, const QImage& b, int maxDelta, double meanDelta)
{
    const ImageDifference d = CompareImages(a, b);
    return d.sameSize && d.maxChannelDelta <= maxDelta && d.meanChannelDelta <= meanDelta;
}

QImage MakeTestPhoto(int width, int height, uint32_t seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t r = uint32_t((x * 255) / std::max(1, width - 1));
            const uint32_t g = uint32_t((y * 255) / std::max(1, height - 1));
            const uint32_t b = uint32_t((x + y + seed * 37) % 256);
            line[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(230, 190, 160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(width * 0.3, height * 0.2, width * 0.4, height * 0.5));
    return image;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString SourceDir()
{
    return QStringLiteral(LUMAVO_SOURCE_DIR);
}

QString ProgramDir()
{
    return QStringLiteral(LUMAVO_PROGRAM_DIR);
}

} // namespace lumavo::test
