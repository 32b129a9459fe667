#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <utility>

#include "source/record.h"
#include "source/schema.h"

namespace sf {
namespace {

std::size_t base(int m) { return rec::moduleBase(m); }

void setFlags(SourceRecord& r, int m, std::uint16_t w) { r.setU16(base(m) + rec::kModFlags, w); }

bool enabled(const SourceRecord& r, int id, int i1 = -1, int i2 = -1) {
    return isEnabled(r, makeRef(id, i1, i2));
}

struct Row {
    int id, i1, i2;
    bool on;
};
// Checks the enabled state of several rows at once.
void expectRows(const SourceRecord& r, std::initializer_list<Row> rows) {
    for (const Row& x : rows) EXPECT_EQ(enabled(r, x.id, x.i1, x.i2), x.on) << x.id << "/" << x.i1 << "/" << x.i2;
}

TEST(SchemaRules, ModuleUse) {
    auto r = newSource();
    // The names bit (0x40) without the dump bit (0x08) still means "only dump memory".
    const std::pair<std::uint16_t, ModuleUse> uses[] = {{0x08, ModuleUse::DumpAndNames},
                                                        {0x48, ModuleUse::NamesOnly},
                                                        {0x00, ModuleUse::DumpOnly},
                                                        {0x40, ModuleUse::DumpOnly}};
    for (auto [flags, use] : uses) {
        setFlags(*r, 0, flags);
        EXPECT_EQ(moduleUse(*r, 0), use) << flags;
    }
    // 109 needs use D, 116 not N, 288 not D+N.
    expectRows(*r, {{109, 0, -1, false}, {116, 0, -1, true}, {288, 0, -1, false}});
    // Out-of-range modules neither crash nor enable anything conditional.
    EXPECT_EQ(moduleUse(*r, 16), ModuleUse::DumpOnly);
    EXPECT_EQ(moduleUse(*r, -1), ModuleUse::DumpOnly);
    // Rows without Conditional are always enabled (107, 9); Conditional rows
    // without a rule keep their enabled state (119, 158); unknown ids are off.
    expectRows(*r, {{116, 16, -1, false}, {107, 0, -1, true}, {9, -1, -1, true}, {119, 0, -1, true},
                    {158, 0, -1, true}, {308, -1, -1, false}});
}

TEST(SchemaRules, SubBankCount) {
    auto r = newSource();
    setFlags(*r, 1, 0x08);
    r->setModU16(1, rec::kModSubBankCount, 5);
    // Sub-bank 5 is off at a count of 5 whatever its own rule says.
    expectRows(*r, {{260, 1, 4, true}, {260, 1, 5, false}, {262, 1, 5, false}, {267, 1, 5, false}});
    r->setModU16(1, rec::kModSubBankCount, 6);
    // ROM-only rows need type 2; selectable rows the clear bit of 267 (L4).
    expectRows(*r, {{262, 1, 5, true}, {264, 1, 5, false}});
    r->setU16(*wordField(*r, makeRef(261, 1, 5)), 2);
    expectRows(*r, {{264, 1, 5, true}, {265, 1, 5, true}, {264, 1, 4, false}, {268, 1, 5, true}});
    r->setU16(*wordField(*r, makeRef(267, 1, 5)), 0x4);
    EXPECT_FALSE(enabled(*r, 268, 1, 5));
    // A negative or bad count disables all sub-banks, and bad indices too.
    r->setModU16(1, rec::kModSubBankCount, 0xFFFF);
    EXPECT_FALSE(enabled(*r, 260, 1, 0));
    r->setModU16(1, rec::kModSubBankCount, 16);
    expectRows(*r, {{260, 1, 15, true}, {260, 1, 16, false}, {260, 1, -1, false}});
    // Names-free modules show no sub-banks at all.
    setFlags(*r, 1, 0x00);
    EXPECT_FALSE(enabled(*r, 260, 1, 0));
}

TEST(SchemaRules, ComplexLoopAndOthers) {
    auto r = newSource();
    setFlags(*r, 0, 0x08);
    // Packet rows (148..157) and loop set rows (162..173) swap with "Use complex loop".
    const std::uint16_t plain = r->modU16(0, rec::kModPacketFlags);
    for (bool complex : {false, true}) {
        r->setModU16(0, rec::kModPacketFlags, complex ? 0x2 : plain);
        for (int id = 148; id <= 157; ++id) EXPECT_EQ(enabled(*r, id, 0), !complex) << id;
        for (int id = 162; id <= 173; ++id) EXPECT_EQ(enabled(*r, id, 0, 3), complex) << id;
    }
    EXPECT_TRUE(enabled(*r, 161, 0));
    setFlags(*r, 1, 0x08);
    EXPECT_TRUE(enabled(*r, 149, 1));  // module 1 is unaffected by module 0's settings

    // Global: the single instrument is on in a new source; the parent is off.
    expectRows(*r, {{47, -1, -1, true}, {52, -1, -1, false}, {62, -1, -1, false}, {22, -1, -1, true}});
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x4);
    // Mute type "Byte" (0) in a new source enables 95 and 99, 100 needs 99.
    expectRows(*r, {{62, -1, -1, true}, {95, -1, -1, true}, {99, -1, -1, true}, {100, -1, -1, false}});
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x10);
    expectRows(*r, {{100, -1, -1, true}, {101, -1, -1, true}});  // 101: no selection bits, custom message
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x100);
    EXPECT_FALSE(enabled(*r, 101));
    r->setU16(14, 1);  // Sysex ID rows follow the type flag
    EXPECT_FALSE(enabled(*r, 22));

    // Message counts, structures and special patch selection.
    EXPECT_FALSE(enabled(*r, 207, 0));
    r->setU16(messageField(*r, makeRef(206, 0))->count, 2);
    EXPECT_TRUE(enabled(*r, 207, 0));
    r->setModU16(0, rec::kModStructure, 7);
    EXPECT_FALSE(enabled(*r, 177, 0));
    r->setModU16(0, rec::kModStructure, 5);
    // 258 with neither selection bit: "Special".
    expectRows(*r, {{184, 0, -1, true}, {290, 0, -1, true}, {185, 0, -1, false}, {258, 0, -1, true}});
    setFlags(*r, 0, 0x08 | 0x20);
    EXPECT_FALSE(enabled(*r, 258, 0));
    // Macro editor rows need exactly 1.
    for (int flag : {0, 1, 2}) {
        r->setModU16(0, rec::kModHasMacro, static_cast<std::uint16_t>(flag));
        EXPECT_EQ(enabled(*r, 307, 0), flag == 1) << flag;
    }
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
    for (auto [id, n] : {std::pair{31, 10}, {128, 30}, {131, 3}, {171, 24}, {199, 30}, {265, 48}, {307, 3}})
        EXPECT_EQ(count[id], n) << id;

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
