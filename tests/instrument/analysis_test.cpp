// Dump analysis on dumps built byte by byte.
#include "instrument/analysis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "instrument/checksum.h"
#include "instrument/report.h"
#include "support.h"

namespace sf {
namespace {

using test::Bytes;
using test::bytes;
using test::choose;
using test::type;
using test::operator+;

// A name of `chars` characters, padded with blanks.
Bytes nameBytes(const std::string& name, std::size_t chars) {
    Bytes b(name.begin(), name.end());
    b.resize(chars, ' ');
    return b;
}

// A patch of `size` bytes with `name` at `offset` and a running filler elsewhere.
Bytes patch(std::size_t size, std::size_t offset, const std::string& name, std::size_t chars = 10) {
    Bytes p(size);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<std::uint8_t>((i * 7 + name.size()) & 0x7F);
    const Bytes n = nameBytes(name, chars);
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

ByteRole roleAt(const std::vector<RoleSpan>& roles, std::size_t offset) {
    for (const auto& r : roles)
        if (offset >= r.range.offset && offset < r.range.end()) return r.role;
    return ByteRole::Outside;
}

std::string hexText(unsigned b) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

std::string patchName(int i) {
    return "Patch " + std::to_string(i + 1);
}

// One message: F0 42 3n 19 4C 00 40, 32 patches of 128 bytes with
// 10-character names at 118, a two's-complement checksum over the data.
class Bank : public ::testing::Test {
  protected:
    void SetUp() override {
        SourceRecord& r = *src;
        type(r, 15, "$F0,$42,$30,$19");
        type(r, 20, "2");
        type(r, 21, "$0F");
        choose(r, 27, "2nd complement (-sum & 127)");
        choose(r, 108, "Dump memory and display patch names", 0);
        choose(r, 116, "Yes", 0);
        type(r, 224, "Head,$4C,$00,$40", 0);
        choose(r, 176, "X patches extracted from Y sysex packets", 0);
        type(r, 177, "7", 0);
        type(r, 178, "7", 0);
        type(r, 180, "1", 0);
        type(r, 181, "32", 0);
        type(r, 182, "128", 0);
        type(r, 238, "10", 0);
        type(r, 239, "118", 0);
        type(r, 256, "2", 0);
        type(r, 257, "16", 0);
        type(r, 262, "Int", 0, 0);
        type(r, 262, "Card", 0, 1);
    }

    Bytes data(int patches = 32) const {
        Bytes d;
        for (int i = 0; i < patches; ++i) d = d + patch(128, 118, patchName(i));
        return d;
    }
    Bytes dump(int patches = 32, std::uint8_t id = 0x35) const {
        return sysex(bytes({0xF0, 0x42, id, 0x19, 0x4C, 0x00, 0x40}), data(patches), 2, 7);
    }

    std::unique_ptr<SourceRecord> src = newSource();
};

TEST_F(Bank, OneMessageCutIntoThirtyTwoNamedPatches) {
    const Bytes d = dump();
    const DumpAnalysis a = analyseDump(*src, 0, d);
    EXPECT_TRUE(a.clean()) << (a.findings.empty() ? "" : a.findings[0].text);

    ASSERT_EQ(a.messages.size(), 1u);
    const DumpMessage& m = a.messages[0];
    EXPECT_EQ(m.pattern, 1);
    EXPECT_EQ(m.deviceId, 5);
    EXPECT_EQ(m.dataBegin, 7u);
    EXPECT_EQ(m.dataEnd, 7u + 4096u);
    EXPECT_EQ(m.checksum, ChecksumStatus::Ok);
    EXPECT_EQ(m.checksumOffset, 4103u);

    ASSERT_EQ(a.patches.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        const DumpPatch& p = a.patches[static_cast<std::size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.offset, 7u + 128u * static_cast<std::size_t>(i));
        EXPECT_EQ(p.size, 128u);
        EXPECT_EQ(p.subBank, i / 16);
        EXPECT_EQ(p.position, i % 16);
        const Bytes name = nameBytes(patchName(i), 10);
        EXPECT_EQ(p.name, std::string(name.begin(), name.end()));
        EXPECT_TRUE(p.nameIsText);
        EXPECT_EQ(p.checksum, ChecksumStatus::Ok);
        ASSERT_EQ(p.nameBytes.size(), 1u);
        EXPECT_EQ(p.nameBytes[0], (ByteRange{p.offset + 118, 10}));
    }

    // The rows of the analysis window's lists.
    EXPECT_EQ(messageRow(a, 0), (std::vector<std::string>{"1", "0", "4105", "#1", "7 + 4096",
                                                          "ok, " + hexText(m.found.bytes[0])}));
    EXPECT_EQ(patchRow(a, *src, 16),
              (std::vector<std::string>{"17", "Card", "1", "2055", "128", "ok", "Patch 17  "}));

    // The colours of the hex view: header, data with names, checksum, F7.
    const auto roles = byteRoles(a);
    ASSERT_GE(roles.size(), 4u);
    EXPECT_EQ(roles[0].range, (ByteRange{0, 7}));
    EXPECT_EQ(roles[0].role, ByteRole::Header);
    EXPECT_EQ(roles[1].role, ByteRole::Data);
    EXPECT_EQ(roles[2].range, (ByteRange{125, 10}));
    EXPECT_EQ(roles[2].role, ByteRole::Name);
    EXPECT_EQ(roles[roles.size() - 2].role, ByteRole::Checksum);
    EXPECT_EQ(roles.back().range, (ByteRange{d.size() - 1, 1}));
    EXPECT_EQ(roles.back().role, ByteRole::Trailer);
}

TEST_F(Bank, CountsThatDoNotMatchTheDumpPointAtTheirSettings) {
    type(*src, 181, "64", 0);
    const Bytes d = dump(32);
    DumpAnalysis a = analyseDump(*src, 0, d);
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_EQ(a.findings[0].ref.id, 181);
    EXPECT_EQ(a.findings[0].ref.index1, 0);
    EXPECT_EQ(a.findings[0].text,
              "The dump holds 32 patches of 128 bytes; Total number of patches says 64");

    // Two bytes more than 32 patches: left over without a queue, the queue with one.
    type(*src, 181, "32", 0);
    const Bytes longer =
        sysex(bytes({0xF0, 0x42, 0x30, 0x19, 0x4C, 0x00, 0x40}), data() + bytes({1, 2}), 2, 7);
    a = analyseDump(*src, 0, longer);
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_EQ(a.findings[0].ref.id, 188);
    EXPECT_EQ(a.findings[0].text.rfind(
                  "2 bytes of data are left after the last patch, at offset 4103", 0),
              0u);
    choose(*src, 188, "Yes", 0);
    type(*src, 186, "2", 0);
    a = analyseDump(*src, 0, longer);
    EXPECT_TRUE(a.clean());
    EXPECT_EQ(a.queueSize, 2u);
    EXPECT_EQ(a.queue, (std::vector<ByteRange>{{4103, 2}}));

    // Names that are not text, and more patches than the sub-banks hold.
    choose(*src, 188, "No", 0);
    type(*src, 239, "0", 0);
    type(*src, 257, "8", 0);
    a = analyseDump(*src, 0, d);
    ASSERT_EQ(a.findings.size(), 2u);
    EXPECT_EQ(a.findings[0].ref.id, 257);
    EXPECT_EQ(
        a.findings[0].text.rfind("The dump holds 32 patches; its sub-banks have places for 16", 0),
        0u);
    EXPECT_EQ(a.patches[16].subBank, -1);
    EXPECT_EQ(a.findings[1].ref.id, 239);
    EXPECT_EQ(
        a.findings[1].text.rfind("32 of 32 names are not text, the first in patch 1 (offset 7)", 0),
        0u);
}

TEST_F(Bank, OneWrongChecksumAndAWrongChecksumType) {
    // Three messages of one patch each; the second's checksum is damaged.
    choose(*src, 176, "1 patch per sysex packet", 0);
    type(*src, 181, "3", 0);
    const Bytes header = bytes({0xF0, 0x42, 0x30, 0x19, 0x4C, 0x00, 0x40});
    Bytes second = sysex(header, patch(128, 118, "Two"), 2, 7);
    second[second.size() - 2] ^= 0x01;
    const Bytes d = sysex(header, patch(128, 118, "One"), 2, 7) + second +
                    sysex(header, patch(128, 118, "Three"), 2, 7);
    DumpAnalysis a = analyseDump(*src, 0, d);
    ASSERT_EQ(a.messages.size(), 3u);
    EXPECT_EQ(a.messages[1].checksum, ChecksumStatus::Failed);
    EXPECT_EQ(a.messages[1].expected.bytes[0], a.messages[1].found.bytes[0] ^ 0x01);
    EXPECT_EQ(a.patches[1].checksum, ChecksumStatus::Failed);
    EXPECT_EQ(a.patches[2].checksum, ChecksumStatus::Ok);
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_EQ(a.findings[0].ref.id, 0);
    EXPECT_EQ(a.findings[0].text.rfind("1 of 3 checksums fail: message 2 (offset 137)", 0), 0u);
    EXPECT_EQ(a.findings[0].bytes, (ByteRange{137 + 135, 1}));  // the damaged checksum
    EXPECT_EQ(roleAt(byteRoles(a), a.messages[1].offset + a.messages[1].checksumOffset),
              ByteRole::ChecksumFailed);

    // Every checksum fails with the regular sum: the finding names the type that holds.
    choose(*src, 27, "Regular checksum (sum & 127)");
    const Bytes good = sysex(header, patch(128, 118, "One"), 2, 7) +
                       sysex(header, patch(128, 118, "Two"), 2, 7) +
                       sysex(header, patch(128, 118, "Three"), 2, 7);
    a = analyseDump(*src, 0, good);
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_EQ(a.findings[0].ref.id, 27);
    EXPECT_NE(a.findings[0].text.find(
                  "with the Type \"2nd complement (-sum & 127)\" and Checksum start in packet 7 "
                  "every checksum holds"),
              std::string::npos)
        << a.findings[0].text;
}

TEST_F(Bank, DumpCutShort) {
    const Bytes whole = dump();
    const Bytes d(whole.begin(), whole.begin() + 7 + 128 * 20 + 50);
    const DumpAnalysis a = analyseDump(*src, 0, d);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_FALSE(a.messages[0].terminated);
    EXPECT_EQ(a.messages[0].checksum, ChecksumStatus::NotChecked);
    EXPECT_EQ(a.messages[0].dataEnd, d.size());
    EXPECT_EQ(a.patches.size(), 20u);
    ASSERT_EQ(a.findings.size(), 3u);
    EXPECT_EQ(
        a.findings[0].text,
        "1 message ends without F7 (cut short): the first is message 1 (offset 0), 2617 bytes");
    EXPECT_EQ(a.findings[1].text,
              "The dump holds 20 patches of 128 bytes; Total number of patches says 32");
    EXPECT_EQ(a.findings[2].ref.id, 188);
    // The cut message's bytes are data up to the end: no checksum, no F7.
    EXPECT_EQ(byteRoles(a).back().role, ByteRole::Data);
}

TEST_F(Bank, MessagesOutsideTheModuleAndPartsNotAnalysed) {
    // Stray bytes, a message of another module (byte 4 differs), then the bank
    // with another device ID: the ID's bits are not compared.
    const Bytes d = bytes({0xFE, 0xFE}) + bytes({0xF0, 0x42, 0x30, 0x19, 0x4D, 0x00, 0x40, 0xF7}) +
                    dump(32, 0x3F);
    DumpAnalysis a = analyseDump(*src, 0, d);
    ASSERT_EQ(a.messages.size(), 2u);
    EXPECT_FALSE(a.messages[0].matched());
    EXPECT_EQ(a.messages[0].firstDifference, 4u);
    EXPECT_EQ(a.messages[1].deviceId, 15);
    EXPECT_EQ(a.patches.size(), 32u);
    ASSERT_EQ(a.findings.size(), 2u);
    EXPECT_EQ(a.findings[0].text,
              "2 bytes in 1 place lie outside SysEx messages, the first at offset 0");
    EXPECT_EQ(a.findings[1].ref.id, 224);
    EXPECT_EQ(a.findings[1].text,
              "1 of 2 messages match neither Header #1 nor Header #2: message 1 (offset 2) differs "
              "at byte 4 ($4D)");
    EXPECT_EQ(byteRoles(a)[0], (RoleSpan{{0, 10}, ByteRole::Outside}));

    choose(*src, 176, "1 patch per block / 2 possible sizes", 0);
    a = analyseDump(*src, 0, dump());
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_TRUE(a.findings[0].notAnalysed);
    EXPECT_EQ(a.findings[0].ref.id, 176);
    EXPECT_TRUE(a.patches.empty());
    EXPECT_EQ(a.messages[0].checksum, ChecksumStatus::Ok);  // messages are still laid out

    choose(*src, 176, "X patches extracted from Y sysex packets", 0);
    choose(*src, 248, "Yes", 0);
    a = analyseDump(*src, 0, dump());
    ASSERT_EQ(a.findings.size(), 1u);
    EXPECT_EQ(a.findings[0].ref.id, 248);
    EXPECT_FALSE(a.patches[0].hasName);
}

TEST_F(Bank, MessagesTooShortForTheirLayout) {
    // A header alone: no room for data and checksum; the bytes still have one role each.
    const Bytes d = bytes({0xF0, 0x42, 0x30, 0x19, 0x4C, 0x00, 0x40, 0xF7}) + dump();
    const DumpAnalysis a = analyseDump(*src, 0, d);
    EXPECT_EQ(a.messages[0].checksum, ChecksumStatus::NotChecked);
    EXPECT_EQ(a.messages[0].dataBegin, a.messages[0].dataEnd);
    ASSERT_FALSE(a.findings.empty());
    EXPECT_EQ(a.findings[0].ref.id, 177);
    std::size_t at = 0;
    for (const RoleSpan& r : byteRoles(a)) {
        EXPECT_EQ(r.range.offset, at);
        at = r.range.end();
    }
    EXPECT_EQ(at, d.size());
}

// Four messages of one 16-byte patch each, nibbled low nibble first, with
// 8-character names at 0 masked by 7F and mapped through the character table.
TEST(Analysis, NibbledDump) {
    auto src = newSource();
    SourceRecord& r = *src;
    choose(r, 108, "Dump memory and display patch names", 0);
    type(r, 224, "$F0,$43,Chan,$09", 0);
    choose(r, 117, "1 byte <-> lower 4 bits then higher 4 bits", 0);
    type(r, 177, "4", 0);
    type(r, 181, "4", 0);
    type(r, 182, "16", 0);
    type(r, 238, "8", 0);
    type(r, 239, "0", 0);
    type(r, 240, "$7F", 0);
    choose(r, 244, "Yes", 0);
    type(r, 256, "1", 0);
    type(r, 257, "4", 0);
    r.setU8(rec::kAsciiTable + '_', '-');  // the instrument's '_' shows as '-'

    Bytes d;
    for (int i = 0; i < 4; ++i) {
        Bytes plain = nameBytes("Str_" + std::to_string(i), 8) + Bytes(8, 0x5A);
        plain[0] |= 0x80;  // a flag bit in the name's first byte
        Bytes nibbles;
        for (const std::uint8_t b : plain) nibbles = nibbles + bytes({b & 0x0F, b >> 4});
        d = d + bytes({0xF0, 0x43, 0x00, 0x09}) + nibbles + bytes({0xF7});
    }
    const DumpAnalysis a = analyseDump(r, 0, d);
    EXPECT_TRUE(a.clean()) << (a.findings.empty() ? "" : a.findings[0].text);
    ASSERT_EQ(a.patches.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const DumpPatch& p = a.patches[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.name, "Str-" + std::to_string(i) + "   ");
        EXPECT_EQ(p.decodedSize, 16u);
        EXPECT_EQ(p.offset, 37u * static_cast<std::size_t>(i) + 4);
        EXPECT_EQ(p.size, 32u);
        EXPECT_EQ(p.nameBytes, (std::vector<ByteRange>{{p.offset, 16}}));
        EXPECT_EQ(p.position, i);
    }
    // An odd number of nibbles does not decode into whole bytes.
    Bytes odd = d;
    odd.insert(odd.begin() + 36, 0x01);
    const DumpAnalysis b = analyseDump(r, 0, odd);
    ASSERT_FALSE(b.findings.empty());
    EXPECT_EQ(b.findings[0].ref.id, 117);
}

// Roland packets: F0 41 10 42 12 + 3 address bytes, data, checksum over the
// address and data; each 200-byte patch comes as a packet of 128 bytes and
// one of 72.
TEST(Analysis, RolandPacketsWithAddressAndChecksum) {
    auto src = newSource();
    SourceRecord& r = *src;
    choose(r, 27, "2nd complement (-sum & 127)");
    type(r, 20, "2");
    type(r, 21, "$0F");
    choose(r, 108, "Dump memory and display patch names", 0);
    choose(r, 116, "Yes", 0);
    choose(r, 123, "Yes", 0);
    type(r, 124, "128", 0);
    type(r, 224, "$F0,$41,Chan,$42,$12,Adr,Chk", 0);
    type(r, 177, "8", 0);
    type(r, 178, "5", 0);
    type(r, 181, "3", 0);
    type(r, 182, "200", 0);
    type(r, 238, "10", 0);
    type(r, 239, "0", 0);
    type(r, 256, "1", 0);
    type(r, 257, "8", 0);

    Bytes d;
    int address = 0;
    const auto packet = [&](const Bytes& data) {
        const Bytes header =
            bytes({0xF0, 0x41, 0x10, 0x42, 0x12, 0x20, address >> 7, address & 0x7F});
        d = d + sysex(header, data, 2, 5);
        address += 128;
    };
    for (int i = 0; i < 3; ++i) {
        const Bytes p = patch(200, 0, "Tone " + std::to_string(i + 1));
        packet(Bytes(p.begin(), p.begin() + 128));
        packet(Bytes(p.begin() + 128, p.end()));
    }
    const auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        const DumpAnalysis a = analyseDump(r, 0, d);
        EXPECT_TRUE(a.clean()) << (a.findings.empty() ? "" : a.findings[0].text);
        ASSERT_EQ(a.messages.size(), 6u);
        for (const auto& m : a.messages) EXPECT_EQ(m.checksum, ChecksumStatus::Ok);
        ASSERT_EQ(a.patches.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const DumpPatch& p = a.patches[static_cast<std::size_t>(i)];
            EXPECT_EQ(p.firstMessage, 2 * i);
            EXPECT_EQ(p.lastMessage, 2 * i + 1);
            EXPECT_EQ(p.decodedSize, 200u);
            EXPECT_EQ(p.offset, 220u * static_cast<std::size_t>(i) + 8);
            EXPECT_EQ(p.size, 128u + 2u + 8u + 72u);  // both packets' data and what lies between
            EXPECT_EQ(p.name, "Tone " + std::to_string(i + 1) + "    ");
        }
    };
    check("fixed packet size");

    // The same packets as a sequence of variable sizes.
    choose(r, 125, "Yes", 0);
    type(r, 130, "1", 0, 0);
    type(r, 128, "128", 0, 0);
    type(r, 130, "1", 0, 1);
    type(r, 128, "72", 0, 1);
    check("packet sequence");

    type(r, 128, "70", 0, 1);
    const DumpAnalysis wrong = analyseDump(r, 0, d);
    ASSERT_FALSE(wrong.findings.empty());
    EXPECT_EQ(wrong.findings[0].ref.id, 128);
    EXPECT_EQ(wrong.findings[0].ref.index2, 1);
}

}  // namespace
}  // namespace sf
