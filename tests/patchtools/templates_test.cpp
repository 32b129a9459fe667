#include "patchtools/templates.h"

#include <gtest/gtest.h>

#include "patchtools/macroeditor.h"
#include "patchtools/patchinfo.h"

using namespace sf;

namespace {

std::string row(const TemplateEditor& e, int i) {
    const TemplateView t = e.get(i);
    return t.name + "|" + templateTypeText(t) + "|" + (t.isSigned() ? "x" : "") + "|" +
           std::to_string(t.min) + "|" + std::to_string(t.max) + "|" + std::to_string(t.def);
}

TemplateEditor withTemplates(int n) {
    TemplateEditor e{MacroData{}};
    for (int i = 0; i < n; ++i) e.add();
    return e;
}

}  // namespace

TEST(Templates, AddTypeInAndLimit) {
    TemplateEditor e{MacroData{}};
    EXPECT_TRUE(e.data().templates);  // the list makes an empty block
    EXPECT_EQ(e.add(), 0);
    EXPECT_EQ(e.add(), 1);
    EXPECT_EQ(row(e, 1), "Untitled 2|Byte||0|0|0");
    e.setText(0, TemplateColumn::Name, "Seventeen chars!!");
    e.setText(0, TemplateColumn::Min, "40000");
    e.setText(0, TemplateColumn::Max, "-40000");
    e.setText(0, TemplateColumn::Def, " -12abc");
    EXPECT_FALSE(e.setText(0, TemplateColumn::Type, "1"));
    EXPECT_EQ(row(e, 0), "Seventeen chars!|Byte||32767|-32768|-12");
    auto full = withTemplates(100);
    EXPECT_FALSE(full.canAdd());
    EXPECT_FALSE(full.add());
    EXPECT_EQ(full.remove(99), 98);  // the last row goes: the new last one is selected
    EXPECT_EQ(full.remove(0), 0);
}

TEST(Templates, TypeMenuAndBitRange) {
    const struct {
        const char *start, *count;
        bool littleEntry;
        const char* shown;
        bool little;
    } cases[] = {{"6", "4", true, "Bits 6/4 (little endian)", true},
                 {"6", "4", false, "Bits 6/4 (big endian)", false},
                 {"3", "20", false, "Bits 3/13 (big endian)", false},
                 {"0", "16", true, "Bits 0/16 (little endian)", true},
                 {"2", "3", true, "Bits 2/3", false},
                 {"", "", true, "Bits 0/1", false},
                 {"99", "0", false, "Bits 15/1 (big endian)", false}};
    for (const auto& c : cases) {
        auto e = withTemplates(1);
        e.setBitRange(0, c.start, c.count, c.littleEntry);
        const TemplateView t = e.get(0);
        EXPECT_EQ(
            std::tuple(t.type, templateTypeText(t), (t.flags & param_template::kLittleEndian) != 0),
            std::tuple(3, std::string(c.shown), c.little))
            << c.start << "/" << c.count;
    }
    auto e = withTemplates(1);
    e.toggleSigned(0);
    e.setType(0, TemplateTypeChoice::WordLittle);
    EXPECT_EQ(row(e, 0), "Untitled 1|Word (little endian)|x|0|0|0");
    e.setType(0, TemplateTypeChoice::WordBig);
    EXPECT_EQ(templateTypeText(e.get(0)), "Word (big endian)");
    e.setType(0, TemplateTypeChoice::Byte);
    EXPECT_EQ(e.get(0).flags, param_template::kSigned);
}

TEST(Templates, ChooserRepairsReferencesBeyondTheEnd) {
    MacroEditor m{withTemplates(3).takeData()};
    m.addMacro();
    m.addParameter({0, -1}, 2);  // uses template 3
    m.addParameter({0, -1}, 1);  // uses template 2
    m.addParameter({0, -1}, 2);
    MacroData withRefs = m.takeData();
    withRefs.setU16(macro_data::kFilterReference, 2);
    withRefs.patchInfo = freshPatchInfo();
    setPatchInfoReference(*withRefs.patchInfo, 0, 1);
    setPatchInfoReference(*withRefs.patchInfo, 3, 2);

    // Where each parameter row stands after the repair to two templates.
    const MacroEditor rows{withRefs};
    for (int row : {0, 2, -1}) EXPECT_EQ(rows.afterTemplateRepair({0, row}, 2), std::nullopt);
    EXPECT_EQ(rows.afterTemplateRepair({0, 1}, 2), (MacroSel{0, 0}));

    TemplateEditor edit{withRefs};
    edit.remove(0);
    MacroData target = withRefs;
    EXPECT_EQ(acceptTemplateChoice(target, edit.takeData(), std::nullopt), -1);
    EXPECT_EQ(target.templateCount(), 2);
    MacroEditor after{target};
    ASSERT_EQ(after.parameterCount(0), 1);
    EXPECT_EQ(after.macro(0).params[0].templateIndex, 1);  // now the former template 3
    EXPECT_EQ(after.cells({0, 0})[0], "Untitled 3");
    EXPECT_EQ(target.s16(macro_data::kFilterReference), -1);
    EXPECT_EQ(patchInfoReference(*target.patchInfo, 0), 1);
    EXPECT_EQ(patchInfoReference(*target.patchInfo, 3), -1);
    EXPECT_TRUE(macroLayout(*target.macros));

    // A chosen row is answered.
    MacroData again = target;
    EXPECT_EQ(acceptTemplateChoice(again, target, 1), 1);
}

TEST(FilterAndPatchInfo, Edits) {
    MacroData d;
    d.setU16(macro_data::kFilterReference, 0xFFFF);
    d.setU16(macro_data::kFilterOffset, 0xFFFF);
    d.setU16(macro_data::kFilterFlags, 0x8002);
    EXPECT_EQ(d.templateName(d.s16(macro_data::kFilterReference)), "");
    EXPECT_EQ(nonNegativeText(d.s16(macro_data::kFilterOffset)), "");
    MacroData edited = d;
    setFilterGroup(edited, 5, "200");
    setFilterGroup(edited, 6, "-1");
    setFilterGroup(edited, 7, "");
    setFilterGroup(edited, 95, "12");
    // 200 is negative as a signed byte; empty stores 0.
    EXPECT_EQ(std::tuple(filterGroupText(edited, 5), filterGroupText(edited, 7),
                         filterGroupText(edited, 95)),
              std::tuple("", "0", "12"));
    EXPECT_EQ(edited.fixed[macro_data::kFilterGroups + 5], 200);
    acceptFilter(d, edited, "", true);
    EXPECT_EQ(std::tuple(d.u16(macro_data::kFilterOffset), d.u16(macro_data::kFilterFlags),
                         filterGroupText(d, 95)),
              std::tuple(0, 0x8003, "12"));

    // Patch information: OK without a reference leaves no block; a reference
    // for descriptor 1 alone keeps it.
    MacroData none;
    acceptPatchInfo(none, openPatchInfo(none), "5", "6");
    EXPECT_FALSE(none.patchInfo);
    MacroData info = openPatchInfo(none);
    ASSERT_EQ(info.patchInfo->size(), 1040u);
    setPatchInfoReference(*info.patchInfo, 1, 0);
    setPatchInfoValue(*info.patchInfo, 1, 0, "-1");
    setPatchInfoValue(*info.patchInfo, 1, 1, "300");
    setPatchInfoTag(*info.patchInfo, 1, 1, "Thirteen char");
    setPatchInfoTag(*info.patchInfo, 1, 2, "Fourteen chars");
    acceptPatchInfo(none, info, " -2", "x");
    ASSERT_TRUE(none.patchInfo);
    EXPECT_EQ(std::tuple(patchInfoOffset(*none.patchInfo, 0), patchInfoOffset(*none.patchInfo, 1)),
              std::tuple(-2, 0));
    EXPECT_EQ(nonNegativeText(patchInfoValue(*none.patchInfo, 1, 0)), "");
    EXPECT_EQ(patchInfoValue(*none.patchInfo, 1, 1), 44);
    EXPECT_EQ(patchInfoTag(*none.patchInfo, 1, 1), "Thirteen char");
    EXPECT_EQ(patchInfoTag(*none.patchInfo, 1, 2), "Fourteen char");
    EXPECT_EQ(none.patchInfo->at(80 + 15 * 17 + 13), 0);  // the terminator fits the 15 bytes
}
