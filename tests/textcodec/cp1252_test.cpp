#include "framework/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace sf {
namespace {

struct Case {
    const char* name;
    std::string in;
    std::string out;
};

TEST(Cp1252, EscapedOutputOfEveryByteClass) {
    const Case cases[] = {
        {"empty", "", ""},
        {"control bytes, zero and delete", std::string("a\x01\tb\x1F\0\x7F", 7),
         "a\\x01\\x09b\\x1F\\x00\\x7F"},
        {"backslash is escaped so output is unambiguous", "C:\\x", "C:\\x5Cx"},
        {"the five undefined bytes", "\x81\x8D\x8F\x90\x9D", "\\x81\\x8D\\x8F\\x90\\x9D"},
        {"euro, curly quotes, Y diaeresis at 0x9F", "\x80\x93q\x94\x9F",
         "\xE2\x82\xAC\xE2\x80\x9Cq\xE2\x80\x9D\xC5\xB8"},
        {"no-break space and Latin-1 letters", "\xA0\xE9\xFF", "\xC2\xA0\xC3\xA9\xC3\xBF"},
        {"tilde and blank stay", "~ ", "~ "},
    };
    for (const auto& c : cases) EXPECT_EQ(cp1252ToEscapedUtf8(c.in), c.out) << c.name;
}

TEST(Cp1252, PlainConversionKeepsUndefinedBytesAsC1Controls) {
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(cp1252ToUtf8(std::string("a\0\x01", 3)), std::string("a\0\x01", 3));
    EXPECT_EQ(cp1252ToUtf8("\x8A\x99"), "\xC5\xA0\xE2\x84\xA2");
}

TEST(Cp1252, TypedUtf8ToBytes) {
    const Case cases[] = {
        {"ASCII", "Strings", "Strings"},
        {"trade mark", "\xE2\x84\xA2", "\x99"},
        {"no byte for CJK", "\xE6\x97\xA5", "?"},
        {"no byte for emoji (4-byte form)", "a\xF0\x9F\x8E\xB9z", "a?z"},
        {"C1 control of an undefined byte", "\xC2\x9D", "\x9D"},
        {"C1 control of a defined byte has none", "\xC2\x80", "?"},
        {"truncated sequence then ASCII", "\xE2\x82\x41", "??A"},
        // A lone continuation, an overlong slash, a surrogate, above U+10FFFF, a bad lead.
        {"invalid sequences", "\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xFF", "???????????"},
        {"sequence cut at end of text", "ab\xC3", "ab?"},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8ToCp1252(c.in), c.out) << c.name;
}

TEST(Cp1252, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(cp1252ByteOf(cp1252CodePoint(static_cast<unsigned char>(b))), b);
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(byte)), byte) << b;
    }
    EXPECT_EQ(cp1252ByteOf(0xFFFD), -1);
    EXPECT_EQ(cp1252ByteOf(0x0100), -1);
}

}  // namespace
}  // namespace sf
