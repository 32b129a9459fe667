#include "framework/config.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <tuple>

#include "support/temp_dir.h"

using sf::testsupport::TempDir;

using namespace sf;

namespace {
// The text of a settings file, its lines given separated by '|'.
std::string crlf(std::string_view lines) {
    std::string s;
    for (char c : lines) s += c == '|' ? std::string("\r\n") : std::string(1, c);
    return s + "\r\n";
}
std::string reloaded(const std::string& text) {
    Config c;
    c.loadText(text);
    return c.toText();
}
}  // namespace

TEST(Config, WritesIndentedTreeInCreationOrder) {
    Config c("Main");
    c.selectSection("General");
    c.writeInt("Width", 0, -5);
    c.writeText("Empty", 0, "");
    c.writeUnsigned("File", 3, 4000000000u);
    c.selectParent();
    c.selectPath("\\Frame Window\\Placement");
    c.writeU16("Cmd", 0, 3);
    c.selectPath("\\Frame Window");
    c.writeInt("HintMode", 0, 2);
    // A section holding only empty subsections is not written at all.
    c.selectPath("\\Ghost\\Inner\\Deeper");
    c.selectRoot();
    c.writeText("Last", 0, "x");
    EXPECT_EQ(c.toText(), crlf("Main|{|\tGeneral|\t{|\t\tWidth=-5|\t\tEmpty|\t\tFile3=4000000000|"
                               "\t}|\tFrame Window|\t{|\t\tPlacement|\t\t{|\t\t\tCmd=3|\t\t}|"
                               "\t\tHintMode=2|\t}|\tLast=x|}"));
    EXPECT_EQ(Config("Main").toText(), crlf("Main|{|}"));
}

TEST(Config, KeysAndSectionsSemantics) {
    Config c;
    // Writing twice keeps one key, in the place of the first, with the second value.
    c.writeInt("A", 0, 1);
    c.writeInt("B", 0, 2);
    c.writeInt("a", 0, 3);
    ASSERT_EQ(c.root().children().size(), 2u);
    EXPECT_EQ(c.root().children()[0]->name(), "A");
    EXPECT_EQ(c.readInt("A", 0, 0), 3);
    // A key and a section of the same name live side by side.
    c.selectSection("b");
    c.writeText("Inner", 0, "v");
    c.selectParent();
    EXPECT_EQ(c.readInt("B", 0, 0), 2);
    c.selectSection("B");
    EXPECT_EQ(c.readText("inner", 0, "?"), "v");
    // Parent at the root stays at the root; relative paths go down from the cursor.
    c.selectRoot();
    c.selectParent();
    EXPECT_EQ(&c.current(), &c.root());
    c.selectPath("x\\y");
    c.writeInt("K", 0, 7);
    c.selectPath("\\X\\Y\\");
    EXPECT_EQ(c.readInt("K", 0, 0), 7);
}

TEST(Config, ReadsWithDefaultsNumberRulesAndByteBlocks) {
    Config c;
    EXPECT_EQ(c.readInt("Missing", 0, 42), 42);
    // Present but not a number reads 0, not the default; too large saturates.
    const std::tuple<const char*, int, std::uint32_t> cases[] = {
        {"12abc", 12, 12},
        {"abc", 0, 0},
        {"-17", -17, 0xFFFFFFEFu},
        {"99999999999", 2147483647, 0xFFFFFFFFu},
        {"-2147483648", -2147483647 - 1, 0x80000000u}};
    for (const auto& [text, asInt, asUnsigned] : cases) {
        c.writeText("N", 0, text);
        EXPECT_EQ(c.readInt("N", 0, 5), asInt) << text;
        EXPECT_EQ(c.readUnsigned("N", 0, 5), asUnsigned) << text;
    }
    c.writeUnsigned("N", 0, 0x12345);
    EXPECT_EQ(c.readU16("N", 0, 0), 0x2345);  // 16-bit reads keep the low bits

    // Byte blocks are hex text; reading clears the rest of the buffer.
    using Buf = std::array<std::uint8_t, 3>;
    c.writeBytes("Blk", 0, Buf{0x01, 0xAB, 0x00});
    EXPECT_EQ(c.readText("Blk", 0, ""), "01AB00");
    const std::tuple<const char*, std::size_t, Buf> blocks[] = {
        {"01AB00", 3, {0x01, 0xAB, 0x00}},
        {" \tab1 ", 1, {0xAB}},               // lower case, blanks around, a lone last digit
        {"12G456", 1, {0x12}},                // a stray character ends the block
        {"FFEEDDCC", 3, {0xFF, 0xEE, 0xDD}},  // the buffer limits the read
    };
    for (const auto& [text, count, expected] : blocks) {
        c.writeText("Blk", 0, text);
        Buf buf{0x55, 0x55, 0x55};
        EXPECT_EQ(c.readBytes("Blk", 0, buf), count) << text;
        EXPECT_EQ(buf, expected) << text;
    }
    // Missing key: the default block, zero-padded.
    Buf out{0x77, 0x77, 0x77};
    EXPECT_EQ(c.readBytes("None", 0, out, ConstByteSpan(std::array<std::uint8_t, 2>{9, 8})), 3u);
    EXPECT_EQ(out, (Buf{9, 8, 0}));
}

TEST(Config, ReadsTheTextFormat) {
    Config c("Main");
    c.loadText(
        "  Root \n{\r\n General\r\n{\rCmd=a=b\n\tEmpty=\n  Bare  \n}\n"
        "general\n{\nX=1\n}\n"
        "Paths\nNotOpened=1\n"
        "Paths\n{\nDir=c:\\x\n}\n"
        "Hollow\n{\nInner\n{\n}\n}\n"
        "=lead\n==\n"
        "}\n");
    // The outermost section names the root, the General sections merge, "Paths" without
    // "{" is a key, a leading "=" does not split ("==" is the key "="), empty sections go.
    EXPECT_EQ(c.toText(),
              crlf("Root|{|\tGeneral|\t{|\t\tCmd=a=b|\t\tEmpty|\t\tBare|\t\tX=1|\t}|\tPaths|"
                   "\tNotOpened=1|\tPaths|\t{|\t\tDir=c:\\x|\t}|\t=lead|\t=|}"));
    c.selectSection("GENERAL");
    EXPECT_EQ(c.readText("Cmd", 0, ""), "a=b");
    EXPECT_EQ(c.readText("Empty", 0, "d"), "");
}

TEST(Config, DamagedTextLoadsPredictably) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"Main\n{\nA=1\n}\n\0B=2\n"s, crlf("Main|{|\tA=1|}")},  // a zero byte ends the text
        // Missing "}" at the end, stray "{" lines.
        {"{\nMain\n{\nS\n{\nk=1\n}\n{\n{\nv=2", crlf("Main|{|\tS|\t{|\t\tk=1|\t}|\tv=2|}")},
        // A key line followed by "{" opens a section of that name, "=" and all.
        {"Main\n{\nk=1\n{\nv=2\n}\n}", crlf("Main|{|\tk=1|\t{|\t\tv=2|\t}|}")},
        {"}\nA=1\n", crlf("Main|{|}")},  // "}" at the top level ends the text
        // Names that would read back differently as a bare line keep "name=".
        {"M\n{\n}=\n{=\nsp =\nok=\n}\n", crlf("M|{|\t}=|\t{=|\tsp =|\tok|}")},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(reloaded(text), expected) << text;
        EXPECT_EQ(reloaded(expected), expected) << text;
    }
    // Line breaks in values given by the program cannot break the file.
    Config d;
    d.writeText("Evil", 0, "x\r\n}\r\nInjected=1");
    Config e;
    e.loadText(d.toText());
    EXPECT_FALSE(e.hasKey("Injected"));
    EXPECT_EQ(e.readText("Evil", 0, ""), "x  }  Injected=1");
}

TEST(Config, DeepNestingIsCappedAndAnyTextRoundTripsAfterOneLoad) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "S\n{\nk=" + std::to_string(i) + "\n";  // never closed
    Config c;
    c.loadText(deep);
    int levels = 0;  // the root counts as one of the kMaxDepth levels
    for (const ConfigKey* k = &c.root(); (k = k->findSection("S")) != nullptr;) ++levels;
    EXPECT_EQ(levels, Config::kMaxDepth - 1);
    EXPECT_EQ(reloaded(c.toText()), c.toText());

    // Whatever a file holds, the text written after loading it reads back to the same text.
    std::mt19937 rng(1234);
    const char* pieces[] = {"a",  "B",    "=",   "{",    "}",  " ",  "\t", "\r",
                            "\n", "\r\n", "x=y", "Main", "==", "\0", "A b"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int i = 0, n = static_cast<int>(rng() % 40); i < n; ++i) {
            const char* p = pieces[rng() % std::size(pieces)];
            text += *p ? std::string(p) : std::string(1, '\0');
            if (rng() % 3 == 0) text += '\n';
        }
        const std::string once = reloaded(text);
        ASSERT_EQ(reloaded(once), once) << "input: " << text;
    }
}

TEST(Config, FileSaveAndLoad) {
    TempDir dir;
    const auto file = dir.path() / "main.set";
    {
        // A missing file gives defaults; the destructor saves.
        Config c("Main", file, true);
        EXPECT_EQ(c.readInt("HintMode", 0, 2), 2);
        c.selectPath("\\Frame Window\\Placement");
        c.writeInt("X1", 0, 50);
    }
    for (int pass = 0; pass < 2; ++pass) {  // not saved: save-when-destroyed is off
        Config c("Main", file, false);
        c.selectPath("\\frame window\\placement");
        EXPECT_EQ(c.readInt("X1", 0, 0), 50);
        c.writeInt("X1", 0, 99);
    }
    // A directory in the way: save fails quietly, nothing thrown.
    EXPECT_FALSE(Config("Main", dir.path(), false).save());
    EXPECT_FALSE(Config("Main").save());
}
