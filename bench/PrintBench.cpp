#include "BenchPictures.h"
#include "printing/PageDrawing.h"
#include "printing/PageGeometry.h"
#include "printing/PagePdf.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

using namespace lumavo;

// The page document a print queue receives: the finished picture drawn into
// a PDF of the paper's size.
void BM_PrintPagePdf(benchmark::State& state, const char* size, int width, int height)
{
    const QImage picture = bench::MakeGrainyPicture(width, height);
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
