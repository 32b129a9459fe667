#include "source/blockswap.h"

#include <cstdint>

namespace sf {

namespace {

// Exchanges one 16-bit field and answers its value in host (record) order:
// read before the exchange when the block is in record order, after it when
// the block comes from a big-endian file. Walks that are steered by such
// values therefore take the same path in both directions.
std::uint16_t swapRead16(ByteSpan b, std::size_t off, SwapDirection dir) {
    if (dir == SwapDirection::ToBigEndian) {
        const std::uint16_t v = getLE16(b, off);
        swap16(b, off);
        return v;
    }
    swap16(b, off);
    return getLE16(b, off);
}

std::uint32_t swapRead32(ByteSpan b, std::size_t off, SwapDirection dir) {
    if (dir == SwapDirection::ToBigEndian) {
        const std::uint32_t v = getLE32(b, off);
        swap32(b, off);
        return v;
    }
    swap32(b, off);
    return getLE32(b, off);
}

// Swaps the 16-bit fields that fit of `count` consecutive fields from `off`.
// Answers whether all of them fitted.
bool swapRun16(ByteSpan b, std::size_t off, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = off + 2 * i;
        if (!rangeFits(b.size(), at, 2)) return false;
        swap16(b, at);
    }
    return true;
}

constexpr std::size_t kOpSize = 10;
constexpr std::size_t kTemplateSize = 28;

constexpr std::size_t kMacroHead = 36;
constexpr std::size_t kMacroFields[] = {0, 2, 4, 30, 32};  // 34 (parameter count) apart
constexpr std::size_t kMacroParamCount = 34;
constexpr std::size_t kParamHead = 8;
constexpr std::size_t kPointSize = 10;
constexpr std::size_t kPointFields[] = {0, 2, 6, 8};  // bytes 4 and 5 are single bytes

// One parameter record at `at` whose record may extend to `end` (the end of
// its macro). Answers the size it takes, or 0 when it does not fit.
std::size_t swapParameter(ByteSpan b, std::size_t at, std::size_t end, SwapDirection dir) {
    if (!rangeFits(end, at, kParamHead)) return 0;
    const std::size_t size = swapRead16(b, at + 0, dir);
    swap16(b, at + 2);  // template index
    swap16(b, at + 4);  // offset in the patch
    const std::size_t points = swapRead16(b, at + 6, dir);
    // A parameter must take at least its head, else the walk would never end.
    if (size < kParamHead || !rangeFits(end, at, size)) return 0;
    if (points * kPointSize > size - kParamHead) return 0;
    for (std::size_t p = 0; p < points; ++p) {
        const std::size_t pt = at + kParamHead + p * kPointSize;
        for (std::size_t f : kPointFields) swap16(b, pt + f);
    }
    return size;
}

// One macro record at `at`. Answers the size it takes, or 0 when it (or one
// of its parameters) does not fit.
std::size_t swapMacro(ByteSpan b, std::size_t at, SwapDirection dir) {
    if (!rangeFits(b.size(), at, kMacroHead)) return 0;
    const std::size_t size = swapRead16(b, at + 0, dir);
    for (std::size_t f : kMacroFields)
        if (f != 0) swap16(b, at + f);
    const std::size_t params = swapRead16(b, at + kMacroParamCount, dir);
    if (size < kMacroHead || !rangeFits(b.size(), at, size)) return 0;
    const std::size_t end = at + size;
    std::size_t p = at + kMacroHead;
    for (std::size_t i = 0; i < params; ++i) {
        const std::size_t used = swapParameter(b, p, end, dir);
        if (used == 0) return 0;
        p += used;
    }
    return size;
}

}  // namespace

bool swapConverterOps(ByteSpan block, SwapDirection) {
    // The type byte is a single byte, so the direction does not matter here.
    const std::size_t records = block.size() / kOpSize;
    for (std::size_t i = 0; i < records; ++i) {
        const std::size_t at = i * kOpSize;
        const std::uint8_t type = block[at];
        if (type == 1 || type == 2 || type == 3) {
            swap16(block, at + 4);
            swap16(block, at + 6);
            swap16(block, at + 8);
        }
    }
    return block.size() % kOpSize == 0;
}

bool swapTemplates(ByteSpan block, int count, SwapDirection) {
    if (count <= 0) return count == 0;
    const std::size_t wanted = static_cast<std::size_t>(count);
    const std::size_t present = block.size() / kTemplateSize;
    const std::size_t n = wanted < present ? wanted : present;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = i * kTemplateSize;
        swap16(block, at + 4);
        swap16(block, at + 6);
        swap16(block, at + 8);
    }
    return n == wanted;
}

bool swapMacroList(ByteSpan block, SwapDirection dir) {
    if (block.empty()) return true;
    if (block.size() < 2) return false;
    const std::size_t count = swapRead16(block, 0, dir);
    const std::size_t tableEnd = 2 + 4 * count;
    if (tableEnd > block.size()) return false;
    // Macro records lie after the offset table, in macro order, without
    // overlapping: a record visited twice would be exchanged twice, and the
    // two directions would no longer agree.
    std::size_t minNext = tableEnd;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t at = swapRead32(block, 2 + 4 * i, dir);
        const std::size_t used = at < minNext ? 0 : swapMacro(block, at, dir);
        if (used == 0) {
            // Swap the rest of the table so that it stays uniform, then stop.
            for (std::size_t j = i + 1; j < count; ++j) swap32(block, 2 + 4 * j);
            return false;
        }
        minNext = at + used;
    }
    return true;
}

bool swapPatchInfo(ByteSpan block) { return swapRun16(block, 0, 8); }

bool swapValueLists(ByteSpan block) { return swapRun16(block, 0, 16 + 800); }

void swapMacroFilter(ByteSpan filter) { swapRun16(filter, 0, 3); }

}  // namespace sf
