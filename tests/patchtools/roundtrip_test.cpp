// What the patch tool editors store survives save, reload, undo and redo, and
// reaches the compiled driver.
#include <gtest/gtest.h>

#include "compiler/compiler_support.h"
#include "editor/document.h"
#include "patchtools/converter.h"
#include "patchtools/macroeditor.h"
#include "patchtools/patchinfo.h"
#include "patchtools/templates.h"
#include "source/valuetext.h"
#include "support/temp_dir.h"

using namespace sf;

namespace {

// Edits module 0 the way the dialogs do: two templates, three macros with
// parameters, a filter, a patch descriptor, and a converter whose last
// record is a loop end that still holds numbers.
void editEverything(SourceRecord& r) {
    r.setModU16(0, rec::kModHasMacro, 1);
    // The driver carries converter and macros for a module that shows names.
    r.setModU16(0, rec::kModFlags, static_cast<std::uint16_t>(r.modU16(0, rec::kModFlags) | 0x08));
    TemplateEditor t{MacroData::fromModule(r, 0)};
    t.add();
    t.add();
    t.setText(0, TemplateColumn::Min, "-100");
    t.setBitRange(1, "4", "8", true);
    MacroEditor m{t.takeData()};
    for (int i = 0; i < 3; ++i) {
        auto sel = m.addMacro();
        m.editCell(*sel, MacroColumn::From, std::to_string(-i));
        m.addParameter(*sel, i % 2);
        if (i == 1) m.addParameter(*sel, 0);
    }
    m.editCell({1, 1}, MacroColumn::From, "300");
    MacroData d = m.takeData();
    MacroData info = openPatchInfo(d);
    setPatchInfoReference(*info.patchInfo, 0, 1);
    setPatchInfoValue(*info.patchInfo, 0, 0, "3");
    setPatchInfoTag(*info.patchInfo, 0, 0, "Mono");
    acceptPatchInfo(d, info, "12", "");
    MacroData filter = d;
    setFilterGroup(filter, 4, "9");
    acceptFilter(d, filter, "20", true);
    storeMacroEdit(r, 0, &d);

    ConverterEditor c(r, 0);
    c.insert(std::nullopt);
    c.insert(0);
    OperationForm f = OperationForm::load(c.operation(1));
    f.boxes.insert_or_assign(201, std::string("40000"));
    f.boxes.insert_or_assign(205, std::string("7"));
    f.apply(c.operation(1));
    f.type = 4;
    f.apply(c.operation(1));  // a loop end keeps its numbers
    c.finalSizeText = "64";
    c.apply(r, 0);
}

}  // namespace

TEST(PatchToolsRoundTrip, OwnershipOfTheBlocksAtOkAndCancel) {
    auto r = newSource();
    MacroEditor m{MacroData::fromModule(*r, 0)};
    m.addMacro();
    MacroData d = m.takeData();
    storeMacroEdit(*r, 0, &d);
    EXPECT_TRUE(r->block(0, rec::kSlotMacros));
    EXPECT_FALSE(r->block(0, rec::kSlotTemplates));  // no template: no block
    // A group shows no value; the tree's tool tip tells it is filled.
    EXPECT_EQ(formatValue(*r, makeRef(306, 0)), "");
    EXPECT_EQ(filledGroupNote(*r, makeRef(306, 0)), "This module holds a macro list.");
    EXPECT_EQ(filledGroupNote(*r, makeRef(306, 1)), "");

    MacroEditor again{MacroData::fromModule(*r, 0)};
    again.remove({0, -1});
    d = again.takeData();
    storeMacroEdit(*r, 0, &d);
    EXPECT_FALSE(r->block(0, rec::kSlotMacros));
    EXPECT_EQ(filledGroupNote(*r, makeRef(306, 0)), "");

    // Cancel changes nothing but still drops a template block holding none.
    r->block(0, rec::kSlotTemplates) = Block(28, 0);
    storeMacroEdit(*r, 0, nullptr);
    EXPECT_FALSE(r->block(0, rec::kSlotTemplates));

    ConverterEditor c(*r, 0);
    c.insert(std::nullopt);
    c.apply(*r, 0);
    EXPECT_EQ(formatValue(*r, makeRef(304, 0)), "");
    EXPECT_EQ(filledGroupNote(*r, makeRef(304, 0)),
              "This module holds a patch format converter program.");
}

TEST(PatchToolsRoundTrip, SaveReloadUndoRedoAndCompile) {
    testsupport::TempDir dir;
    const auto path = dir / "edited.d";
    SourceDoc doc(newSource());
    editEverything(doc.working());
    doc.checkpoint();
    RecordingPrompter p;
    ASSERT_TRUE(doc.save(path, &p));

    SourceDoc back(path);
    EXPECT_TRUE(sameRecord(back.working(), doc.working()));

    // Undo takes the whole edit back; redo restores it.
    ASSERT_TRUE(doc.undo());
    EXPECT_FALSE(doc.working().block(0, rec::kSlotMacros));
    EXPECT_FALSE(doc.working().block(0, rec::kSlotConverter));
    ASSERT_TRUE(doc.redo());
    EXPECT_TRUE(sameRecord(back.working(), doc.working()));

    // The edited blocks reach the driver (their byte order is the compiler tests' part).
    const test::Bytes img = test::compileOk(back.working());
    ASSERT_FALSE(img.empty());
    EXPECT_EQ(getBE16(test::blockAt(img, test::mod(0) + drv::kMMacrosRef), 0), 3);
    EXPECT_EQ(getBE16(img, test::mod(0) + drv::kMOperationCount), 2);
    EXPECT_EQ(getBE16(img, test::mod(0) + drv::kMTemplateCount), 2);
}
