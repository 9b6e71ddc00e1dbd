#include "templates/Caption.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

// One caption on a 1400 x 2100 portrait, as every save or print draws it.
void BM_DrawCaption(benchmark::State& state)
{
    QImage picture(1400, 2100, QImage::Format_RGB32);
    picture.fill(0xFF808080u);
    QPainter painter(&picture);
    const QString text = lumavo::BuiltInCaptionText();
    lumavo::DrawCaption(painter, 1400, 2100, text); // face located and loaded once per process
    for (auto _ : state) {
        lumavo::DrawCaption(painter, 1400, 2100, text);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawCaption)->Unit(benchmark::kMicrosecond);

} // namespace
