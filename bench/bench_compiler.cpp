// Compiling a full 16-module driver that carries every kind of block: help
// texts, messages, packet areas, patterns, sub-bank records, ROM names,
// converter programs, templates, macro lists, packed patch information and
// value lists, macro filters and the reserved macro block.
#include <benchmark/benchmark.h>

#include "../tests/support/random_record.h"
#include "driver/compiler.h"

namespace {

using namespace sf;

void fillMessage(SourceRecord& r, std::size_t units, int capacity, int count, testsupport::RecordRng& rng) {
    for (int i = 0; i < capacity; ++i)
        r.setU16(units + 2 * static_cast<std::size_t>(i), rng.byte());
    r.setU16(units + 2 * static_cast<std::size_t>(capacity), static_cast<std::uint16_t>(count));
}

std::unique_ptr<SourceRecord> fullDriver() {
    testsupport::RecordRng rng(11);
    auto r = testsupport::randomRecord(11, 16);
    r->setU16(190, 0x0F);
    for (int l = 0; l < 10; ++l) r->setText(rec::kHelpLines + 51 * static_cast<std::size_t>(l), 51, "Driver help line");
    for (int k = 0; k < 9; ++k) fillMessage(*r, 908 + 82 * static_cast<std::size_t>(k), 40, 6, rng);
    for (int m = 0; m < rec::kModules; ++m) {
        const std::size_t base = rec::moduleBase(m);
        r->setModU16(m, rec::kModFlags, 0x0018);  // dump and display names, checksum
        r->setModU16(m, rec::kModPacketFlags, 0x0003);
        r->setModU16(m, rec::kModStructure, 1);
        r->setModU16(m, 2734, 0x0002);  // ASCII conversion
        r->setModU16(m, rec::kModHasMacro, 1);
        r->setModU16(m, 3850, 0);
        for (int l = 0; l < 10; ++l) {
            r->setText(base + 570 + 51 * static_cast<std::size_t>(l), 51, "Receive help");
            r->setText(base + 1614 + 51 * static_cast<std::size_t>(l), 51, "Send help");
        }
        for (std::size_t units : {64u, 1204u, 1288u, 1370u, 2248u, 2332u, 2414u, 2496u, 2792u, 2874u,
                                  3684u, 3766u, 3852u, 3934u})
            fillMessage(*r, base + units, 40, 8, rng);
        for (std::size_t units : {1080u, 1460u, 2124u, 2582u}) fillMessage(*r, base + units, 60, 10, rng);

        r->setModU16(m, rec::kModSubBankCount, 4);
        r->setModU16(m, rec::kModPatchesPerSubBank, 8);
        for (int k = 0; k < 4; ++k) {
            r->setU16(base + rec::subBankBase(k) + rec::kSbType, static_cast<std::uint16_t>(k % 3));
            r->block(m, k).reset();
        }
        r->block(m, 1) = rng.bytes(8 * 10);  // ROM names
        r->setModU16(m, rec::kModConverterCount, 6);
        Block ops = rng.bytes(60);
        for (int i = 0; i < 6; ++i) ops[static_cast<std::size_t>(i) * 10] = static_cast<std::uint8_t>(1 + i % 4);
        r->block(m, rec::kSlotConverter) = ops;
        r->setModU16(m, rec::kModTemplateCount, 6);
        r->block(m, rec::kSlotTemplates) = rng.bytes(6 * 28);
        r->block(m, rec::kSlotMacros) = testsupport::randomMacroList(rng, 6, 6);
        r->block(m, rec::kSlotPatchInfo) = rng.bytes(1040);
        Block lists = rng.bytes(1632);
        for (std::size_t k = 0; k < 8; ++k) putLE16(lists, 2 * k, static_cast<std::uint16_t>(5 + k));
        r->block(m, rec::kSlotValueLists) = lists;
        r->block(m, rec::kSlotReserved) = rng.bytes(40);
    }
    return r;
}

void BM_CompileFullDriver(benchmark::State& state) {
    auto r = fullDriver();
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto res = compileDriver(*r);
        if (!res.ok()) {
            state.SkipWithError("compilation failed");
            break;
        }
        bytes = res.image.size();
        benchmark::DoNotOptimize(res.image.data());
    }
    state.counters["driver_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CompileFullDriver)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
