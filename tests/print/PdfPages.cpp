#include "print/PdfPages.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace lumavo::test {

namespace {

QByteArray Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return {};
    return process.readAllStandardOutput();
}

} // namespace

int PdfPages(const QString& pdf)
{
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch found = pages.match(QString::fromUtf8(Run("pdfinfo", { pdf })));
    return found.hasMatch() ? found.captured(1).toInt() : -1;
}

QSizeF PdfPageSizeMm(const QString& pdf)
{
    static const QRegularExpression size(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts"));
    const QRegularExpressionMatch found = size.match(QString::fromUtf8(Run("pdfinfo", { pdf })));
    if (!found.hasMatch())
        return {};
    const double mmPerPoint = 25.4 / 72.0;
    return QSizeF(found.captured(1).toDouble() * mmPerPoint, found.captured(2).toDouble() * mmPerPoint);
}

QImage RenderPdfPage(const QString& pdf, int dotsPerMm)
{
    const QString prefix = pdf + QStringLiteral(".page");
    Run("pdftoppm",
        { "-r", QString::number(dotsPerMm * 25.4), "-f", "1", "-l", "1", "-singlefile", "-png", pdf, prefix });
    QImage page(prefix + QStringLiteral(".png"));
    QFile::remove(prefix + QStringLiteral(".png"));
    return page.convertToFormat(QImage::Format_RGB32);
}

QRectF InkedAreaMm(const QImage& page, int dotsPerMm)
{
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (qRed(row[x]) < 230 || qGreen(row[x]) < 230 || qBlue(row[x]) < 230) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return {};
    const double mm = 1.0 / dotsPerMm;
    return QRectF(left * mm, top * mm, (right - left + 1) * mm, (bottom - top + 1) * mm);
}

void ExpectInkedArea(const QImage& page, const QRectF& expectedMm, double toleranceMm)
{
    const QRectF inked = InkedAreaMm(page);
    EXPECT_NEAR(inked.left(), expectedMm.left(), toleranceMm) << "left";
    EXPECT_NEAR(inked.top(), expectedMm.top(), toleranceMm) << "top";
    EXPECT_NEAR(inked.right(), expectedMm.right(), toleranceMm) << "right";
    EXPECT_NEAR(inked.bottom(), expectedMm.bottom(), toleranceMm) << "bottom";
}

} // namespace lumavo::test
