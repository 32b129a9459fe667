#include "sysex/roland.h"

#include <gtest/gtest.h>

#include <utility>

using namespace sf;

TEST(Roland, FormatAndParse) {
    // Seven bits per group, most significant first; the top group has 4 bits.
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "00"}, {127, "7F"}, {300, "02, 2C"}, {16384, "01, 00, 00"}, {0x1FFFFF, "7F, 7F, 7F"}};
    for (auto [v, text] : cases) {
        EXPECT_EQ(formatRoland(v), text);
        EXPECT_EQ(parseRoland(text), v) << text;
    }
    EXPECT_EQ(formatRoland(0xFFFFFFFF), "0F, 7F, 7F, 7F, 7F");
    // Read up to a non-digit; a group above 127 counts as 0; pieces stop being
    // taken once the value exceeds 0x1FFFFFF, so the result never overflows.
    const std::pair<const char*, std::uint32_t> read[] = {{"01 00;00", 16384},
                                                          {"  ,;, ", 0},
                                                          {"7f", 127},
                                                          {"1G", 1},
                                                          {"01, 80", 128},
                                                          {"80", 0},
                                                          {"7F 7F 7F 7F 7F 7F 7F", 0xFFFFFFF},
                                                          {"04 00 00 00 01 05", 0x40000001u},
                                                          {"0F 7F 7F 7F 7F 7F", 0xFFFFFFFFu}};
    for (auto [text, v] : read) EXPECT_EQ(parseRoland(text), v) << text;
}
