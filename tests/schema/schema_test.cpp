#include "source/schema.h"

#include <gtest/gtest.h>

#include <string_view>

#include "source/record.h"

namespace sf {
namespace {

std::size_t base(int m) {
    return rec::moduleBase(m);
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
        const SettingRef ref = makeRef(id, 0, 0);
        EXPECT_EQ(ref.item, nullptr);
        EXPECT_FALSE(textField(r, ref) || byteField(r, ref) || wordField(r, ref) ||
                     longField(r, ref) || messageField(r, ref) || groupBlock(r, ref))
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
        EXPECT_FALSE(wordField(r, makeRef(id, 0, 0)) || textField(r, makeRef(id, 0, 0)) ||
                     longField(r, makeRef(id, 0, 0)) || byteField(r, makeRef(id, 0, 0)))
            << id;
}

}  // namespace
}  // namespace sf
