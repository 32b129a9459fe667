// A same-value search over a driver library as the user meets it, a whole
// process from start to exit (`sysforge-cli search`), against the plain
// single-threaded C reader of bench/rawread.c, which reads every byte of the
// same files in 64 KiB reads. Every iteration runs both, one right after the
// other, so that a busy machine weighs on both sides alike; the figure is
// the median of the per-iteration ratios search / raw read (goal: 0.6 or
// less).
//
// The library: 2,000 driver sources of three named modules each (30,000 with
// --drivers=30000), written to a temporary folder and read once before
// measuring so that the page cache is warm.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/driverlibrary.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace sf;

namespace {

int g_drivers = bench::kLibraryDrivers;
fs::path g_binDir;

struct Times {
    double wall = 0;  // ms
    double cpu = 0;   // ms, user and system, all threads
};

std::vector<Times> g_raw, g_search;  // one pair per iteration

// Runs argv to its end with its output thrown away.
Times runProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    const int err = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    if (err == 0) wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            ms(usage.ru_utime) + ms(usage.ru_stime)};
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
double median(const std::vector<Times>& v, double Times::*part) {
    std::vector<double> values;
    for (const Times& t : v) values.push_back(t.*part);
    return median(values);
}

struct Library {
    bench::TempDriverLibrary drivers;
    fs::path target;
    std::vector<std::string> raw, search;

    Library()
        : drivers("sysforge-bench-processes-", {.drivers = g_drivers}),
          target(drivers.root.string() + ".target.d") {
        bench::writeSourceFile(target, *drivers.current);
        raw = {(g_binDir / "bench_rawread").string(), drivers.root.string()};
        // The module name "Drums", tried in every module of every driver.
        search = {(g_binDir / "sysforge-cli").string(),
                  "search",
                  drivers.root.string(),
                  target.string(),
                  "107:0",
                  "same"};
        runProcess(raw);  // warm the page cache and the program files
        runProcess(search);
    }
    ~Library() {
        std::error_code ec;
        fs::remove(target, ec);
    }
};

Library* g_library = nullptr;

void BM_SearchVersusRawRead(benchmark::State& state) {
    const auto& raw = g_library->raw;
    const auto& search = g_library->search;
    for (auto _ : state) {
        // Alternate which side goes first, so that neither always follows
        // the other's cache effects.
        const bool rawFirst = g_raw.size() % 2 == 0;
        Times r, s;
        if (rawFirst) {
            r = runProcess(raw);
            s = runProcess(search);
        } else {
            s = runProcess(search);
            r = runProcess(raw);
        }
        g_raw.push_back(r);
        g_search.push_back(s);
        state.SetIterationTime(s.wall / 1000);
    }
    state.counters["raw_ms"] = median(g_raw, &Times::wall);
    state.counters["search_ms"] = median(g_search, &Times::wall);
}

// How much more work two threads get done than one on this machine (2.0 on
// two free cores; less where the two processors share one core or the
// machine is busy): the most the search's two readers can gain. The median
// of five rounds of the same arithmetic, on one thread and on two at once.
double twoThreadCapacity() {
    auto spin = [] {
        volatile std::uint64_t sink = 0;
        std::uint64_t x = 1;
        for (std::uint64_t i = 0; i < 50'000'000; ++i) x = x * 6364136223846793005u + i;
        sink = x;
        (void)sink;
    };
    auto time = [](auto&& fn) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> rounds;
    for (int r = 0; r < 5; ++r) {
        const double one = time(spin);
        const double two = time([&] {
            std::thread other(spin);
            spin();
            other.join();
        });
        rounds.push_back(2 * one / two);
    }
    return median(rounds);
}

}  // namespace

int main(int argc, char** argv) {
    // Our own flag first: Google Benchmark refuses flags it does not know.
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--drivers=", 10) == 0)
            g_drivers = std::max(1, std::atoi(argv[i] + 10));
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    g_binDir = fs::canonical("/proc/self/exe").parent_path();
    const std::string name = "BM_SearchVersusRawRead/" + std::to_string(g_drivers);
    benchmark::RegisterBenchmark(name.c_str(), BM_SearchVersusRawRead)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(g_drivers > 5000 ? 4.0 : 1.0);
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
    Library library;
    g_library = &library;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::vector<double> ratios, cpuRatios;
    for (std::size_t i = 0; i < g_raw.size(); ++i) {
        ratios.push_back(g_search[i].wall / g_raw[i].wall);
        cpuRatios.push_back(g_search[i].cpu / g_raw[i].cpu);
    }
    if (!ratios.empty()) {
        const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
        std::printf("\n%d drivers, %zu runs of each, medians:\n", g_drivers, ratios.size());
        std::printf("  wall clock: raw read %.1f ms, search %.1f ms\n", median(g_raw, &Times::wall),
                    median(g_search, &Times::wall));
        std::printf("  cpu time:   raw read %.1f ms, search %.1f ms (all threads), ratio %.2f\n",
                    median(g_raw, &Times::cpu), median(g_search, &Times::cpu), median(cpuRatios));
        std::printf(
            "search / raw read, wall clock: %.3f (runs %.2f to %.2f); goal 0.600 or less: %s\n",
            median(ratios), *lo, *hi, median(ratios) <= 0.6 ? "met" : "NOT met");
        std::printf(
            "two threads do %.2fx the work of one on this machine (2.00 on two free cores)\n",
            twoThreadCapacity());
    }
    return 0;
}
