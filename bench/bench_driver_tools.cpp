// The driver author's tools on a full source of sixteen modules: check,
// compare, export as text and import the text. Target: each well under 5 ms.
//
// Two sources: an authored one (every module named, dumping and showing
// names, messages typed, two sub-banks with ROM names, a converter program,
// templates, macros, patch information and value lists), and a worst case of
// random bytes in every field and block, which writes a value line for
// nearly every row.
#include <benchmark/benchmark.h>

#include "../tests/support/random_record.h"
#include "tools/drivercheck.h"
#include "tools/driverdiff.h"
#include "tools/textform.h"
#include "source/romnames.h"
#include "source/valuetext.h"

using namespace sf;

namespace {

std::unique_ptr<SourceRecord> authoredSource() {
    auto r = newSource();
    parseValue(*r, makeRef(4), "Synth 2000");
    parseValue(*r, makeRef(6), "SYNTH2K");
    parseValue(*r, makeRef(8), "S2K");
    parseValue(*r, makeRef(15), "$F0, $43");
    parseValue(*r, makeRef(103), "16");
    testsupport::RecordRng rng(5);
    for (int m = 0; m < rec::kModules; ++m) {
        parseValue(*r, makeRef(107, m), "Module " + std::to_string(m));
        applyChoice(*r, makeRef(108, m), 70);
        applyChoice(*r, makeRef(114, m), 61);
        parseValue(*r, makeRef(205, m), "$F0, $43, $20, Joker, $F7");
        parseValue(*r, makeRef(224, m), "$F0, $43, Chan, $00, Chk, $F7");
        parseValue(*r, makeRef(256, m), "2");
        parseValue(*r, makeRef(257, m), "32");
        parseValue(*r, makeRef(181, m), "64");
        parseValue(*r, makeRef(182, m), "128");
        parseValue(*r, makeRef(291, m), "200");
        parseValue(*r, makeRef(233, m), "8");
        parseValue(*r, makeRef(235, m), "8");
        parseValue(*r, makeRef(238, m), "10");
        applyChoice(*r, makeRef(261, m, 1), 72);
        std::string names;
        for (int i = 0; i < 32; ++i) names += "Preset " + std::to_string(i) + "\r\n";
        storeRomNames(*r, m, 1, *parseRomNames(names, romNamesShape(*r, m), false).block);
        r->setModU16(m, rec::kModConverterCount, 20);
        Block ops = rng.bytes(200);
        for (int i = 0; i < 20; ++i)
            ops[static_cast<std::size_t>(i) * 10] = static_cast<std::uint8_t>(1 + i % 4);
        r->block(m, rec::kSlotConverter) = ops;
        r->setModU16(m, rec::kModTemplateCount, 10);
        Block templates(280, 0);
        for (int i = 0; i < 10; ++i) {
            templates[static_cast<std::size_t>(i) * 28] = 1;
            templates[static_cast<std::size_t>(i) * 28 + 2] = 1;
        }
        r->block(m, rec::kSlotTemplates) = templates;
        r->block(m, rec::kSlotMacros) = testsupport::randomMacroList(rng, 20, 10);
        r->block(m, rec::kSlotPatchInfo) = Block(1040, 0);
        r->block(m, rec::kSlotValueLists) = Block(1632, 0);
    }
    return r;
}

const SourceRecord& source(int which) {
    static const auto authored = authoredSource();
    static const auto random = testsupport::randomRecord(4242, rec::kModules);
    return which == 0 ? *authored : *random;
}

void BM_Check(benchmark::State& state) {
    const SourceRecord& r = source(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(checkDriver(r));
}
BENCHMARK(BM_Check)->Arg(0)->Arg(1)->ArgName("random")->Unit(
    benchmark::kMicrosecond);  // 0 authored, 1 random

void BM_Diff(benchmark::State& state) {
    const SourceRecord& r = source(static_cast<int>(state.range(0)));
    auto other = copyRecord(r);
    parseValue(*other, makeRef(9), "200");
    for (auto _ : state) benchmark::DoNotOptimize(diffSources(r, *other));
}
BENCHMARK(BM_Diff)->Arg(0)->Arg(1)->ArgName("random")->Unit(
    benchmark::kMicrosecond);  // 0 authored, 1 random

void BM_Export(benchmark::State& state) {
    const SourceRecord& r = source(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(exportSourceText(r));
    state.counters["text_bytes"] = static_cast<double>(exportSourceText(r)->size());
}
BENCHMARK(BM_Export)->Arg(0)->Arg(1)->ArgName("random")->Unit(
    benchmark::kMicrosecond);  // 0 authored, 1 random

void BM_Import(benchmark::State& state) {
    const std::string text = *exportSourceText(source(static_cast<int>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(importSourceText(text));
}
BENCHMARK(BM_Import)->Arg(0)->Arg(1)->ArgName("random")->Unit(
    benchmark::kMicrosecond);  // 0 authored, 1 random

}  // namespace

BENCHMARK_MAIN();
