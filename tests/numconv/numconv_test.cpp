#include "sysex/numconv.h"

#include <gtest/gtest.h>

using namespace sf;
using F = ConverterField;

namespace {

NumericConverter at(std::uint32_t value, int size, int form = 0) {
    return NumericConverter(ConverterState{value, size, form});
}

}  // namespace

TEST(NumConv, FirstOpeningAndPersistence) {
    NumericConverter c;
    EXPECT_EQ(c.value(), 0u);
    EXPECT_EQ(c.size(), 32);
    EXPECT_EQ(c.groupForm(), 0);
    // The value 0 still has one Roland group and one nibble.
    EXPECT_EQ(c.text(F::Roland), "00");
    EXPECT_EQ(c.text(F::Nibbles), "0");
    EXPECT_EQ(c.text(F::Ascii), "");
    EXPECT_FALSE(c.asciiEnabled());

    c.type(F::Unsigned, "300");
    c.chooseSize(16);
    c.store();
    NumericConverter next;
    EXPECT_EQ(next.value(), 300u);
    EXPECT_EQ(next.size(), 16);
    savedConverterState() = {};
}

TEST(NumConv, UnsignedTypingWidensByteToWord) {
    auto c = at(0, 8);
    EXPECT_EQ(c.type(F::Unsigned, "200"), 0);
    EXPECT_EQ(c.size(), 16);
    EXPECT_EQ(c.text(F::Signed), "200");
    EXPECT_EQ(c.text(F::Hex), "C8");
    EXPECT_EQ(c.text(F::Bits), "00000000-11001000");
    EXPECT_EQ(c.text(F::Roland), "01, 48");
    EXPECT_EQ(c.text(F::Nibbles), "C, 8");
    EXPECT_STREQ(c.signedRange(), "(-32768 / 32767)");
    EXPECT_STREQ(c.hexRange(), "(0 / FFFF)");

    // Beyond the 16-bit signed range the size becomes 32; it never shrinks.
    c.type(F::Hex, "8000");
    EXPECT_EQ(c.size(), 32);
    c.type(F::Unsigned, "1");
    EXPECT_EQ(c.size(), 32);
    EXPECT_EQ(c.text(F::Bits), "00000000-00000000-00000000-00000001");
}

TEST(NumConv, SignedMinusOneAtByteSize) {
    auto c = at(0, 8);
    c.type(F::Signed, "-1");
    EXPECT_EQ(c.size(), 8);
    EXPECT_EQ(c.text(F::Signed), "-1");  // the typed field keeps its text
    EXPECT_EQ(c.text(F::Unsigned), "4294967295");
    EXPECT_EQ(c.text(F::Hex), "FFFFFFFF");
    EXPECT_EQ(c.text(F::Bits), "11111111");
    EXPECT_EQ(c.text(F::Roland), "0F, 7F, 7F, 7F, 7F");
    c.chooseSize(8);
    EXPECT_EQ(c.value(), 255u);
    EXPECT_EQ(c.text(F::Signed), "-1");
    EXPECT_EQ(c.text(F::Unsigned), "255");
    EXPECT_STREQ(c.unsignedRange(), "(0 / 255)");

    // Signed reading at the ends of the 32-bit range, and saturating past them.
    auto d = at(0, 32);
    d.type(F::Signed, "-2147483648");
    EXPECT_EQ(d.value(), 0x80000000u);
    d.type(F::Signed, "99999999999");
    EXPECT_EQ(d.value(), 0x7FFFFFFFu);
    d.type(F::Unsigned, "9999999999");
    EXPECT_EQ(d.value(), 0xFFFFFFFFu);
    d.type(F::Signed, "-");
    EXPECT_EQ(d.value(), 0u);
}

TEST(NumConv, RolandAndNibbleReading) {
    auto c = at(0, 32);
    EXPECT_EQ(c.type(F::Roland, "7F, 7F"), 0);
    EXPECT_EQ(c.value(), 16383u);
    EXPECT_EQ(c.text(F::Hex), "3FFF");

    // A group above 7F beeps and counts as 0.
    EXPECT_EQ(c.type(F::Roland, "80"), 1);
    EXPECT_EQ(c.value(), 0u);
    EXPECT_EQ(c.type(F::Roland, "01;80 02"), 1);
    EXPECT_EQ(c.value(), (1u << 14) | 2u);

    // Once the top 7 bits are in use the reading stops with a beep.
    EXPECT_EQ(c.type(F::Roland, "7F 7F 7F 7F 7F 7F"), 1);
    EXPECT_EQ(c.value(), 0x7FFFFFFFu >> 3);  // four groups taken: a fifth would overflow
    EXPECT_EQ(c.type(F::Nibbles, "1,2,3,4,5,6,7,8,9"), 1);
    EXPECT_EQ(c.value(), 0x12345678u);
    EXPECT_EQ(c.type(F::Nibbles, "10"), 1);
    EXPECT_EQ(c.value(), 0u);

    // Decimal group form reads and writes decimal groups and switches filters.
    c.chooseGroupForm(1);
    EXPECT_FALSE(c.accepts(F::Roland, 'A'));
    EXPECT_EQ(c.type(F::Roland, "1, 127"), 0);
    EXPECT_EQ(c.value(), 255u);
    EXPECT_EQ(c.text(F::Nibbles), "15, 15");
    EXPECT_EQ(c.type(F::Roland, "128"), 1);
    c.chooseGroupForm(0);
    EXPECT_TRUE(c.accepts(F::Roland, 'A'));
}

TEST(NumConv, BitsReading) {
    auto c = at(0, 8);
    EXPECT_EQ(c.type(F::Bits, std::string(33, '1')), 1);
    EXPECT_EQ(c.value(), 4294967295u);
    EXPECT_EQ(c.size(), 8);  // -1 fits a byte
    // Zeros beyond bit 31 are harmless; blanks and dashes are skipped.
    EXPECT_EQ(c.type(F::Bits, "0 1000 0001"), 0);
    EXPECT_EQ(c.value(), 0x81u);
    EXPECT_EQ(c.size(), 16);
    EXPECT_EQ(c.textChanged(F::Bits, "00000001-00000000"), 0);
    EXPECT_EQ(c.value(), 256u);
    EXPECT_EQ(c.textChanged(F::Bits, "1" + std::string(33, '0')), 1);
    EXPECT_EQ(c.value(), 0u);
}

TEST(NumConv, AsciiField) {
    auto c = at(0, 32);
    c.type(F::Ascii, "A");
    EXPECT_EQ(c.value(), 65u);
    EXPECT_TRUE(c.asciiEnabled());
    c.type(F::Unsigned, "127");
    EXPECT_EQ(c.text(F::Ascii), "\x7F");
    c.type(F::Unsigned, "128");
    EXPECT_EQ(c.text(F::Ascii), "");
    EXPECT_FALSE(c.asciiEnabled());
    c.type(F::Ascii, "");
    EXPECT_EQ(c.value(), 0u);
}

TEST(NumConv, FiltersAndLimits) {
    auto c = at(0, 32);
    EXPECT_EQ(c.filter(F::Signed, "-12a3"), "-123");
    EXPECT_EQ(c.filter(F::Unsigned, "12345678901"), "1234567890");
    EXPECT_EQ(c.filter(F::Hex, "0x1fG"), "01f");
    EXPECT_EQ(c.filter(F::Bits, "10-01 2"), "1001 ");
    EXPECT_EQ(c.filter(F::Ascii, "ab"), "a");
    EXPECT_FALSE(c.accepts(F::Ascii, static_cast<char>(0xE9)));
    EXPECT_TRUE(c.accepts(F::Unsigned, '\b'));
    EXPECT_EQ(NumericConverter::limit(F::Bits), 35);
    EXPECT_EQ(NumericConverter::limit(F::Nibbles), 31);

    // Writes by the owner are not taken as typing.
    c.beginUpdate();
    EXPECT_EQ(c.textChanged(F::Unsigned, "5"), 0);
    c.endUpdate();
    EXPECT_EQ(c.value(), 0u);

    ConverterField f{};
    EXPECT_TRUE(converterFieldFromName("nibbles", f));
    EXPECT_EQ(f, F::Nibbles);
    EXPECT_FALSE(converterFieldFromName("octal", f));
}
