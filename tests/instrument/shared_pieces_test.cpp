// Checksums, headers and device IDs shared by the MIDI output and the dump
// analysis.
#include <gtest/gtest.h>

#include "instrument/checksum.h"
#include "instrument/header.h"
#include "support.h"

namespace sf {
namespace {

using test::bytes;

TEST(Checksum, EveryTypeOverOneRange) {
    // Roland's textbook example: 40 00 7F 00 sums to 0xBF.
    const auto range = bytes({0x40, 0x00, 0x7F, 0x00});
    struct Case {
        int type;
        test::Bytes want;
    } cases[] = {
        {0, {}},           {1, {0x3F}}, {2, {0x41}}, {3, {0x01, 0x3F}},
        {4, {0x0B, 0x0F}}, {5, {0x3F}}, {6, {0x40}},
    };
    for (const auto& c : cases) {
        const auto got = computeChecksum(c.type, range, 0);
        EXPECT_EQ(test::Bytes(got.view().begin(), got.view().end()), c.want) << c.type;
    }
    EXPECT_EQ(computeChecksum(9, range, 0).size, 0u);
}

TEST(Checksum, InitialValueStartsTheSum) {
    // 0xBF + 0x41 = 0x100: Regular gives 0, the word shift carries into the high part.
    EXPECT_EQ(computeChecksum(1, bytes({0x40, 0x00, 0x7F, 0x00}), 0x41).bytes[0], 0x00);
    const auto w = computeChecksum(3, bytes({0x7F, 0x7F}), 0xFF);
    EXPECT_EQ(w.bytes[0], 0x03);  // 0x1FD >> 7
    EXPECT_EQ(w.bytes[1], 0x7D);
    EXPECT_EQ(computeChecksum(2, {}, 0).bytes[0], 0x00);
}

TEST(Header, HeadExpandsOnceAndDeviceIdStaysInItsBits) {
    const auto head = bytes({0xF0, 0x43, 0x10, kHeadCode});
    EXPECT_EQ(expandHead(bytes({kHeadCode, 0x7F, kHeadCode}), head),
              bytes({0xF0, 0x43, 0x10, 0xFD, 0x7F, 0xF0, 0x43, 0x10, 0xFD}));

    DeviceIdPlace place{2, 0x0F, 0};
    auto msg = bytes({0xF0, 0x43, 0x10, 0x01});
    placeDeviceId(msg, place, 5);
    EXPECT_EQ(msg, bytes({0xF0, 0x43, 0x15, 0x01}));
    placeDeviceId(msg, place, 0x13);  // only the mask's bits are written
    EXPECT_EQ(msg[2], 0x13);
    EXPECT_EQ(readDeviceId(msg, place), 3);

    DeviceIdPlace high{3, 0x70, 4};
    placeDeviceId(msg, high, 6);
    EXPECT_EQ(msg[3], 0x61);
    EXPECT_EQ(readDeviceId(msg, high), 6);
    // No ID in the messages, or a place beyond the message.
    EXPECT_EQ(readDeviceId(msg, DeviceIdPlace{0, 0x0F, 0}), -1);
    placeDeviceId(msg, DeviceIdPlace{9, 0x0F, 0}, 1);
    EXPECT_EQ(msg.size(), 4u);
}

TEST(Header, MatchComparesOnlyBitsOutsideTheIdMask) {
    const auto pattern = bytes({0xF0, 0x43, 0x00, kAnyByte, 0x7E});
    const DeviceIdPlace id{2, 0x0F, 0};
    EXPECT_TRUE(matchPattern(bytes({0xF0, 0x43, 0x0A, 0x55, 0x7E, 0x01}), pattern, id).matched);
    const auto wrongHigh = matchPattern(bytes({0xF0, 0x43, 0x1A, 0x00, 0x7E}), pattern, id);
    EXPECT_FALSE(wrongHigh.matched);
    EXPECT_EQ(wrongHigh.firstDifference, 2u);
    const auto shortMsg = matchPattern(bytes({0xF0, 0x43, 0x00}), pattern, id);
    EXPECT_FALSE(shortMsg.matched);
    EXPECT_EQ(shortMsg.firstDifference, 3u);
    // Without an ID place the whole byte counts; an empty pattern matches nothing.
    EXPECT_FALSE(
        matchPattern(bytes({0xF0, 0x43, 0x0A, 0, 0x7E}), pattern, DeviceIdPlace{}).matched);
    EXPECT_FALSE(matchPattern(bytes({0xF0}), {}, id).matched);
}

TEST(Header, ReceivePatternsExpandHeadFromTheSendHeaders) {
    test::Driver d;
    d.set(15, "$F0,$43,Chan,Chk").set(224, "Head,$7F,,Adr,Joker,$05,X1", 0);
    const auto p = expandedReceivePatterns(*d.record, 0);
    // Variable tags of the common header become wildcards too; the empty
    // unit expects no byte; the trailing X1 is dropped.
    EXPECT_EQ(p[0], bytes({0xF0, 0x43, kAnyByte, kAnyByte, 0x7F, kAnyByte, kAnyByte, 0x05}));
    EXPECT_TRUE(p[1].empty());

    d.choose(176, "No structure (save raw data)", 0);
    EXPECT_EQ(expandedReceivePatterns(*d.record, 0)[0], bytes({0xF0}));
}

}  // namespace
}  // namespace sf
