// Checksums, headers, device IDs and data conversions shared by the MIDI
// output and the dump analysis.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "instrument/checksum.h"
#include "instrument/conversion.h"
#include "instrument/header.h"
#include "support.h"

namespace sf {
namespace {

using test::bytes;

TEST(Checksum, EveryTypeOverOneRangeAndFromAnInitialValue) {
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

    // The initial value starts the sum: 0xBF + 0x41 = 0x100: Regular gives 0, the word shift
    // carries into the high part.
    EXPECT_EQ(computeChecksum(1, range, 0x41).bytes[0], 0x00);
    const auto w = computeChecksum(3, bytes({0x7F, 0x7F}), 0xFF);
    EXPECT_EQ(test::Bytes(w.view().begin(), w.view().end()), bytes({0x03, 0x7D}));  // 0x1FD
    EXPECT_EQ(computeChecksum(2, {}, 0).bytes[0], 0x00);
}

TEST(Header, HeadExpandsOnceAndDeviceIdStaysInItsBitsAlsoWhenMatched) {
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

    // A match compares only the bits outside the ID mask.
    const auto pattern = bytes({0xF0, 0x43, 0x00, kAnyByte, 0x7E});
    const DeviceIdPlace id{2, 0x0F, 0};
    EXPECT_TRUE(matchPattern(bytes({0xF0, 0x43, 0x0A, 0x55, 0x7E, 0x01}), pattern, id).matched);
    for (const auto& [msg, at] : {std::pair(bytes({0xF0, 0x43, 0x1A, 0x00, 0x7E}), 2u),
                                  std::pair(bytes({0xF0, 0x43, 0x00}), 3u)}) {  // too short
        const auto m = matchPattern(msg, pattern, id);
        EXPECT_EQ(std::pair(m.matched, m.firstDifference), std::pair(false, std::size_t{at}));
    }
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

test::Bytes parseHex(const std::string& text) {
    test::Bytes out;
    std::istringstream in(text);
    for (unsigned byte; in >> std::hex >> byte;) out.push_back(static_cast<std::uint8_t>(byte));
    return out;
}

// The worked examples of the analysis help page: one table row per conversion,
// <tr data-conversion="N">, bytes in and out in <code>.
TEST(Conversion, HelpPageExamples) {
    std::ifstream page(std::string(SF_SOURCE_DIR) + "/src/gui/resources/help/2031.html");
    const std::string html((std::istreambuf_iterator<char>(page)), {});
    const std::regex row(
        R"re(data-conversion="(\d+)".*?<code>([^<]*)</code>.*?<code>([^<]*)</code>)re");
    std::set<int> seen;
    int rows = 0;
    for (std::sregex_iterator it(html.begin(), html.end(), row), end; it != end; ++it, ++rows) {
        const int conversion = std::stoi((*it)[1]);
        const test::Bytes in = parseHex((*it)[2]), out = parseHex((*it)[3]);
        seen.insert(conversion);
        const auto d = decodeData(conversion, in);
        EXPECT_EQ(d.bytes, out) << "conversion " << conversion;
        EXPECT_EQ(d.leftover + d.badBytes, 0u);
        EXPECT_EQ(decodedSize(conversion, in.size()), out.size());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kDataConversions));  // one example each
    EXPECT_EQ(rows, kDataConversions);
}

TEST(Conversion, ShortLastGroupsAndLeftovers) {
    // 7-in-8 groups may end short: k bytes and their msb byte, or k groups of 7 bits.
    EXPECT_EQ(decodeData(1, bytes({0x7F, 0x00, 0x01})).bytes, bytes({0xFF, 0x00}));
    EXPECT_EQ(decodeData(6, bytes({0x55, 0x40})).bytes, bytes({0xAB}));
    EXPECT_EQ(decodeData(10, bytes({0x2B, 0x01})).bytes, bytes({0xAB}));
    const auto lone = decodeData(1, bytes({1, 2, 3, 4, 5, 6, 7, 0, 9}));
    EXPECT_EQ(std::pair(lone.bytes.size(), lone.leftover), std::pair(7ul, 1ul));
    EXPECT_EQ(decodedSize(1, 9), 7u);
    EXPECT_EQ(decodeData(2, bytes({1, 2, 3})).leftover, 1u);
    EXPECT_EQ(decodeData(3, bytes({1, 2, 3})).bytes.size(), 2u);
    // Not a hexadecimal digit: reported where it lies, decoded as 0.
    const auto hex = decodeData(4, bytes({'4', '1', 'G', '2'}));
    EXPECT_EQ(std::tuple(hex.bytes, hex.badBytes, hex.firstBad),
              std::tuple(bytes({0x41, 0x02}), 1ul, 2ul));
    // A damaged source's unknown conversion decodes nothing.
    EXPECT_EQ(decodeData(11, bytes({1, 2})).leftover, 2u);
}

TEST(Conversion, EncodedRangeCoversTheDecodedBytes) {
    const struct {
        int conversion;
        std::size_t from, to, first, last;
    } cases[] = {
        {1, 2, 5, 2, 8},  // bytes of a msb-last group and the group's msb byte 7
        {1, 7, 8, 8, 16}, {2, 3, 5, 6, 10},
        {6, 1, 2, 1, 3},  // bit streams: decoded byte 1 is bits 8..15, in 7-bit groups 1 and 2
        {10, 6, 7, 6, 8}, {3, 1, 2, 0, 2},
    };
    for (const auto& c : cases) {
        const auto r = encodedRange(c.conversion, c.from, c.to);
        EXPECT_EQ(std::pair(r.first, r.last), std::pair(c.first, c.last))
            << c.conversion << ": " << c.from << ".." << c.to;
    }
}

}  // namespace
}  // namespace sf
