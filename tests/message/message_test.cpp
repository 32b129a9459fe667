#include "sysex/message.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sysex/roland.h"

using namespace sf;

namespace {

// Restores the default "$" prefix whatever a test sets.
struct HexPrefixGuard {
    int saved = hexPrefixIndex();
    ~HexPrefixGuard() { setHexPrefixIndex(saved); }
};

std::vector<MessageUnit> parse(std::string_view text, std::size_t capacity = 40) {
    std::vector<MessageUnit> units(capacity, 0x1234);
    const int n = parseMessage(text, units, static_cast<int>(capacity));
    units.resize(static_cast<std::size_t>(n));
    return units;
}

std::string fmt(std::vector<MessageUnit> units) {
    return formatMessage(units, static_cast<int>(units.size()));
}

}  // namespace

TEST(MessageTags, LookupAndClasses) {
    EXPECT_EQ(findTagByCode(0xFD), findTagByName("Head"));
    EXPECT_STREQ(findTagByName("joKER")->name, "Joker");
    EXPECT_EQ(findTagByName("Jok"), nullptr);
    // Every code belongs to exactly one class; the boundaries of the tag ranges.
    int tags = 0;
    for (int c = 0; c < 256; ++c) tags += isTagCode(static_cast<std::uint8_t>(c));
    EXPECT_EQ(tags, static_cast<int>(messageTags().size()));
    for (std::uint8_t c : {0x00, 0x7F, 0xA0, 0xAF, 0xF0, 0xF7})
        EXPECT_EQ(codeClass(c), CodeClass::Literal) << int(c);
    for (std::uint8_t c : {0xA1, 0xAE, 0xF1, 0xF6, 0xF8, 0xFE}) EXPECT_TRUE(isTagCode(c)) << int(c);
    EXPECT_EQ(codeClass(0xFF), CodeClass::Empty);
}

TEST(MessageParse, PieceForms) {
    // No prefix means decimal (so "F0" is 0) and keeps the low 8 bits; hexadecimal keeps 16;
    // only a lower-case x makes a prefix; a character above 127 gets the high byte 0xFF;
    // reading stops at the first character that does not fit.
    const std::pair<const char*, std::vector<MessageUnit>> cases[] = {
        {",, ;", {}},
        {"F0,$43 ; 0x10,&h7F", {0x4000, 0x0043, 0x0010, 0x007F}},
        {"chk;CHK", {0x00F5, 0x00F5}},
        {"'", {0x8000}},
        {"'Abc", {0x8041}},
        {"'\xE9'", {0xFFE9}},
        {"241,300,-1,$12345,$", {0x40F1, 0x402C, 0x40FF, 0x2345, 0x0000}},
        {"0X10,Jokr,12ab, +7 ", {0x4000, 0x4000, 0x400C, 0x4007}},
        {"  $F0 ,\tHead  , joker ", {0x00F0, 0x00FD, 0x00FE}}};
    for (const auto& [text, units] : cases) EXPECT_EQ(parse(text), units) << '"' << text << '"';
}

TEST(MessageParse, PrefillAndCapacity) {
    // The prefill covers the given count, never more than the span.
    std::array<MessageUnit, 6> buf;
    buf.fill(0x1111);
    std::span<MessageUnit> four(buf.data(), 4);
    EXPECT_EQ(parseMessage("$1", four, 100), 1);
    EXPECT_EQ(buf, (std::array<MessageUnit, 6>{0x0001, 0x00FF, 0x00FF, 0x00FF, 0x1111, 0x1111}));
    // Pieces beyond the capacity are dropped; a negative prefill count prefills nothing.
    buf.fill(0x1111);
    EXPECT_EQ(parseMessage("1,2,3,4,5,6,7", four, 4), 4);
    EXPECT_EQ(buf[4], 0x1111);
    EXPECT_EQ(parseMessage("", std::span<MessageUnit>(buf.data() + 4, 2), -3), 0);
    EXPECT_EQ(buf[4], 0x1111);
    EXPECT_EQ(parseMessage("$F0,$F7", std::span<MessageUnit>(), 5), 0);
}

TEST(MessageFormat, FormsAndPrefixes) {
    HexPrefixGuard guard;
    EXPECT_STREQ(hexPrefix(), "$");  // default
    EXPECT_EQ(fmt({0x00F0, 0x00FF, 0x00F7}), "$F0,,$F7");
    EXPECT_EQ(fmt({0x00FF, 0x0041}), "$41");
    EXPECT_EQ(fmt({0x8041, 0x40F1, 0x01F0, 0x0007, 0x0000}), "$41,V3,$F0,$7,$0");
    setHexPrefixIndex(2);
    EXPECT_EQ(fmt({0x00F0, 0x0041, 0x00FD, 0x00FE, 0x00F7}), "&HF0,&H41,Head,Joker,&HF7");
    setHexPrefixIndex(0);
    EXPECT_EQ(fmt({0x0000, 0x00F5}), "0x0,Chk");
    // The count is clamped to the units there are.
    const std::vector<MessageUnit> two{0x00F0, 0x00F7};
    EXPECT_EQ(formatMessage(two, 9), "0xF0,0xF7");
    EXPECT_EQ(formatMessage(two, -4), "");
    // An index read from a damaged settings file falls back to the default.
    setHexPrefixIndex(7);
    EXPECT_STREQ(hexPrefix(), "$");
}

TEST(MessageFormat, TextRoundTrip) {
    // Every tag name and every literal byte survives text -> units -> text.
    for (int c = 0; c < 255; ++c) {
        const std::vector<MessageUnit> one{static_cast<MessageUnit>(c)};
        const std::string text = fmt(one);
        EXPECT_EQ(parse(text), one) << text;
    }
}

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
