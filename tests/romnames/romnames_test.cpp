#include "source/romnames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>

using namespace sf;

namespace {

std::string nameOf(const Block& b, std::size_t offset, std::size_t chars) {
    return std::string(b.begin() + static_cast<long>(offset),
                       b.begin() + static_cast<long>(offset + chars));
}

std::unique_ptr<SourceRecord> recordWith(int patches, int chars) {
    auto r = newSource();
    r->setModU16(0, rec::kModPatchesPerSubBank, static_cast<std::uint16_t>(patches));
    r->setModU16(0, 2746, static_cast<std::uint16_t>(chars));
    return r;
}

}  // namespace

TEST(RomNames, ShapeFollowsTheParentInstrument) {
    auto r = recordWith(3, 8);
    EXPECT_EQ(romNamesShape(*r, 0).parts, 0);  // no parent instrument, no child entries
    r->setU16(2056, r->u16(2056) | 0x4);
    r->setU16(2098, 0);  // parent module is module 0
    r->setU16(2094, 4);
    RomNamesShape s = romNamesShape(*r, 0);
    EXPECT_EQ(std::make_tuple(s.patches, s.chars, s.parts), std::make_tuple(3, 8, 4));
    // Another module is not the parent's one.
    EXPECT_EQ(romNamesShape(*r, 1).parts, 0);

    // A damaged record never asks for a giant or negative block (patches -1).
    r->setModU16(0, rec::kModPatchesPerSubBank, 0xFFFF);
    r->setModU16(0, 2746, 30000);
    r->setU16(2094, 999);
    s = romNamesShape(*r, 0);
    EXPECT_LE(s.blockSize(), 65535u);
    EXPECT_TRUE(freshRomNames({30000, 30000, 300}).empty());
}

TEST(RomNames, LargeSubBanksUpToWhatABlockHolds) {
    // The list driver generator declares up to 16384 patches per sub-bank.
    auto lines = [](int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t.append("N").append(std::to_string(i)).append("\r\n");
        return t;
    };
    const std::tuple<int, int, bool> cases[] = {
        {8191, 8, true}, {2001, 32, true}, {8192, 8, false}, {16384, 8, false}, {600, 128, false}};
    for (const auto& [patches, chars, fits] : cases) {
        auto r = recordWith(patches, chars);
        const RomNamesShape shape = romNamesShape(*r, 0);
        const std::string text = lines(patches);
        const RomNamesResult read = parseRomNames(text, shape, false);
        RecordingPrompter prompter;
        PatchNameEditor ed(*r, 0, 0, prompter);
        ed.text = text;
        EXPECT_EQ(ed.ok().close, fits) << patches;
        EXPECT_EQ(ed.apply(*r), fits) << patches;
        EXPECT_EQ(parseRomNames(text, shape, true).report, romNamesTooLarge(shape)) << patches;
        if (fits) {
            // Every name comes back, the last one included.
            ASSERT_TRUE(read.block) << patches;
            EXPECT_EQ(romNamesText(*read.block, shape), text);
            EXPECT_TRUE(prompter.messages.empty());
        } else {
            // Refused with a reason; nothing stored, the dialog stays open.
            EXPECT_FALSE(read.block) << patches;
            ASSERT_EQ(prompter.messages.size(), 1u);
            EXPECT_EQ(prompter.messages[0].text, romNamesTooLarge(shape));
            EXPECT_FALSE(r->block(0, rec::kSlotRomNames0));
        }
    }
    EXPECT_EQ(romNamesTooLarge({8192, 8, 0}),
              "Too many ROM patch names: 8192 names of 8 bytes need 65536 bytes, more than the "
              "65535 bytes a sub-bank can hold. Nothing was stored.\n");
    EXPECT_EQ(romNamesTooLarge({8191, 8, 0}), "");
}

TEST(RomNames, PlainNamesAndReports) {
    // Three names fill 24 bytes, blank padded; LF alone ends a line too; too long names are
    // cut and lines beyond three dropped; tabs ending a name (or the part kept) are blanks.
    const std::pair<const char*, const char*> blocks[] = {
        {"Piano\nStrings\r\nBrass", "Piano   Strings Brass   "},
        {"Piano\r\nSynthStrng\r\nBrass\r\nD", "Piano   SynthStrBrass   "},
        {"Organ\t\r\nPad\tX\t\r\nBell", "Organ   Pad\tX   Bell    "},
        {"A\r\nPad\t\t\t\t\tTail\r\nC", "A       Pad     C       "}};
    for (auto [text, names] : blocks) {
        const Block b = *parseRomNames(text, 3, 8, 0, false).block;
        EXPECT_EQ(std::string(b.begin(), b.end()), names) << text;
    }
    EXPECT_EQ(romNamesText(Block(blocks[0].second, blocks[0].second + 24), {3, 8, 0}),
              "Piano\r\nStrings\r\nBrass\r\n");
    EXPECT_FALSE(parseRomNames("Piano\r\nStrings\r\nBrass", 3, 8, 0, true).block);  // a check

    const std::string wrongCount = "Wrong number of names (3 expected).\n";
    const std::string tooLong = "The following name is too long and was truncated: ";
    const std::pair<const char*, std::string> reports[] = {
        {"Piano\r\nStrings\r\nBrass\r\n", ""},  // a last line end opens no further line
        {"Piano\nStrings\nBrass\n", ""},
        {"A\r\n\r\nC", ""},  // an empty line counts
        {"A\r\nB\r\nC\r\nD", wrongCount},
        {"A\r\nB", wrongCount},
        {"Piano\r\nSynthStrng\r\nBrass", tooLong + "SynthStrng\n"},
        // Only the last offender is named; problems come in a fixed order.
        {"LongName01\r\nLongName02", wrongCount + tooLong + "LongName02\n"},
    };
    for (const auto& [text, report] : reports)
        EXPECT_EQ(parseRomNames(text, 3, 8, 0, true).report, report) << text;
}

TEST(RomNames, ChildEntries) {
    const RomNamesShape shape{1, 8, 2};
    const std::tuple<const char*, std::string, Block> cases[] = {
        {"Combi 1 (1,0,5,2) (0,1,7,16)", "Combi 1 ", {0x01, 0, 5, 1, 0x03, 1, 7, 15}},
        // A name holding "(" still finds the entries from the end.
        {"Pad(x) (1,2,3,4);(1,2,3,4)", "Pad(x)  ", {0x01, 2, 3, 3, 0x01, 2, 3, 3}},
        // Separators ; blank and tab.
        {"X (7;3 4\t0) (0,0,0,9)", "X       ", {0x01, 3, 4, 0, 0x03, 0, 0, 8}},
        // A group with the wrong number of fields stays fresh (3, 0, 0, k).
        {"Y (1,2,3) (1,2,3,4,5)", "Y       ", {3, 0, 0, 0, 3, 0, 0, 1}},
    };
    for (const auto& [line, name, entries] : cases) {
        const Block b = parseRomNames(line, shape, false).block.value();
        ASSERT_EQ(b.size(), 16u) << line;
        EXPECT_EQ(nameOf(b, 0, 8), name);
        EXPECT_EQ((Block{b.begin() + 8, b.end()}), entries) << line;
    }
    const Block combi = *parseRomNames("Combi 1 (1,0,5,2) (0,1,7,16)", shape, false).block;
    EXPECT_EQ(romNamesText(combi, shape), "Combi 1 (1,0,5,2) (0,1,7,16)\r\n");
    EXPECT_EQ(parseRomNames("Combi 1 (1,0,5,2) (0,1,7,16)", shape, true).report, "");

    // Too few "(": the whole line is the name and the line index is reported.
    const RomNamesShape two{2, 8, 2};
    const char* text = "Ok (1,0,0,1) (1,0,0,1)\r\nBad (1,0,0,1)";
    EXPECT_EQ(nameOf(*parseRomNames(text, two, false).block, 16, 8), "Bad (1,0");
    EXPECT_EQ(parseRomNames(text, two, true).report,
              "The following name is too long and was truncated: Bad (1,0,0,1)\n"
              "The child info is not properly formatted at line 1\n");
}

TEST(RomNames, TextOfStoredBlocks) {
    // Fresh records read back as fresh records.
    const RomNamesShape shape{2, 4, 3};
    const Block fresh = freshRomNames(shape);
    EXPECT_EQ(romNamesText(fresh, shape),
              " (0,0,0,1) (0,0,0,2) (0,0,0,3)\r\n (0,0,0,1) (0,0,0,2) (0,0,0,3)\r\n");
    EXPECT_EQ(*parseRomNames(romNamesText(fresh, shape), shape, false).block, fresh);

    // A block that no longer fits P, C and K shows nothing.
    EXPECT_EQ(romNamesText(Block(24, 'n'), {3, 10, 0}), "");
    // Trailing blanks and tabs go; a zero byte ends the name.
    EXPECT_EQ(romNamesText(Block{'A', ' ', '\t', ' ', 'B', 0, 'C', ' '}, {2, 4, 0}), "A\r\nB\r\n");
}

TEST(RomNames, EditorFlow) {
    auto r = recordWith(3, 8);
    r->setModU16(0, rec::kModSubBankCount, 2);
    RecordingPrompter prompter;
    PatchNameEditor ed(*r, 0, 1, prompter);
    ed.text = "Piano\r\nStrings\r\nBrass";
    ed.check();
    ed.text += "\r\nOrgan";
    ed.check();
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, "No problem found");
    EXPECT_EQ(prompter.messages[1].icon, MessageIcon::Stop);

    // OK with a problem asks; No keeps the dialog open and the record untouched.
    prompter.answers = {Answer::No};
    auto out = ed.ok();
    EXPECT_FALSE(out.close);
    EXPECT_EQ(out.question, "Wrong number of names (3 expected).\n\nDo you want to close anyway?");
    EXPECT_FALSE(ed.apply(*r));
    EXPECT_FALSE(r->block(0, 1));

    prompter.answers = {Answer::Yes};
    EXPECT_TRUE(ed.ok().close);
    ASSERT_TRUE(ed.apply(*r));

    // A clean text closes without a question; reopening shows the names.
    PatchNameEditor again(*r, 0, 1, prompter);
    EXPECT_EQ(again.text, "Piano\r\nStrings\r\nBrass\r\n");
    out = again.ok();
    EXPECT_TRUE(out.close && out.question.empty());
    EXPECT_EQ(prompter.messages.size(), 4u);
}

TEST(RomNames, ImportNamesFile) {
    const std::string dir = ::testing::TempDir();
    const auto write = [&](const std::string& name, const std::string& bytes) {  // 12-byte header
        std::ofstream(dir + name, std::ios::binary) << std::string(12, 'h') << bytes;
        return std::filesystem::path(dir + name);
    };
    const RomNamesShape shape{2, 4, 0};
    const auto good = write("good.NAM", "BassLead"), shortFile = write("short.NAM", "");
    EXPECT_EQ(importRomNamesFile(good, shape).text, std::optional<std::string>("Bass\r\nLead\r\n"));
    for (const auto& bad : {write("wrong.NAM", "Bass"), shortFile})
        EXPECT_FALSE(importRomNamesFile(bad, shape).text) << bad;
    EXPECT_EQ(importRomNamesFile(dir + "missing.NAM", shape).problem,
              "The file missing.NAM could not be read.");

    // A file of the wrong size leaves the typed names and says what size was expected.
    auto r = recordWith(2, 4);
    RecordingPrompter prompter;
    PatchNameEditor ed(*r, 0, 0, prompter);
    ed.text = "keep";
    EXPECT_FALSE(ed.import(write("wrong.NAM", "Bass")) || ed.text != "keep");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              "The size of wrong.NAM does not fit the names of this sub-bank: the file has 16 "
              "bytes, but 2 patches of 4 characters with 0 child entries need 20 bytes (12 bytes "
              "of header and 4 bytes per name).");
    EXPECT_EQ(prompter.messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(ed.import(good) && ed.text == "Bass\r\nLead\r\n");
}
