#include "printing/PageDrawing.h"
#include "printing/PageGeometry.h"
#include "printing/PagePdf.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace lumavo;

// A finished portrait at 350 dpi with grain, so compression works as on a photo.
QImage MakeFinished(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random() % 9) - 4;
            line[x] = qRgb(qBound(0, x * 255 / width + grain, 255), qBound(0, y * 255 / height + grain, 255),
                qBound(0, 128 + grain * 3, 255));
        }
    }
    return image;
}

// The page document a print queue receives: the finished picture drawn into
// a PDF of the paper's size.
void BM_PrintPagePdf(benchmark::State& state, const char* size, int width, int height)
{
    const QImage picture = MakeFinished(width, height);
    const PrintFormat& format = *FindPrintFormat(QString::fromLatin1(size));
    PrintJob job;
    job.title = QStringLiteral("bench");
    job.paper.sizeMm = QSizeF(format.widthMm, format.heightMm);
    const PrintPlacement placement = PlacePrint(format, job.paper, picture.size(), FitMode::Whole);
    job.drawPage = [&](QPainter& painter) {
        DrawPicturePage(painter, placement, picture);
        return true;
    };
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray pdf;
        benchmark::DoNotOptimize(DrawPagePdf(job, &pdf));
        bytes = pdf.size();
    }
    state.counters["pdf_MB"] = double(bytes) / 1e6;
}
BENCHMARK_CAPTURE(BM_PrintPagePdf, 4R, "4R", 1400, 2100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PrintPagePdf, A4, "A4", 2894, 4093)->Unit(benchmark::kMillisecond);

} // namespace
