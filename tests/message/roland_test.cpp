#include "sysex/roland.h"

#include <gtest/gtest.h>

#include <utility>

using namespace sf;

TEST(Roland, FormatAndRoundTrip) {
    // Seven bits per group, most significant first; the top group has 4 bits.
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "00"}, {127, "7F"}, {128, "01, 00"}, {16384, "01, 00, 00"},
        {0x1FFFFF, "7F, 7F, 7F"}, {0xFFFFFFFF, "0F, 7F, 7F, 7F, 7F"},
    };
    for (auto [v, text] : cases) {
        EXPECT_EQ(formatRoland(v), text);
        EXPECT_EQ(parseRoland(text), v) << text;
    }
    for (std::uint32_t v : {1u, 300u, 16383u, 0x1234567u}) EXPECT_EQ(parseRoland(formatRoland(v)), v) << v;
}

TEST(Roland, Parse) {
    EXPECT_EQ(parseRoland("01, 00, 00"), 16384u);
    EXPECT_EQ(parseRoland("01 00;00"), 16384u);
    EXPECT_EQ(parseRoland("  ,;, "), 0u);
    EXPECT_EQ(parseRoland(""), 0u);
    EXPECT_EQ(parseRoland("7f"), 127u);
    // A group above 127 counts as 0.
    EXPECT_EQ(parseRoland("01, 80"), 128u);
    EXPECT_EQ(parseRoland("80"), 0u);
    EXPECT_EQ(parseRoland("1G"), 1u);  // read up to the first non-digit
    // Pieces stop being taken once the value exceeds 0x1FFFFFF, so the result
    // never overflows.
    EXPECT_EQ(parseRoland("7F 7F 7F 7F 7F 7F 7F"), 0xFFFFFFFu);
    EXPECT_EQ(parseRoland("04 00 00 00 01 05"), 0x40000001u);  // 0x800000 was still below
    EXPECT_EQ(parseRoland("0F 7F 7F 7F 7F 7F"), 0xFFFFFFFFu);  // 0x1FFFFFF itself does not stop
}
