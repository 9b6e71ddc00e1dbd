#include "BenchPictures.h"
#include "handoffs/ExchangeFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The hand-off to an outside program and the reload, on a 24-megapixel photo:
// the operator waits for both with a busy cursor.
void BM_WriteExchangeFile24MP(benchmark::State& state)
{
    QTemporaryDir folder;
    lumavo::SetExchangeFolderForTesting(folder.path() + "/");
    auto picture = lumavo::PhotoImage::Adopt(lumavo::bench::MakePhoto());
    for (auto _ : state)
        benchmark::DoNotOptimize(lumavo::WriteExchangeFile(*picture));
    lumavo::SetExchangeFolderForTesting(QString());
}
BENCHMARK(BM_WriteExchangeFile24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadExchangeFile24MP(benchmark::State& state)
{
    QTemporaryDir folder;
    lumavo::SetExchangeFolderForTesting(folder.path() + "/");
    auto picture = lumavo::PhotoImage::Adopt(lumavo::bench::MakePhoto());
    lumavo::WriteExchangeFile(*picture);
    for (auto _ : state)
        benchmark::DoNotOptimize(lumavo::ReadExchangeFile(96.0f));
    lumavo::SetExchangeFolderForTesting(QString());
}
BENCHMARK(BM_ReadExchangeFile24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
