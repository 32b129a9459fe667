// Reading and writing a 16-module driver source that carries every kind of
// block: in memory (image building and parsing) and through the file system.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "../tests/support/random_record.h"
#include "source/sourcefile.h"

namespace {

std::unique_ptr<sf::SourceRecord> fullSource() { return sf::testsupport::randomRecord(7, 16); }

void BM_BuildFileImage(benchmark::State& state) {
    auto r = fullSource();
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto image = sf::buildFileImage(*r);
        bytes = image ? image->size() : 0;
        benchmark::DoNotOptimize(image);
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildFileImage)->Unit(benchmark::kMicrosecond);

void BM_ReadSourceImage(benchmark::State& state) {
    auto r = fullSource();
    auto image = sf::buildFileImage(*r);
    for (auto _ : state) {
        auto read = sf::readSourceImage(*image);
        if (!read) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image->size()));
}
BENCHMARK(BM_ReadSourceImage)->Unit(benchmark::kMicrosecond);

void BM_SaveAndReadFile(benchmark::State& state) {
    auto r = fullSource();
    const auto dir = std::filesystem::temp_directory_path() / "sysforge-bench-sourcefile";
    std::filesystem::create_directories(dir);
    const auto path = dir / "FULL.d";
    for (auto _ : state) {
        if (!sf::saveSourceFile(path, *r, nullptr, nullptr)) state.SkipWithError("save failed");
        auto read = sf::readSourceFile(path);
        if (!read) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveAndReadFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
