#include "source/valuetext.h"

#include <gtest/gtest.h>

#include <string>

#include "sysex/message.h"

using namespace sf;

namespace {

// Record offsets used to check what a store wrote.
std::size_t mod(int m, std::size_t off) { return rec::moduleBase(m) + off; }

std::string show(const SourceRecord& r, int id, int i1 = -1, int i2 = -1) {
    return formatValue(r, makeRef(id, i1, i2));
}
ParseResult type(SourceRecord& r, int id, std::string_view text, int i1 = -1, int i2 = -1) {
    return parseValue(r, makeRef(id, i1, i2), text);
}
bool choose(SourceRecord& r, int id, int command, int i1 = -1, int i2 = -1) {
    return applyChoice(r, makeRef(id, i1, i2), command);
}

}  // namespace

TEST(ValueText, NewSourceTexts) {
    auto r = newSource();
    const struct {
        int id, i1, i2;
        const char* text;
    } cases[] = {
        {9, -1, -1, "100"}, {10, -1, -1, "$0"}, {11, -1, -1, "No"}, {15, -1, -1, "$F0"}, {16, -1, -1, "None"},
        {46, -1, -1, "Yes"}, {63, -1, -1, "2"} /* one-based */, {100, -1, -1, "Use Custom Message"},
        {103, -1, -1, "1"}, {105, 0, -1, "Module"}, {107, 0, -1, "Module"},
        {108, 0, -1, "Only dump memory (no name to display)"}, {109, 0, -1, "Special"}, {135, 0, -1, "$0"},
        {129, 0, 0, "00"},
    };
    for (const auto& c : cases) EXPECT_EQ(show(*r, c.id, c.i1, c.i2), c.text) << c.id;
    const std::string table = show(*r, 33);
    ASSERT_EQ(table.size(), 128u);
    EXPECT_EQ(table[0], ' ');
    EXPECT_EQ(table['A'], 'A');
    EXPECT_EQ(static_cast<unsigned char>(table[64]), 0xDD);
}

TEST(ValueText, NumberEntryForms) {
    // Every hexadecimal and decimal form stores the same value (Hex, 0..255).
    for (const char* text : {"0x7F", "$7F", "&h7F", "&H7F", "127", "$7f", " 127 ", "127abc"}) {
        auto r = newSource();
        EXPECT_EQ(type(*r, 240, text, 0), ParseResult::Stored) << text;
        EXPECT_EQ(r->u16(mod(0, 2766)), 0x7F) << text;
        EXPECT_EQ(show(*r, 240, 0), "$7F");
    }
    struct Case {
        int id;
        const char* text;
        std::int64_t stored;
    };
    const Case cases[] = {
        {240, "$1FF", 255},       // clamped to max as unsigned
        {240, "0X10", 0},         // not a prefix: unsigned decimal "0"
        {20, "-5", 0},            // Decimal 0..100: clamped as signed
        {20, "999", 100},
        {17, "99999999999", 30000},  // far too large still means "the maximum"
        {17, "-99999999999", 500},
        {151, "-5", -5},          // -32768..32767
        {151, "$FFFF", 32767},    // hexadecimal is read unsigned, then clamped
        {9, "abc", 100},          // no digits: 0, clamped to min 100
    };
    for (const Case& c : cases) {
        auto r = newSource();
        const SettingRef ref = makeRef(c.id, c.id > 103 ? 0 : -1);
        parseValue(*r, ref, c.text);
        const std::size_t off = c.id == 240 ? mod(0, 2766) : c.id == 151 ? mod(0, 176) : c.id == 20 ? 188 : c.id == 17 ? 216 : 10;
        EXPECT_EQ(r->s16(off), c.stored) << c.id << " " << c.text;
    }
    // 32-bit decimal field.
    auto r = newSource();
    EXPECT_EQ(type(*r, 209, "-2147483648", 0), ParseResult::Stored);
    EXPECT_EQ(r->s32(mod(0, 1456)), -2147483647);
    EXPECT_EQ(show(*r, 209, 0), "-2147483647");
    // 8-bit unsigned field.
    EXPECT_EQ(type(*r, 165, "300", 0, 7), ParseResult::Stored);
    EXPECT_EQ(r->u8(mod(0, 212 + 70)), 255);
    EXPECT_EQ(show(*r, 165, 0, 7), "255");
}

TEST(ValueText, SameTextStoresNothing) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 9, "100"), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 9, " \t100 "), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 15, "$F0"), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 107, "Module", 0), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 9, "0100"), ParseResult::Stored);  // another text of the same value
    EXPECT_EQ(r->u16(10), 100);
}

TEST(ValueText, OneBasedModuleId) {
    auto r = newSource();
    r->setU16(2074, 0);
    EXPECT_EQ(show(*r, 49), "1");
    // Shown and typed one-based, stored zero-based and clamped to 0..15.
    for (auto [text, stored] : {std::pair{"16", 15}, {"0", 0}, {"17", 15}}) {
        EXPECT_EQ(type(*r, 49, text), ParseResult::Stored) << text;
        EXPECT_EQ(r->s16(2074), stored) << text;
    }
    EXPECT_EQ(show(*r, 49), "16");
}

TEST(ValueText, HandshakeCode) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 135, "", 0), ParseResult::Stored);
    EXPECT_EQ(r->u16(mod(0, 146)), 0xFFFF);
    EXPECT_EQ(show(*r, 135, 0), "");
    EXPECT_EQ(type(*r, 135, "", 0), ParseResult::NotStored);
    EXPECT_EQ(type(*r, 135, "0x85", 0), ParseResult::Stored);
    EXPECT_EQ(r->u16(mod(0, 146)), 0x7F);
    EXPECT_EQ(type(*r, 135, "5", 0), ParseResult::Stored);
    EXPECT_EQ(show(*r, 135, 0), "$5");
    r->setU16(mod(0, 146), 0x01FF);  // only the low byte marks "none"
    EXPECT_EQ(show(*r, 135, 0), "");
}

TEST(ValueText, Roland7Fields) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 129, "01, 00, 00", 0, 2), ParseResult::Stored);
    EXPECT_EQ(r->u16(mod(0, 216 + 16)), 16384);
    EXPECT_EQ(show(*r, 129, 0, 2), "01, 00, 00");
    EXPECT_EQ(type(*r, 129, "80", 0, 2), ParseResult::Stored);
    EXPECT_EQ(r->u16(mod(0, 216 + 16)), 0);
    // Stored without clamping; a 16-bit field keeps the low 16 bits.
    EXPECT_EQ(type(*r, 158, "7F 7F 7F 7F", 0), ParseResult::Stored);
    EXPECT_EQ(r->u32(mod(0, 184)), 0xFFFFFFFu);
    EXPECT_EQ(type(*r, 159, "7F 7F 7F", 0), ParseResult::Stored);
    EXPECT_EQ(r->u16(mod(0, 188)), 0xFFFF);
}

TEST(ValueText, PacketSums) {
    auto r = newSource();
    // Packet 0: 2 x (real 10, virtual 01 00); packet 1: 1 x (real 5, virtual 01 00 00).
    r->setModU16(0, 212, 2);
    r->setModU16(0, 214, 10);
    r->setModU16(0, 216, 128);
    r->setModU16(0, 220, 1);
    r->setModU16(0, 222, 5);
    r->setModU16(0, 224, 16384);
    EXPECT_EQ(show(*r, 131, 0), "25");
    EXPECT_EQ(show(*r, 132, 0), "01, 02, 00");
    EXPECT_EQ(type(*r, 131, "7", 0), ParseResult::NotStored);  // computed, read-only

    auto redraw = rowsToRedrawAfter(makeRef(128, 3, 4));
    ASSERT_EQ(redraw.size(), 1u);
    EXPECT_EQ(redraw[0].id, 131);
    EXPECT_EQ(redraw[0].index1, 3);
    EXPECT_EQ(rowsToRedrawAfter(makeRef(129, 0, 0))[0].id, 132);
    EXPECT_EQ(rowsToRedrawAfter(makeRef(107, 2))[0].id, 105);
    EXPECT_EQ(rowsToRedrawAfter(makeRef(107, 2))[0].index1, 2);
    EXPECT_TRUE(rowsToRedrawAfter(makeRef(9)).empty());
}

TEST(ValueText, ModuleCountKeepsDataOfFreedSlots) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 103, "3"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(show(*r, 105, 1), "Module");
    EXPECT_EQ(show(*r, 107, 2), "Module");
    ASSERT_EQ(type(*r, 107, "Voices", 1), ParseResult::Stored);
    ASSERT_EQ(type(*r, 240, "$42", 2), ParseResult::Stored);

    EXPECT_EQ(type(*r, 103, "1"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(r->u16(rec::kModuleCount), 1);
    EXPECT_EQ(show(*r, 107, 0), "Module");
    EXPECT_EQ(show(*r, 107, 1), "");
    EXPECT_EQ(show(*r, 107, 2), "");
    EXPECT_EQ(validModuleCount(*r), 1);

    EXPECT_EQ(type(*r, 103, "3"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(show(*r, 107, 1), "Module");  // the old name is not restored
    EXPECT_EQ(show(*r, 240, 2), "$42");     // the old data are
    EXPECT_EQ(validModuleCount(*r), 3);

    // Read as unsigned decimal and clamped to 1..16.
    EXPECT_EQ(type(*r, 103, "20"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(r->u16(rec::kModuleCount), 16);
    EXPECT_EQ(show(*r, 107, 15), "Module");
    EXPECT_EQ(type(*r, 103, "-1"), ParseResult::StoredRebuildTree);
    EXPECT_EQ(r->u16(rec::kModuleCount), 1);
    EXPECT_EQ(type(*r, 103, "x"), ParseResult::Stored);  // 0 -> 1: no change
}

TEST(ValueText, TextFields) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 107, "   ", 0), ParseResult::Stored);
    EXPECT_EQ(show(*r, 107, 0), "?");
    EXPECT_EQ(show(*r, 105, 0), "?");
    EXPECT_EQ(type(*r, 107, "", 0), ParseResult::Stored);
    EXPECT_EQ(show(*r, 107, 0), "?");
    EXPECT_EQ(type(*r, 107, "A very long module name", 0), ParseResult::Stored);
    EXPECT_EQ(show(*r, 107, 0), "A very long modu");  // 16 characters
    EXPECT_EQ(type(*r, 8, "  SYXX  "), ParseResult::Stored);
    EXPECT_EQ(show(*r, 8), "SYX");
    EXPECT_EQ(type(*r, 8, ""), ParseResult::Stored);  // no NoEmptyName: may be empty
    EXPECT_EQ(show(*r, 8), "");
    EXPECT_EQ(type(*r, 31, "line ten", 9), ParseResult::Stored);
    EXPECT_EQ(r->text(238 + 9 * 51, 51), "line ten");
    EXPECT_EQ(r->u8(238 + 10 * 51), 0x00);  // the next field (ASCII table starts at 778) untouched
    EXPECT_EQ(r->u8(778), 0x20);

    // Character table keeps blanks and zero-pads after the text.
    EXPECT_EQ(type(*r, 33, " AB"), ParseResult::Stored);
    EXPECT_EQ(r->u8(778), ' ');
    EXPECT_EQ(r->u8(779), 'A');
    EXPECT_EQ(r->u8(781), 0);
    EXPECT_EQ(r->u8(778 + 127), 0);
    EXPECT_EQ(r->u8(906), 0);  // the mode block after the table untouched
    EXPECT_EQ(show(*r, 33), " AB" + std::string(125, ' '));
    EXPECT_EQ(type(*r, 33, std::string(200, 'x')), ParseResult::Stored);
    EXPECT_EQ(r->u8(778 + 127), 'x');
    EXPECT_EQ(r->u16(906), 0);
}

TEST(ValueText, MessageFields) {
    // The unit encoding and capacity limits are the message layer's; here
    // only the routing of global and module messages to their fields.
    auto r = newSource();
    EXPECT_EQ(type(*r, 15, "F0,$43 ; 0x10,&h7F"), ParseResult::Stored);
    EXPECT_EQ(r->s16(192), 4);
    EXPECT_EQ(r->u16(194), 0x4000);
    EXPECT_EQ(show(*r, 15), "$0,$43,$10,$7F");
    EXPECT_EQ(type(*r, 194, "$F0,Joker,$F7", 1), ParseResult::Stored);  // capacity 60
    EXPECT_EQ(r->modS16(1, 1200), 3);
    EXPECT_EQ(show(*r, 194, 1), "$F0,Joker,$F7");
}

TEST(ValueText, ManufacturerLongId) {
    auto r = newSource();
    EXPECT_EQ(type(*r, 10, "$43"), ParseResult::Stored);
    EXPECT_TRUE(choose(*r, 11, 61));
    EXPECT_EQ(r->s16(174), -0x43);
    EXPECT_EQ(show(*r, 10), "$43");
    EXPECT_EQ(show(*r, 11), "Yes");
    EXPECT_TRUE(choose(*r, 11, 61));  // already long: unchanged
    EXPECT_EQ(r->s16(174), -0x43);
    // A typed ID keeps the long-ID choice.
    EXPECT_EQ(type(*r, 10, "$41"), ParseResult::Stored);
    EXPECT_EQ(r->s16(174), -0x41);
    EXPECT_TRUE(choose(*r, 11, 62));
    EXPECT_EQ(r->s16(174), 0x41);
    EXPECT_EQ(show(*r, 11), "No");
    // 0 has no sign: "Yes" leaves it 0 and it shows "No".
    EXPECT_EQ(type(*r, 10, "0"), ParseResult::Stored);
    EXPECT_TRUE(choose(*r, 11, 61));
    EXPECT_EQ(r->s16(174), 0);
    EXPECT_EQ(show(*r, 11), "No");
    // A damaged -32768 becomes the largest positive ID rather than staying negative.
    r->setU16(174, 0x8000);
    EXPECT_EQ(show(*r, 10), "$8000");
    EXPECT_TRUE(choose(*r, 11, 62));
    EXPECT_EQ(r->s16(174), 32767);
}

TEST(ValueText, FlagsAndChoices) {
    auto r = newSource();
    // L4: "Yes" while the bit is clear.
    EXPECT_EQ(show(*r, 237, 0), "Yes");
    EXPECT_TRUE(choose(*r, 237, 71, 0));
    EXPECT_EQ(r->modU16(0, 2734) & 0x1, 0x1);
    EXPECT_EQ(show(*r, 237, 0), "No");
    EXPECT_EQ(show(*r, 267, 0, 3), "Yes");
    // Flags share a word: only the owned bit changes.
    EXPECT_TRUE(choose(*r, 244, 61, 0));
    EXPECT_EQ(r->modU16(0, 2734), 0x3);
    EXPECT_TRUE(choose(*r, 237, 70, 0));
    EXPECT_EQ(r->modU16(0, 2734), 0x2);
    EXPECT_EQ(show(*r, 244, 0), "Yes");
    // A flag in a byte of a loop set.
    EXPECT_TRUE(choose(*r, 167, 71, 0, 3));
    EXPECT_EQ(r->u8(mod(0, 215 + 30)), 0x10);
    EXPECT_EQ(show(*r, 167, 0, 3), "Increment by 1 at each iteration");
    EXPECT_EQ(show(*r, 167, 0, 2), "Fix (value doesn't change)");

    // Choice: the entry whose value equals the field.
    EXPECT_TRUE(choose(*r, 16, 72));
    EXPECT_EQ(r->u16(210), 1);
    EXPECT_EQ(show(*r, 16), "Sevenize H/L (7 High bits / 7 Low bits)");
    EXPECT_FALSE(choose(*r, 16, 99));  // no such entry: nothing stored
    EXPECT_EQ(r->u16(210), 1);
    r->setU16(210, 55);
    EXPECT_EQ(show(*r, 16), "");
    EXPECT_TRUE(choose(*r, 114, 61, 0));
    EXPECT_EQ(r->modU16(0, 22), 1);
    EXPECT_EQ(type(*r, 16, "3"), ParseResult::NotStored);  // choices are not typed
}

TEST(ValueText, BitChoices) {
    auto r = newSource();
    r->setModU16(0, 18, 0x0400);  // another setting's bit in the same word
    EXPECT_TRUE(choose(*r, 108, 72, 0));
    EXPECT_EQ(r->modU16(0, 18), 0x0448);
    EXPECT_EQ(show(*r, 108, 0), "Only display names (no memory dump)");
    EXPECT_TRUE(choose(*r, 108, 70, 0));
    EXPECT_EQ(r->modU16(0, 18), 0x0408);
    EXPECT_EQ(show(*r, 108, 0), "Dump memory and display patch names");
    EXPECT_TRUE(choose(*r, 108, 71, 0));
    EXPECT_EQ(r->modU16(0, 18), 0x0400);
    r->setModU16(0, 18, 0x0040);  // 0x40 without 0x08 only dumps memory
    EXPECT_EQ(show(*r, 108, 0), "Only dump memory (no name to display)");

    EXPECT_TRUE(choose(*r, 109, 71, 0));
    EXPECT_EQ(r->modU16(0, 18), 0x0060);
    EXPECT_EQ(show(*r, 109, 0), "MIDI Bank Select");
    EXPECT_TRUE(choose(*r, 109, 70, 0));
    EXPECT_EQ(show(*r, 109, 0), "Program Change");

    EXPECT_TRUE(choose(*r, 100, 71));
    EXPECT_EQ(r->u16(2056), 0x020A);
    EXPECT_EQ(show(*r, 100), "Use Program change");
    EXPECT_TRUE(choose(*r, 100, 70));
    EXPECT_EQ(show(*r, 100), "Use Midi Bank Select");
    EXPECT_TRUE(choose(*r, 100, 72));
    EXPECT_EQ(r->u16(2056), 0x000A);
    EXPECT_FALSE(choose(*r, 100, 75));
}

TEST(ValueText, RefsThatAddressNothing) {
    auto r = newSource();
    const auto before = copyRecord(*r);
    struct Ref {
        int id, i1, i2;
    };
    const Ref refs[] = {
        {308, -1, -1}, {0, -1, -1},   {107, 16, -1}, {107, -1, -1}, {240, 99, -1}, {129, 0, 10},
        {129, 0, -1},  {165, 0, 8},   {262, 0, 16},  {31, 10, -1},  {31, -1, -1},  {199, 0, 10},
        {105, 16, -1}, {131, -1, -1}, {2, -1, -1},   {265, 0, 0},   {194, 16, -1},
    };
    for (const Ref& x : refs) {
        const SettingRef ref = makeRef(x.id, x.i1, x.i2);
        EXPECT_EQ(formatValue(*r, ref), "") << x.id;
        EXPECT_EQ(parseValue(*r, ref, "$12"), ParseResult::NotStored) << x.id;
        EXPECT_FALSE(applyChoice(*r, ref, 61)) << x.id;
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
    const char* texts[] = {"", "$FFFFFFFF", "-99999999999", "0x85", "01 7F 7F 7F 7F 7F",
                           "'A',Joker,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,"
                           "26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,"
                           "51,52,53,54,55,56,57,58,59,60,61,62,63,64"};
    for (const SettingItem& item : settingItems()) {
        for (int i1 : {-1, 0, 15, 16}) {
            for (int i2 : {-1, 0, 9, 15, 16}) {
                auto r = newSource();
                const SettingRef ref = makeRef(item.id, i1, i2);
                for (const char* t : texts) {
                    EXPECT_NO_THROW(parseValue(*r, ref, t)) << item.id;
                    EXPECT_NO_THROW(formatValue(*r, ref)) << item.id;
                }
                for (int command : {61, 62, 70, 71, 72, 80, 0})
                    EXPECT_NO_THROW(applyChoice(*r, ref, command)) << item.id;
            }
        }
    }
}
