// Checking a whole driver library compared with a search over the same
// library: files per second of `check` (read every source, run every rule,
// compare driver file names) against the search for a module name. Target:
// the check takes at most twice the time of the search.
//
// The library is the search benchmark's: 2,000 driver sources of three named
// modules each, in 20 folders, read once before measuring (warm cache).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/drivercheck.h"
#include "driver/library.h"
#include "framework/fileio.h"
#include "source/schema.h"
#include "source/search.h"
#include "source/sourcefile.h"
#include "support/driverlibrary.h"
#include "support/rate.h"

using namespace sf;

namespace {

bench::TempDriverLibrary& fixture() {
    static bench::TempDriverLibrary f("sysforge-bench-check-");
    return f;
}

using bench::Rate;
using bench::RateTimer;

Rate g_search, g_check;

void BM_Search(benchmark::State& state) {
    auto& f = fixture();
    const SettingRef ref = makeRef(107, 0);
    std::size_t files = 0;
    RateTimer timer;
    for (auto _ : state)
        files += static_cast<std::size_t>(
            searchDrivers(*f.current, ref, SearchMode::SameValue, f.paths).examined);
    g_search = timer.rate(files);
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
}
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->UseRealTime();

// What `sysforge-cli check` does for a library: read, check, index the names,
// then the collisions of every driver.
void BM_CheckLibrary(benchmark::State& state) {
    auto& f = fixture();
    std::size_t files = 0, findings = 0;
    RateTimer timer;
    for (auto _ : state) {
        findings = 0;
        for (const auto& file : checkDriverFiles(f.paths)) findings += file.findings.size();
        files += f.paths.size();
    }
    g_check = timer.rate(files);
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_CheckLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_search.cpu > 0 && g_check.cpu > 0) {
        std::printf(
            "\nwall clock: search %.0f files/s, check %.0f files/s, check takes %.2fx the search\n",
            g_search.wall, g_check.wall, g_search.wall / g_check.wall);
        std::printf(
            "cpu time:   search %.0f files/s, check %.0f files/s, check takes %.2fx the search\n",
            g_search.cpu, g_check.cpu, g_search.cpu / g_check.cpu);
        std::printf("target: check within 2x of the search: %s\n",
                    g_search.cpu / g_check.cpu <= 2.0 ? "met" : "NOT met");
    }
    return 0;
}
