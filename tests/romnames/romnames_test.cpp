#include "source/romnames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace sf;

namespace {

std::string nameOf(const Block& b, std::size_t offset, std::size_t chars) {
    return std::string(b.begin() + static_cast<long>(offset), b.begin() + static_cast<long>(offset + chars));
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
    // New source: no parent instrument, so no child entries.
    EXPECT_EQ(romNamesShape(*r, 0).parts, 0);
    r->setU16(2056, r->u16(2056) | 0x4);
    r->setU16(2098, 0);  // parent module is module 0
    r->setU16(2094, 4);
    RomNamesShape s = romNamesShape(*r, 0);
    EXPECT_EQ(s.patches, 3);
    EXPECT_EQ(s.chars, 8);
    EXPECT_EQ(s.parts, 4);
    EXPECT_EQ(s.blockSize(), 3u * (8 + 16));
    // Another module is not the parent's one.
    EXPECT_EQ(romNamesShape(*r, 1).parts, 0);

    // A damaged record never asks for a giant or negative block.
    r->setModU16(0, rec::kModPatchesPerSubBank, 0xFFFF);  // -1
    r->setModU16(0, 2746, 30000);
    r->setU16(2094, 999);
    s = romNamesShape(*r, 0);
    EXPECT_EQ(s.patches, 0);
    EXPECT_EQ(s.chars, 128);
    EXPECT_EQ(s.parts, 16);
    EXPECT_EQ(freshRomNames({30000, 30000, 300}).size(), 2000u * (128 + 64));
}

TEST(RomNames, PlainNames) {
    // Three names fill 24 bytes, blank padded, and check clean.
    auto res = parseRomNames("Piano\r\nStrings\r\nBrass", 3, 8, 0, false);
    ASSERT_TRUE(res.block);
    ASSERT_EQ(res.block->size(), 24u);
    EXPECT_EQ(nameOf(*res.block, 0, 8), "Piano   ");
    EXPECT_EQ(nameOf(*res.block, 8, 8), "Strings ");
    EXPECT_EQ(nameOf(*res.block, 16, 8), "Brass   ");
    EXPECT_EQ(romNamesText(*res.block, {3, 8, 0}), "Piano\r\nStrings\r\nBrass\r\n");

    auto chk = parseRomNames("Piano\r\nStrings\r\nBrass", 3, 8, 0, true);
    EXPECT_FALSE(chk.block);
    EXPECT_EQ(chk.report, "");

    // A line end after the last line opens no further line; LF alone ends a line too.
    EXPECT_EQ(parseRomNames("Piano\r\nStrings\r\nBrass\r\n", 3, 8, 0, true).report, "");
    EXPECT_EQ(parseRomNames("Piano\nStrings\nBrass\n", 3, 8, 0, true).report, "");
    auto lf = parseRomNames("Piano\nStrings\r\nBrass", 3, 8, 0, false);
    EXPECT_EQ(*lf.block, *res.block);

    // Counting: one too many, one too few, an empty line counts.
    EXPECT_EQ(parseRomNames("A\r\nB\r\nC\r\nD", 3, 8, 0, true).report,
              "Wrong number of names (3 expected).\n");
    EXPECT_EQ(parseRomNames("A\r\nB", 3, 8, 0, true).report, "Wrong number of names (3 expected).\n");
    EXPECT_EQ(parseRomNames("A\r\n\r\nC", 3, 8, 0, true).report, "");
    // Lines beyond P are dropped from the block.
    auto extra = parseRomNames("A\r\nB\r\nC\r\nD", 3, 8, 0, false);
    EXPECT_EQ(extra.block->size(), 24u);
}

TEST(RomNames, TooLongNameIsCutAndReported) {
    auto res = parseRomNames("Piano\r\nSynthStrng\r\nBrass", 3, 8, 0, false);
    EXPECT_EQ(nameOf(*res.block, 8, 8), "SynthStr");
    EXPECT_EQ(parseRomNames("Piano\r\nSynthStrng\r\nBrass", 3, 8, 0, true).report,
              "The following name is too long and was truncated: SynthStrng\n");
    // Only the last offender is named; problems come in a fixed order.
    EXPECT_EQ(parseRomNames("LongName01\r\nLongName02", 3, 8, 0, true).report,
              "Wrong number of names (3 expected).\n"
              "The following name is too long and was truncated: LongName02\n");
}

TEST(RomNames, ChildEntries) {
    const RomNamesShape shape{1, 8, 2};
    auto res = parseRomNames("Combi 1 (1,0,5,2) (0,1,7,16)", shape, false);
    ASSERT_TRUE(res.block);
    const Block& b = *res.block;
    ASSERT_EQ(b.size(), 16u);
    EXPECT_EQ(nameOf(b, 0, 8), "Combi 1 ");
    EXPECT_EQ((Block{b.begin() + 8, b.end()}), (Block{0x01, 0, 5, 1, 0x03, 1, 7, 15}));
    EXPECT_EQ(romNamesText(b, shape), "Combi 1 (1,0,5,2) (0,1,7,16)\r\n");
    EXPECT_EQ(parseRomNames("Combi 1 (1,0,5,2) (0,1,7,16)", shape, true).report, "");

    // A name holding "(" still finds the entries from the end.
    auto paren = parseRomNames("Pad(x) (1,2,3,4);(1,2,3,4)", shape, false);
    EXPECT_EQ(nameOf(*paren.block, 0, 8), "Pad(x)  ");
    EXPECT_EQ(paren.block->at(15), 3);

    // Separators ; blank and tab; values clamped into their bytes.
    auto clamp = parseRomNames("X (7;300 -4\t0) (0,0,0,99)", shape, false);
    EXPECT_EQ((Block{clamp.block->begin() + 8, clamp.block->end()}),
              (Block{0x01, 255, 0, 0, 0x03, 0, 0, 15}));

    // A group with the wrong number of fields stays fresh (3, 0, 0, k).
    auto partial = parseRomNames("Y (1,2,3) (1,2,3,4,5)", shape, false);
    EXPECT_EQ((Block{partial.block->begin() + 8, partial.block->end()}),
              (Block{3, 0, 0, 0, 3, 0, 0, 1}));

    // Too few "(": the whole line is the name and the line index is reported.
    const RomNamesShape two{2, 8, 2};
    auto bad = parseRomNames("Ok (1,0,0,1) (1,0,0,1)\r\nBad (1,0,0,1)", two, false);
    EXPECT_EQ(nameOf(*bad.block, 16, 8), "Bad (1,0");
    EXPECT_EQ(parseRomNames("Ok (1,0,0,1) (1,0,0,1)\r\nBad (1,0,0,1)", two, true).report,
              "The following name is too long and was truncated: Bad (1,0,0,1)\n"
              "The child info is not properly formatted at line 1\n");
}

TEST(RomNames, TextOfStoredBlocks) {
    // Fresh records read back as fresh records.
    const RomNamesShape shape{2, 4, 3};
    const Block fresh = freshRomNames(shape);
    EXPECT_EQ(romNamesText(fresh, shape), " (0,0,0,1) (0,0,0,2) (0,0,0,3)\r\n (0,0,0,1) (0,0,0,2) (0,0,0,3)\r\n");
    EXPECT_EQ(*parseRomNames(romNamesText(fresh, shape), shape, false).block, fresh);

    // A block that no longer fits P, C and K shows nothing.
    const Block names = *parseRomNames("Piano\r\nStrings\r\nBrass", 3, 8, 0, false).block;
    EXPECT_EQ(romNamesText(names, {3, 10, 0}), "");
    EXPECT_EQ(romNamesText(names, {2, 8, 0}), "");

    // Trailing blanks and tabs go; a zero byte ends the name.
    Block odd = {'A', ' ', '\t', ' ', 'B', 0, 'C', ' '};
    EXPECT_EQ(romNamesText(odd, {2, 4, 0}), "A\r\nB\r\n");
}

TEST(RomNames, EditorFlow) {
    auto r = recordWith(3, 8);
    r->setModU16(0, rec::kModSubBankCount, 2);
    RecordingPrompter prompter;
    PatchNameEditor ed(*r, 0, 1, prompter);
    EXPECT_EQ(ed.text, "");

    ed.text = "Piano\r\nStrings\r\nBrass";
    ed.check();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "No problem found");
    EXPECT_EQ(prompter.messages[0].icon, MessageIcon::Information);

    ed.text += "\r\nOrgan";
    ed.check();
    EXPECT_EQ(prompter.messages[1].text, "Wrong number of names (3 expected).\n");
    EXPECT_EQ(prompter.messages[1].icon, MessageIcon::Stop);

    // OK with a problem asks; No keeps the dialog open and the record untouched.
    prompter.answers = {Answer::No};
    auto out = ed.ok();
    EXPECT_FALSE(out.close);
    EXPECT_EQ(out.question, "Wrong number of names (3 expected).\n\nDo you want to close anyway?");
    EXPECT_FALSE(ed.apply(*r));
    EXPECT_FALSE(r->block(0, 1));

    prompter.answers = {Answer::Yes};
    out = ed.ok();
    EXPECT_TRUE(out.close);
    ASSERT_TRUE(ed.apply(*r));
    ASSERT_TRUE(r->block(0, 1));
    EXPECT_EQ(r->block(0, 1)->size(), 24u);

    // A clean text closes without a question; reopening shows the names.
    PatchNameEditor again(*r, 0, 1, prompter);
    EXPECT_EQ(again.text, "Piano\r\nStrings\r\nBrass\r\n");
    const std::size_t asked = prompter.messages.size();
    out = again.ok();
    EXPECT_TRUE(out.close);
    EXPECT_EQ(out.question, "");
    EXPECT_EQ(prompter.messages.size(), asked);

    // Changing the name length hides the stored names.
    r->setModU16(0, 2746, 10);
    EXPECT_EQ(PatchNameEditor(*r, 0, 1, prompter).text, "");
}

TEST(RomNames, ImportNamesFile) {
    const std::string dir = ::testing::TempDir();
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary) << bytes;
        return std::filesystem::path(dir + name);
    };
    const RomNamesShape shape{2, 4, 0};
    auto good = write("good.NAM", std::string(12, 'h') + "Bass" + "Lead");
    EXPECT_EQ(importRomNamesFile(good, shape), std::optional<std::string>("Bass\r\nLead\r\n"));
    auto wrong = write("wrong.NAM", std::string(12, 'h') + "Bass");
    EXPECT_EQ(importRomNamesFile(wrong, shape), std::optional<std::string>(""));
    auto shortFile = write("short.NAM", std::string(12, 'h'));
    EXPECT_EQ(importRomNamesFile(shortFile, shape), std::nullopt);
    EXPECT_EQ(importRomNamesFile(dir + "missing.NAM", shape), std::nullopt);

    auto r = recordWith(2, 4);
    RecordingPrompter prompter;
    PatchNameEditor ed(*r, 0, 0, prompter);
    ed.text = "keep";
    EXPECT_FALSE(ed.import(shortFile));
    EXPECT_EQ(ed.text, "keep");
    EXPECT_TRUE(ed.import(good));
    EXPECT_EQ(ed.text, "Bass\r\nLead\r\n");
}
