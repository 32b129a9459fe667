// The driver comparison on pairs of sources that differ in one value of each
// kind: one row, at the right place, with both values as the tree shows them.
#include "tools/driverdiff.h"

#include <gtest/gtest.h>

#include <functional>

#include "source/romnames.h"
#include "source/valuetext.h"

namespace sf {
namespace {

using Edit = std::function<void(SourceRecord&)>;

std::unique_ptr<SourceRecord> base() {
    auto r = newSource();
    parseValue(*r, makeRef(103), "2");
    parseValue(*r, makeRef(107, 1), "Perf");
    applyChoice(*r, makeRef(108, 1), 70);
    parseValue(*r, makeRef(256, 1), "2");
    parseValue(*r, makeRef(257, 1), "2");
    parseValue(*r, makeRef(238, 1), "4");
    applyChoice(*r, makeRef(114, 1), 61);
    return r;
}

Edit typed(SettingRef ref, const char* text) {
    return [=](SourceRecord& r) { parseValue(r, ref, text); };
}
Edit chosen(SettingRef ref, int command) {
    return [=](SourceRecord& r) { applyChoice(r, ref, command); };
}
// One entry in a block of module 2 and the count that goes with it.
Edit oneOf(std::size_t count, int slot, Block block) {
    return [=](SourceRecord& r) {
        r.setModU16(1, count, 1);
        r.block(1, slot) = block;
    };
}

TEST(DriverDiff, OneDifferenceOfEachKind) {
    // Paths are checked once per kind of place: global, module, sub-bank, block, loose bytes.
    const struct {
        Edit edit;
        const char *place, *valueA, *valueB, *path = nullptr;
    } cases[] = {
        {typed(makeRef(4), "Synth"), "4", "", "Synth", "General settings / Identification / Name"},
        {typed(makeRef(9), "113"), "9", "100", "113"},
        {typed(makeRef(12), "$41"), "12", "$0", "$41"},
        {chosen(makeRef(27), 71), "27", "None", "Regular checksum (sum & 127)"},
        {chosen(makeRef(116, 1), 61), "116:1", "No", "Yes",
         "Module 2 / Global settings / Use checksum"},
        {typed(makeRef(35), "$F0, $F7"), "35", "", "$F0,$F7"},
        {typed(makeRef(158, 1), "01, 00"), "158:1", "00", "01, 00"},
        {typed(makeRef(262, 1, 1), "ROM"), "262:1:1", "", "ROM",
         "Module 2 / Bank handling / Sub-bank definitions / Sub-bank #2 / Name"},
        {[](auto& r) {
             storeRomNames(r, 1, 0, *parseRomNames("A\r\nB\r\n", romNamesShape(r, 1), false).block);
         },
         "265:1:0", "no names", "2 names"},
        {oneOf(rec::kModConverterCount, rec::kSlotConverter, {1, 0, 0, 0, 0, 0, 0, 0, 5, 0}),
         "305:1", "0 operations, final size 0", "1 operation, final size 0"},
        {oneOf(rec::kModTemplateCount, rec::kSlotTemplates, Block(28, 1)), "307:1", "0 templates",
         "1 template",
         "Module 2 / Patch handling / Macro editor / Macros / Parameters / Templates"},
        {[](auto& r) { r.block(1, rec::kSlotReserved) = Block{7}; }, "307:1", "none", "1 byte"},
        {[](auto& r) { r.setModU16(0, rec::kModMacroFilter, 2); }, "307:0", "reference 0, offset 0",
         "reference 3, offset 0"},
        {[](auto& r) { r.setU16(2532, 0x1234); }, "@G+2532", "00 00", "34 12",
         "Bytes without a setting"},
        {[](auto& r) { typed(makeRef(103), "3")(r), typed(makeRef(107, 2), "Drums")(r); }, "105:2",
         "(no module)", "Drums", "Module 3"}};
    for (const auto& c : cases) {
        const auto a = base();
        auto b = base();
        c.edit(*b);
        const auto rows = diffSources(*a, *b);
        // "Number of modules" differs along with the added module.
        const std::size_t expected = std::string(c.place) == "105:2" ? 2 : 1;
        ASSERT_EQ(rows.size(), expected) << c.place;
        const DiffRow& row = rows.back();
        EXPECT_EQ(row.place, c.place) << c.place;
        EXPECT_TRUE(!c.path || row.path == c.path) << c.place << ": " << row.path;
        EXPECT_EQ(row.valueA, c.valueA) << c.place;
        EXPECT_EQ(row.valueB, c.valueB) << c.place;
        // And the other way round.
        const auto back = diffSources(*b, *a);
        ASSERT_EQ(back.size(), expected) << c.place;
        EXPECT_EQ(back.back().valueA, c.valueB) << c.place;
    }
}

TEST(DriverDiff, EqualSourcesWhatTheFileDoesNotKeepAndEqualSummaries) {
    EXPECT_TRUE(diffSources(*base(), *base()).empty());
    // Data of a module the file does not keep (after an unnamed one) and ROM
    // names of a sub-bank beyond the count are not compared.
    auto a = base(), b = base();
    b->setText(rec::moduleBase(1), rec::kModNameSize, "");
    a->setText(rec::moduleBase(1), rec::kModNameSize, "");
    b->setU16(rec::moduleBase(1) + 216, 77);
    a->block(0, rec::kSlotRomNames0 + 5) = Block{1, 2, 3};
    EXPECT_TRUE(diffSources(*a, *b).empty());
    // The same summary still shows that the block differs.
    a = base(), b = base();
    a->block(1, rec::kSlotReserved) = Block{1};
    b->block(1, rec::kSlotReserved) = Block{2};
    const auto rows = diffSources(*a, *b);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].valueA + " / " + rows[0].valueB, "1 byte / 1 byte (other content)");
}

}  // namespace
}  // namespace sf
