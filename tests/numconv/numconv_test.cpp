#include "sysex/numconv.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace sf;
using F = ConverterField;

namespace {
NumericConverter at(std::uint32_t value, int size, int form = 0) {
    return NumericConverter(ConverterState{value, size, form});
}
// Every field's text: signed|unsigned|hex|bits|ASCII|Roland|nibbles.
std::string shown(const NumericConverter& c) {
    std::string out;
    for (int i = 0; i < kConverterFieldCount; ++i)
        out += (i ? "|" : "") + c.text(static_cast<ConverterField>(i));
    return out;
}
}  // namespace

TEST(NumConv, FirstOpeningAndPersistence) {
    NumericConverter c;
    EXPECT_EQ(c.size(), 32);
    // The value 0 still has one Roland group and one nibble.
    EXPECT_EQ(c.text(F::Roland) + c.text(F::Nibbles), "000");
    c.type(F::Unsigned, "300");
    c.chooseSize(16);
    c.store();
    NumericConverter next;
    EXPECT_EQ(next.value(), 300u);
    EXPECT_EQ(next.size(), 16);
    savedConverterState() = {};
}

TEST(NumConv, TypingSetsValueSizeAndOtherFields) {
    // Unsigned 200 at byte size widens to a word.
    auto c = at(0, 8);
    EXPECT_EQ(c.type(F::Unsigned, "200"), 0);
    EXPECT_EQ(c.size(), 16);
    EXPECT_EQ(shown(c), "200|200|C8|00000000-11001000||01, 48|C, 8");
    EXPECT_STREQ(c.signedRange(), "(-32768 / 32767)");
    EXPECT_STREQ(c.hexRange(), "(0 / FFFF)");
    // Beyond the 16-bit signed range the size becomes 32; it never shrinks.
    c.type(F::Hex, "8000");
    EXPECT_EQ(c.size(), 32);
    c.type(F::Unsigned, "1");
    EXPECT_EQ(c.size(), 32);
    EXPECT_EQ(c.text(F::Bits), "00000000-00000000-00000000-00000001");

    // Signed -1 at byte size keeps the byte; the typed field keeps its text.
    auto m = at(0, 8);
    m.type(F::Signed, "-1");
    EXPECT_EQ(m.size(), 8);
    EXPECT_EQ(shown(m),
              "-1|4294967295|FFFFFFFF|11111111||0F, 7F, 7F, 7F, 7F|F, F, F, F, F, F, F, F");
    m.chooseSize(8);
    EXPECT_EQ(shown(m), "-1|255|FF|11111111||01, 7F|F, F");
    EXPECT_STREQ(m.unsignedRange(), "(0 / 255)");
}

TEST(NumConv, ReadingEveryFieldKind) {
    const std::tuple<F, std::string, std::uint32_t, int> cases[] = {
        // field, text, value, beeps
        {F::Signed, "-2147483648", 0x80000000u, 0},
        {F::Signed, "99999999999", 0x7FFFFFFFu, 0},  // saturates
        {F::Unsigned, "9999999999", 0xFFFFFFFFu, 0},
        {F::Roland, "7F, 7F", 16383, 0},
        {F::Roland, "80", 0, 1},  // a group above 7F beeps and counts as 0
        {F::Roland, "01;80 02", (1u << 14) | 2u, 1},
        // Once the top 7 bits are in use the reading stops: a fifth group would overflow.
        {F::Roland, "7F 7F 7F 7F 7F 7F", 0x7FFFFFFFu >> 3, 1},
        {F::Nibbles, "1,2,3,4,5,6,7,8,9", 0x12345678u, 1},
        {F::Nibbles, "10", 0, 1},
        {F::Bits, std::string(33, '1'), 0xFFFFFFFFu, 1},
        {F::Bits, "0 1000 0001", 0x81, 0},  // blanks skipped, zeros beyond bit 31 harmless
        {F::Ascii, "A", 65, 0}};
    for (const auto& [field, text, value, beeps] : cases) {
        auto c = at(0, 32);
        EXPECT_EQ(c.type(field, text), beeps) << text;
        EXPECT_EQ(c.value(), value) << text;
    }

    auto c = at(0, 8);
    c.type(F::Bits, std::string(33, '1'));
    EXPECT_EQ(c.size(), 8);  // -1 fits a byte
    EXPECT_EQ(c.textChanged(F::Bits, "00000001-00000000"), 0);
    EXPECT_EQ(c.value(), 256u);
    EXPECT_EQ(c.textChanged(F::Bits, "1" + std::string(33, '0')), 1);
    EXPECT_EQ(c.value(), 0u);

    // ASCII only shows values up to 127.
    c.type(F::Unsigned, "127");
    EXPECT_TRUE(c.asciiEnabled() && c.text(F::Ascii) == "\x7F");
    c.type(F::Unsigned, "128");
    EXPECT_FALSE(c.asciiEnabled() || c.text(F::Ascii) != "");

    // Decimal group form reads and writes decimal groups and switches filters.
    c.chooseGroupForm(1);
    EXPECT_FALSE(c.accepts(F::Roland, 'A'));
    EXPECT_EQ(c.type(F::Roland, "1, 127"), 0);
    EXPECT_EQ(shown(c), "255|255|FF|00000000-11111111||1, 127|15, 15");  // a word since 128
    EXPECT_EQ(c.type(F::Roland, "128"), 1);
    c.chooseGroupForm(0);
    EXPECT_TRUE(c.accepts(F::Roland, 'A'));
}

TEST(NumConv, FiltersAndLimits) {
    auto c = at(0, 32);
    const std::tuple<F, const char*, const char*> filtered[] = {
        {F::Signed, "-12a3", "-123"},
        {F::Unsigned, "12345678901", "1234567890"},
        {F::Hex, "0x1fG", "01f"},
        {F::Bits, "10-01 2", "1001 "},
        {F::Ascii, "ab", "a"}};
    for (const auto& [f, in, out] : filtered) EXPECT_EQ(c.filter(f, in), out) << in;
    EXPECT_FALSE(c.accepts(F::Ascii, static_cast<char>(0xE9)));
    EXPECT_TRUE(c.accepts(F::Unsigned, '\b'));

    // Writes by the owner are not taken as typing.
    c.beginUpdate();
    EXPECT_EQ(c.textChanged(F::Unsigned, "5"), 0);
    c.endUpdate();
    EXPECT_EQ(c.value(), 0u);

    ConverterField f{};
    EXPECT_TRUE(converterFieldFromName("nibbles", f) && f == F::Nibbles);
    EXPECT_FALSE(converterFieldFromName("octal", f));
}
