#include "source/blockswap.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace sf;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A macro list in record (little-endian) order: `params[i]` parameters for
// macro i, each with `points` 10-byte points. Words carry recognisable values.
Bytes makeMacroList(const std::vector<std::size_t>& params, std::size_t points) {
    const auto w = [](std::size_t v) { return static_cast<std::uint16_t>(v); };
    Bytes b(2 + 4 * params.size());
    putLE16(b, 0, w(params.size()));
    const std::size_t paramSize = 8 + 10 * points;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::size_t at = b.size(), size = 36 + paramSize * params[i];
        putLE32(b, 2 + 4 * i, static_cast<std::uint32_t>(at));
        b.resize(at + size, 0);
        using W = std::pair<std::size_t, std::uint16_t>;
        for (auto [off, v] : {W{0, w(size)}, W{2, 0x0102}, W{4, 0x0304}, W{30, 0x1122},
                              W{32, 0x3344}, W{34, w(params[i])}})
            putLE16(b, at + off, v);
        b[at + 6] = 0xAA;  // group: a single byte
        for (std::size_t q = at + 36; q < at + size; q += paramSize) {
            for (auto [off, v] : {W{0, w(paramSize)}, W{2, 0x0A0B}, W{4, 0x0C0D}, W{6, w(points)}})
                putLE16(b, q + off, v);
            for (std::size_t pt = q + 8; pt < q + paramSize; pt += 10) {
                putLE16(b, pt, 0x5566);
                b[pt + 4] = 0x77, b[pt + 5] = 0x88;  // two single bytes
                putLE16(b, pt + 8, 0x99AB);
            }
        }
    }
    return b;
}

}  // namespace

TEST(BlockSwap, ConverterAndTemplatesSwapOnlyWholeRecords) {
    Bytes b(40, 0);
    for (int i = 0; i < 4; ++i) {
        b[10 * i] = static_cast<std::uint8_t>(i + 1);  // types 1..4
        b[10 * i + 1] = 5;
        putLE16(b, 10 * i + 4, 0x1234);
        putLE16(b, 10 * i + 8, 0xBEEF);
    }
    const Bytes orig = b;
    EXPECT_TRUE(swapConverterOps(b, SwapDirection::ToBigEndian));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(getBE16(b, 10 * i + 4), 0x1234);
        EXPECT_EQ(getBE16(b, 10 * i + 8), 0xBEEF);
        EXPECT_EQ(b[10 * i + 1], 5);  // single bytes untouched
    }
    EXPECT_TRUE(std::equal(b.begin() + 30, b.end(), orig.begin() + 30));  // a loop end as it lies
    // A trailing partial record is reported and left alone.
    Bytes partial(15, 0);
    partial[0] = partial[10] = 1;
    putLE16(partial, 4, 0x0102);
    partial[14] = 0x33;
    EXPECT_FALSE(swapConverterOps(partial, SwapDirection::ToBigEndian));
    EXPECT_EQ(getBE16(partial, 4), 0x0102);
    EXPECT_EQ(partial[14], 0x33);
    // Templates: a count beyond the block swaps the two that fit, the names not at all.
    Bytes t(28 * 2 + 10, 0);
    putLE16(t, 28 + 8, 0x0304);
    t[28 + 10] = 'N';
    EXPECT_FALSE(swapTemplates(t, 3, SwapDirection::ToBigEndian));
    EXPECT_EQ(getBE16(t, 28 + 8), 0x0304);
    EXPECT_EQ(t[28 + 10], 'N');
    EXPECT_FALSE(swapTemplates(t, -1, SwapDirection::ToBigEndian));
}

TEST(BlockSwap, MacroListWordsSwapAndSingleBytesStay) {
    const Bytes orig = makeMacroList({2, 0, 1}, 2);
    Bytes b = orig;
    ASSERT_TRUE(swapMacroList(b, SwapDirection::ToBigEndian));
    const std::size_t m0 = getBE32(b, 2), p0 = m0 + 36;
    EXPECT_EQ(getBE16(b, 0), 3);
    EXPECT_EQ(m0, 14u);
    // Macro header words, then the first parameter and its first point.
    const std::pair<std::size_t, std::uint16_t> words[] = {
        {m0 + 2, 0x0102}, {m0 + 30, 0x1122}, {m0 + 34, 2},     {p0, 28},
        {p0 + 6, 2},      {p0 + 8, 0x5566},  {p0 + 16, 0x99AB}};
    for (const auto& [at, v] : words) EXPECT_EQ(getBE16(b, at), v) << at;
    EXPECT_EQ(b[m0 + 6], 0xAA);  // the group
    EXPECT_EQ(b[p0 + 12], 0x77);
    // Reading a file walks the sizes after swapping them.
    ASSERT_TRUE(swapMacroList(b, SwapDirection::FromBigEndian));
    EXPECT_EQ(b, orig);
}

TEST(BlockSwap, DamagedMacroListsAreRefusedWithoutLeavingTheBlock) {
    const Bytes good = makeMacroList({1, 1}, 1);
    const std::uint32_t m0 = getLE32(good, 2);
    const std::size_t m1 = getLE32(good, 6);
    // A count larger than the offset table; offsets past the end, into the table, or
    // overlapping the first macro; macro sizes past the end or zero; parameter counts
    // too large, parameter sizes zero and point counts too large.
    const std::tuple<std::size_t, std::size_t, std::uint32_t> cases[] = {
        {0, 2, 0xFFFF}, {2, 4, 0xFFFFFFF0u}, {2, 4, 3},       {6, 4, m0 + 2}, {m1, 2, 0xFFFF},
        {m1, 2, 0},     {m1 + 34, 2, 500},   {m1 + 36, 2, 0}, {m1 + 42, 2, 9}};
    for (const auto& [at, bytes, value] : cases) {
        Bytes b = good;
        if (bytes == 2) putLE16(b, at, static_cast<std::uint16_t>(value));
        if (bytes == 4) putLE32(b, at, value);
        const Bytes damaged = b;
        EXPECT_FALSE(swapMacroList(b, SwapDirection::ToBigEndian)) << at << "=" << value;
        // Whatever was exchanged, the way back restores it exactly.
        EXPECT_FALSE(swapMacroList(b, SwapDirection::FromBigEndian)) << at << "=" << value;
        EXPECT_EQ(b, damaged) << at << "=" << value;
    }
    Bytes one{7}, none;  // a lone byte is damaged; an empty block is no list at all
    EXPECT_FALSE(swapMacroList(one, SwapDirection::FromBigEndian));
    EXPECT_TRUE(swapMacroList(none, SwapDirection::FromBigEndian));
}

TEST(BlockSwap, FixedSizeBlocks) {
    Bytes info(1040, 0);
    putLE16(info, 14, 0xFFFE);
    info[16] = 0x80;
    EXPECT_TRUE(swapPatchInfo(info));
    EXPECT_EQ(getBE16(info, 14), 0xFFFE);
    EXPECT_EQ(info[16], 0x80);
    Bytes lists(1632, 0);
    putLE16(lists, 1630, 0x0102);
    EXPECT_TRUE(swapValueLists(lists));
    EXPECT_EQ(getBE16(lists, 1630), 0x0102);
    // A short block is refused; its whole words are swapped, the odd byte stays.
    Bytes shortLists{0, 0, 0x0B, 0x0A, 9};
    EXPECT_FALSE(swapValueLists(shortLists));
    EXPECT_EQ(shortLists, (Bytes{0, 0, 0x0A, 0x0B, 9}));
    Bytes filter(102, 0);
    putLE16(filter, 4, 0x0001);
    filter[6] = 0x12;
    swapMacroFilter(filter);
    EXPECT_EQ(getBE16(filter, 4), 0x0001);
    EXPECT_EQ(filter[6], 0x12);
}
