#include "editor/treeedit.h"

#include <gtest/gtest.h>

#include <random>

#include "editor/treefilter.h"
#include "source/valuetext.h"
#include "support/random_record.h"

using namespace sf;

namespace {
const SettingItem* item(int id) {
    return findSettingItem(id);
}
}  // namespace

TEST(TreeEdit, ClickAndDoubleClickByRowKind) {
    using enum RowAction;
    const struct {
        int id;
        bool enabled, hasEditor;
        RowAction click, doubleClick, editKey;
    } cases[] = {
        {1, true, false, None, ToggleExpand, ToggleExpand},  // group
        {72, false, false, None, None, ToggleExpand},        // disabled group
        {9, true, false, None, InPlaceEdit, InPlaceEdit},    // number
        {9, false, false, None, None, None},                 // disabled number
        {4, true, false, None, InPlaceEdit, InPlaceEdit},    // text
        {33, true, false, None, InPlaceEdit, InPlaceEdit},   // character table
        {16, true, false, ChoiceMenu, None, ChoiceMenu},     // choice
        {16, false, false, None, None, None},
        {11, true, false, ChoiceMenu, None, ChoiceMenu},         // yes/no
        {19, true, false, ChoiceMenu, InPlaceEdit, ChoiceMenu},  // flag: the box changes nothing
        {108, true, false, ChoiceMenu, None, ChoiceMenu},        // bit choice
        {15, true, false, None, None, None},                     // message, no editor connected
        {15, true, true, None, ValueEditor, ValueEditor},
        {15, false, true, None, None, None},
        {265, true, true, None, ValueEditor, ValueEditor},  // ROM names
        {305, true, false, None, None, None},
        {131, true, false, None, None, None},                // read-only sum
        {129, true, false, None, InPlaceEdit, InPlaceEdit},  // Roland 7-bit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clickAction(item(c.id), TreeColumn::Value, c.enabled), c.click) << c.id;
        EXPECT_EQ(doubleClickAction(item(c.id), TreeColumn::Value, c.enabled, c.hasEditor),
                  c.doubleClick)
            << c.id;
        EXPECT_EQ(editKeyAction(item(c.id), c.enabled, c.hasEditor), c.editKey) << c.id;
        // Only the Value column pops menus.
        EXPECT_EQ(clickAction(item(c.id), TreeColumn::Parameter, c.enabled), None) << c.id;
        EXPECT_EQ(clickAction(item(c.id), TreeColumn::Comment, c.enabled), None) << c.id;
    }
}

TEST(TreeEdit, OtherColumns) {
    using enum RowAction;
    EXPECT_EQ(doubleClickAction(item(105), TreeColumn::Parameter, false, false), ToggleExpand);
    EXPECT_EQ(doubleClickAction(item(9), TreeColumn::Parameter, true, false), None);
    EXPECT_EQ(doubleClickAction(item(16), TreeColumn::Comment, false, false), HelpTopic);  // 2001
    EXPECT_EQ(doubleClickAction(item(9), TreeColumn::Comment, true, false), HelpText);
    EXPECT_EQ(doubleClickAction(nullptr, TreeColumn::Value, true, true), None);
}

// The yes/no and flag boxes are drawn ticked only for the "on" text.
TEST(TreeEdit, SwitchesAreOnOnlyForTheirOnText) {
    EXPECT_TRUE(switchIsOn(item(11), "Yes"));
    EXPECT_FALSE(switchIsOn(item(11), "No"));
    const ChoiceEntry* flag = item(19)->choices;  // entry 0 clear, entry 1 set
    EXPECT_TRUE(switchIsOn(item(19), flag[1].text));
    EXPECT_FALSE(switchIsOn(item(19), flag[0].text));
    EXPECT_FALSE(switchIsOn(item(9), "Yes"));  // a number row
    EXPECT_FALSE(switchIsOn(nullptr, "Yes"));
}

TEST(TreeEdit, EditLengthLimits) {
    auto r = newSource();
    const struct {
        SettingRef ref;
        int limit;
    } cases[] = {
        {makeRef(4), 16},        {makeRef(8), 3},    {makeRef(31, 0), 50}, {makeRef(107, 0), 16},
        {makeRef(262, 0, 3), 8}, {makeRef(33), 128}, {makeRef(9), 64},     {makeRef(129, 0, 0), 64},
    };
    for (const auto& c : cases) EXPECT_EQ(editLengthLimit(*r, c.ref), c.limit) << c.ref.id;
}

TEST(TreeEdit, ClearEmptiesMessagesOnly) {
    auto r = newSource();
    EXPECT_FALSE(canClear(item(9)));
    EXPECT_FALSE(canClear(item(105)));
    EXPECT_TRUE(canClear(item(35)));
    parseValue(*r, makeRef(35), "F0 41 F7");
    const auto before = copyRecord(*r);
    EXPECT_FALSE(clearValue(*r, makeRef(9)));
    EXPECT_TRUE(sameRecord(*r, *before));
    EXPECT_TRUE(clearValue(*r, makeRef(35)));
    EXPECT_EQ(formatValue(*r, makeRef(35)), "");
}

TEST(TreeFilter, WordsMatchLabelValueOrHelp) {
    const struct {
        const char* query;
        bool match;
    } cases[] = {
        {"", true},          {"   ", true},       {"midi", true},
        {"MIDI TIME", true}, {"time 500", true},  {"out\t500", true},
        {"timeout", false},  {"midi xyz", false}, {"milliseconds", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowMatches("MIDI time out", "500", "In milliseconds", filterWords(c.query)),
                  c.match)
            << c.query;
    EXPECT_EQ(foldCase("\xC9t\xC9 \xD7"),
              "\xE9t\xE9 \xD7");  // accented letters fold, the sign does not
    EXPECT_TRUE(rowMatches("\xC9tat", "", "", filterWords("\xE9TAT")));
}

TEST(TreeFilter, MatchesKeepTheirParents) {
    auto r = newSource();
    parseValue(*r, makeRef(103), "2");
    parseValue(*r, makeRef(107, 1), "Zyxwv");
    const auto rows = buildTreeRows(*r);
    const auto shown = filterTreeRows(*r, rows, "zyx");
    // The module row shows the name too: a matching group brings its whole
    // subtree, and its parents come with it; nothing of the other module.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRef& ref = rows[i].ref;
        const bool inModule1 = isModuleSetting(ref.id) && ref.index1 == 1;
        EXPECT_EQ(shown[i], inModule1 || ref.id == 1) << ref.id << "/" << ref.index1;
    }

    const auto all = filterTreeRows(*r, rows, " ");
    EXPECT_EQ(std::count(all.begin(), all.end(), true), static_cast<long>(rows.size()));
    const auto none = filterTreeRows(*r, rows, "no-such-text-anywhere");
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
}

// The settings tree evaluates only the changed module's rows (and the global
// ones) after an edit inside a module: no rule may look into another module.
TEST(TreeEdit, ModuleRulesReadTheirOwnModuleOnly) {
    std::mt19937 rng(5);
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        auto r = testsupport::randomRecord(seed, 4);
        const auto rows = buildTreeRows(*r);
        const int changed = static_cast<int>(seed % 4);
        auto states = [&](const SourceRecord& rec) {
            std::vector<bool> out;
            for (const TreeRow& row : rows)
                if (isModuleSetting(row.ref.id) && row.ref.index1 != changed)
                    out.push_back(isEnabled(rec, row.ref));
            return out;
        };
        const auto before = states(*r);
        // Scramble the changed module's bytes.
        const std::size_t base = rec::moduleBase(changed);
        for (std::size_t i = 0; i < rec::kModuleSize; ++i)
            r->bytes[base + i] = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(states(*r), before) << seed;
    }
}
