#include "BenchPictures.h"
#include "handoffs/ExchangeFile.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The hand-off to an outside program and the reload, on a 24-megapixel photo:
// the operator waits for both with a busy cursor. A grainy photo is the hard
// case for the compressor; the smooth one shows what pictures without grain cost.
const QImage& Photo(bool grainy)
{
    static const QImage smooth = lumavo::bench::MakePhoto();
    static const QImage grain = lumavo::bench::MakeGrainyPhoto();
    return grainy ? grain : smooth;
}

void WriteExchangeFile(benchmark::State& state, bool grainy)
{
    QTemporaryDir folder;
    lumavo::SetExchangeFolderForTesting(folder.path() + "/");
    auto picture = lumavo::PhotoImage::Adopt(Photo(grainy));
    for (auto _ : state)
        benchmark::DoNotOptimize(lumavo::WriteExchangeFile(*picture));
    state.counters["MB"] = double(QFileInfo(lumavo::ExchangeFilePath()).size()) / 1e6;
    lumavo::SetExchangeFolderForTesting(QString());
}

void ReadExchangeFile(benchmark::State& state, bool grainy)
{
    QTemporaryDir folder;
    lumavo::SetExchangeFolderForTesting(folder.path() + "/");
    auto picture = lumavo::PhotoImage::Adopt(Photo(grainy));
    lumavo::WriteExchangeFile(*picture);
    for (auto _ : state)
        benchmark::DoNotOptimize(lumavo::ReadExchangeFile(96.0f));
    lumavo::SetExchangeFolderForTesting(QString());
}

void BM_WriteExchangeFile24MP(benchmark::State& state)
{
    WriteExchangeFile(state, true);
}
BENCHMARK(BM_WriteExchangeFile24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadExchangeFile24MP(benchmark::State& state)
{
    ReadExchangeFile(state, true);
}
BENCHMARK(BM_ReadExchangeFile24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteExchangeFile24MPSmooth(benchmark::State& state)
{
    WriteExchangeFile(state, false);
}
BENCHMARK(BM_WriteExchangeFile24MPSmooth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadExchangeFile24MPSmooth(benchmark::State& state)
{
    ReadExchangeFile(state, false);
}
BENCHMARK(BM_ReadExchangeFile24MPSmooth)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
