// Writes the seed corpora: small valid pictures in each format the loaders
// read, and a few profile texts. Usage: lumavo-fuzz-seeds <folder>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(root + QStringLiteral("/pictures"));
    QDir().mkpath(root + QStringLiteral("/profiles"));

    QImage rgb(12, 9, QImage::Format_RGB32);
    QImage argb(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            rgb.setPixel(x, y, qRgb(x * 20, y * 28, (x ^ y) * 16));
    argb.fill(QColor(200, 40, 90, 128));
    const QImage gray = rgb.convertToFormat(QImage::Format_Grayscale8);
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8);

    int failures = 0;
    auto save = [&](const QImage& image, const char* name, const char* format, int quality = -1) {
        QImageWriter writer(root + QStringLiteral("/pictures/") + QLatin1String(name), format);
        writer.setQuality(quality);
        if (!writer.write(image)) {
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(writer.errorString()));
            ++failures;
        }
    };
    save(rgb, "rgb.jpg", "jpeg", 50);
    save(gray, "gray.jpg", "jpeg", 50);
    save(rgb, "progressive-like.jpg", "jpeg", 10);
    save(rgb, "rgb.png", "png");
    save(argb, "argb.png", "png");
    save(indexed, "indexed.png", "png");
    save(rgb, "rgb.bmp", "bmp");
    save(indexed, "indexed.bmp", "bmp");
    save(rgb, "rgb.tif", "tiff");
    save(argb, "argb.tif", "tiff");

    const char* profiles[] = {
        "[Setting]\r\nQuality=90\r\nPrinter = \"  HP \"\r\n; note\r\n\r\n[Other]\r\nx=0x1F\r\n",
        "\xEF\xBB\xBF[Setting]\nQuality=-12abc\nName=\xE4\xB8\xAD\xE6\x96\x87\n",
        "[Setting]\nName=\xD6\xD0\xCE\xC4\n[setting]\nQuality=+7\n#x\n[Broken\nQuality\n",
    };
    int n = 0;
    for (const char* text : profiles) {
        QFile file(root + QStringLiteral("/profiles/p%1.ini").arg(n++));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
