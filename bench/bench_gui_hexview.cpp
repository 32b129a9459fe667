// Binary documents: opening a 100 MB file and painting one screen of its hex
// view, at the start and at the end of the file. Targets: the open under
// 1 s, a paint under 10 ms, and the end as fast as the start (only the rows
// in sight are ever formatted).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "support/randomfile.h"
#include "sysex/memorydoc.h"
#include "sysex/memoryview.h"

namespace fs = std::filesystem;
using namespace sf;

namespace {

constexpr std::size_t kSize = 100u * 1024 * 1024;

struct Fixture {
    fs::path file = bench::writeRandomFile("sysforge-bench-hex-", kSize);
    std::unique_ptr<MemoryDoc> doc;
    std::unique_ptr<gui::MemoryView> view;
    QImage screen{1000, 700, QImage::Format_RGB32};

    ~Fixture() {
        view.reset();
        std::error_code ec;
        fs::remove(file, ec);
    }
    void makeView() {
        if (!doc) doc = MemoryDoc::open(file);
        view = std::make_unique<gui::MemoryView>(*doc);
        view->resize(screen.size());
        view->show();
        QCoreApplication::processEvents();
    }
    void paint() { view->viewport()->render(&screen); }
};

Fixture* g_fixture = nullptr;
double g_open = 0, g_paintStart = 0, g_paintEnd = 0;

void BM_Open100MB(benchmark::State& state) {
    double worst = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto doc = MemoryDoc::open(g_fixture->file);
        benchmark::DoNotOptimize(doc->size());
        worst = std::max(
            worst, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    g_open = worst;
}
BENCHMARK(BM_Open100MB)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_PaintScreenAtStart(benchmark::State& state) {
    g_fixture->makeView();
    g_fixture->view->scrollRows(ScrollAction::Top);
    for (auto _ : state) g_fixture->paint();
    state.counters["rows"] = static_cast<double>(g_fixture->view->layout().paintRowCount());
}
BENCHMARK(BM_PaintScreenAtStart)->Unit(benchmark::kMicrosecond);

void BM_PaintScreenAtEnd(benchmark::State& state) {
    g_fixture->makeView();
    g_fixture->view->scrollRows(ScrollAction::Bottom);
    for (auto _ : state) g_fixture->paint();
}
BENCHMARK(BM_PaintScreenAtEnd)->Unit(benchmark::kMicrosecond);

// The thumb dragged from one end to the other, each step painted.
void BM_ScrollToEndAndPaint(benchmark::State& state) {
    g_fixture->makeView();
    for (auto _ : state) {
        g_fixture->view->scrollRows(ScrollAction::Top);
        g_fixture->view->scrollRows(ScrollAction::Bottom);
        g_fixture->paint();
    }
}
BENCHMARK(BM_ScrollToEndAndPaint)->Unit(benchmark::kMicrosecond);

void BM_ScrollToStartAndPaint(benchmark::State& state) {
    g_fixture->makeView();
    for (auto _ : state) {
        g_fixture->view->scrollRows(ScrollAction::Bottom);
        g_fixture->view->scrollRows(ScrollAction::Top);
        g_fixture->paint();
    }
}
BENCHMARK(BM_ScrollToStartAndPaint)->Unit(benchmark::kMicrosecond);

// Mean wall time of one paint, for the summary.
double timePaints(bool end) {
    g_fixture->makeView();
    g_fixture->view->scrollRows(end ? ScrollAction::Bottom : ScrollAction::Top);
    const int n = 200;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) g_fixture->paint();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Fixture fixture;
    g_fixture = &fixture;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_paintStart = timePaints(false);
    g_paintEnd = timePaints(true);
    std::printf("\nopen 100 MB: %.0f ms (target < 1000: %s)\n", g_open * 1000,
                g_open < 1.0 ? "met" : "NOT met");
    std::printf("paint one screen: %.2f ms at the start, %.2f ms at the end (target < 10: %s)\n",
                g_paintStart * 1000, g_paintEnd * 1000,
                std::max(g_paintStart, g_paintEnd) < 0.010 ? "met" : "NOT met");
    std::printf("end / start: %.2f\n", g_paintEnd / g_paintStart);
    g_fixture = nullptr;
    return 0;
}
