#include <gtest/gtest.h>

#include <map>

#include "source/record.h"
#include "source/schema.h"

namespace sf {
namespace {

std::size_t base(int m) { return rec::moduleBase(m); }

void setFlags(SourceRecord& r, int m, std::uint16_t w) { r.setU16(base(m) + rec::kModFlags, w); }

bool enabled(const SourceRecord& r, int id, int i1 = -1, int i2 = -1) {
    return isEnabled(r, makeRef(id, i1, i2));
}

TEST(SchemaRules, ModuleUse) {
    auto r = newSource();
    setFlags(*r, 0, 0x08);
    EXPECT_EQ(moduleUse(*r, 0), ModuleUse::DumpAndNames);
    setFlags(*r, 0, 0x48);
    EXPECT_EQ(moduleUse(*r, 0), ModuleUse::NamesOnly);
    setFlags(*r, 0, 0x00);
    EXPECT_EQ(moduleUse(*r, 0), ModuleUse::DumpOnly);
    // The names bit without the dump bit still means "only dump memory".
    setFlags(*r, 0, 0x40);
    EXPECT_EQ(moduleUse(*r, 0), ModuleUse::DumpOnly);
    EXPECT_FALSE(enabled(*r, 109, 0));       // use is not D
    EXPECT_TRUE(enabled(*r, 116, 0));        // use is not N
    EXPECT_FALSE(enabled(*r, 288, 0));       // use is D+N
    // Out-of-range modules neither crash nor enable anything conditional.
    EXPECT_EQ(moduleUse(*r, 16), ModuleUse::DumpOnly);
    EXPECT_EQ(moduleUse(*r, -1), ModuleUse::DumpOnly);
    EXPECT_FALSE(enabled(*r, 116, 16));
    // Rows without Conditional are always enabled.
    EXPECT_TRUE(enabled(*r, 107, 0));
    EXPECT_TRUE(enabled(*r, 9));
    // Conditional rows without a rule keep their (enabled) state.
    EXPECT_TRUE(enabled(*r, 119, 0));
    EXPECT_TRUE(enabled(*r, 158, 0));
    EXPECT_FALSE(enabled(*r, 308));
}

TEST(SchemaRules, SubBankCount) {
    auto r = newSource();
    setFlags(*r, 1, 0x08);
    r->setModU16(1, rec::kModSubBankCount, 5);
    // Sub-bank 5 is off at a count of 5 whatever its own rule says.
    EXPECT_TRUE(enabled(*r, 260, 1, 4));
    EXPECT_FALSE(enabled(*r, 260, 1, 5));
    EXPECT_FALSE(enabled(*r, 262, 1, 5));
    EXPECT_FALSE(enabled(*r, 267, 1, 5));
    r->setModU16(1, rec::kModSubBankCount, 6);
    EXPECT_TRUE(enabled(*r, 262, 1, 5));
    // ROM-only rows need type 2; selectable rows the clear bit of 267 (L4).
    EXPECT_FALSE(enabled(*r, 264, 1, 5));
    r->setU16(*wordField(*r, makeRef(261, 1, 5)), 2);
    EXPECT_TRUE(enabled(*r, 264, 1, 5));
    EXPECT_TRUE(enabled(*r, 265, 1, 5));
    EXPECT_FALSE(enabled(*r, 264, 1, 4));
    EXPECT_TRUE(enabled(*r, 268, 1, 5));
    r->setU16(*wordField(*r, makeRef(267, 1, 5)), 0x4);
    EXPECT_FALSE(enabled(*r, 268, 1, 5));
    // A negative or bad count disables all sub-banks, and bad indices too.
    r->setModU16(1, rec::kModSubBankCount, 0xFFFF);
    EXPECT_FALSE(enabled(*r, 260, 1, 0));
    r->setModU16(1, rec::kModSubBankCount, 16);
    EXPECT_TRUE(enabled(*r, 260, 1, 15));
    EXPECT_FALSE(enabled(*r, 260, 1, 16));
    EXPECT_FALSE(enabled(*r, 260, 1, -1));
    // Names-free modules show no sub-banks at all.
    setFlags(*r, 1, 0x00);
    EXPECT_FALSE(enabled(*r, 260, 1, 0));
}

TEST(SchemaRules, ComplexLoopAndOthers) {
    auto r = newSource();
    setFlags(*r, 0, 0x08);
    for (int id = 148; id <= 157; ++id) EXPECT_TRUE(enabled(*r, id, 0)) << id;
    for (int id = 162; id <= 173; ++id) EXPECT_FALSE(enabled(*r, id, 0, 3)) << id;
    r->setModU16(0, rec::kModPacketFlags, 0x2);  // Use complex loop: Yes
    for (int id = 148; id <= 157; ++id) EXPECT_FALSE(enabled(*r, id, 0)) << id;
    for (int id = 162; id <= 173; ++id) EXPECT_TRUE(enabled(*r, id, 0, 3)) << id;
    EXPECT_TRUE(enabled(*r, 161, 0));
    // Module 1 is unaffected by module 0's settings.
    setFlags(*r, 1, 0x08);
    EXPECT_TRUE(enabled(*r, 149, 1));

    // Global: the single instrument is on in a new source; the parent is off.
    EXPECT_TRUE(enabled(*r, 47));
    EXPECT_FALSE(enabled(*r, 52));
    EXPECT_FALSE(enabled(*r, 62));
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x4);
    EXPECT_TRUE(enabled(*r, 62));
    // Mute type "Byte" (0) in a new source enables 95 and 99, 100 needs 99.
    EXPECT_TRUE(enabled(*r, 95));
    EXPECT_TRUE(enabled(*r, 99));
    EXPECT_FALSE(enabled(*r, 100));
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x10);
    EXPECT_TRUE(enabled(*r, 100));
    EXPECT_TRUE(enabled(*r, 101));  // no selection bits: custom message
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x100);
    EXPECT_FALSE(enabled(*r, 101));
    // Sysex ID rows follow the type flag.
    EXPECT_TRUE(enabled(*r, 22));
    r->setU16(14, 1);
    EXPECT_FALSE(enabled(*r, 22));

    // Message counts, structures and special patch selection.
    EXPECT_FALSE(enabled(*r, 207, 0));
    r->setU16(messageField(*r, makeRef(206, 0))->count, 2);
    EXPECT_TRUE(enabled(*r, 207, 0));
    r->setModU16(0, rec::kModStructure, 7);
    EXPECT_FALSE(enabled(*r, 177, 0));
    r->setModU16(0, rec::kModStructure, 5);
    EXPECT_TRUE(enabled(*r, 184, 0));
    EXPECT_TRUE(enabled(*r, 290, 0));
    EXPECT_FALSE(enabled(*r, 185, 0));
    EXPECT_TRUE(enabled(*r, 258, 0));  // neither selection bit: "Special"
    setFlags(*r, 0, 0x08 | 0x20);
    EXPECT_FALSE(enabled(*r, 258, 0));
    // Macro editor rows need exactly 1.
    EXPECT_FALSE(enabled(*r, 307, 0));
    r->setModU16(0, rec::kModHasMacro, 1);
    EXPECT_TRUE(enabled(*r, 307, 0));
    r->setModU16(0, rec::kModHasMacro, 2);
    EXPECT_FALSE(enabled(*r, 307, 0));
}

TEST(SchemaTree, RowsOfNewAndThreeModuleSources) {
    auto r = newSource();
    const auto rows = buildTreeRows(*r);
    // 304 settings: 103 global ones (31 ten times), 201 per module with
    // packets x10 (4 rows), loop sets x8 (11 rows), two help lines x10,
    // sub-banks x16 (12 rows).
    const std::size_t global = 103 + 9;
    const std::size_t perModule = 201 + 9 * 4 + 7 * 11 + 2 * 9 + 15 * 12;
    EXPECT_EQ(rows.size(), global + perModule);
    EXPECT_EQ(rows.front().ref.id, 1);
    EXPECT_EQ(rows.front().depth, 0);

    r->setU16(rec::kModuleCount, 3);
    const auto three = buildTreeRows(*r);
    EXPECT_EQ(three.size(), global + 3 * perModule);
    std::vector<std::string> labels;
    std::map<int, int> count;
    for (const auto& row : three) {
        ++count[row.ref.id];
        if (row.ref.id == 105) labels.push_back(rowLabel(row.ref));
        if (isModuleSetting(row.ref.id)) {
            EXPECT_GE(row.ref.index1, 0);
        }
        EXPECT_EQ(row.ref.index3, -1);
        EXPECT_EQ(row.depth, row.ref.item->depth);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Module 1", "Module 2", "Module 3"}));
    EXPECT_EQ(count[31], 10);
    EXPECT_EQ(count[128], 30);
    EXPECT_EQ(count[131], 3);
    EXPECT_EQ(count[171], 24);
    EXPECT_EQ(count[199], 30);
    EXPECT_EQ(count[265], 48);
    EXPECT_EQ(count[307], 3);

    // Module counts outside 1..16 are clamped.
    r->setU16(rec::kModuleCount, 0);
    EXPECT_EQ(buildTreeRows(*r).size(), global + perModule);
    r->setU16(rec::kModuleCount, 40);
    EXPECT_EQ(buildTreeRows(*r).size(), global + 16 * perModule);
}

TEST(SchemaTree, IndexConventionAndLabels) {
    auto r = newSource();
    r->setU16(rec::kModuleCount, 2);
    const auto rows = buildTreeRows(*r);
    // Find the rows by position after the second module head.
    std::size_t m1 = 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].ref.id == 105 && rows[i].ref.index1 == 1) m1 = i;
    ASSERT_GT(m1, 0u);
    int packetHeads = 0, line = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRef& ref = rows[i].ref;
        if (i < m1 && !isModuleSetting(ref.id)) {
            if (ref.id == 31) {
                EXPECT_EQ(ref.index1, line++);
                EXPECT_EQ(ref.index2, -1);
            } else {
                EXPECT_EQ(ref.index1, -1) << ref.id;
                EXPECT_EQ(ref.index2, -1) << ref.id;
            }
        }
        if (i < m1) continue;
        EXPECT_EQ(ref.index1, 1) << ref.id;
        if (ref.id == 127) {
            EXPECT_EQ(ref.index2, packetHeads);
            EXPECT_EQ(rowLabel(ref), "Packet(s) #" + std::to_string(packetHeads + 1));
            // Its children follow with the same packet.
            EXPECT_EQ(rows[i + 1].ref.id, 128);
            EXPECT_EQ(rows[i + 3].ref.id, 130);
            EXPECT_EQ(rows[i + 3].ref.index2, packetHeads);
            ++packetHeads;
        }
        if (ref.id == 131 || ref.id == 126 || ref.id == 162 || ref.id == 256) {
            EXPECT_EQ(ref.index2, -1);
        }
        if (ref.id == 173 || ref.id == 271) {
            EXPECT_GE(ref.index2, 0);
        }
    }
    EXPECT_EQ(packetHeads, 10);
    EXPECT_EQ(line, 10);
    EXPECT_EQ(rowLabel(makeRef(163, 0, 7)), "Loop set #8");
    EXPECT_EQ(rowLabel(makeRef(260, 3, 15)), "Sub-bank #16");
    EXPECT_EQ(rowLabel(makeRef(262, 3, 15)), "Name");
    EXPECT_EQ(rowLabel(makeRef(308)), "");
}

}  // namespace
}  // namespace sf
