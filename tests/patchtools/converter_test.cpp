#include "patchtools/converter.h"

#include <gtest/gtest.h>

using namespace sf;
using namespace sf::converter_op;

namespace {

// A record with `ops` (type, then arg1..arg3) in module 0.
std::unique_ptr<SourceRecord> withOps(std::initializer_list<std::array<int, 4>> ops) {
    auto r = newSource();
    Block b;
    for (const auto& o : ops) {
        Block op(kSize, 0);
        op[kType] = static_cast<std::uint8_t>(o[0]);
        for (int i = 0; i < 3; ++i)
            putLE16(ByteSpan(op), kArg1 + 2 * i, static_cast<std::uint16_t>(o[i + 1]));
        b.insert(b.end(), op.begin(), op.end());
    }
    r->setModU16(0, rec::kModConverterCount, static_cast<std::uint16_t>(ops.size()));
    if (!b.empty()) r->block(0, rec::kSlotConverter) = b;
    return r;
}

void runForm(ConverterEditor& e, int index, int type, std::map<int, std::string> boxes) {
    OperationForm f = OperationForm::load(e.operation(index));
    f.type = type;
    for (auto& [id, text] : boxes) f.boxes[id] = text;
    f.apply(e.operation(index));
}

}  // namespace

TEST(Converter, EmptyAndFullPrograms) {
    auto r = withOps({});
    r->setModU16(0, rec::kModConverterFinalSize, 77);
    ConverterEditor e(*r, 0);
    EXPECT_TRUE(e.listing().empty());
    EXPECT_TRUE(e.canInsert(std::nullopt));
    EXPECT_FALSE(e.canDelete(std::nullopt));
    EXPECT_EQ(e.finalSizeText, "77");
    e.finalSizeText = " -3 bytes";
    e.apply(*r, 0);
    EXPECT_EQ(r->modU16(0, rec::kModConverterCount), 0);
    EXPECT_EQ(r->modS16(0, rec::kModConverterFinalSize), -3);
    EXPECT_FALSE(r->block(0, rec::kSlotConverter));

    // Insert stops at the largest program a block can store.
    r->setModU16(0, rec::kModConverterCount, kMaxOperations);
    Block b(kMaxOperations * kSize, 0);
    for (std::size_t i = 0; i < b.size(); i += kSize) b[i] = 1;
    r->block(0, rec::kSlotConverter) = b;
    ConverterEditor full(*r, 0);
    EXPECT_FALSE(full.canInsert(0));
    EXPECT_FALSE(full.insertRefusal().empty());
    EXPECT_FALSE(full.insert(0));
    full.remove(0);
    EXPECT_TRUE(full.canInsert(0));
}

TEST(Converter, InsertDeleteAndListing) {
    auto r = withOps({{1, 1, 2, 3}, {3, 3, 10, 8}, {2, 0, 0, 1}, {4, 0, 0, 0}});
    ConverterEditor e(*r, 0);
    EXPECT_EQ(e.listing()[1],
              "Start loop - Do 3 loops; add 10 to source position; add 8 to destination position");
    EXPECT_EQ(e.insert(2), 2);
    auto list = e.listing();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[2], "Copy 0 bytes from source position 0 to destination position 0");
    EXPECT_EQ(list[3],
              "Copy 1 bits from source position 0 - bit 0 to destination position 0 - bit 0");
    EXPECT_EQ(list[4], "End loop");
    EXPECT_EQ(e.remove(4), 3);
    EXPECT_EQ(e.remove(0), 0);
    e.apply(*r, 0);
    EXPECT_EQ(r->modU16(0, rec::kModConverterCount), 3);
    EXPECT_EQ(r->block(0, rec::kSlotConverter)->size(), 30u);

    // A type-0 record ends the listing, but the whole block is kept.
    auto z = withOps({{1, 1, 1, 1}, {0, 0, 0, 0}, {1, 2, 2, 2}});
    ConverterEditor ze(*z, 0);
    EXPECT_EQ(ze.listing().size(), 1u);
    EXPECT_FALSE(ze.canDelete(1));
    ze.apply(*z, 0);
    EXPECT_EQ(z->block(0, rec::kSlotConverter)->size(), 30u);
    EXPECT_EQ(z->modU16(0, rec::kModConverterCount), 3);

    // A count beyond the block (a damaged file) is cut to the records present;
    // records beyond a smaller count are carried along.
    z->setModU16(0, rec::kModConverterCount, 50);
    EXPECT_EQ(ConverterEditor(*z, 0).count(), 3);
    z->setModU16(0, rec::kModConverterCount, 1);
    ConverterEditor shorter(*z, 0);
    EXPECT_EQ(shorter.insert(0), 0);
    shorter.apply(*z, 0);
    EXPECT_EQ(z->modU16(0, rec::kModConverterCount), 2);
    EXPECT_EQ(z->block(0, rec::kSlotConverter)->size(), 40u);
}

TEST(Converter, OperationDialogReadsAndClamps) {
    auto r = withOps({{1, 5, 6, 7}});
    ConverterEditor e(*r, 0);
    OperationForm f = OperationForm::load(e.operation(0));
    EXPECT_EQ(f.type, 1);
    EXPECT_EQ(f.boxes.at(201) + "," + f.boxes.at(203) + "," + f.boxes.at(205), "5,6,7");
    EXPECT_EQ(f.boxes.at(207), "");  // other types' boxes start empty

    const struct {
        const char *bit, *count;
        int storedBit, storedCount;
    } bits[] = {{"9", "0", 7, 1}, {"3", "12", 3, 8}, {"200", "5", 0, 5}, {"", "70000", 0, 8}};
    for (const auto& c : bits) {
        runForm(e, 0, 2, {{207, "1"}, {208, c.bit}, {210, "2"}, {211, c.bit}, {213, c.count}});
        ConstByteSpan op = e.operation(0);
        EXPECT_EQ(std::tuple(op[kSourceBit], op[kDestBit], getLE16(op, kArg3)),
                  std::tuple(c.storedBit, c.storedBit, c.storedCount))
            << c.bit << "/" << c.count;
    }

    // 40000 is stored as typed and listed as a signed number.
    runForm(e, 0, 1, {{201, "40000"}, {203, "1"}, {205, "2"}});
    EXPECT_EQ(getLE16(e.operation(0), kArg1), 40000);
    EXPECT_EQ(e.listing()[0], "Copy 2 bytes from source position -25536 to destination position 1");

    // Switching the type without typing stores 0 in the new type's fields;
    // loop end keeps the old numbers.
    runForm(e, 0, 3, {});
    EXPECT_EQ(e.listing()[0],
              "Start loop - Do 0 loops; add 0 to source position; add 0 to destination position");
    runForm(e, 0, 1, {{201, "4"}, {203, "5"}, {205, "6"}});
    runForm(e, 0, 4, {});
    EXPECT_EQ(getLE16(e.operation(0), kArg2), 5);

    // A record of an unknown type checks no radio button; OK reads type 1.
    e.operation(0)[kType] = 9;
    OperationForm unknown = OperationForm::load(e.operation(0));
    EXPECT_EQ(unknown.type, 0);
    EXPECT_EQ(e.listing(), std::vector<std::string>{""});
    unknown.apply(e.operation(0));
    EXPECT_EQ(e.operation(0)[kType], 1);
}
