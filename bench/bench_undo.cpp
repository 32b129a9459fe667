// Cost of undo steps on a large driver source: memory held by the undo list
// after many small edits, and the time of the record operations every edit
// goes through.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "editor/document.h"
#include "source/record.h"
#include "source/undo.h"

using namespace sf;

namespace {

// 16 named modules, each with 8 sub-banks of ROM names and a macro editor:
// about 550 KB per whole copy.
std::unique_ptr<SourceRecord> largeSource() {
    auto r = newSource();
    r->setU16(rec::kModuleCount, 16);
    for (int m = 0; m < rec::kModules; ++m) {
        r->setText(rec::moduleBase(m) + rec::kModName, rec::kModNameSize, "Module");
        r->setModU16(m, rec::kModSubBankCount, 8);
        for (int s = 0; s < 8; ++s) r->block(m, s) = Block(1280, 'a');
        r->setModU16(m, rec::kModHasMacro, 1);
        for (int k = rec::kSlotTemplates; k <= rec::kSlotReserved; ++k) r->block(m, k) = Block(4000, 1);
    }
    return r;
}

// Resident set size of the process in bytes.
double residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

constexpr int kEdits = 10000;

void BM_UndoMemoryAfterEdits(benchmark::State& state) {
    for (auto _ : state) {
        auto source = largeSource();
        const double wholeCopy = static_cast<double>(recordMemoryUsage(*source));
        const double rssBefore = residentBytes();
        SourceDoc doc(std::move(source));
        for (int i = 0; i < kEdits; ++i) {
            doc.working().setModU16(i % 16, rec::kModTotalPatches, static_cast<std::uint16_t>(i + 1));
            doc.checkpoint();
        }
        const double rssAfter = residentBytes();
        state.counters["undo_steps"] = static_cast<double>(doc.undoList().size());
        state.counters["undo_MB"] = static_cast<double>(doc.undoMemoryUsage()) / (1024.0 * 1024.0);
        state.counters["bytes_per_step"] =
            static_cast<double>(doc.undoMemoryUsage()) / static_cast<double>(kEdits);
        state.counters["rss_growth_MB"] = (rssAfter - rssBefore) / (1024.0 * 1024.0);
        state.counters["whole_copies_MB"] = wholeCopy * kEdits / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_UndoMemoryAfterEdits)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CopyRecord(benchmark::State& state) {
    auto r = largeSource();
    for (auto _ : state) benchmark::DoNotOptimize(copyRecord(*r));
}
BENCHMARK(BM_CopyRecord)->Unit(benchmark::kMicrosecond);

void BM_SameRecordEqual(benchmark::State& state) {
    // Equal records: the whole record and every walked block are compared.
    auto a = largeSource();
    auto b = copyRecord(*a);
    for (auto _ : state) benchmark::DoNotOptimize(sameRecord(*a, *b));
}
BENCHMARK(BM_SameRecordEqual)->Unit(benchmark::kMicrosecond);

void BM_CheckpointAfterOneChange(benchmark::State& state) {
    SourceDoc doc(largeSource());
    std::uint16_t v = 0;
    for (auto _ : state) {
        doc.working().setModU16(7, rec::kModTotalPatches, ++v);
        doc.checkpoint();
    }
    state.counters["undo_MB"] = static_cast<double>(doc.undoMemoryUsage()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_CheckpointAfterOneChange)->Unit(benchmark::kMicrosecond);

void BM_UndoRedoStep(benchmark::State& state) {
    SourceDoc doc(largeSource());
    for (int i = 0; i < 1000; ++i) {
        doc.working().setModU16(i % 16, rec::kModTotalPatches, static_cast<std::uint16_t>(i + 1));
        doc.checkpoint();
    }
    bool back = true;
    for (auto _ : state) {
        if (back ? !doc.undo() : !doc.redo()) back = !back;
    }
}
BENCHMARK(BM_UndoRedoStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
