#include "sysex/message.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>


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

TEST(MessageTags, TableLookupAndClasses) {
    ASSERT_EQ(messageTags().size(), 27u);
    for (const MessageTag& t : messageTags()) {
        EXPECT_EQ(findTagByCode(t.code), &t);
        EXPECT_EQ(findTagByName(t.name), &t);
        EXPECT_EQ(std::strncmp(t.description, t.name, std::strlen(t.name)), 0) << t.name;
        EXPECT_EQ(codeClass(t.code), CodeClass::Tag);
    }
    EXPECT_STREQ(findTagByName("joKER")->name, "Joker");
    EXPECT_EQ(findTagByName("Jok"), nullptr);
    EXPECT_EQ(findTagByName(""), nullptr);

    // Every code belongs to exactly one class; the boundaries of the tag ranges.
    int tags = 0;
    for (int c = 0; c < 256; ++c) tags += codeClass(static_cast<std::uint8_t>(c)) == CodeClass::Tag;
    EXPECT_EQ(tags, 27);
    for (int c : {0x00, 0x7F, 0xA0, 0xAF, 0xF0, 0xF7}) EXPECT_EQ(codeClass(static_cast<std::uint8_t>(c)), CodeClass::Literal) << c;
    for (int c : {0xA1, 0xAE, 0xF1, 0xF6, 0xF8, 0xFE}) EXPECT_TRUE(isTagCode(static_cast<std::uint8_t>(c))) << c;
    EXPECT_EQ(codeClass(0xFF), CodeClass::Empty);
    EXPECT_FALSE(isTagCode(0xFF));
}

TEST(MessageHexPrefix, IndexAndFallback) {
    HexPrefixGuard guard;
    EXPECT_STREQ(hexPrefix(), "$");  // default
    setHexPrefixIndex(0);
    EXPECT_STREQ(hexPrefix(), "0x");
    EXPECT_EQ(formatHex(0), "0x0");
    setHexPrefixIndex(2);
    EXPECT_STREQ(hexPrefix(), "&H");
    // An index read from a damaged settings file falls back to the default.
    setHexPrefixIndex(7);
    EXPECT_EQ(hexPrefixIndex(), 1);
    setHexPrefixIndex(-1);
    EXPECT_STREQ(hexPrefix(), "$");
}

TEST(MessageParse, PieceForms) {
    struct Case {
        const char* text;
        std::vector<MessageUnit> units;
    };
    const Case cases[] = {
        {"", {}},
        {",, ;", {}},
        {" \t ", {}},
        // No prefix means decimal, so "F0" reads as the decimal 0.
        {"F0,$43 ; 0x10,&h7F", {0x4000, 0x0043, 0x0010, 0x007F}},
        {"chk;CHK", {0x00F5, 0x00F5}},
        {"'A'", {0x8041}},
        {"'", {0x8000}},
        {"'Abc", {0x8041}},       // what follows the character is ignored
        {"'\xE9'", {0xFFE9}},     // above 127: high byte 0xFF
        {"241", {0x40F1}},
        {"300", {0x402C}},        // decimal keeps the low 8 bits
        {"-1", {0x40FF}},
        {"$1F0", {0x01F0}},       // hexadecimal keeps the low 16 bits
        {"$12345", {0x2345}},
        {"&HFD", {0x00FD}},
        {"0X10", {0x4000}},       // only a lower-case x makes a prefix
        {"Jokr", {0x4000}},       // a misspelt tag
        {"$", {0x0000}},
        {"12ab", {0x400C}},       // stops at the first non-digit
        {" +7 ", {0x4007}},
        {"$F0,,,;$F7", {0x00F0, 0x00F7}},
        {"  $F0 ,\tHead  , joker ", {0x00F0, 0x00FD, 0x00FE}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse(c.text), c.units) << '"' << c.text << '"';
}

TEST(MessageParse, PrefillAndCapacity) {
    // The prefill covers the given count, never more than the span.
    std::array<MessageUnit, 6> buf{};
    buf.fill(0x1111);
    std::span<MessageUnit> four(buf.data(), 4);
    EXPECT_EQ(parseMessage("$1", four, 100), 1);
    EXPECT_EQ(buf[0], 0x0001);
    EXPECT_EQ(buf[1], 0x00FF);
    EXPECT_EQ(buf[3], 0x00FF);
    EXPECT_EQ(buf[4], 0x1111);  // beyond the span: untouched

    // Pieces beyond the capacity are dropped.
    buf.fill(0x1111);
    EXPECT_EQ(parseMessage("1,2,3,4,5,6,7", four, 4), 4);
    EXPECT_EQ(buf[3], 0x4004);
    EXPECT_EQ(buf[4], 0x1111);

    // A negative prefill count prefills nothing.
    buf.fill(0x1111);
    EXPECT_EQ(parseMessage("", four, -3), 0);
    EXPECT_EQ(buf[0], 0x1111);

    EXPECT_EQ(parseMessage("$F0,$F7", std::span<MessageUnit>(), 5), 0);
}

TEST(MessageFormat, Forms) {
    HexPrefixGuard guard;
    EXPECT_EQ(fmt({}), "");
    EXPECT_EQ(fmt({0x00F0, 0x00FF, 0x00F7}), "$F0,,$F7");
    EXPECT_EQ(fmt({0x00FF, 0x0041}), "$41");
    EXPECT_EQ(fmt({0x00F0, 0x00FF}), "$F0,");
    EXPECT_EQ(fmt({0x8041, 0x40F1, 0x01F0, 0x0007, 0x0000}), "$41,V3,$F0,$7,$0");
    setHexPrefixIndex(2);
    EXPECT_EQ(fmt({0x00F0, 0x0041, 0x00FD, 0x00FE, 0x00F7}), "&HF0,&H41,Head,Joker,&HF7");
    setHexPrefixIndex(0);
    EXPECT_EQ(fmt({0x0000, 0x00F5}), "0x0,Chk");

    // The count is clamped to the units there are.
    const std::vector<MessageUnit> two{0x00F0, 0x00F7};
    EXPECT_EQ(formatMessage(two, 9), "0xF0,0xF7");
    EXPECT_EQ(formatMessage(two, -4), "");
}

TEST(MessageFormat, TextRoundTrip) {
    // Every tag name and every literal byte survives text -> units -> text.
    for (int c = 0; c < 255; ++c) {
        const std::vector<MessageUnit> one{static_cast<MessageUnit>(c)};
        const std::string text = fmt(one);
        EXPECT_EQ(parse(text), one) << text;
    }
}
