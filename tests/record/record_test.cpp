#include "source/record.h"

#include <gtest/gtest.h>

using namespace sf;

TEST(Record, NewSourceDefaultsAndTheValidModuleCount) {
    // The shown values of a new source are checked with the value texts.
    auto r = newSource();
    EXPECT_EQ(r->text(0, 8), "DEV_SRCE");
    EXPECT_EQ(r->u16(rec::kFormatVersion), 100);
    EXPECT_EQ(r->modU16(0, 4098 - 4054 + rec::kModMacroData), 0xFFFF);
    // A slot never used keeps all zero, in particular no 0xFFFF reference.
    EXPECT_EQ(r->modU16(1, rec::kModMacroFilter), 0);
    // The valid modules end at the first one without a name.
    r->setU16(rec::kModuleCount, 3);
    r->setText(rec::moduleBase(2), rec::kModNameSize, "Third");
    EXPECT_EQ(validModuleCount(*r), 1);
}

TEST(Record, CopyDuplicatesEveryBlockAndCompares) {
    auto a = newSource();
    a->setModU16(0, rec::kModSubBankCount, 5);
    a->block(0, 2) = Block{1, 2, 3};
    a->block(0, 7) = Block{9};  // beyond the sub-bank count: not walked
    auto b = copyRecord(*a);
    ASSERT_TRUE(b->block(0, 7).has_value());
    EXPECT_NE(b->block(0, 2)->data(), a->block(0, 2)->data());
    EXPECT_TRUE(sameRecord(*a, *b));
    (*b->block(0, 7))[0] = 8;  // not walked: ignored by the comparison
    EXPECT_TRUE(sameRecord(*a, *b));
    a->setModU16(0, rec::kModSubBankCount, 8);
    b->setModU16(0, rec::kModSubBankCount, 8);
    EXPECT_FALSE(sameRecord(*a, *b));  // comes back once it is walked again
    (*b->block(0, 2))[2] = 4;
    b->block(0, 7) = a->block(0, 7);
    EXPECT_FALSE(sameRecord(*a, *b));
    b->block(0, 2).reset();
    EXPECT_FALSE(sameRecord(*a, *b));
}

TEST(Record, NormaliseStructure) {
    auto r = newSource();
    const auto word = [&](std::size_t off) { return r->modU16(0, off); };
    const auto set = [&](std::size_t off, std::uint16_t v) { r->setModU16(0, off, v); };
    // Structure 7 keeps one patch and clears the sizes of the others.
    set(rec::kModStructure, 7), set(rec::kModTotalPatches, 40), set(rec::kModDataStart, 6);
    set(rec::kModSharedSize, 9), set(rec::kModLargePatches, 3);
    normaliseStructure(*r, 0);
    EXPECT_TRUE(word(rec::kModTotalPatches) == 1 && word(rec::kModPatchesAboveSize) == 1);
    EXPECT_EQ(word(rec::kModDataStart) + word(rec::kModSharedSize) + word(rec::kModLargePatches),
              0);
    // Structure 5: every patch is a large one; the shared size stays.
    set(rec::kModStructure, 5), set(rec::kModTotalPatches, 12), set(rec::kModSharedSize, 9);
    normaliseStructure(*r, 0);
    EXPECT_EQ(word(rec::kModSharedSize), 9);
    EXPECT_EQ(word(rec::kModLargePatches), 12);
}
