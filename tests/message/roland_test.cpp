#include "sysex/roland.h"

#include <gtest/gtest.h>

using namespace sf;

TEST(Roland, Format) {
    EXPECT_EQ(formatRoland(0), "00");
    EXPECT_EQ(formatRoland(127), "7F");
    EXPECT_EQ(formatRoland(128), "01, 00");
    EXPECT_EQ(formatRoland(16384), "01, 00, 00");
    EXPECT_EQ(formatRoland(0x1FFFFF), "7F, 7F, 7F");
    EXPECT_EQ(formatRoland(0xFFFFFFFF), "0F, 7F, 7F, 7F, 7F");
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

TEST(Roland, RoundTrip) {
    for (std::uint32_t v : {0u, 1u, 127u, 128u, 300u, 16383u, 16384u, 0x1234567u, 0xFFFFFFFFu})
        EXPECT_EQ(parseRoland(formatRoland(v)), v) << v;
}
