// Which blocks the patch tool editors leave in the source at OK and Cancel,
// and how the tree shows them. Saving, undo and compiling the blocks are the
// source file, document and compiler tests' part.
#include <gtest/gtest.h>

#include "patchtools/converter.h"
#include "patchtools/macroeditor.h"
#include "source/valuetext.h"

using namespace sf;

TEST(PatchToolBlocks, KeptOrDroppedAtOkAndCancel) {
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
