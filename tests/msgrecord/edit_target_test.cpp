#include <gtest/gtest.h>

#include "source/message_record.h"

using namespace sf;

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
