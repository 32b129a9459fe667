#include "source/valuetext.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "sysex/message.h"

using namespace sf;

namespace {

std::size_t mod(int m, std::size_t off) {
    return rec::moduleBase(m) + off;
}
std::string show(const SourceRecord& r, int id, int i1 = -1, int i2 = -1) {
    return formatValue(r, makeRef(id, i1, i2));
}
ParseResult type(SourceRecord& r, int id, std::string_view text, int i1 = -1, int i2 = -1) {
    return parseValue(r, makeRef(id, i1, i2), text);
}
bool choose(SourceRecord& r, int id, int command, int i1 = -1, int i2 = -1) {
    return applyChoice(r, makeRef(id, i1, i2), command);
}
// Types `text` and gives back the signed word then stored at `at`.
int stored(SourceRecord& r, int id, std::string_view text, std::size_t at, int i1 = -1,
           int i2 = -1) {
    EXPECT_NE(type(r, id, text, i1, i2), ParseResult::NotStored) << id << " " << text;
    return r.s16(at);
}
// Types `text` (or chooses `command`) and gives back what the row then shows.
std::string typedShows(SourceRecord& r, int id, std::string_view text, int i1 = -1, int i2 = -1) {
    EXPECT_NE(type(r, id, text, i1, i2), ParseResult::NotStored) << id << " " << text;
    return show(r, id, i1, i2);
}
std::string chosenShows(SourceRecord& r, int id, int command, int i1 = -1, int i2 = -1) {
    EXPECT_TRUE(choose(r, id, command, i1, i2)) << id << " " << command;
    return show(r, id, i1, i2);
}

}  // namespace

TEST(ValueText, NewSourceTexts) {
    auto r = newSource();
    const std::tuple<int, int, int, const char*> cases[] = {
        {9, -1, -1, "100"},     {10, -1, -1, "$0"},      {11, -1, -1, "No"}, {15, -1, -1, "$F0"},
        {16, -1, -1, "None"},   {46, -1, -1, "Yes"},     {63, -1, -1, "2"},  {103, -1, -1, "1"},
        {105, 0, -1, "Module"}, {109, 0, -1, "Special"}, {135, 0, -1, "$0"}, {129, 0, 0, "00"}};
    for (const auto& [id, i1, i2, text] : cases) EXPECT_EQ(show(*r, id, i1, i2), text) << id;
    const std::string table = show(*r, 33);
    ASSERT_EQ(table.size(), 128u);
    EXPECT_EQ(table.substr(64, 2), "\xDD\x41");
}

TEST(ValueText, NumberEntryForms) {
    // Every hexadecimal and decimal form stores the same value (Hex, 0..255).
    for (const char* text : {"0x7F", "$7F", "&h7F", "&H7F", "127", "$7f", " 127 ", "127abc"}) {
        auto r = newSource();
        EXPECT_EQ(typedShows(*r, 240, text, 0), "$7F") << text;
    }
    // "0X" is no prefix; decimal is clamped as signed, hexadecimal read unsigned then
    // clamped; far too large still means the maximum; no digits is 0, clamped to 100.
    const std::size_t hex = mod(0, 2766), wide = mod(0, 176);
    const std::tuple<int, std::size_t, const char*, int> cases[] = {
        {240, hex, "$1FF", 255}, {240, hex, "0X10", 0},           {20, 188, "-5", 0},
        {20, 188, "999", 100},   {17, 216, "99999999999", 30000}, {17, 216, "-99999999999", 500},
        {151, wide, "-5", -5},   {151, wide, "$FFFF", 32767},     {9, 10, "abc", 100}};
    for (const auto& [id, at, text, value] : cases) {
        auto r = newSource();
        EXPECT_EQ(stored(*r, id, text, at, id > 103 ? 0 : -1), value) << text;
    }
    auto r = newSource();
    EXPECT_EQ(typedShows(*r, 209, "-2147483648", 0), "-2147483647");  // 32-bit decimal
    EXPECT_EQ(r->s32(mod(0, 1456)), -2147483647);
    EXPECT_EQ(typedShows(*r, 165, "300", 0, 7), "255");  // a byte
    EXPECT_EQ(r->u8(mod(0, 212 + 70)), 255);
}

TEST(ValueText, SameTextOneBasedIdAndHandshake) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 9, " \t100 "), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 107, "Module", 0), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 9, "0100"), ParseResult::Stored);  // another text of the same value
    // Module ID: shown and typed one-based, stored zero-based and clamped to 0..15.
    for (auto [text, value] : {std::pair{"16", 15}, {"0", 0}, {"17", 15}})
        EXPECT_EQ(stored(*r, 49, text, 2074), value) << text;
    EXPECT_EQ(show(*r, 49), "16");
    // Handshake code: empty means none (low byte 0xFF); 7 bits otherwise.
    EXPECT_EQ(stored(*r, 135, "", mod(0, 146), 0), -1);
    EXPECT_EQ(stored(*r, 135, "0x85", mod(0, 146), 0), 0x7F);
    r->setU16(mod(0, 146), 0x01FF);
    EXPECT_EQ(show(*r, 135, 0), "");
}

TEST(ValueText, Roland7Fields) {
    auto r = newSource();
    EXPECT_EQ(stored(*r, 129, "01, 00, 00", mod(0, 216 + 16), 0, 2), 16384);
    EXPECT_EQ(show(*r, 129, 0, 2), "01, 00, 00");
    EXPECT_EQ(stored(*r, 129, "80", mod(0, 216 + 16), 0, 2), 0);
    // Stored without clamping; a 16-bit field keeps the low 16 bits.
    EXPECT_EQ(type(*r, 158, "7F 7F 7F 7F", 0), ParseResult::Stored);
    EXPECT_EQ(r->u32(mod(0, 184)), 0xFFFFFFFu);
    EXPECT_EQ(stored(*r, 159, "7F 7F 7F", mod(0, 188), 0), -1);
}

TEST(ValueText, PacketSums) {
    auto r = newSource();
    // Packet 0: 2 x (real 10, virtual 01 00); packet 1: 1 x (real 5, virtual 01 00 00).
    const std::pair<std::size_t, std::uint16_t> words[] = {{212, 2}, {214, 10}, {216, 128},
                                                           {220, 1}, {222, 5},  {224, 16384}};
    for (auto [off, v] : words) r->setModU16(0, off, v);
    EXPECT_EQ(show(*r, 131, 0), "25");
    EXPECT_EQ(show(*r, 132, 0), "01, 02, 00");
    EXPECT_EQ(type(*r, 131, "7", 0), ParseResult::NotStored);  // computed, read-only
    // Editing a summand redraws its sum in the same module.
    const auto redraw = rowsToRedrawAfter(makeRef(128, 3, 4));
    ASSERT_EQ(redraw.size(), 1u);
    EXPECT_EQ(std::pair(redraw[0].id, redraw[0].index1), std::pair(131, 3));
    EXPECT_EQ(rowsToRedrawAfter(makeRef(107, 2))[0].index1, 2);
    EXPECT_TRUE(rowsToRedrawAfter(makeRef(9)).empty());
}

TEST(ValueText, ModuleCountKeepsDataOfFreedSlots) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 103, "3"), ParseResult::StoredRebuildTree);
    ASSERT_EQ(typedShows(*r, 107, "Voices", 1), "Voices");
    ASSERT_EQ(typedShows(*r, 240, "$42", 2), "$42");
    EXPECT_EQ(type(*r, 103, "1"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(show(*r, 107, 1), "");
    EXPECT_EQ(type(*r, 103, "3"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(show(*r, 107, 1), "Module");  // the old name is not restored
    EXPECT_EQ(show(*r, 240, 2), "$42");     // the old data are
    // Read as unsigned decimal and clamped to 1..16.
    EXPECT_EQ(type(*r, 103, "20"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(show(*r, 107, 15), "Module");
    EXPECT_EQ(type(*r, 103, "-1"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(type(*r, 103, "x"), ParseResult::Stored);  // 0 -> 1: no change
}

TEST(ValueText, TextFields) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 107, "   ", 0), ParseResult::Stored);
    EXPECT_EQ(show(*r, 105, 0), "?");
    EXPECT_EQ(typedShows(*r, 107, "A very long module name", 0), "A very long modu");
    EXPECT_EQ(typedShows(*r, 8, "  SYXX  "), "SYX");
    EXPECT_EQ(typedShows(*r, 8, ""), "");
    EXPECT_EQ(type(*r, 31, "line ten", 9), ParseResult::Stored);
    EXPECT_EQ(r->text(238 + 9 * 51, 51), "line ten");
    EXPECT_EQ(r->u8(778), 0x20);  // the character table after the last line untouched
    // The character table keeps blanks, zero-pads after the text and stops at 128.
    EXPECT_EQ(typedShows(*r, 33, " AB"), " AB" + std::string(125, ' '));
    EXPECT_EQ(r->u8(781), 0);
    EXPECT_EQ(type(*r, 33, std::string(200, 'x')), ParseResult::Stored);
    EXPECT_EQ(r->u8(778 + 127), 'x');
    EXPECT_EQ(r->u16(906), 0);
}

TEST(ValueText, ManufacturerLongId) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 10, "$43"), ParseResult::Stored);
    EXPECT_EQ(chosenShows(*r, 11, 61), "Yes");
    EXPECT_TRUE(choose(*r, 11, 61));  // already long: unchanged
    EXPECT_EQ(r->s16(174), -0x43);
    EXPECT_EQ(show(*r, 10), "$43");
    EXPECT_EQ(stored(*r, 10, "$41", 174), -0x41);  // a typed ID keeps the long-ID choice
    EXPECT_EQ(chosenShows(*r, 11, 62), "No");
    EXPECT_EQ(r->s16(174), 0x41);
    // 0 has no sign: "Yes" leaves it 0 and it shows "No".
    EXPECT_EQ(type(*r, 10, "0"), ParseResult::Stored);
    EXPECT_EQ(chosenShows(*r, 11, 61), "No");
    // A damaged -32768 becomes the largest positive ID rather than staying negative.
    r->setU16(174, 0x8000);
    EXPECT_TRUE(choose(*r, 11, 62));
    EXPECT_EQ(r->s16(174), 32767);
}

TEST(ValueText, FlagsAndChoices) {
    auto r = newSource();
    // 237 reads "Yes" while its bit is clear; 244 shares the word: only the owned bit changes.
    EXPECT_EQ(show(*r, 237, 0), "Yes");
    EXPECT_EQ(chosenShows(*r, 237, 71, 0), "No");
    EXPECT_TRUE(choose(*r, 244, 61, 0));
    EXPECT_EQ(r->modU16(0, 2734), 0x3);
    EXPECT_TRUE(choose(*r, 237, 70, 0));
    EXPECT_EQ(r->modU16(0, 2734), 0x2);
    // A flag in a byte of a loop set.
    EXPECT_EQ(chosenShows(*r, 167, 71, 0, 3), "Increment by 1 at each iteration");
    EXPECT_EQ(r->u8(mod(0, 215 + 30)), 0x10);
    EXPECT_EQ(show(*r, 167, 0, 2), "Fix (value doesn't change)");
    // Choice: the entry whose value equals the field; no entry, no store; no typing.
    EXPECT_EQ(chosenShows(*r, 16, 72), "Sevenize H/L (7 High bits / 7 Low bits)");
    EXPECT_FALSE(choose(*r, 16, 99));
    EXPECT_EQ(r->u16(210), 1);
    EXPECT_EQ(type(*r, 16, "3"), ParseResult::NotStored);
    r->setU16(210, 55);
    EXPECT_EQ(show(*r, 16), "");
}

TEST(ValueText, BitChoicesKeepTheOtherBitsOfTheirWord) {
    auto r = newSource();
    r->setModU16(0, 18, 0x0400);  // another setting's bit in the same word
    const std::size_t flags = mod(0, 18);
    const std::tuple<int, int, std::size_t, std::uint16_t, const char*> steps[] = {
        {108, 72, flags, 0x0448, "Only display names (no memory dump)"},
        {108, 70, flags, 0x0408, "Dump memory and display patch names"},
        {108, 71, flags, 0x0400, "Only dump memory (no name to display)"},
        {109, 71, flags, 0x0420, "MIDI Bank Select"},
        {100, 71, 2056, 0x020A, "Use Program change"},
        {100, 72, 2056, 0x000A, "Use Custom Message"}};
    for (const auto& [id, command, at, word, text] : steps) {
        EXPECT_EQ(chosenShows(*r, id, command, id == 100 ? -1 : 0), text);
        EXPECT_EQ(r->u16(at), word) << text;
    }
    r->setModU16(0, 18, 0x0040);  // 0x40 without 0x08 only dumps memory
    EXPECT_EQ(show(*r, 108, 0), "Only dump memory (no name to display)");
    EXPECT_FALSE(choose(*r, 100, 75));
}

TEST(ValueText, RefsThatAddressNothing) {
    auto r = newSource();
    const auto before = copyRecord(*r);
    const std::tuple<int, int, int> refs[] = {
        {308, -1, -1}, {0, -1, -1},   {107, 16, -1}, {107, -1, -1}, {240, 99, -1}, {129, 0, 10},
        {129, 0, -1},  {165, 0, 8},   {262, 0, 16},  {31, 10, -1},  {31, -1, -1},  {199, 0, 10},
        {105, 16, -1}, {131, -1, -1}, {2, -1, -1},   {265, 0, 0},   {194, 16, -1}};
    for (const auto& [id, i1, i2] : refs) {
        const SettingRef ref = makeRef(id, i1, i2);
        EXPECT_EQ(formatValue(*r, ref), "") << id;
        EXPECT_EQ(parseValue(*r, ref, "$12"), ParseResult::NotStored) << id;
        EXPECT_FALSE(applyChoice(*r, ref, 61)) << id;
    }
    // A ref whose item pointer disagrees with its id is still served by its id.
    SettingRef odd = makeRef(9);
    odd.item = findSettingItem(15);
    EXPECT_EQ(formatValue(*r, odd), "100");
    EXPECT_TRUE(sameRecord(*r, *before));
}

TEST(ValueText, EverySettingStaysInsideItsRecord) {
    // Whatever the setting, index and text, nothing throws (every access is
    // bounds-checked) and a stored text shows back without throwing either.
    std::string many = "'A',Joker";
    for (int i = 1; i <= 64; ++i) many += "," + std::to_string(i);
    const std::string texts[] = {"",     "$FFFFFFFF",         "-99999999999",
                                 "0x85", "01 7F 7F 7F 7F 7F", many};
    for (const SettingItem& item : settingItems()) {
        for (int i1 : {-1, 0, 15, 16}) {
            for (int i2 : {-1, 0, 9, 15, 16}) {
                auto r = newSource();
                const SettingRef ref = makeRef(item.id, i1, i2);
                for (const std::string& t : texts) {
                    EXPECT_NO_THROW(parseValue(*r, ref, t)) << item.id;
                    EXPECT_NO_THROW(formatValue(*r, ref)) << item.id;
                }
                for (int command : {61, 62, 70, 71, 72, 80, 0})
                    EXPECT_NO_THROW(applyChoice(*r, ref, command)) << item.id;
            }
        }
    }
}
