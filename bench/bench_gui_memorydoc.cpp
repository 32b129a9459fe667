// Binary documents hold their bytes once: the resident memory that opening a
// 100 MB file in the editor adds (read into the document's buffer, shown in
// its window's hex view, painted at its start and end, saved under another
// name), as a multiple of the file's size. Goal: at most 1.1.
//
// Resident memory is VmRSS of /proc/self/status; the peak is VmHWM. The file
// is written in 1 MB pieces before the first reading, so that neither
// figure counts it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/frame.h"
#include "app/sysforgeapp.h"
#include "support/guimain.h"
#include "support/randomfile.h"
#include "sysex/memorydocument.h"
#include "sysex/memoryview.h"

namespace fs = std::filesystem;
using namespace sf;

namespace {

constexpr std::size_t kSize = 100u * 1024 * 1024;

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
double statusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::stod(line.substr(key.size())) * 1024;
    return 0;
}

// The editor's main window, with a small binary document opened and closed
// once, so that what the first hex view costs the toolkit (fonts, window
// buffers) is not counted against the 100 MB.
struct Editor {
    QTemporaryDir dir;
    std::unique_ptr<gui::SysforgeApp> app;
    Editor()
        : app(std::make_unique<gui::SysforgeApp>(
              gui::SysforgeApp::Options{dir.filePath("config"), {}})) {
        app->frame()->resize(1000, 700);
        app->frame()->show();
        const QString small = dir.filePath("small.bin");
        std::ofstream(small.toStdString(), std::ios::binary) << std::string(5000, 'x');
        gui::Document* doc = app->frame()->documents().open(small, "Memory");
        app->frame()->repaint();
        QCoreApplication::processEvents();
        app->frame()->documents().close(doc);
        QCoreApplication::processEvents();
    }
};

void BM_Open100MBResidentMemory(benchmark::State& state) {
    const fs::path file = bench::writeRandomFile("sysforge-bench-memory-", kSize);
    const fs::path copy = file.string() + ".saved";
    Editor editor;
    gui::SFFrameWindow& frame = *editor.app->frame();
    double opened = 0, shown = 0, saved = 0, peak = 0;
    for (auto _ : state) {
        const double base = statusBytes("VmRSS");
        const double peakBefore = statusBytes("VmHWM");
        // "Open binary file...": the document, its window and hex view.
        auto* doc = dynamic_cast<gui::MemoryDocument*>(
            frame.documents().open(QString::fromStdString(file.string()), "Memory"));
        if (!doc || !doc->view()) {
            state.SkipWithError("the file did not open");
            return;
        }
        opened = statusBytes("VmRSS") - base;
        frame.repaint();
        doc->view()->scrollRows(ScrollAction::Bottom);
        frame.repaint();
        QCoreApplication::processEvents();
        shown = statusBytes("VmRSS") - base;
        frame.documents().saveAs(doc, QString::fromStdString(copy.string()));
        saved = statusBytes("VmRSS") - base;
        peak = statusBytes("VmHWM") - std::max(peakBefore, base);
        frame.documents().close(doc);
        QCoreApplication::processEvents();
    }
    state.counters["opened_x"] = opened / kSize;
    state.counters["shown_x"] = shown / kSize;
    state.counters["saved_x"] = saved / kSize;
    std::error_code ec;
    fs::remove(file, ec);
    fs::remove(copy, ec);
    std::printf(
        "\nresident memory added by a 100 MB binary document, as a multiple of its size:\n"
        "  opened %.3f, painted at start and end %.3f, saved as another file %.3f,\n"
        "  peak on the way %.3f\n"
        "goal 1.1 or less: %s\n",
        opened / kSize, shown / kSize, saved / kSize, std::max(0.0, peak) / kSize,
        std::max({opened, shown, saved, peak}) / kSize <= 1.1 ? "met" : "NOT met");
}
BENCHMARK(BM_Open100MBResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return sf::bench::runGuiBenchmarks(argc, argv);
}
