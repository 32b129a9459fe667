#include "driver/listdriver.h"

#include <gtest/gtest.h>

#include <tuple>

// GCC 12 reports a false -Wrestrict inside std::string assignment at -O3.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

using namespace sf;

namespace {
constexpr std::size_t kRows = 2736, kColumns = 2738, kNameLength = 2746;

std::size_t sb(int s, std::size_t field) {
    return rec::moduleBase(0) + rec::subBankBase(s) + field;
}

ListDriverValues basic() {
    ListDriverValues v;
    v.driverName = "KEYS";
    v.patchNameLength = "10";
    v.columns = "8";
    v.rows = "16";
    v.banks[0] = {"Preset A", "0", "0"};
    return v;
}
}  // namespace

TEST(ListDriver, ClampsAndComputedFields) {
    struct Case {
        const char *columns, *rows, *length;
        int wantColumns, wantRows, wantLength;
    };
    const Case cases[] = {
        {"0", "200", "4", 1, 128, 8},
        {"8", "16", "999", 8, 16, 64},
        {"", "12abc", "10", 1, 12, 10},  // empty reads as 0; reading stops at a non-digit
        {"8", "99999999999999999999", "10", 8, 128, 10},  // no wrap-around to a small number
    };
    for (const Case& c : cases) {
        ListDriverValues v = basic();
        std::tie(v.columns, v.rows, v.patchNameLength) = std::tuple(c.columns, c.rows, c.length);
        auto r = generateListDriver(v);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->modU16(0, kColumns), c.wantColumns) << c.columns;
        EXPECT_EQ(r->modU16(0, kRows), c.wantRows) << c.rows;
        EXPECT_EQ(r->modU16(0, kNameLength), c.wantLength) << c.length;
        EXPECT_EQ(r->modU16(0, rec::kModPatchesPerSubBank), c.wantColumns * c.wantRows);
    }
    EXPECT_EQ(readUnsignedDecimal("-5"), 0u);
    EXPECT_EQ(readUnsignedDecimal("0042x7"), 42u);
}

TEST(ListDriver, SubBanksModuleAndRequiredNames) {
    ListDriverValues v = basic();
    v.banks[0] = {"ROM1", "3", "32"};
    v.banks[2] = {"ROM3LONGXX", "700000", "5"};  // 10 characters: 9 are kept
    auto r = generateListDriver(v);
    ASSERT_NE(r, nullptr);

    // Rows 0 and 2 filled: two sub-banks, row 1 (empty) is sub-bank 1.
    EXPECT_EQ(r->modU16(0, rec::kModSubBankCount), 2);
    EXPECT_EQ(r->text(sb(0, rec::kSbName), 10), "ROM1");
    EXPECT_EQ(r->text(sb(2, rec::kSbName), 10), "ROM3LONGX");
    EXPECT_EQ(r->u8(sb(2, rec::kSbName) + 9), 0);  // terminator after 9 characters
    EXPECT_EQ(r->u16(sb(0, rec::kSbBankCode)), 3);
    EXPECT_EQ(r->u16(sb(0, rec::kSbPatchStart)), 32);
    EXPECT_EQ(r->u16(sb(2, rec::kSbBankCode)), 32767);  // held at the field's range
    EXPECT_EQ(r->u16(sb(2, rec::kSbPatchStart)), 5);

    // All 16 rows are written, also the empty ones: ROM, editable ROM patches.
    EXPECT_EQ(r->u16(sb(15, rec::kSbType)), 2);
    EXPECT_EQ(r->u16(sb(15, rec::kSbFlags)) & 0x1, 0x1);
    // Module 0 keeps its default name; the driver name itself is not written anywhere.
    EXPECT_EQ(r->text(rec::moduleBase(0), rec::kModNameSize), "Module");
    EXPECT_EQ(r->text(16, 17), "");  // "Name"
    EXPECT_EQ(r->text(33, 17), "");  // "File name"

    // The driver name and the first row's name are required; a later row does not stand in.
    v = basic();
    v.driverName.clear();
    EXPECT_EQ(generateListDriver(v), nullptr);
    v = basic();
    v.banks[0].name.clear();
    v.banks[1].name = "B";
    EXPECT_EQ(generateListDriver(v), nullptr);
}
