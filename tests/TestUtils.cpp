#include "TestUtils.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>
#ifndef _WIN32
#include <ftw.h>
#endif

namespace lumavo::test {

Sandbox::Sandbox()
{
    m_dir.setAutoRemove(true);
}

Sandbox::~Sandbox()
{
#ifndef _WIN32
    const auto remove = [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); };
    if (m_dir.isValid())
        nftw(QFile::encodeName(m_dir.path()).constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
#endif
}

#ifndef _WIN32
bool RenameToBytes(const QString& path, const QByteArray& newName)
{
    const QByteArray from = QFile::encodeName(path);
    const qsizetype slash = from.lastIndexOf('/');
    const QByteArray to = (slash >= 0 ? from.left(slash + 1) : QByteArray()) + newName;
    return ::rename(from.constData(), to.constData()) == 0;
}
#endif

ImageDifference CompareImages(const QImage& a, const QImage& b)
{
    ImageDifference diff;
    diff.sameSize = a.size() == b.size();
    if (!diff.sameSize || a.isNull())
        return diff;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    double colourSquares = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const uint32_t*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uint32_t*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int d = std::abs(int((p[col] >> shift) & 0xFF) - int((q[col] >> shift) & 0xFF));
                diff.maxChannelDelta = std::max(diff.maxChannelDelta, d);
                sum += d;
                if (shift < 24)
                    colourSquares += double(d) * d;
            }
        }
    }
    const double pixels = double(x.width()) * x.height();
    diff.meanChannelDelta = sum / (pixels * 4);
    diff.psnr = colourSquares == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / (colourSquares / (pixels * 3)));
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

QImage MakeDetailedPhoto(int width, int height, uint32_t seed)
{
    // Every wave is separable into a row and a column factor, computed once.
    struct Waves {
        std::vector<double> weave, redSin, greenSin, greenCos, blueSin, blueCos;
        Waves(int count, double weaveRate, double red, double green, double blue, double phase, bool column)
        {
            for (int i = 0; i < count; ++i) {
                const double f = double(i) / std::max(1, count);
                weave.push_back(std::sin(i * weaveRate));
                redSin.push_back(column ? std::sin(red * f + phase) : std::cos(red * f));
                greenSin.push_back(std::sin(green * f + (column ? 0.0 : phase / 2)));
                greenCos.push_back(std::cos(green * f + (column ? 0.0 : phase / 2)));
                blueSin.push_back(std::sin(blue * f));
                blueCos.push_back(std::cos(blue * f));
            }
        }
    };
    const Waves columns(width, 0.9, 3.1, 1.7, 4.0, double(seed), true);
    const Waves rows(height, 0.7, 2.3, 2.2, -1.3, double(seed), false);
    const auto channel = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t hash = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed * 83492791u;
            hash = (hash ^ (hash >> 13)) * 0x5bd1e995u;
            const double grain = double((hash >> 16) & 15) - 7.5;
            const double weave = 5.0 * columns.weave[x] * rows.weave[y];
            const double r = 150 + 60 * columns.redSin[x] * rows.redSin[y] + grain + weave;
            const double g = 120
                + 50 * (columns.greenSin[x] * rows.greenCos[y] + columns.greenCos[x] * rows.greenSin[y]) + grain
                + weave;
            const double b = 110 + 40 * (columns.blueCos[x] * rows.blueCos[y] - columns.blueSin[x] * rows.blueSin[y])
                + grain - weave;
            line[x] = 0xFF000000u | (channel(r) << 16) | (channel(g) << 8) | channel(b);
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(225, 185, 155));
    painter.drawEllipse(QRectF(width * 0.35, height * 0.2, width * 0.3, height * 0.45));
    painter.setPen(QPen(QColor(60, 40, 30), std::max(1.0, width / 2000.0)));
    for (int i = 0; i < 40; ++i) {
        const double x = width * (0.36 + 0.007 * i);
        painter.drawLine(QPointF(x, height * 0.18), QPointF(x + width * 0.02, height * 0.3));
    }
    return image;
}

QByteArray Utf16WithBom(const QString& text, bool littleEndian)
{
    QByteArray bytes(littleEndian ? "\xFF\xFE" : "\xFE\xFF");
    for (const QChar ch : text) {
        const char low = char(ch.unicode() & 0xFF);
        const char high = char(ch.unicode() >> 8);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
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

bool WaitForFile(const QString& path, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (QFileInfo(path).size() > 0)
            return true;
        QThread::msleep(20);
    }
    return false;
}

ProgramRun RunWithoutDisplay(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    run.finished = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool WriteScript(const QString& path, const QByteArray& body)
{
    if (!WriteFile(path, "#!/bin/sh\n" + body))
        return false;
    return QFile::setPermissions(path,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::ExeOther);
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
