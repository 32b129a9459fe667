// Analysing a 500,000-byte dump with a module's settings: cutting, matching,
// checksums, decoding, patches and names. Target: under 50 ms.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "instrument/analysis.h"
#include "instrument/checksum.h"
#include "source/record.h"
#include "source/schema.h"
#include "source/valuetext.h"

namespace {

using namespace sf;

constexpr std::size_t kDumpSize = 500000;

void set(SourceRecord& r, int id, const char* text, int module = -1) {
    parseValue(r, makeRef(id, module), text);
    if (module >= 0) normaliseStructure(r, module);
}

void pick(SourceRecord& r, int id, const char* entry, int module = -1) {
    const SettingRef ref = makeRef(id, module);
    for (const ChoiceEntry* e = ref.item->choices; e->text != nullptr; ++e)
        if (std::string(e->text) == entry) applyChoice(r, ref, e->command);
    if (module >= 0) normaliseStructure(r, module);
}

// Packets of 256 data bytes (128 decoded, nibbled) with an address and a
// checksum, up to 500,000 bytes; every packet holds one named 128-byte patch.
struct Case {
    std::unique_ptr<SourceRecord> source = newSource();
    std::vector<std::uint8_t> dump;
};

Case manyPackets() {
    Case c;
    SourceRecord& r = *c.source;
    pick(r, 27, "2nd complement (-sum & 127)");
    set(r, 20, "2");
    set(r, 21, "$0F");
    pick(r, 108, "Dump memory and display patch names", 0);
    pick(r, 116, "Yes", 0);
    pick(r, 117, "1 byte <-> lower 4 bits then higher 4 bits", 0);
    set(r, 224, "$F0,$41,Chan,$42,$12,Adr,Chk", 0);
    set(r, 177, "8", 0);
    set(r, 178, "5", 0);
    set(r, 181, "1890", 0);
    set(r, 182, "128", 0);
    set(r, 238, "10", 0);
    set(r, 239, "118", 0);
    set(r, 256, "16", 0);
    set(r, 257, "2000", 0);
    std::size_t n = 0;
    while (c.dump.size() + 266 <= kDumpSize) {
        std::vector<std::uint8_t> m = {0xF0,
                                       0x41,
                                       0x10,
                                       0x42,
                                       0x12,
                                       0x20,
                                       static_cast<std::uint8_t>((n >> 7) & 0x7F),
                                       static_cast<std::uint8_t>(n & 0x7F)};
        for (int i = 0; i < 128; ++i) {
            const auto b = static_cast<std::uint8_t>(
                i >= 118 ? 'A' + (n + static_cast<std::size_t>(i)) % 26 : i * 3 + n);
            m.push_back(b & 0x0F);
            m.push_back(b >> 4);
        }
        const auto chk = computeChecksum(2, std::span(m).subspan(5), 0);
        m.push_back(chk.bytes[0]);
        m.push_back(0xF7);
        c.dump.insert(c.dump.end(), m.begin(), m.end());
        ++n;
    }
    c.dump.resize(kDumpSize, 0xFE);  // the tail outside any message
    return c;
}

// One message: 3,900 patches of 128 bytes cut from a single bank dump.
Case oneBank() {
    Case c;
    SourceRecord& r = *c.source;
    pick(r, 27, "Regular checksum (sum & 127)");
    pick(r, 108, "Dump memory and display patch names", 0);
    pick(r, 116, "Yes", 0);
    set(r, 224, "$F0,$42,$30,$19,$4C", 0);
    pick(r, 176, "X patches extracted from Y sysex packets", 0);
    set(r, 177, "5", 0);
    set(r, 178, "5", 0);
    set(r, 180, "1", 0);
    set(r, 181, "3906", 0);
    set(r, 182, "128", 0);
    set(r, 238, "10", 0);
    set(r, 239, "0", 0);
    set(r, 256, "2", 0);
    set(r, 257, "2000", 0);
    c.dump = {0xF0, 0x42, 0x30, 0x19, 0x4C};
    while (c.dump.size() < kDumpSize - 2)
        c.dump.push_back(static_cast<std::uint8_t>('A' + c.dump.size() % 26));
    const auto chk = computeChecksum(1, std::span(c.dump).subspan(5), 0);
    c.dump.push_back(chk.bytes[0]);
    c.dump.push_back(0xF7);
    return c;
}

void run(benchmark::State& state, const Case& c) {
    std::size_t patches = 0;
    for (auto _ : state) {
        const DumpAnalysis a = analyseDump(*c.source, 0, c.dump);
        patches = a.patches.size();
        benchmark::DoNotOptimize(a);
    }
    state.counters["patches"] = static_cast<double>(patches);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.dump.size()));
}

void BM_AnalyseManyPackets(benchmark::State& state) {
    static const Case c = manyPackets();
    run(state, c);
}
BENCHMARK(BM_AnalyseManyPackets)->Unit(benchmark::kMillisecond);

void BM_AnalyseOneBank(benchmark::State& state) {
    static const Case c = oneBank();
    run(state, c);
}
BENCHMARK(BM_AnalyseOneBank)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
