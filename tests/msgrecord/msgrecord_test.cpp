#include <gtest/gtest.h>

#include "source/message_record.h"
#include "source/record.h"

using namespace sf;

TEST(MessageRecord, ReadWriteBoundedByCapacity) {
    auto r = newSource();
    const MessageFieldRef header{194, 192, 8};  // "Common header"
    EXPECT_EQ(formatMessageField(*r, header), "$F0");

    EXPECT_EQ(parseMessageField(*r, header, "$F0,$43,Chan,1,2,3,4,5,6,7,8"), 8);
    EXPECT_EQ(messageCount(*r, header), 8);
    EXPECT_EQ(r->u16(194 + 2 * 7), 0x4005);
    EXPECT_EQ(r->u16(210), 127);  // the next setting is untouched
    EXPECT_EQ(parseMessageField(*r, header, "$F7"), 1);
    EXPECT_EQ(r->u16(194 + 2 * 7), 0x00FF);  // a short text empties the units after it

    // A damaged count never reaches past the capacity.
    r->setU16(192, 0x7FFF);
    EXPECT_EQ(messageCount(*r, header), 8);
    EXPECT_EQ(readMessage(*r, header).size(), 8u);
    r->setU16(192, 0xFFFF);  // -1
    EXPECT_EQ(messageCount(*r, header), 0);
    EXPECT_EQ(formatMessageField(*r, header), "");

    // A field at the very end of the record cannot address units beyond it.
    const MessageFieldRef tail{rec::kRecordSize - 4, 0, 60};
    EXPECT_EQ(messageCapacity(tail), 2);
    EXPECT_EQ(parseMessageField(*r, tail, "1,2,3,4"), 2);
    EXPECT_EQ(r->u16(rec::kRecordSize - 2), 0x4002);
    const MessageFieldRef outside{rec::kRecordSize + 10, rec::kRecordSize + 10, 40};
    EXPECT_EQ(parseMessageField(*r, outside, "1,2"), 0);
    EXPECT_EQ(formatMessageField(*r, outside), "");
}

TEST(MessageEditTarget, CapacityAndHeaderLength) {
    auto r = newSource();
    auto header = messageEditTarget(*r, makeRef(15));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->capacity, 8);
    EXPECT_EQ(header->headerLength, 1);  // a new source's header is F0 alone
    parseMessageField(*r, header->field, "$F0,$43,$10,$7F,$1B");
    auto msg = messageEditTarget(*r, makeRef(35));
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->capacity, 40);
    EXPECT_EQ(msg->headerLength, 5);
    EXPECT_FALSE(messageEditTarget(*r, makeRef(103)));   // not a message
    EXPECT_FALSE(messageEditTarget(*r, makeRef(9999)));  // unknown
}
