#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <utility>

#include "source/record.h"
#include "source/schema.h"

namespace sf {
namespace {

void setFlags(SourceRecord& r, int m, std::uint16_t w) {
    r.setModU16(m, rec::kModFlags, w);
}

bool enabled(const SourceRecord& r, int id, int i1 = -1, int i2 = -1) {
    return isEnabled(r, makeRef(id, i1, i2));
}

struct Row {
    int id;
    bool on;
    int i1 = -1, i2 = -1;
};
void expectRows(const SourceRecord& r, std::initializer_list<Row> rows) {
    for (const Row& x : rows)
        EXPECT_EQ(enabled(r, x.id, x.i1, x.i2), x.on) << x.id << "/" << x.i1 << "/" << x.i2;
}

TEST(SchemaRules, ModuleUse) {
    auto r = newSource();
    // The names bit (0x40) without the dump bit (0x08) still means "only dump memory".
    using enum ModuleUse;
    const std::pair<std::uint16_t, ModuleUse> uses[] = {
        {0x08, DumpAndNames}, {0x48, NamesOnly}, {0x00, DumpOnly}, {0x40, DumpOnly}};
    for (auto [flags, use] : uses) {
        setFlags(*r, 0, flags);
        EXPECT_EQ(moduleUse(*r, 0), use) << flags;
    }
    // 109 needs use D, 116 not N, 288 not D+N.
    expectRows(*r, {{109, false, 0}, {116, true, 0}, {288, false, 0}});
    // Out-of-range modules neither crash nor enable anything conditional.
    EXPECT_EQ(moduleUse(*r, 16), ModuleUse::DumpOnly);
    EXPECT_EQ(moduleUse(*r, -1), ModuleUse::DumpOnly);
    // Unconditional rows (107, 9) and conditional ones without a rule (119, 158) on; 308 off.
    expectRows(*r, {{116, false, 16}, {107, true, 0}, {9, true}});
    expectRows(*r, {{119, true, 0}, {158, true, 0}, {308, false}});
}

TEST(SchemaRules, SubBankCount) {
    auto r = newSource();
    setFlags(*r, 1, 0x08);
    r->setModU16(1, rec::kModSubBankCount, 5);
    // Sub-bank 5 is off at a count of 5 whatever its own rule says.
    expectRows(*r, {{260, true, 1, 4}, {260, false, 1, 5}, {262, false, 1, 5}, {267, false, 1, 5}});
    r->setModU16(1, rec::kModSubBankCount, 6);
    // ROM-only rows need type 2; selectable rows the clear bit of 267 (L4).
    expectRows(*r, {{262, true, 1, 5}, {264, false, 1, 5}});
    r->setU16(*wordField(*r, makeRef(261, 1, 5)), 2);
    expectRows(*r, {{264, true, 1, 5}, {265, true, 1, 5}, {264, false, 1, 4}, {268, true, 1, 5}});
    r->setU16(*wordField(*r, makeRef(267, 1, 5)), 0x4);
    EXPECT_FALSE(enabled(*r, 268, 1, 5));
    // A negative or bad count disables all sub-banks, and bad indices too.
    r->setModU16(1, rec::kModSubBankCount, 0xFFFF);
    EXPECT_FALSE(enabled(*r, 260, 1, 0));
    r->setModU16(1, rec::kModSubBankCount, 16);
    expectRows(*r, {{260, true, 1, 15}, {260, false, 1, 16}, {260, false, 1}});
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
    expectRows(*r, {{47, true}, {52, false}, {62, false}, {22, true}});
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x4);
    // Mute type "Byte" (0) in a new source enables 95 and 99, 100 needs 99.
    expectRows(*r, {{62, true}, {95, true}, {99, true}, {100, false}});
    r->setU16(rec::kInstrumentFlags, r->u16(rec::kInstrumentFlags) | 0x10);
    expectRows(*r, {{100, true}, {101, true}});  // 101: no selection bits, custom message
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
    expectRows(*r, {{184, true, 0}, {290, true, 0}, {185, false, 0}, {258, true, 0}});
    setFlags(*r, 0, 0x08 | 0x20);
    EXPECT_FALSE(enabled(*r, 258, 0));
    // Macro editor rows need exactly 1.
    for (int flag : {0, 1, 2}) {
        r->setModU16(0, rec::kModHasMacro, static_cast<std::uint16_t>(flag));
        EXPECT_EQ(enabled(*r, 307, 0), flag == 1) << flag;
    }
}

TEST(SchemaTree, RowsAndTheirIndices) {
    auto r = newSource();
    const std::size_t one = buildTreeRows(*r).size();
    r->setU16(rec::kModuleCount, 3);
    const auto rows = buildTreeRows(*r);
    std::vector<std::string> labels;
    std::map<int, int> count;
    int line = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRef& ref = rows[i].ref;
        ++count[ref.id];
        EXPECT_EQ(rows[i].depth, ref.item->depth);
        EXPECT_EQ(ref.index3, -1);
        if (ref.id == 105) labels.push_back(rowLabel(ref));
        if (ref.id == 31) {
            EXPECT_EQ(ref.index1, line++);  // global help lines count in index1
        } else {
            EXPECT_EQ(ref.index1 >= 0, isModuleSetting(ref.id)) << ref.id;
        }
        // A packet head is followed by its rows, all of the same packet.
        if (ref.id == 127) {
            EXPECT_EQ(rowLabel(ref), "Packet(s) #" + std::to_string(ref.index2 + 1));
            EXPECT_EQ(rows[i + 3].ref.id, 130);
            EXPECT_EQ(rows[i + 3].ref.index2, ref.index2);
        }
        if (ref.id == 126 || ref.id == 131 || ref.id == 162 || ref.id == 256) {
            EXPECT_EQ(ref.index2, -1) << ref.id;
        }
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Module 1", "Module 2", "Module 3"}));
    for (auto [id, n] :
         {std::pair{31, 10}, {127, 30}, {131, 3}, {171, 24}, {199, 30}, {265, 48}, {307, 3}})
        EXPECT_EQ(count[id], n) << id;
    // Module counts outside 1..16 are clamped.
    const std::size_t perModule = (rows.size() - one) / 2;
    r->setU16(rec::kModuleCount, 0);
    EXPECT_EQ(buildTreeRows(*r).size(), one);
    r->setU16(rec::kModuleCount, 40);
    EXPECT_EQ(buildTreeRows(*r).size(), one + 15 * perModule);
    EXPECT_EQ(rowLabel(makeRef(163, 0, 7)), "Loop set #8");
    EXPECT_EQ(rowLabel(makeRef(260, 3, 15)), "Sub-bank #16");
    EXPECT_EQ(rowLabel(makeRef(262, 3, 15)), "Name");
    EXPECT_EQ(rowLabel(makeRef(308)), "");
}

}  // namespace
}  // namespace sf
