#include "sysex/hexdump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <vector>

using namespace sf;

namespace {

std::vector<std::uint8_t> sequence(std::size_t n, std::uint8_t start = 0x41) {
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), start);
    return v;
}

}  // namespace

TEST(HexDump, LineTextByteColumnsAndShowingARow) {
    EXPECT_TRUE(hexDumpLines({}).empty());
    const auto lines = hexDumpLines(sequence(20));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP");
    // Four bytes, then twelve empty positions, then four characters.
    EXPECT_EQ(lines[1], "016  51 52 53 54" + std::string(12 * 3 + 1, ' ') + "  QRST");
    // Offsets take the digits of the size, at least 3.
    const auto big = hexDumpLines(std::vector<std::uint8_t>(1000));
    EXPECT_EQ(big[1].substr(0, 5), "0016 ");
    EXPECT_EQ(big.back().substr(0, 4), "0992");
    // The ASCII column: 0x20..0x7D as they are, everything else a dot.
    const std::vector<std::uint8_t> edge = {0x1F, 0x20, 0x7D, 0x7E, 0x7F, 0xE9, 0x00};
    EXPECT_EQ(hexDumpLines(edge)[0].substr(3 + 2 + 48 + 2), ". }....");
    const auto bytes = sequence(1000, 0);  // the layout reads them, it does not keep a copy
    HexLayout l(bytes);
    const std::string line = l.line(3);  // bytes 48..63, four offset digits
    for (int j = 0; j < 16; ++j) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", 48 + j);
        EXPECT_EQ(line.substr(static_cast<std::size_t>(l.hexColumn(j)), 2), hex) << j;
        EXPECT_EQ(line[static_cast<std::size_t>(l.asciiColumn(j))], static_cast<char>(48 + j)) << j;
    }
    l.layout(600, 125, 8, 12);                         // 10 full rows of 63
    EXPECT_FALSE(l.showRow(9));                        // already in sight
    EXPECT_TRUE(l.showRow(30) && l.firstRow() == 21);  // down: the row becomes the last full one
    EXPECT_TRUE(l.showRow(5) && l.firstRow() == 5);    // up: the row becomes the first
    l.showRow(1000);                                   // never past the last first row
    EXPECT_EQ(l.firstRow(), l.rows().lastFirst());
}

TEST(HexDump, ScrollingStaysWithinTheRows) {
    HexLayout empty;
    empty.layout(800, 600, 8, 12);
    EXPECT_EQ(empty.paintRowCount(), 0);
    EXPECT_EQ(empty.verticalBar().max, 0);

    HexLayout l(std::vector<std::uint8_t>(16 * 100));  // 100 rows
    l.layout(600, 125, 8, 12);                         // 10 full rows, 11 visible
    EXPECT_FALSE(l.scrollVertical(ScrollAction::LineUp));
    // At the bottom the last row is the last full one; nothing beyond it is painted.
    l.scrollVertical(ScrollAction::Bottom);
    EXPECT_EQ(l.firstRow(), 90);
    EXPECT_EQ(l.paintRowCount(), 10);
    EXPECT_FALSE(l.scrollVertical(ScrollAction::LineDown));
    EXPECT_FALSE(l.scrollVertical(ScrollAction::Thumb, HexLayout::kScrollRange));

    // A window taller than all rows cannot scroll.
    HexLayout tall(sequence(20));
    tall.layout(600, 1000, 8, 12);
    for (auto a : {ScrollAction::LineDown, ScrollAction::PageDown, ScrollAction::Bottom})
        EXPECT_FALSE(tall.scrollVertical(a));
    EXPECT_FALSE(tall.scrollVertical(ScrollAction::Thumb, HexLayout::kScrollRange));
    EXPECT_EQ(tall.paintRowCount(), 2);

    // Across: the last column of the line comes into view at the right edge.
    HexLayout wide(sequence(40));
    wide.layout(8 * 30 + 4, 100, 8, 12);  // 30 full columns of 72
    wide.scrollHorizontal(ScrollAction::Bottom);
    EXPECT_EQ(wide.firstColumn() + 30, wide.lineWidth());
    // A zero or negative client area (minimised) shows nothing, dividing by nothing.
    wide.layout(0, -5, 0, 0);
    EXPECT_EQ(wide.paintRowCount(), 0);
}
