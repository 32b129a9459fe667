// Dump analysis on dumps built byte by byte.
#include "instrument/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "instrument/checksum.h"
#include "instrument/report.h"
#include "instrument/resolve.h"
#include "support.h"

namespace sf {
namespace {

using test::Bytes;
using test::bytes;
using test::operator+;
using Findings = std::vector<std::pair<int, std::string>>;

std::string padded(std::string name, std::size_t chars) {
    name.resize(chars, ' ');
    return name;
}

// A patch of `size` bytes with a 10-character `name` at `offset`, a running filler elsewhere.
Bytes patch(std::size_t size, std::size_t offset, const std::string& name) {
    Bytes p(size);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<std::uint8_t>((i * 7 + name.size()) & 0x7F);
    const std::string n = padded(name, 10);
    std::copy(n.begin(), n.end(), p.begin() + static_cast<std::ptrdiff_t>(offset));
    return p;
}

// header + data + checksum of type `type` over [checksumStart, end) + F7.
Bytes sysex(const Bytes& header, const Bytes& data, int checksumType, std::size_t checksumStart) {
    Bytes m = header + data;
    const auto c = computeChecksum(checksumType, ConstByteSpan(m).subspan(checksumStart), 0);
    m.insert(m.end(), c.view().begin(), c.view().end());
    m.push_back(0xF7);
    return m;
}

// Where a patch lies in the dump, its decoded size and its name.
auto placeOf(const DumpPatch& p) {
    return std::tuple(p.offset, p.size, p.decodedSize, p.name);
}

// The findings in order: the setting each names and how its text begins.
void expectFindings(const DumpAnalysis& a, const Findings& want) {
    ASSERT_EQ(a.findings.size(), want.size()) << (a.findings.empty() ? "" : a.findings[0].text);
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(a.findings[i].ref.id, want[i].first) << i;
        EXPECT_EQ(a.findings[i].text.substr(0, want[i].second.size()), want[i].second);
    }
}

std::string patchName(std::size_t i) {
    return "Patch " + std::to_string(i + 1);
}

// One message: F0 42 3n 19 4C 00 40, 32 patches of 128 bytes with
// 10-character names at 118, a two's-complement checksum over the data.
class Bank : public ::testing::Test {
  protected:
    void SetUp() override {
        d.set(15, "$F0,$42,$30,$19").set(20, "2").set(21, "$0F");
        d.choose(27, "2nd complement (-sum & 127)");
        d.choose(108, "Dump memory and display patch names", 0).choose(116, "Yes", 0);
        d.set(224, "Head,$4C,$00,$40", 0);
        d.choose(176, "X patches extracted from Y sysex packets", 0);
        d.set(177, "7", 0).set(178, "7", 0).set(180, "1", 0).set(181, "32", 0).set(182, "128", 0);
        d.set(238, "10", 0).set(239, "118", 0).set(256, "2", 0).set(257, "16", 0);
        d.set(262, "Int", 0, 0).set(262, "Card", 0, 1);
    }
    Bytes data(int patches = 32) const {
        Bytes out;
        for (std::size_t i = 0; i < static_cast<std::size_t>(patches); ++i)
            out = out + patch(128, 118, patchName(i));
        return out;
    }
    Bytes dump(int patches = 32, std::uint8_t id = 0x35) const {
        return sysex(header(id), data(patches), 2, 7);
    }
    static Bytes header(std::uint8_t id = 0x30) {
        return bytes({0xF0, 0x42, id, 0x19, 0x4C, 0x00, 0x40});
    }
    DumpAnalysis analyse(const Bytes& dump) const { return analyseDump(*d.record, 0, dump); }

    test::Driver d;
};

TEST_F(Bank, OneMessageCutIntoThirtyTwoNamedPatches) {
    const Bytes dumped = dump();
    const DumpAnalysis a = analyse(dumped);
    expectFindings(a, {});
    ASSERT_EQ(a.messages.size(), 1u);
    const DumpMessage& m = a.messages[0];
    EXPECT_EQ(std::pair(m.deviceId, m.checksumOffset), std::pair(5, 4103ul));

    ASSERT_EQ(a.patches.size(), 32u);
    for (std::size_t i = 0; i < 32; ++i) {
        const DumpPatch& p = a.patches[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(placeOf(p), std::tuple(7 + 128 * i, 128u, 128u, padded(patchName(i), 10)));
        EXPECT_EQ(std::tuple(p.subBank, p.position, p.nameIsText, p.checksum),
                  std::tuple(int(i / 16), int(i % 16), true, ChecksumStatus::Ok));
        EXPECT_EQ(p.nameBytes, (std::vector<ByteRange>{{p.offset + 118, 10}}));
    }

    // The rows of the analysis window's lists: header, data and checksum of the message.
    const std::string sum = hexBytes(Bytes{m.found.bytes[0]});
    EXPECT_EQ(messageRow(a, 0),
              (std::vector<std::string>{"1", "0", "4105", "#1", "7 + 4096", "ok, " + sum}));
    EXPECT_EQ(patchRow(a, *d.record, 16),
              (std::vector<std::string>{"17", "Card", "1", "2055", "128", "ok", "Patch 17  "}));

    // The colours of the hex view: header, data with names, checksum, F7.
    const auto roles = byteRoles(a);
    ASSERT_GE(roles.size(), 4u);
    EXPECT_EQ(roles[0], (RoleSpan{{0, 7}, ByteRole::Header}));
    EXPECT_EQ(roles[1].role, ByteRole::Data);
    EXPECT_EQ(roles[2], (RoleSpan{{125, 10}, ByteRole::Name}));
    EXPECT_EQ(roles[roles.size() - 2].role, ByteRole::Checksum);
    EXPECT_EQ(roles.back(), (RoleSpan{{dumped.size() - 1, 1}, ByteRole::Trailer}));
}

TEST_F(Bank, CountsThatDoNotMatchTheDumpPointAtTheirSettings) {
    d.set(181, "64", 0);
    DumpAnalysis a = analyse(dump());
    expectFindings(
        a, {{181, "The dump holds 32 patches of 128 bytes; Total number of patches says 64"}});
    EXPECT_EQ(a.findings[0].ref.index1, 0);

    // Two bytes more than 32 patches: left over without a queue, the queue with one.
    d.set(181, "32", 0);
    const Bytes longer = sysex(header(), data() + bytes({1, 2}), 2, 7);
    expectFindings(analyse(longer),
                   {{188, "2 bytes of data are left after the last patch, at offset 4103"}});
    d.choose(188, "Yes", 0).set(186, "2", 0);
    a = analyse(longer);
    expectFindings(a, {});
    EXPECT_EQ(std::pair(a.queueSize, a.queue), std::pair(2ul, std::vector<ByteRange>{{4103, 2}}));

    // Names that are not text, and more patches than the sub-banks hold.
    d.choose(188, "No", 0).set(239, "0", 0).set(257, "8", 0);
    a = analyse(dump());
    expectFindings(a, {{257, "The dump holds 32 patches; its sub-banks have places for 16"},
                       {239, "32 of 32 names are not text, the first in patch 1 (offset 7)"}});
    EXPECT_EQ(a.patches[16].subBank, -1);
}

TEST_F(Bank, OneWrongChecksumAndAWrongChecksumType) {
    // Three messages of one patch each; the second's checksum is damaged.
    d.choose(176, "1 patch per sysex packet", 0).set(181, "3", 0);
    const auto message = [](const char* name) {
        return sysex(header(), patch(128, 118, name), 2, 7);
    };
    Bytes second = message("Two");
    second[second.size() - 2] ^= 0x01;
    DumpAnalysis a = analyse(message("One") + second + message("Three"));
    ASSERT_EQ(a.messages.size(), 3u);
    EXPECT_EQ(a.messages[1].expected.bytes[0], a.messages[1].found.bytes[0] ^ 0x01);
    EXPECT_EQ(std::pair(a.patches[1].checksum, a.patches[2].checksum),
              std::pair(ChecksumStatus::Failed, ChecksumStatus::Ok));
    expectFindings(a, {{0, "1 of 3 checksums fail: message 2 (offset 137)"}});
    EXPECT_EQ(a.findings[0].bytes, (ByteRange{137 + 135, 1}));  // the damaged checksum
    const auto roles = byteRoles(a);
    EXPECT_NE(std::find(roles.begin(), roles.end(), RoleSpan{{272, 1}, ByteRole::ChecksumFailed}),
              roles.end());

    // Every checksum fails with the regular sum: the finding names the type that holds.
    d.choose(27, "Regular checksum (sum & 127)");
    a = analyse(message("One") + message("Two") + message("Three"));
    expectFindings(a, {{27, ""}});
    EXPECT_NE(a.findings[0].text.find("with the Type \"2nd complement (-sum & 127)\" and Checksum "
                                      "start in packet 7 every checksum holds"),
              std::string::npos)
        << a.findings[0].text;
}

TEST_F(Bank, MessagesCutShortOrTooShortForTheirLayout) {
    const Bytes whole = dump();
    const Bytes cut(whole.begin(), whole.begin() + 7 + 128 * 20 + 50);
    const DumpAnalysis a = analyse(cut);
    ASSERT_EQ(a.messages.size(), 1u);
    const DumpMessage& m = a.messages[0];
    EXPECT_EQ(std::tuple(m.terminated, m.checksum, m.dataEnd),
              std::tuple(false, ChecksumStatus::NotChecked, cut.size()));
    expectFindings(
        a,
        {{0,
          "1 message ends without F7 (cut short): the first is message 1 (offset 0), 2617 bytes"},
         {181, "The dump holds 20 patches of 128 bytes; Total number of patches says 32"},
         {188, ""}});
    // The cut message's bytes are data up to the end: no checksum, no F7.
    EXPECT_EQ(byteRoles(a).back().role, ByteRole::Data);

    // A header alone: no room for data and checksum; the bytes still have one role each.
    const Bytes dumped = header() + bytes({0xF7}) + whole;
    const DumpAnalysis tooShort = analyse(dumped);
    const DumpMessage& h = tooShort.messages.at(0);
    EXPECT_EQ(std::tuple(h.checksum, h.dataBegin),
              std::tuple(ChecksumStatus::NotChecked, h.dataEnd));
    ASSERT_FALSE(tooShort.findings.empty());
    EXPECT_EQ(tooShort.findings[0].ref.id, 177);
    std::size_t at = 0;
    for (const RoleSpan& r : byteRoles(tooShort)) {
        EXPECT_EQ(r.range.offset, at);
        at = r.range.end();
    }
    EXPECT_EQ(at, dumped.size());
}

TEST_F(Bank, MessagesOutsideTheModuleAndPartsNotAnalysed) {
    // Stray bytes, a message of another module (byte 4 differs), then the bank
    // with another device ID: the ID's bits are not compared.
    const Bytes other = bytes({0xF0, 0x42, 0x30, 0x19, 0x4D, 0x00, 0x40, 0xF7});
    DumpAnalysis a = analyse(bytes({0xFE, 0xFE}) + other + dump(32, 0x3F));
    ASSERT_EQ(a.messages.size(), 2u);
    EXPECT_EQ(a.messages[1].deviceId, 15);
    EXPECT_EQ(a.patches.size(), 32u);
    expectFindings(a, {{0, "2 bytes in 1 place lie outside SysEx messages, the first at offset 0"},
                       {224,
                        "1 of 2 messages match neither Header #1 nor Header #2: message 1 "
                        "(offset 2) differs at byte 4 ($4D)"}});
    EXPECT_EQ(byteRoles(a)[0], (RoleSpan{{0, 10}, ByteRole::Outside}));

    d.choose(176, "1 patch per block / 2 possible sizes", 0);
    a = analyse(dump());
    expectFindings(a, {{176, ""}});
    EXPECT_TRUE(a.findings[0].notAnalysed);
    EXPECT_TRUE(a.patches.empty());
    EXPECT_EQ(a.messages[0].checksum, ChecksumStatus::Ok);  // messages are still laid out

    d.choose(176, "X patches extracted from Y sysex packets", 0).choose(248, "Yes", 0);
    a = analyse(dump());
    expectFindings(a, {{248, ""}});
    EXPECT_FALSE(a.patches[0].hasName);
}

// Four messages of one 16-byte patch each, nibbled low nibble first, with
// 8-character names at 0 masked by 7F and mapped through the character table.
TEST(Analysis, NibbledDump) {
    test::Driver d;
    d.choose(108, "Dump memory and display patch names", 0).set(224, "$F0,$43,Chan,$09", 0);
    d.choose(117, "1 byte <-> lower 4 bits then higher 4 bits", 0);
    d.set(177, "4", 0).set(181, "4", 0).set(182, "16", 0).set(238, "8", 0).set(239, "0", 0);
    d.set(240, "$7F", 0).choose(244, "Yes", 0).set(256, "1", 0).set(257, "4", 0);
    d.record->setU8(rec::kAsciiTable + '_', '-');  // the instrument's '_' shows as '-'

    Bytes dumped;
    for (int i = 0; i < 4; ++i) {
        const std::string name = padded("Str_" + std::to_string(i), 8);
        Bytes plain = Bytes(name.begin(), name.end()) + Bytes(8, 0x5A);
        plain[0] |= 0x80;  // a flag bit in the name's first byte
        Bytes nibbles;
        for (const std::uint8_t b : plain) nibbles = nibbles + bytes({b & 0x0F, b >> 4});
        dumped = dumped + bytes({0xF0, 0x43, 0x00, 0x09}) + nibbles + bytes({0xF7});
    }
    const DumpAnalysis a = analyseDump(*d.record, 0, dumped);
    expectFindings(a, {});
    ASSERT_EQ(a.patches.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const DumpPatch& p = a.patches[i];
        EXPECT_EQ(placeOf(p), std::tuple(37 * i + 4, 32u, 16u, "Str-" + std::to_string(i) + "   "));
        EXPECT_EQ(p.nameBytes, (std::vector<ByteRange>{{p.offset, 16}}));
        EXPECT_EQ(p.position, int(i));
    }
    // An odd number of nibbles does not decode into whole bytes.
    dumped.insert(dumped.begin() + 36, 0x01);
    const DumpAnalysis odd = analyseDump(*d.record, 0, dumped);
    ASSERT_FALSE(odd.findings.empty());
    EXPECT_EQ(odd.findings[0].ref.id, 117);
}

// Roland packets: F0 41 10 42 12, 3 address bytes, data, checksum over address and
// data; each 200-byte patch comes as a packet of 128 bytes and one of 72.
TEST(Analysis, RolandPacketsWithAddressAndChecksum) {
    test::Driver d;
    d.choose(27, "2nd complement (-sum & 127)").set(20, "2").set(21, "$0F");
    d.choose(108, "Dump memory and display patch names", 0).choose(116, "Yes", 0);
    d.choose(123, "Yes", 0).set(124, "128", 0).set(224, "$F0,$41,Chan,$42,$12,Adr,Chk", 0);
    d.set(177, "8", 0).set(178, "5", 0).set(181, "3", 0).set(182, "200", 0).set(238, "10", 0);
    d.set(239, "0", 0).set(256, "1", 0).set(257, "8", 0);

    Bytes dumped;
    int address = 0;
    for (int i = 0; i < 3; ++i) {
        const Bytes p = patch(200, 0, "Tone " + std::to_string(i + 1));
        for (const Bytes& data :
             {Bytes(p.begin(), p.begin() + 128), Bytes(p.begin() + 128, p.end())}) {
            const Bytes head =
                bytes({0xF0, 0x41, 0x10, 0x42, 0x12, 0x20, address >> 7, address & 0x7F});
            dumped = dumped + sysex(head, data, 2, 5);
            address += 128;
        }
    }
    const auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        const DumpAnalysis a = analyseDump(*d.record, 0, dumped);
        expectFindings(a, {});
        ASSERT_EQ(a.messages.size(), 6u);  // a failing checksum would be a finding
        ASSERT_EQ(a.patches.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            const DumpPatch& p = a.patches[i];
            EXPECT_EQ(std::pair(p.firstMessage, p.lastMessage),
                      std::pair(2 * int(i), 2 * int(i) + 1));
            // Both packets' data and what lies between: checksum, F7 and the next header.
            EXPECT_EQ(placeOf(p), std::tuple(220 * i + 8, 128u + 2u + 8u + 72u, 200u,
                                             "Tone " + std::to_string(i + 1) + "    "));
        }
    };
    check("fixed packet size");

    // The same packets as a sequence of variable sizes.
    d.choose(125, "Yes", 0).set(130, "1", 0, 0).set(128, "128", 0, 0);
    d.set(130, "1", 0, 1).set(128, "72", 0, 1);
    check("packet sequence");

    d.set(128, "70", 0, 1);
    const DumpAnalysis wrong = analyseDump(*d.record, 0, dumped);
    ASSERT_FALSE(wrong.findings.empty());
    EXPECT_EQ(wrong.findings[0].ref.id, 128);
    EXPECT_EQ(wrong.findings[0].ref.index2, 1);
}

}  // namespace
}  // namespace sf
