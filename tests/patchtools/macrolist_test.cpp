#include "patchtools/macrolist.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "patchtools/macroeditor.h"

using namespace sf;
using namespace sf::macro_list;

namespace {

// Walks the block only by its offset table and record sizes and checks that
// the walk lands exactly on the block's end; answers the template indexes of
// every macro's parameters.
std::vector<std::vector<int>> walk(const Block& b) {
    ConstByteSpan s(b);
    const int count = getLE16(s, 0);
    std::vector<std::vector<int>> out;
    std::size_t end = 2 + 4 * static_cast<std::size_t>(count);
    for (int i = 0; i < count; ++i) {
        const std::size_t at = getLE32(s, 2 + 4 * static_cast<std::size_t>(i));
        EXPECT_EQ(at, end) << "table entry " << i;
        const std::size_t size = getLE16(s, at);
        std::size_t p = at + kMacroHead;
        std::vector<int> params;
        for (int j = 0; j < getLE16(s, at + kParamCount); ++j) {
            params.push_back(getLE16(s, p + kParamTemplate));
            p += getLE16(s, p);
        }
        EXPECT_EQ(p, at + size) << "record size of macro " << i;
        out.push_back(params);
        end = at + size;
    }
    EXPECT_EQ(end, b.size());
    return out;
}

MacroEditor editorWith(std::initializer_list<int> paramsPerMacro) {
    MacroEditor e{MacroData{}};
    int t = 0;
    for (int n : paramsPerMacro) {
        auto m = e.addMacro();
        for (int j = 0; j < n; ++j) e.addParameter(*m, t++);
    }
    return e;
}

}  // namespace

TEST(MacroList, NewRowsDeletionsAndTheRowSelectedAfterwards) {
    MacroEditor e{MacroData{}};
    auto m = e.addMacro();
    ASSERT_TRUE(m);
    EXPECT_EQ(e.cells(*m), (std::array<std::string, 5>{"Untitled 1", "0", "0", "Linear", ""}));
    EXPECT_EQ(e.data().macros->size(), 2u + 4 + 36);

    // A parameter added on a parameter row of macro 2 goes to the end of
    // macro 2; the walk finds macro 3 moved up.
    auto f = editorWith({1, 2, 1});
    auto p = f.addParameter(MacroSel{1, 0}, 7);
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, (MacroSel{1, 2}));
    EXPECT_EQ(f.label(*p), "2-3");
    EXPECT_EQ(walk(*f.data().macros), (std::vector<std::vector<int>>{{0}, {1, 2, 7}, {3}}));

    // Deletions, and the row selected after each.
    auto del = editorWith({1, 0, 2});
    del.editCell({1, -1}, MacroColumn::Name, "Second");
    EXPECT_EQ(del.remove({0, -1}), (MacroSel{0, -1}));
    EXPECT_EQ(del.macro(0).name, "Second");
    EXPECT_EQ(del.label({1, -1}), "2");
    EXPECT_EQ(walk(*del.data().macros), (std::vector<std::vector<int>>{{}, {1, 2}}));
    EXPECT_EQ(del.remove({1, 1}), (MacroSel{1, 0}));  // the row above
    EXPECT_EQ(del.remove({1, 0}), (MacroSel{1, -1}));
    EXPECT_EQ(del.remove({1, -1}), (MacroSel{0, -1}));
    EXPECT_FALSE(del.remove({0, -1}));
    EXPECT_EQ(del.macroCount(), 0);
    EXPECT_FALSE(del.canDelete(MacroSel{0, -1}));
}

TEST(MacroList, TypedValues) {
    const struct {
        const char* text;
        std::uint8_t group;
    } groups[] = {{"100", 95}, {"-5", 0},   {"300", 44}, {"", 255},
                  {"  ", 255}, {"12x", 12}, {"abc", 0}};
    for (const auto& g : groups) EXPECT_EQ(groupFromText(g.text), g.group) << g.text;

    const struct {
        const char* text;
        std::uint16_t offset;
    } offsets[] = {{"123", 123}, {"-3", 0}, {"40000", 0}, {"32767", 32767}, {"654321", 0}};
    for (const auto& o : offsets)
        EXPECT_EQ(parameterOffsetFromText(std::string_view(o.text).substr(0, 5)), o.offset)
            << o.text;

    auto e = editorWith({1});
    e.editCell({0, -1}, MacroColumn::Name, "A name longer than twelve");
    e.editCell({0, -1}, MacroColumn::From, " -40");
    e.editCell({0, -1}, MacroColumn::To, "70000");  // 16 bits: 4464
    e.editCell({0, -1}, MacroColumn::Group, "7");
    e.setKind(0, 2);
    e.editCell({0, 0}, MacroColumn::From, "1234567");  // at most 5 characters
    EXPECT_FALSE(e.editCell({0, 0}, MacroColumn::To, "1"));
    EXPECT_EQ(e.cells({0, -1}),
              (std::array<std::string, 5>{"A name longe", "-40", "4464", "Absolute", "7"}));
    EXPECT_EQ(e.cells({0, 0})[1], "12345");
    walk(*e.data().macros);
}

TEST(MacroList, RandomEditSequencesKeepTheBlockExact) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        MacroEditor e{MacroData{}};
        std::vector<std::vector<int>> model;
        int nextTemplate = 0;
        for (int step = 0; step < 300; ++step) {
            const int action = static_cast<int>(rng() % 4);
            const int m = model.empty() ? 0 : static_cast<int>(rng() % model.size());
            if (action == 0 || model.empty()) {
                e.addMacro();
                model.emplace_back();
            } else if (action == 1) {
                const int t = nextTemplate++ % 1000;
                const int pick =
                    static_cast<int>(rng() % (model[m].size() + 1)) - 1;  // any row of it
                e.addParameter({m, pick}, t);
                model[m].push_back(t);
            } else if (action == 2 && !model[m].empty()) {
                const int j = static_cast<int>(rng() % model[m].size());
                e.remove({m, j});
                model[m].erase(model[m].begin() + j);
            } else if (action == 3 && rng() % 3 == 0) {
                e.remove({m, -1});
                model.erase(model.begin() + m);
            }
            ASSERT_TRUE(macroLayout(*e.data().macros)) << "seed " << seed << " step " << step;
        }
        EXPECT_EQ(walk(*e.data().macros), model) << "seed " << seed;
    }
}

TEST(MacroList, LimitsAreRefusedBeforeTheBlockGrows) {
    // 1000 macros with one parameter each: about 48 KB.
    MacroEditor e{MacroData{}};
    for (int i = 0; i < kMaxMacros; ++i) e.addParameter(*e.addMacro(), 0);
    EXPECT_FALSE(e.canAddMacro());
    EXPECT_EQ(e.addMacroRefusal(), "The macro list is full (1000 macros).");
    EXPECT_FALSE(e.addMacro());

    // Points carried in from a file bring the block to 65522 bytes: one more
    // parameter fits (65530), the next would pass 65535 and is refused.
    MacroData d = e.takeData();
    Block& b = *d.macros;
    const std::size_t last = getLE32(ConstByteSpan(b), 2 + 4 * 999);
    const std::size_t points = 1752;
    b.insert(b.end(), points * kPointSize, std::uint8_t{0});
    putLE16(ByteSpan(b), last + kSize, static_cast<std::uint16_t>(36 + 8 + points * kPointSize));
    putLE16(ByteSpan(b), last + 36 + kSize, static_cast<std::uint16_t>(8 + points * kPointSize));
    putLE16(ByteSpan(b), last + 36 + kParamPoints, static_cast<std::uint16_t>(points));
    ASSERT_EQ(b.size(), 65522u);
    MacroEditor nearly{d};
    ASSERT_TRUE(nearly.editable());
    EXPECT_TRUE(nearly.addParameter({0, -1}, 0));
    EXPECT_FALSE(nearly.canAddParameter(MacroSel{0, -1}));
    EXPECT_NE(nearly.addParameterRefusal().find("65535"), std::string::npos);
    const Block before = *nearly.data().macros;
    EXPECT_FALSE(nearly.addParameter({0, -1}, 0));
    EXPECT_EQ(*nearly.data().macros, before);
    EXPECT_EQ(before.size(), 65530u);
    walk(before);
}

TEST(MacroList, DamagedBlocksAreNeverChanged) {
    auto e = editorWith({2, 1});
    Block good = *e.data().macros;
    const std::vector<std::pair<std::size_t, std::uint8_t>> damage = {
        {2, 0x7F},        // first table entry
        {0, 0x09},        // macro count
        {10 + 0, 0x30},   // recordSize of macro 1
        {10 + 34, 5},     // parameterCount of macro 1
        {10 + 36, 0x0A},  // recordSize of its first parameter
    };
    for (const auto& [at, value] : damage) {
        Block bad = good;
        bad[at] = value;
        EXPECT_FALSE(macroLayout(bad)) << at;
        const Block copy = bad;
        EXPECT_FALSE(addMacro(bad));
        EXPECT_FALSE(addParameter(bad, 0, 0));
        EXPECT_FALSE(deleteMacro(bad, 0));
        EXPECT_FALSE(deleteParameter(bad, 0, 0));
        EXPECT_EQ(bad, copy);
        MacroData d;
        d.macros = bad;
        MacroEditor view(d);
        EXPECT_FALSE(view.editable());
        EXPECT_EQ(view.macroCount(), 0);
    }
    good.push_back(0);  // a byte after the last record
    EXPECT_FALSE(macroLayout(good));
}
