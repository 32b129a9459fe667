// The driver author's tools on a full source of sixteen modules with blocks
// of every kind: check, compare, export as text and import the text. Each
// should take well under 5 ms.
#include <benchmark/benchmark.h>

#include "app/drivercheck.h"
#include "app/driverdiff.h"
#include "app/textform.h"
#include "../tests/support/random_record.h"

using namespace sf;

namespace {

const SourceRecord& fullSource() {
    static const auto r = testsupport::randomRecord(4242, rec::kModules);
    return *r;
}

void BM_Check(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(checkDriver(fullSource()));
}
BENCHMARK(BM_Check)->Unit(benchmark::kMicrosecond);

void BM_Diff(benchmark::State& state) {
    const auto other = testsupport::randomRecord(4243, rec::kModules);
    for (auto _ : state) benchmark::DoNotOptimize(diffSources(fullSource(), *other));
}
BENCHMARK(BM_Diff)->Unit(benchmark::kMicrosecond);

void BM_Export(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(exportSourceText(fullSource()));
}
BENCHMARK(BM_Export)->Unit(benchmark::kMicrosecond);

void BM_Import(benchmark::State& state) {
    const std::string text = *exportSourceText(fullSource());
    state.counters["text_bytes"] = static_cast<double>(text.size());
    for (auto _ : state) benchmark::DoNotOptimize(importSourceText(text));
}
BENCHMARK(BM_Import)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
