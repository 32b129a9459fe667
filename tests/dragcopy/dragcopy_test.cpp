#include "source/dragcopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "source/message_record.h"
#include "source/valuetext.h"
#include "support/random_record.h"

using namespace sf;

namespace {

// Bytes [first, last) of module `m` of `from` into module `n` of `to`.
void copyModulePart(const SourceRecord& from, int m, SourceRecord& to, int n, std::size_t first,
                    std::size_t last) {
    std::copy(from.bytes.begin() + static_cast<long>(rec::moduleBase(m) + first),
              from.bytes.begin() + static_cast<long>(rec::moduleBase(m) + last),
              to.bytes.begin() + static_cast<long>(rec::moduleBase(n) + first));
}
bool same(const SourceRecord& a, const SourceRecord& b) {
    return a.bytes == b.bytes && a.blocks == b.blocks;
}

}  // namespace

TEST(DragCopy, WhichRowsAcceptADrop) {
    auto from = newSource();
    auto to = newSource();
    parseValue(*from, makeRef(15), "F0, 41, 10");
    parseValue(*from, makeRef(35),
               "F0, 01, 02, 03, 04, 05, 06, 07, 08, 09, F7");  // too long for 15
    // A row never onto itself, but onto the same row of another source; help lines and texts
    // only onto their own kind; groups onto any group of their shape and size; messages onto
    // any message that holds them (an empty one fits anywhere); numbers never; module parts
    // only onto the same part of another module that exists; 106 has no block of its own.
    const std::tuple<int, int, int, int, bool, bool> cases[] = {
        {105, 1, 105, 0, false, true},  {105, 0, 105, 0, true, false},
        {105, 0, 105, 0, false, true},  {105, 0, 106, 0, false, false},
        {31, 2, 30, -1, false, false},  {31, 2, 31, 5, true, true},
        {30, -1, 198, 0, false, true},  {198, 0, 217, 1, false, true},
        {30, -1, 2, -1, false, false},  {30, -1, 105, 0, false, false},
        {15, -1, 35, -1, false, true},  {35, -1, 15, -1, false, false},
        {36, -1, 15, -1, false, true},  {9, -1, 9, -1, false, false},
        {107, 0, 107, 1, true, false},  {106, 0, 106, 1, true, false},
        {119, 0, 255, 0, false, false}, {119, 0, 119, 1, true, true},
        {304, 0, 304, 1, true, true},   {305, 0, 305, 1, true, true},
        {307, 0, 307, 1, true, true},   {307, 0, 305, 1, true, false},
        {105, 0, 105, 16, false, false}};
    for (const auto& [dragged, i1, target, t1, sameSource, accepted] : cases) {
        const SettingRef d = makeRef(dragged, i1), t = makeRef(target, t1);
        EXPECT_EQ(canDropSetting(*from, d, *to, t, sameSource), accepted)
            << dragged << ":" << i1 << " -> " << target << ":" << t1;
        // The copy refuses exactly what the test refuses.
        auto copy = copyRecord(*to);
        EXPECT_EQ(copyDroppedSetting(*from, d, *copy, t, sameSource), accepted) << dragged;
        if (!accepted) {
            EXPECT_TRUE(sameRecord(*copy, *to)) << dragged;
        }
    }
    EXPECT_FALSE(canDropSetting(*from, makeRef(31, 2), *to, makeRef(199, 0, 3), false));
}

TEST(DragCopy, ModulePartsCopyTheirBytesAndBlocks) {
    const std::tuple<int, std::size_t, std::size_t, int, int> parts[] = {
        {105, 0, 4266, 0, 22},     {119, 58, 3618, 0, 16},    {255, 2786, 3618, 0, 16},
        {272, 3618, 4054, 16, 17}, {304, 4038, 4054, 16, 17}, {305, 4038, 4054, 16, 17},
        {306, 4054, 4250, 17, 22}, {307, 4054, 4250, 17, 22}};
    static_assert(rec::kModuleSize == 4266 && rec::kSlotsPerModule == 22);  // 105: all of it
    for (const auto& [id, first, last, firstSlot, lastSlot] : parts) {
        auto from = testsupport::randomRecord(7, 4);
        auto to = testsupport::randomRecord(8, 3);
        // Blocks the copy must replace or remove, in every slot of the target module.
        for (int s = 0; s < rec::kSlotsPerModule; ++s) to->block(0, s) = Block{9, 9, 9};
        from->block(2, firstSlot).reset();
        const auto before = copyRecord(*to);

        ASSERT_TRUE(copyDroppedSetting(*from, makeRef(id, 2), *to, makeRef(id, 0), false)) << id;
        auto expected = copyRecord(*before);
        copyModulePart(*from, 2, *expected, 0, first, last);
        for (int s = firstSlot; s < lastSlot; ++s) expected->block(0, s) = from->block(2, s);
        EXPECT_TRUE(same(*to, *expected)) << id;
    }
}

TEST(DragCopy, ModuleOntoAnotherModuleOfTheSameSource) {
    auto r = testsupport::randomRecord(11, 3);
    auto expected = copyRecord(*r);
    copyModulePart(*r, 0, *expected, 2, 0, rec::kModuleSize);
    for (int s = 0; s < rec::kSlotsPerModule; ++s) expected->block(2, s) = r->block(0, s);
    ASSERT_TRUE(copyDroppedSetting(*r, makeRef(105, 0), *r, makeRef(105, 2), true));
    EXPECT_TRUE(same(*r, *expected));
}

TEST(DragCopy, GeneralSettingsCarryTheModuleCount) {
    auto from = newSource();
    parseValue(*from, makeRef(103), "3");
    auto to = newSource();
    parseValue(*to, makeRef(107, 1), "");
    ASSERT_TRUE(copyDroppedSetting(*from, makeRef(2), *to, makeRef(2), false));
    EXPECT_EQ(to->s16(rec::kModuleCount), 3);
    EXPECT_EQ(formatValue(*to, makeRef(107, 1)), "");  // a new module keeps its (empty) name
    EXPECT_EQ(buildTreeRows(*to).size(), buildTreeRows(*from).size());
}

TEST(DragCopy, TextsAndMessages) {
    auto from = newSource();
    auto to = newSource();
    parseValue(*from, makeRef(31, 2), "Line two");
    parseValue(*to, makeRef(31, 5), "A much longer line that was here before");
    ASSERT_TRUE(copyDroppedSetting(*from, makeRef(31, 2), *to, makeRef(31, 5), false));
    EXPECT_EQ(formatValue(*to, makeRef(31, 5)), "Line two");
    const auto line = textField(*to, makeRef(31, 5));  // the rest of the old line is cleared
    const auto at = to->bytes.begin() + static_cast<long>(line->offset);
    EXPECT_EQ(std::string(at, at + 51), "Line two" + std::string(51 - 8, '\0'));

    // The help lines of the receive part take the global help lines.
    parseValue(*from, makeRef(31, 9), "last");
    ASSERT_TRUE(copyDroppedSetting(*from, makeRef(30), *to, makeRef(198, 1), false));
    EXPECT_EQ(formatValue(*to, makeRef(199, 1, 2)), "Line two");
    EXPECT_EQ(formatValue(*to, makeRef(199, 1, 9)), "last");

    parseValue(*from, makeRef(15), "F0, 41, 10");
    parseValue(*to, makeRef(35), "F0, 01, 02, 03, 04, 05, 06, 07, 08, 09, F7");
    ASSERT_TRUE(copyDroppedSetting(*from, makeRef(15), *to, makeRef(35), false));
    EXPECT_EQ(formatValue(*to, makeRef(35)), formatValue(*from, makeRef(15)));
    const auto field = messageField(*to, makeRef(35));
    const auto units = readMessageUnits(*to, *field);
    EXPECT_TRUE(
        std::all_of(units.begin() + 3, units.end(), [](MessageUnit u) { return u == kEmptyCode; }));

    // The character table travels with its group only.
    parseValue(*from, makeRef(33), "abc");
    EXPECT_FALSE(canDropSetting(*from, makeRef(33), *to, makeRef(33), false));
    ASSERT_TRUE(copyDroppedSetting(*from, makeRef(32), *to, makeRef(32), false));
    EXPECT_EQ(formatValue(*to, makeRef(33)), formatValue(*from, makeRef(33)));
}
