#include "source/schema.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "source/record.h"

namespace sf {
namespace {

std::size_t base(int m) {
    return rec::moduleBase(m);
}
// No lookup of any kind finds a field or block for `ref`.
bool addressesNothing(const SourceRecord& r, const SettingRef& ref) {
    return !(textField(r, ref) || byteField(r, ref) || wordField(r, ref) || longField(r, ref) ||
             messageField(r, ref) || groupBlock(r, ref));
}

TEST(SchemaTable, UniqueIdsTreeOrderAndHelp) {
    const auto items = settingItems();
    EXPECT_EQ(items[0].depth, 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SettingItem& it = items[i];
        EXPECT_EQ(findSettingItem(it.id), &it) << "id " << it.id << " twice";
        EXPECT_TRUE(it.kind == Kind::Group || (it.help && *it.help)) << it.id;
        if (i == 0) continue;
        // Each row's parent precedes it and sits exactly one level higher.
        const SettingItem* parent = findSettingItem(it.parent);
        ASSERT_NE(parent, nullptr) << it.id;
        EXPECT_EQ(parent->depth + 1, it.depth) << it.id;
        EXPECT_LE(it.depth, items[i - 1].depth + 1) << it.id;
        EXPECT_LT(parent - items.data(), static_cast<std::ptrdiff_t>(i)) << it.id;
    }
    // Unknown ids answer nothing from every lookup.
    SourceRecord r;
    for (int id : {-1, 0, 104, 175, 192, 308, 1000}) {
        EXPECT_TRUE(makeRef(id, 0, 0).item == nullptr && addressesNothing(r, makeRef(id, 0, 0)))
            << id;
    }
}

TEST(SchemaFields, EveryLookupStaysInsideItsArea) {
    const auto source = newSource();
    const SourceRecord& r = *source;
    // Areas a field must not straddle: the header blocks and the module blocks.
    const std::vector<std::size_t> header = {0, 8, 10, 778, 906, 2056, 2532, rec::kHeaderSize};
    const std::vector<std::size_t> module = {0,    58,   322,  568,  1612, 2734,
                                             2786, 3618, 3676, 4038, 4054, rec::kModuleSize};
    auto within = [](const std::vector<std::size_t>& bounds, std::size_t off, std::size_t size) {
        for (std::size_t i = 0; i + 1 < bounds.size(); ++i)
            if (off >= bounds[i] && off < bounds[i + 1]) return off + size <= bounds[i + 1];
        return false;
    };
    int found = 0;
    for (const auto& it : settingItems()) {
        for (int m : {0, 15, -1})
            for (int i2 = -1; i2 < 16; ++i2) {
                const int i1 = isModuleSetting(it.id) ? m : (it.id == 31 ? i2 : -1);
                const SettingRef ref = makeRef(it.id, i1, i2);
                std::vector<std::pair<std::size_t, std::size_t>> f;
                if (auto t = textField(r, ref)) f.push_back({t->offset, t->size});
                if (auto b = byteField(r, ref)) f.push_back({*b, 1});
                if (auto w = wordField(r, ref)) f.push_back({*w, 2});
                if (auto l = longField(r, ref)) f.push_back({*l, 4});
                if (auto g = messageField(r, ref)) {
                    f.push_back({g->units, 2 * static_cast<std::size_t>(g->capacity)});
                    f.push_back({g->count, 2});
                }
                EXPECT_LE(f.size(), 2u) << it.id;
                const bool inModule = isModuleSetting(it.id);
                const std::size_t origin = inModule ? base(i1) : 0;
                for (auto [off, size] : f) {
                    ++found;
                    ASSERT_TRUE(i1 >= 0 || !inModule) << it.id;
                    ASSERT_GE(off, origin) << it.id;
                    EXPECT_TRUE(within(inModule ? module : header, off - origin, size))
                        << it.id << " at +" << off - origin;
                }
            }
    }
    EXPECT_GT(found, 600);
}

TEST(SchemaFields, IndicesOutsideTheirRangeAndLookupsOfTheWrongKindAnswerNothing) {
    SourceRecord r;
    EXPECT_EQ(wordField(r, makeRef(128, 1, 4)), base(1) + 214 + 32);  // packet 4 of module 1
    for (const auto& ref : {makeRef(128, 1, 10), makeRef(128, 1, -1), makeRef(128, 16, 0),
                            makeRef(128, -1, 0), makeRef(169, 0, 7), makeRef(299, 1)})
        EXPECT_FALSE(wordField(r, ref)) << ref.id << ":" << ref.index1 << ":" << ref.index2;
    EXPECT_FALSE(textField(r, makeRef(262, 2, 16)) || textField(r, makeRef(31, 10)) ||
                 byteField(r, makeRef(169, 0, 8)) || groupBlock(r, makeRef(287, 16)) ||
                 longField(r, makeRef(9)) || textField(r, makeRef(9)));
    // Global help lines use index1, module help lines index2.
    EXPECT_EQ(textField(r, makeRef(31, 3))->offset, 238u + 153u);
    EXPECT_EQ(textField(r, makeRef(218, 0, 9))->offset, base(0) + 1614 + 459);
    // Flags sharing a word answer the same address.
    EXPECT_EQ(wordField(r, makeRef(108, 4)), wordField(r, makeRef(109, 4)));
    // No storage of their own.
    for (int id : {131, 132, 265, 305, 307})
        EXPECT_TRUE(addressesNothing(r, makeRef(id, 0, 0))) << id;
}

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
            EXPECT_TRUE(rows[i + 3].ref.id == 130 && rows[i + 3].ref.index2 == ref.index2);
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

TEST(SchemaTree, HasTreeRowAnswersAsTheBuiltRows) {
    // Every id at indices in and around each range, on sources of 1, 3 and
    // 16 modules and one whose count is out of range: a row or not, as the
    // whole tree has it.
    auto r = newSource();
    for (int modules : {1, 3, 16, 40}) {
        r->setU16(rec::kModuleCount, static_cast<std::uint16_t>(modules));
        std::set<std::tuple<int, int, int>> rows;
        for (const TreeRow& row : buildTreeRows(*r))
            rows.insert({row.ref.id, row.ref.index1, row.ref.index2});
        for (const SettingItem& item : settingItems())
            for (int index1 : {-2, -1, 0, 1, 2, 3, 9, 15, 16})
                for (int index2 : {-1, 0, 1, 15, 16, 29, 30, 47, 48}) {
                    const bool row = rows.contains({item.id, index1, index2});
                    ASSERT_EQ(hasTreeRow(*r, makeRef(item.id, index1, index2)), row)
                        << modules << " modules, " << item.id << ":" << index1 << ":" << index2;
                }
    }
}

}  // namespace
}  // namespace sf
