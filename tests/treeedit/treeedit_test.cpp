#include "editor/treeedit.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

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
    const auto N = RowAction::None, T = RowAction::ToggleExpand, E = RowAction::InPlaceEdit,
               M = RowAction::ChoiceMenu, V = RowAction::ValueEditor;
    // Rows: groups, numbers, a text, the character table, a choice, yes/no, a flag (its box
    // changes nothing), a bit choice, a message with and without its editor connected, ROM
    // names, the converter, a read-only sum, a Roland 7-bit field; some of them disabled.
    const std::tuple<int, bool, bool, RowAction, RowAction, RowAction> cases[] = {
        {1, true, false, N, T, T},   {72, false, false, N, N, T}, {9, true, false, N, E, E},
        {9, false, false, N, N, N},  {4, true, false, N, E, E},   {33, true, false, N, E, E},
        {16, true, false, M, N, M},  {16, false, false, N, N, N}, {11, true, false, M, N, M},
        {19, true, false, M, E, M},  {108, true, false, M, N, M}, {15, true, false, N, N, N},
        {15, true, true, N, V, V},   {15, false, true, N, N, N},  {265, true, true, N, V, V},
        {305, true, false, N, N, N}, {131, true, false, N, N, N}, {129, true, false, N, E, E}};
    for (const auto& [id, enabled, hasEditor, click, twice, editKey] : cases) {
        EXPECT_EQ(clickAction(item(id), TreeColumn::Value, enabled), click) << id;
        EXPECT_EQ(doubleClickAction(item(id), TreeColumn::Value, enabled, hasEditor), twice) << id;
        EXPECT_EQ(editKeyAction(item(id), enabled, hasEditor), editKey) << id;
        // Only the Value column pops menus.
        EXPECT_EQ(clickAction(item(id), TreeColumn::Parameter, enabled), N) << id;
        EXPECT_EQ(clickAction(item(id), TreeColumn::Comment, enabled), N) << id;
    }
    EXPECT_EQ(doubleClickAction(item(105), TreeColumn::Parameter, false, false), T);
    EXPECT_EQ(doubleClickAction(item(9), TreeColumn::Parameter, true, false), N);
    EXPECT_EQ(doubleClickAction(item(16), TreeColumn::Comment, false, false), RowAction::HelpTopic);
    EXPECT_EQ(doubleClickAction(item(9), TreeColumn::Comment, true, false), RowAction::HelpText);
    EXPECT_EQ(doubleClickAction(nullptr, TreeColumn::Value, true, true), N);
}

TEST(TreeEdit, SwitchesEditLimitsAndClear) {
    // The yes/no and flag boxes are drawn ticked only for the "on" text.
    const ChoiceEntry* flag = item(19)->choices;  // entry 0 clear, entry 1 set
    EXPECT_TRUE(switchIsOn(item(11), "Yes") && switchIsOn(item(19), flag[1].text));
    EXPECT_FALSE(switchIsOn(item(11), "No") || switchIsOn(item(19), flag[0].text));
    EXPECT_FALSE(switchIsOn(item(9), "Yes") || switchIsOn(nullptr, "Yes"));
    auto r = newSource();
    const std::tuple<int, int, int, int> limits[] = {
        {4, -1, -1, 16}, {8, -1, -1, 3},    {31, 0, -1, 50}, {107, 0, -1, 16},
        {262, 0, 3, 8},  {33, -1, -1, 128}, {9, -1, -1, 64}, {129, 0, 0, 64}};
    for (const auto& [id, i1, i2, limit] : limits)
        EXPECT_EQ(editLengthLimit(*r, makeRef(id, i1, i2)), limit);
    // Clear empties messages only.
    EXPECT_FALSE(canClear(item(9)) || canClear(item(105)));
    parseValue(*r, makeRef(35), "F0 41 F7");
    const auto before = copyRecord(*r);
    EXPECT_FALSE(clearValue(*r, makeRef(9)));
    EXPECT_TRUE(sameRecord(*r, *before));
    EXPECT_TRUE(canClear(item(35)) && clearValue(*r, makeRef(35)));
    EXPECT_EQ(formatValue(*r, makeRef(35)), "");
}

TEST(TreeFilter, WordsMatchLabelValueOrHelpAndMatchesKeepTheirParents) {
    const std::tuple<const char*, bool> cases[] = {
        {"", true},          {"   ", true},       {"midi", true},
        {"MIDI TIME", true}, {"time 500", true},  {"out\t500", true},
        {"timeout", false},  {"midi xyz", false}, {"milliseconds", true}};
    for (const auto& [query, match] : cases)
        EXPECT_EQ(rowMatches("MIDI time out", "500", "In milliseconds", filterWords(query)), match)
            << query;
    // Accented letters fold, the multiplication sign does not.
    EXPECT_EQ(foldCase("\xC9t\xC9 \xD7"), "\xE9t\xE9 \xD7");
    EXPECT_TRUE(rowMatches("\xC9tat", "", "", filterWords("\xE9TAT")));
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
