// Seeded random but valid source records, for round-trip tests, fuzz seeds and
// benchmarks: `modules` named modules (1..16, or random when 0) with random
// bytes elsewhere, empty slot bytes, and blocks of every kind in the walked slots.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/bytes.h"
#include "source/record.h"

namespace sf::testsupport {

class RecordRng {
  public:
    explicit RecordRng(std::uint32_t seed) : gen_(seed) {}
    int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
    bool chance(int percent) { return range(0, 99) < percent; }
    std::uint8_t byte() { return static_cast<std::uint8_t>(range(0, 255)); }
    void fill(ByteSpan b) {
        for (auto& x : b) x = byte();
    }
    Block bytes(std::size_t n) {
        Block b(n);
        fill(b);
        return b;
    }
    Block bytesUpTo(int most) { return bytes(static_cast<std::size_t>(range(1, most))); }
    // `count` records of `size` random bytes, each led by a type in [lo, hi].
    Block records(int count, std::size_t size, int lo, int hi) {
        Block b = bytes(static_cast<std::size_t>(count) * size);
        for (std::size_t i = 0; i < b.size(); i += size)
            b[i] = static_cast<std::uint8_t>(range(lo, hi));
        return b;
    }

  private:
    std::mt19937 gen_;
};

// A well-formed macro list (record order): `macros` macros packed after the
// offset table, each with up to 3 parameters of up to 2 points.
inline Block randomMacroList(RecordRng& rng, int macros, int templateCount) {
    const std::size_t n = static_cast<std::size_t>(macros);
    Block b(2 + 4 * n, 0);
    putLE16(b, 0, static_cast<std::uint16_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = b.size();
        putLE32(b, 2 + 4 * i, static_cast<std::uint32_t>(at));
        const int params = rng.range(0, 3);
        std::vector<int> points(static_cast<std::size_t>(params));
        std::size_t size = 36;
        for (auto& p : points) {
            p = rng.range(0, 2);
            size += 8 + 10 * static_cast<std::size_t>(p);
        }
        b.resize(at + size);
        rng.fill(ByteSpan(b).subspan(at, size));
        putLE16(b, at + 0, static_cast<std::uint16_t>(size));
        b[at + 6] = static_cast<std::uint8_t>(rng.chance(20) ? 255 : rng.range(0, 95));
        b[at + 9] = static_cast<std::uint8_t>(rng.range(0, 2));
        b[at + 11 + 18] = 0;  // name terminated
        putLE16(b, at + 34, static_cast<std::uint16_t>(params));
        std::size_t q = at + 36;
        for (int p : points) {
            const std::size_t psize = 8 + 10 * static_cast<std::size_t>(p);
            putLE16(b, q + 0, static_cast<std::uint16_t>(psize));
            const int use = templateCount > 0 ? rng.range(0, templateCount - 1) : 0;
            putLE16(b, q + 2, static_cast<std::uint16_t>(use));
            putLE16(b, q + 4, static_cast<std::uint16_t>(rng.range(0, 32767)));
            putLE16(b, q + 6, static_cast<std::uint16_t>(p));
            q += psize;
        }
    }
    return b;
}

// Fills module m (below the module count) with random content and walked blocks.
inline void randomModule(SourceRecord& r, int m, RecordRng& rng) {
    const std::size_t base = rec::moduleBase(m);
    rng.fill(slice(r.data(), base, rec::kModuleSize));

    // Name: 1..16 printable characters.
    std::string name;
    const int len = rng.range(1, 16);
    for (int i = 0; i < len; ++i) name.push_back(static_cast<char>(rng.range('A', 'z')));
    r.setText(base + rec::kModName, rec::kModNameSize, name);

    const int macroFlag = rng.chance(60) ? 1 : (rng.chance(70) ? 0 : rng.range(2, 5));
    r.setModU16(m, rec::kModHasMacro, static_cast<std::uint16_t>(macroFlag));
    // "Number of sub-banks": mostly in range, sometimes beyond (the walk clamps).
    const int subBanks = rng.chance(90) ? rng.range(0, 16) : rng.range(17, 40);
    r.setModU16(m, rec::kModSubBankCount, static_cast<std::uint16_t>(subBanks));

    // Block slots carry nothing in memory.
    for (int s = 0; s < rec::kSlotsPerModule; ++s)
        for (auto& b : slice(r.data(), base + rec::slotOffset(s), rec::kSlotSize)) b = 0;

    const int walked = std::min(subBanks, rec::kSubBanks);
    for (int s = 0; s < walked; ++s)
        if (rng.chance(50)) r.block(m, rec::kSlotRomNames0 + s) = rng.bytesUpTo(300);

    // Converter: count matches the block, types 1..4.
    const int ops = rng.chance(30) ? 0 : rng.range(1, 20);
    r.setModU16(m, rec::kModConverterCount, static_cast<std::uint16_t>(ops));
    if (ops > 0) r.block(m, rec::kSlotConverter) = rng.records(ops, 10, 1, 4);

    if (macroFlag == 1) {
        const int templates = rng.chance(20) ? 0 : rng.range(1, 12);
        r.setModU16(m, rec::kModTemplateCount, static_cast<std::uint16_t>(templates));
        if (templates > 0) r.block(m, rec::kSlotTemplates) = rng.records(templates, 28, 1, 3);
        if (rng.chance(80))
            r.block(m, rec::kSlotMacros) = randomMacroList(rng, rng.range(1, 8), templates);
        if (rng.chance(70)) r.block(m, rec::kSlotPatchInfo) = rng.bytes(1040);
        if (rng.chance(50)) r.block(m, rec::kSlotValueLists) = rng.bytes(1632);
        if (rng.chance(50)) r.block(m, rec::kSlotReserved) = rng.bytesUpTo(500);
    }
}

// A random valid record with `modules` modules (1..16), or a random count when 0.
inline std::unique_ptr<SourceRecord> randomRecord(std::uint32_t seed, int modules = 0) {
    RecordRng rng(seed);
    auto r = std::make_unique<SourceRecord>();
    const int n = modules > 0 ? std::min(modules, rec::kModules) : rng.range(1, rec::kModules);
    rng.fill(slice(r->data(), 0, rec::kHeaderSize));
    std::memcpy(r->bytes.data(), "DEV_SRCE", rec::kMagicSize);
    r->setU16(rec::kFormatVersion, 100);
    r->setU16(rec::kModuleCount, static_cast<std::uint16_t>(n));
    for (int m = 0; m < n; ++m) randomModule(*r, m, rng);
    return r;
}

}  // namespace sf::testsupport
