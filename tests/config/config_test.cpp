#include "framework/config.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

using namespace sf;

namespace {

std::string crlf(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

std::filesystem::path tempDir() {
    auto d = std::filesystem::temp_directory_path() /
             ("sf_config_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
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

    EXPECT_EQ(c.toText(), crlf({"Main", "{", "\tGeneral", "\t{", "\t\tWidth=-5", "\t\tEmpty",
                                "\t\tFile3=4000000000", "\t}", "\tFrame Window", "\t{",
                                "\t\tPlacement", "\t\t{", "\t\t\tCmd=3", "\t\t}",
                                "\t\tHintMode=2", "\t}", "\tLast=x", "}"}));

    // An empty store is just the root.
    EXPECT_EQ(Config("Main").toText(), crlf({"Main", "{", "}"}));
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
    EXPECT_EQ(c.root().children().size(), 3u);
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

TEST(Config, ReadsWithDefaultsAndNumberRules) {
    Config c;
    EXPECT_EQ(c.readInt("Missing", 0, 42), 42);
    EXPECT_EQ(c.readText("Missing", 0, "d"), "d");
    EXPECT_EQ(c.readU16("Missing", 0, 7), 7);

    c.writeText("N", 0, "12abc");
    EXPECT_EQ(c.readInt("N", 0, 0), 12);
    c.writeText("N", 0, "abc");
    EXPECT_EQ(c.readInt("N", 0, 5), 0);  // present but not a number: 0, not the default
    c.writeText("N", 0, "-17");
    EXPECT_EQ(c.readInt("N", 0, 0), -17);
    EXPECT_EQ(c.readUnsigned("N", 0, 0), 0xFFFFFFEFu);
    c.writeText("N", 0, "99999999999");
    EXPECT_EQ(c.readInt("N", 0, 0), 2147483647);
    EXPECT_EQ(c.readUnsigned("N", 0, 0), 0xFFFFFFFFu);
    c.writeUnsigned("N", 0, 0x12345);
    EXPECT_EQ(c.readU16("N", 0, 0), 0x2345);  // 16-bit reads keep the low bits
    c.writeInt("Min", 0, -2147483647 - 1);
    EXPECT_EQ(c.readInt("Min", 0, 0), -2147483647 - 1);
}

TEST(Config, ByteBlocks) {
    Config c;
    const std::array<std::uint8_t, 4> data{0x01, 0xAB, 0x00, 0xF0};
    c.writeBytes("Blk", 0, data);
    EXPECT_EQ(c.readText("Blk", 0, ""), "01AB00F0");

    std::array<std::uint8_t, 6> buf{};
    buf.fill(0x55);
    EXPECT_EQ(c.readBytes("Blk", 0, buf), 4u);
    EXPECT_EQ(buf, (std::array<std::uint8_t, 6>{0x01, 0xAB, 0x00, 0xF0, 0, 0}));

    // Lower case digits, blanks around, a lone last digit and a stray character.
    c.writeText("Blk", 0, " \tab1 ");
    buf.fill(0x55);
    EXPECT_EQ(c.readBytes("Blk", 0, buf), 1u);
    EXPECT_EQ(buf[0], 0xAB);
    EXPECT_EQ(buf[1], 0);
    c.writeText("Blk", 0, "12G456");
    EXPECT_EQ(c.readBytes("Blk", 0, buf), 1u);
    EXPECT_EQ(buf[1], 0);

    // The buffer limits the read.
    std::array<std::uint8_t, 1> one{};
    c.writeText("Blk", 0, "FFEE");
    EXPECT_EQ(c.readBytes("Blk", 0, one), 1u);
    EXPECT_EQ(one[0], 0xFF);

    // Missing key: default block, or zeroes and 0.
    const std::array<std::uint8_t, 2> def{9, 8};
    std::array<std::uint8_t, 3> out{};
    out.fill(0x77);
    EXPECT_EQ(c.readBytes("None", 0, out, ConstByteSpan(def)), 3u);
    EXPECT_EQ(out, (std::array<std::uint8_t, 3>{9, 8, 0}));
    out.fill(0x77);
    EXPECT_EQ(c.readBytes("None", 0, out), 0u);
    EXPECT_EQ(out, (std::array<std::uint8_t, 3>{0, 0, 0}));
}

TEST(Config, ReadsTheTextFormat) {
    Config c("Main");
    // Mixed line ends, indentation and blanks, case-insensitive section names,
    // "=" inside values, a key and a section both called Paths.
    c.loadText(
        "  Root \n{\r\n General\r\n{\rCmd=a=b\n\tEmpty=\n  Bare  \n}\n"
        "general\n{\nX=1\n}\n"
        "Paths\nNotOpened=1\n"
        "Paths\n{\nDir=c:\\x\n}\n"
        "Hollow\n{\nInner\n{\n}\n}\n"
        "=lead\n==\n"
        "}\n");
    EXPECT_EQ(c.root().name(), "Root");  // the outermost section names the root
    c.selectSection("GENERAL");
    EXPECT_EQ(c.readText("Cmd", 0, ""), "a=b");
    EXPECT_TRUE(c.hasKey("Empty"));
    EXPECT_EQ(c.readText("Empty", 0, "d"), "");
    EXPECT_EQ(c.readText("Bare", 0, "d"), "");
    EXPECT_EQ(c.readInt("X", 0, 0), 1);
    c.selectRoot();
    // "Paths" not followed by "{" is a key with an empty value.
    EXPECT_TRUE(c.hasKey("Paths"));
    EXPECT_EQ(c.readInt("NotOpened", 0, 0), 1);
    c.selectSection("Paths");
    EXPECT_EQ(c.readText("Dir", 0, ""), "c:\\x");
    c.selectRoot();
    // "=" as the first character does not split; "==" gives the key "=".
    EXPECT_TRUE(c.hasKey("=lead"));
    EXPECT_TRUE(c.hasKey("="));
    // Empty sections are removed after loading.
    EXPECT_EQ(c.root().findSection("Hollow"), nullptr);
    // One "General" section only.
    int generals = 0;
    for (const auto& k : c.root().children())
        if (k->isSection() && k->name() == "General") ++generals;
    EXPECT_EQ(generals, 1);
}

TEST(Config, TextEndsAtZeroByteAndStrayBraces) {
    Config c;
    using namespace std::string_literals;
    c.loadText("Main\n{\nA=1\n}\n\0B=2\n"s);
    EXPECT_EQ(c.readInt("A", 0, 0), 1);
    EXPECT_FALSE(c.hasKey("B"));

    // Unbalanced input: missing "}" at the end, stray "{" lines, "}" at the top level.
    c.loadText("{\nMain\n{\nS\n{\nk=1\n}\n{\n{\nv=2");
    EXPECT_EQ(c.readInt("v", 0, 0), 2);
    c.selectSection("S");
    EXPECT_EQ(c.readInt("k", 0, 0), 1);
    // A key line followed by "{" opens a section of that name, "=" and all.
    c.loadText("Main\n{\nk=1\n{\nv=2\n}\n}");
    EXPECT_FALSE(c.hasKey("k"));
    c.selectSection("k=1");
    EXPECT_EQ(c.readInt("v", 0, 0), 2);
    c.loadText("}\nA=1\n");
    EXPECT_FALSE(c.hasKey("A"));
}

TEST(Config, KeysThatCannotBeWrittenBareKeepTheirEquals) {
    // Names that would read back differently as a bare line get "name=".
    Config c;
    c.loadText("M\n{\n}=\n{=\nsp =\nok=\n}\n");
    const std::string text = c.toText();
    EXPECT_EQ(text, crlf({"M", "{", "\t}=", "\t{=", "\tsp =", "\tok", "}"}));
    Config again;
    again.loadText(text);
    EXPECT_EQ(again.toText(), text);

    // Line breaks in values given by the program cannot break the file.
    Config d;
    d.writeText("Evil", 0, "x\r\n}\r\nInjected=1");
    Config e;
    e.loadText(d.toText());
    EXPECT_FALSE(e.hasKey("Injected"));
    EXPECT_EQ(e.readText("Evil", 0, ""), "x  }  Injected=1");
}

TEST(Config, DeepNestingIsCappedAndRoundTrips) {
    std::string text;
    const int depth = 5000;
    for (int i = 0; i < depth; ++i) text += "S\n{\nk=" + std::to_string(i) + "\n";
    Config c;
    c.loadText(text);  // no closing braces at all
    const std::string once = c.toText();
    // The tree stops at the cap: kMaxDepth levels of sections (the root included).
    int levels = 0;
    const ConfigKey* k = &c.root();
    while ((k = k->findSection("S")) != nullptr) ++levels;
    EXPECT_EQ(levels, Config::kMaxDepth - 1);
    Config again;
    again.loadText(once);
    EXPECT_EQ(again.toText(), once);
}

TEST(Config, RandomTextRoundTripsAfterOneLoad) {
    // Whatever a file holds, the text written after loading it reads back to
    // the same text.
    std::mt19937 rng(1234);
    const char* pieces[] = {"a", "B", "=", "{", "}", " ", "\t", "\r", "\n", "\r\n", "x=y",
                            "Main", "==", "\0", "A b", "="};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            const char* p = pieces[rng() % std::size(pieces)];
            if (*p == 0)
                text += '\0';
            else
                text += p;
            if (rng() % 3 == 0) text += '\n';
        }
        Config c;
        c.loadText(text);
        const std::string once = c.toText();
        Config d;
        d.loadText(once);
        ASSERT_EQ(d.toText(), once) << "input: " << text;
    }
}

TEST(Config, FileSaveAndLoad) {
    const auto dir = tempDir();
    const auto file = dir / "main.set";
    std::filesystem::remove(file);
    {
        // A missing file gives defaults; the destructor saves.
        Config c("Main", file, true);
        EXPECT_EQ(c.readInt("HintMode", 0, 2), 2);
        c.selectPath("\\Frame Window\\Placement");
        c.writeInt("X1", 0, 50);
    }
    ASSERT_TRUE(std::filesystem::exists(file));
    {
        Config c("Main", file, false);
        c.selectPath("\\frame window\\placement");
        EXPECT_EQ(c.readInt("X1", 0, 0), 50);
        c.writeInt("X1", 0, 99);  // not saved: save-when-destroyed is off
    }
    {
        Config c("Main", file, false);
        c.selectPath("\\Frame Window\\Placement");
        EXPECT_EQ(c.readInt("X1", 0, 0), 50);
    }
    // A directory in the way: save fails quietly, nothing thrown.
    Config bad("Main", dir, false);
    EXPECT_FALSE(bad.save());
    EXPECT_FALSE(Config("Main").save());
    std::filesystem::remove_all(dir);
}
