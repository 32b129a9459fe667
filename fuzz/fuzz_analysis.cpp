// Analyses arbitrary dumps with arbitrary module settings. Nothing may crash
// or read out of bounds; every message, patch and name range lies inside the
// dump, and the byte roles cover the dump exactly once.
//
// Input: the first 48 bytes are settings of module 0 (little-endian words,
// planted where a damaged source could hold anything), the next 8 units the
// send "Header #1"; the rest is the dump.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "instrument/analysis.h"
#include "source/record.h"

namespace {

using namespace sf;

// Module words the analysis reads (offsets from the module's start), then
// driver words.
constexpr std::size_t kModuleWords[] = {18,  24,  60,  62,   322,  324,  326,  330,  342,  344,
                                        346, 348, 352, 1456, 2734, 2744, 2746, 2762, 2764, 2766};
constexpr std::size_t kDriverWords[] = {188, 190, 212, 218};
constexpr std::size_t kSettingBytes = 2 * (std::size(kModuleWords) + std::size(kDriverWords));
constexpr std::size_t kHeader1 = 2332;  // units, count 80 bytes further
constexpr int kHeaderUnits = 8;

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto fresh = newSource();
    if (size < kSettingBytes + kHeaderUnits) return 0;
    auto r = copyRecord(*fresh);
    const std::size_t m = rec::moduleBase(0);
    std::size_t p = 0;
    const auto word = [&] {
        const auto w = static_cast<std::uint16_t>(data[p] | data[p + 1] << 8);
        p += 2;
        return w;
    };
    for (const std::size_t off : kModuleWords) r->setU16(m + off, word());
    for (const std::size_t off : kDriverWords) r->setU16(off, word());
    for (int i = 0; i < kHeaderUnits; ++i)
        r->setU16(m + kHeader1 + 2 * static_cast<std::size_t>(i), data[p++]);
    r->setU16(m + kHeader1 + 80, static_cast<std::uint16_t>(data[0] % (kHeaderUnits + 1)));
    r->setU16(m + rec::kModSubBankCount, static_cast<std::uint16_t>(data[1] % 17));
    for (int s = 0; s < rec::kSubBanks; ++s)
        r->setU16(m + rec::subBankBase(s) + rec::kSbType, static_cast<std::uint16_t>(s % 3));

    const ConstByteSpan dump(data + p, size - p);
    const DumpAnalysis a = analyseDump(*r, 0, dump);
    for (const auto& msg : a.messages) {
        check(rangeFits(dump.size(), msg.offset, msg.size));
        check(msg.dataBegin <= msg.dataEnd && msg.dataEnd <= msg.size);
    }
    for (const auto& patch : a.patches) {
        check(rangeFits(dump.size(), patch.offset, patch.size));
        for (const auto& n : patch.nameBytes) check(rangeFits(dump.size(), n.offset, n.size));
    }
    std::size_t at = 0;
    for (const auto& role : byteRoles(a)) {
        check(role.range.offset == at && role.range.size > 0);
        at = role.range.end();
    }
    check(at == dump.size());
    return 0;
}
