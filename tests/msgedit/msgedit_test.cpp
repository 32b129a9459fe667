#include "sysex/msgedit.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace sf;

namespace {

std::vector<int> labels(const MessageEditor& e) {
    std::vector<int> out;
    for (const MessageRow& r : e.rows()) out.push_back(r.label);
    return out;
}

std::vector<MessageUnit> head(const MessageEditor& e) {
    return {e.units().begin(), e.units().begin() + e.count()};
}

MessageEditor editorOf(std::vector<MessageUnit> units, int capacity, int header = 5) {
    return MessageEditor(units, static_cast<int>(units.size()), capacity, header);
}

}  // namespace

TEST(MessageEditor, RowsLabelsAndColumns) {
    MessageEditor empty({}, 0, 3, 5);
    EXPECT_EQ(labels(empty), (std::vector<int>{1, 2, 3}));
    const MessageRow& free = empty.rows()[2];
    EXPECT_EQ(free.kind, MessageRow::Kind::Free);
    EXPECT_EQ(free.hexa + free.decimal + free.ascii + free.comment, "---Free");

    // A Head unit advances the labels by the length of the common header.
    auto e = editorOf({0xF0, 0xFD, 0x10, 0xFE, 0xF7}, 12);
    EXPECT_EQ(labels(e), (std::vector<int>{1, 2, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    const auto& rows = e.rows();
    EXPECT_EQ(rows[0].hexa + "|" + rows[0].decimal + "|" + rows[0].comment,
              "$F0|240|Start of Sysex");
    EXPECT_EQ(rows[1].hexa + "|" + rows[1].decimal + "|" + rows[1].comment, "Head||default header");
    EXPECT_EQ(rows[3].comment, "value depends on context");
    EXPECT_EQ(rows[2].ascii, " ");  // 0x10 is not printable
    EXPECT_EQ(rows[4].comment, "End of Sysex");

    // Flush has no description: a tag row with an empty comment.
    auto f = editorOf({0x41, 0xF8}, 8);
    EXPECT_EQ(f.rows()[0].ascii, "A");
    EXPECT_EQ(f.rows()[1].kind, MessageRow::Kind::Tag);
    EXPECT_EQ(f.rows()[1].hexa + f.rows()[1].comment, "Flush");
}

TEST(MessageEditor, EditDeleteInsertRebuildFromRowTexts) {
    auto e = editorOf({0xF0, 0x43, 0x10, 0xF7}, 8);
    e.insert(2);
    EXPECT_EQ(head(e), (std::vector<MessageUnit>{0xF0, 0x43, 0x4000, 0x10, 0xF7}));

    // A chosen description stores its tag; the Flush tag elsewhere survives.
    auto g = editorOf({0xF0, 0xF8, 0x01}, 8);
    EXPECT_TRUE(g.edit(2, "Wait100 (Wait 100 ms)"));
    EXPECT_EQ(head(g), (std::vector<MessageUnit>{0xF0, 0xF8, 0xA5}));
    EXPECT_FALSE(g.edit(2, "Wait100"));  // same text as the row: nothing done

    // Typed into a free row: after the last unit; with separators: several units.
    EXPECT_TRUE(g.edit(6, "'A'"));
    EXPECT_TRUE(g.edit(0, "$F0;$7F"));
    EXPECT_EQ(head(g), (std::vector<MessageUnit>{0xF0, 0x7F, 0xF8, 0xA5, 0x0041}));

    // Rebuilds read the rows back as hexadecimal: 241 becomes V3, $FF (no row) goes.
    auto d = editorOf({0x40F1, 0x00FF, 0x4041}, 8);
    EXPECT_EQ(d.rows()[1].hexa, "$41");
    d.remove(5);  // a free row: only the entry forms change
    EXPECT_EQ(head(d), (std::vector<MessageUnit>{0xF1, 0x41}));
    d.remove(0);
    EXPECT_EQ(head(d), (std::vector<MessageUnit>{0x41}));
}

TEST(MessageEditor, CapacityIsNeverExceededAndChangedComparesWithTheOpening) {
    auto full = editorOf({1, 2, 3, 4}, 4);
    EXPECT_FALSE(full.canInsert(0) || full.canDelete(std::nullopt));
    full.insert(0);  // refused as the disabled button would
    EXPECT_EQ(full.count(), 4);

    // Too many pieces: the first that fit are kept and the dialog is told.
    auto e = editorOf({0x01, 0x02, 0x03}, 4);
    EXPECT_TRUE(e.edit(1, "$10,$11,$12"));
    EXPECT_TRUE(e.lastEditTruncated());
    EXPECT_EQ(head(e), (std::vector<MessageUnit>{0x01, 0x10, 0x11, 0x12}));
    e.remove(0);
    EXPECT_FALSE(e.lastEditTruncated());
    // Changed compares with the message the editor opened with.
    auto c = editorOf({0xF0, 0x41, 0xF7}, 8);
    EXPECT_FALSE(c.changed());
    c.insert(1);
    EXPECT_TRUE(c.changed());
    c.remove(1);  // back to what it opened with
    EXPECT_FALSE(c.changed());
    // Units beyond the count do not matter.
    MessageUnit units[3] = {0x41, 0x1234, 0x5678};
    MessageEditor tail(units, 1, 3, 0);
    tail.insert(0);
    tail.remove(0);
    EXPECT_NE(tail.units()[1], 0x1234);
    EXPECT_FALSE(tail.changed());
}

TEST(MessageEditor, ValueDialogList) {
    const auto list = sortedTagDescriptions();
    const auto lower = [](std::string t) {
        for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LT(lower(list[i - 1]), lower(list[i]));
    const std::pair<const char*, const char*> cases[] = {{"Wait10", "Wait10 (Wait 10 ms)"},
                                                         {"Chk", "Chk (Checksum)"},
                                                         {"flush", "Flush"},
                                                         {"V1", "V1 (Generic variable 1)"}};
    for (auto [initial, selected] : cases) {
        auto i = valueDialogSelection(initial);
        ASSERT_TRUE(i) << initial;
        EXPECT_EQ(list[static_cast<std::size_t>(*i)], selected);
    }
    EXPECT_FALSE(valueDialogSelection("$F0") || valueDialogSelection("-"));
    EXPECT_EQ(valueDialogResult(std::string(300, 'x')).size(), 199u);
}
