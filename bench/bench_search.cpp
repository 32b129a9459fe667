// Search across a driver library: files per second of a full search compared
// with only reading the same files' bytes. The search should reach at least
// half of the raw read throughput (reading dominates, parsing is cheap).
//
// The library: 2,000 driver sources of three named modules each, written to a
// temporary folder and read once before measuring so that the page cache is
// warm.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/library.h"
#include "source/schema.h"
#include "source/search.h"
#include "source/sourcefile.h"
#include "support/driverlibrary.h"
#include "support/rate.h"

namespace fs = std::filesystem;
using namespace sf;

namespace {

bench::TempDriverLibrary& fixture() {
    static bench::TempDriverLibrary f("sysforge-bench-search-");
    return f;
}

std::size_t readAll(const std::vector<fs::path>& paths, std::vector<std::uint8_t>& buffer) {
    std::size_t total = 0;
    for (const auto& p : paths) {
        const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        buffer.resize(1 << 16);
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(n);
        ::close(fd);
    }
    return total;
}

using bench::Rate;
using bench::RateTimer;

Rate g_raw, g_search;

void BM_RawRead(benchmark::State& state) {
    auto& f = fixture();
    std::vector<std::uint8_t> buffer;
    readAll(f.paths, buffer);  // warm cache
    std::size_t files = 0;
    RateTimer timer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(readAll(f.paths, buffer));
        files += f.paths.size();
    }
    g_raw = timer.rate(files);
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Search(benchmark::State& state) {
    auto& f = fixture();
    const SettingRef ref = makeRef(107, 0);  // module name, tried in every module
    std::size_t files = 0, matches = 0;
    RateTimer timer;
    for (auto _ : state) {
        SearchResult r = searchDrivers(*f.current, ref, SearchMode::SameValue, f.paths);
        matches = r.matches.size();
        files += static_cast<std::size_t>(r.examined);
    }
    g_search = timer.rate(files);
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
    state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_raw.wall > 0 && g_search.wall > 0 && g_raw.cpu > 0 && g_search.cpu > 0) {
        const double wallRatio = g_search.wall / g_raw.wall;
        const double cpuRatio = g_search.cpu / g_raw.cpu;
        std::printf("\nwall clock: raw read %.0f files/s, search %.0f files/s, ratio %.2f\n", g_raw.wall,
                    g_search.wall, wallRatio);
        std::printf("cpu time:   raw read %.0f files/s, search %.0f files/s, ratio %.2f\n", g_raw.cpu,
                    g_search.cpu, cpuRatio);
        std::printf("target: search >= 0.50 of raw read: %s\n", cpuRatio >= 0.5 ? "met" : "NOT met");
    }
    return 0;
}
