#include "instrument/analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "driver/compiler.h"
#include "framework/cp1252.h"
#include "instrument/conversion.h"
#include "instrument/header.h"

namespace sf {

namespace {

// Driver header places.
constexpr std::size_t kChecksumType = 212;
constexpr std::size_t kChecksumInit = 218;

// Module record places (offsets from the start of the module).
constexpr std::size_t kFlags = rec::kModFlags;
constexpr std::uint16_t kUseMask =
    0x0048;  // "Type": 0x08 dump and names, 0 dump only, 0x48 names only
constexpr std::uint16_t kUseChecksum = 0x0010;
constexpr std::size_t kConversion = 24;
constexpr std::size_t kPacketFlags = rec::kModPacketFlags;
constexpr std::uint16_t kRolandPackets = 0x0001;
constexpr std::uint16_t kVariablePackets = 0x0004;
constexpr std::size_t kPacketSize = 62;
constexpr std::size_t kPacketArea =
    rec::kModPacketArea;  // 10 × (count, real size, virtual size, spare)
constexpr std::size_t kPacketStride = 8;
constexpr int kPacketEntries = 10;
constexpr std::size_t kStructureFlags = rec::kModStructureFlags;
constexpr std::uint16_t kQueue = 0x0001;
constexpr std::uint16_t kMultipleHeaders = 0x0002;
constexpr std::size_t kStructure = rec::kModStructure;
constexpr std::size_t kChecksumStart = 326;
constexpr std::size_t kDataStart = rec::kModDataStart;
constexpr std::size_t kPacketsInBulk = 342;
constexpr std::size_t kTotalPatches = rec::kModTotalPatches;
constexpr std::size_t kPatchSize = 346;  // 32-bit; negative = a maximum
constexpr std::size_t kQueueSize = rec::kModSharedSize;
constexpr std::size_t kTotalSize = 1456;  // 32-bit
constexpr std::size_t kNaming = rec::kModDisplayBlock;
constexpr std::uint16_t kNoName = 0x0001;
constexpr std::uint16_t kAsciiConversion = 0x0002;
constexpr std::uint16_t kIndirectName = 0x0008;
constexpr std::size_t kNameOffset = 2744;
constexpr std::size_t kNameChars = 2746;
constexpr std::size_t kNameBitStart = 2762;
constexpr std::size_t kNameBitSize = 2764;
constexpr std::size_t kNameMask = 2766;
constexpr std::size_t kPatchesPerSubBank = rec::kModPatchesPerSubBank;

enum Structure {
    kOnePerPacket = 0,
    kXFromY = 2,
    kOneFromY = 3,
    kRaw = 7,
};
constexpr int kSubBankRom = 2;

// Settings named by the findings.
enum Id {
    kIdModuleType = 108,
    kIdUseChecksum = 116,
    kIdConversion = 117,
    kIdPacketSize = 124,
    kIdRealPacketSize = 128,
    kIdNumberOfPackets = 130,
    kIdStructure = 176,
    kIdDataStart = 177,
    kIdChecksumStartInPacket = 178,
    kIdPacketsInBulk = 180,
    kIdTotalPatches = 181,
    kIdPatchSize = 182,
    kIdQueueSize = 186,
    kIdQueue = 188,
    kIdMultipleHeaders = 189,
    kIdTotalSize = 209,
    kIdHeader1 = 224,
    kIdNameChars = 238,
    kIdNameOffset = 239,
    kIdNameBitStart = 242,
    kIdIndirectName = 248,
    kIdPatchesPerSubBank = 257,
    kIdChecksumType = 27,
};

struct Settings {
    bool dumps = true;   // the module's Type dumps memory
    bool names = false;  // ... and displays names
    bool raw = false;
    int structure = 0;
    bool multipleHeaders = false;
    int conversion = 0;
    bool useChecksum = false;
    int checksumType = 0;
    std::uint16_t checksumInit = 0;
    std::size_t checksumStart = 0;
    std::size_t dataStart = 0;
    std::size_t trailer = 1;
    bool roland = false;
    bool variablePackets = false;
    int packetSize = 0;
    int packetsInBulk = 0;
    int totalPatches = 0;
    std::int32_t patchSize = 0;
    bool queue = false;
    int queueSize = 0;
    std::int32_t totalSize = 0;
    std::uint16_t naming = 0;
    int nameOffset = 0;
    int nameChars = 0;
    int nameBitStart = 0;
    int nameBitSize = 0;
    std::uint8_t nameMask = 0;
};

Settings readSettings(const SourceRecord& r, int m) {
    const std::size_t b = rec::moduleBase(m);
    Settings s;
    const std::uint16_t flags = r.u16(b + kFlags);
    s.dumps = (flags & kUseMask) != kUseMask;
    s.names = (flags & kUseMask) != 0;
    s.structure = r.s16(b + kStructure);
    s.raw = s.structure == kRaw;
    s.multipleHeaders = (r.u16(b + kStructureFlags) & kMultipleHeaders) != 0;
    s.conversion = r.s16(b + kConversion);
    s.useChecksum = (flags & kUseChecksum) != 0;
    s.checksumType = r.s16(kChecksumType);
    s.checksumInit = r.u16(kChecksumInit);
    s.checksumStart = static_cast<std::size_t>(std::max(0, int{r.s16(b + kChecksumStart)}));
    s.dataStart = static_cast<std::size_t>(std::max(0, int{r.s16(b + kDataStart)}));
    s.trailer = trailerLength(r, m);
    const std::uint16_t packetFlags = r.u16(b + kPacketFlags);
    s.roland = (packetFlags & kRolandPackets) != 0;
    s.variablePackets = (packetFlags & kVariablePackets) != 0;
    s.packetSize = r.s16(b + kPacketSize);
    s.packetsInBulk = r.s16(b + kPacketsInBulk);
    s.totalPatches = r.s16(b + kTotalPatches);
    s.patchSize = r.s32(b + kPatchSize);
    s.queue = (r.u16(b + kStructureFlags) & kQueue) != 0;
    s.queueSize = r.s16(b + kQueueSize);
    s.totalSize = r.s32(b + kTotalSize);
    s.naming = r.u16(b + kNaming);
    s.nameOffset = r.s16(b + kNameOffset);
    s.nameChars = r.s16(b + kNameChars);
    s.nameBitStart = r.s16(b + kNameBitStart);
    s.nameBitSize = r.s16(b + kNameBitSize);
    s.nameMask = static_cast<std::uint8_t>(r.u16(b + kNameMask));
    return s;
}

std::string hexByte(unsigned b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "$%02X", b & 0xFF);
    return buf;
}

std::string hexBytes(ConstByteSpan bytes) {
    std::string s;
    for (const std::uint8_t b : bytes) s += (s.empty() ? "" : " ") + hexByte(b);
    return s;
}

std::string n(std::size_t v) {
    return std::to_string(v);
}
// "1 patch", "2 patches".
std::string counted(std::size_t v, const char* one, const char* more) {
    return n(v) + ' ' + (v == 1 ? one : more);
}

std::string messageAt(const DumpMessage& msg, std::size_t index) {
    return "message " + n(index + 1) + " (offset " + n(msg.offset) + ")";
}

// The data of a run of messages as one decoded stream, with the place of
// each message's part in it.
struct Piece {
    int message;
    std::size_t begin;  // in the stream
    std::size_t size;   // decoded
};
struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<Piece> pieces;
};

class Analyser {
  public:
    Analyser(const SourceRecord& r, int module, ConstByteSpan dump)
        : r_(r), dump_(dump), s_(readSettings(r, module)) {
        a_.module = module;
        a_.dumpSize = dump.size();
    }

    DumpAnalysis run();

  private:
    void finding(int id, std::string text, int index2 = -1) {
        SettingRef ref;
        if (id != 0) ref = isModuleSetting(id) ? makeRef(id, a_.module, index2) : makeRef(id);
        a_.findings.push_back({ref, std::move(text), false, {}});
    }
    // The place of the finding just made.
    void at(std::size_t offset, std::size_t size) { a_.findings.back().bytes = {offset, size}; }
    void notAnalysed(int id, std::string text) {
        finding(id, std::move(text));
        a_.findings.back().notAnalysed = true;
    }

    void cutMessages();
    void matchMessages();
    void layOut(DumpMessage& msg);
    void reportMessages();
    void reportChecksums();
    std::optional<std::pair<int, std::size_t>> workingChecksum() const;
    void decodeMessages();
    std::vector<std::vector<int>> packets();
    void checkPacketSequence(const std::vector<int>& matched);
    Stream streamOf(const std::vector<int>& messages) const;
    void addPatch(const Stream& st, std::size_t begin, std::size_t size);
    void readName(const Stream& st, std::size_t begin, std::size_t size, DumpPatch& p);
    void checkNameSettings();
    void reportNames();
    std::vector<ByteRange> dumpRanges(const Stream& st, std::size_t begin, std::size_t end) const;
    void setQueue(const Stream& st, std::size_t begin);
    void cutOnePerPacket(const std::vector<std::vector<int>>& groups);
    void cutXFromY(const std::vector<std::vector<int>>& groups);
    void cutOneFromY(const std::vector<std::vector<int>>& groups);
    void cutRaw();
    void checkPatchSizes();
    void numberPatches();
    void checkTotalSize();

    ConstByteSpan message(const DumpMessage& m) const { return dump_.subspan(m.offset, m.size); }

    const SourceRecord& r_;
    ConstByteSpan dump_;
    Settings s_;
    DumpAnalysis a_;
    std::vector<std::vector<std::uint8_t>> decoded_;  // per message
    std::vector<std::size_t> leftover_;               // per message
    bool readNames_ = false;
    std::size_t namesNotText_ = 0, namesPastEnd_ = 0;
    int firstNotText_ = -1, firstPastEnd_ = -1;
};

void Analyser::cutMessages() {
    const std::size_t size = dump_.size();
    std::size_t i = 0;
    while (i < size) {
        if (dump_[i] != 0xF0) {
            if (!a_.outside.empty() && a_.outside.back().end() == i)
                ++a_.outside.back().size;
            else
                a_.outside.push_back({i, 1});
            ++i;
            continue;
        }
        DumpMessage m;
        m.offset = i;
        std::size_t j = i + 1;
        while (j < size && dump_[j] < 0x80) ++j;
        m.terminated = j < size && dump_[j] == 0xF7;
        m.size = (m.terminated ? j + 1 : j) - i;
        i = m.offset + m.size;
        a_.messages.push_back(m);
    }
}

void Analyser::matchMessages() {
    const auto patterns = expandedReceivePatterns(r_, a_.module);
    const DeviceIdPlace id = deviceIdPlace(r_);
    for (std::size_t k = 0; k < a_.messages.size(); ++k) {
        DumpMessage& m = a_.messages[k];
        const ConstByteSpan bytes = message(m);
        for (int p = 0; p < 2 && !m.matched(); ++p) {
            const PatternMatch match =
                matchPattern(bytes, patterns[static_cast<std::size_t>(p)], id);
            if (match.matched)
                m.pattern = p + 1;
            else if (!patterns[static_cast<std::size_t>(p)].empty())
                m.firstDifference = std::max(m.firstDifference, match.firstDifference);
        }
        m.deviceId = readDeviceId(bytes, id);
        if (m.matched())
            layOut(m);
        else
            m.checksum = ChecksumStatus::NotChecked;
    }
    if (patterns[0].empty() && patterns[1].empty())
        finding(kIdHeader1,
                "Header #1 and Header #2 hold no fixed byte: no message can be recognised");
}

void Analyser::layOut(DumpMessage& m) {
    if (s_.raw) {
        m.dataBegin = 0;
        m.dataEnd = m.size;
        return;
    }
    const std::size_t trailer = m.terminated ? s_.trailer : 0;
    m.dataBegin = std::min(s_.dataStart, m.size);
    m.dataEnd = m.size >= trailer ? std::max(m.dataBegin, m.size - trailer) : m.dataBegin;
    if (!s_.useChecksum || s_.checksumType == 0) return;
    const std::size_t length = checksumLength(static_cast<std::uint16_t>(s_.checksumType));
    // The checksum lies between the data and the F7; a message too short to
    // hold both is not checked.
    if (!m.terminated || m.size < length + 1 + std::max<std::size_t>(m.dataBegin, 1) ||
        m.size - 1 - length < s_.checksumStart) {
        m.checksum = ChecksumStatus::NotChecked;
        return;
    }
    m.checksumOffset = m.size - 1 - length;
    const ConstByteSpan bytes = message(m);
    m.expected = computeChecksum(
        s_.checksumType, bytes.subspan(s_.checksumStart, m.checksumOffset - s_.checksumStart),
        s_.checksumInit);
    m.found.size = length;
    for (std::size_t i = 0; i < length; ++i) m.found.bytes[i] = bytes[m.checksumOffset + i];
    m.checksum = m.expected == m.found ? ChecksumStatus::Ok : ChecksumStatus::Failed;
}

void Analyser::reportMessages() {
    if (!a_.outside.empty()) {
        std::size_t total = 0;
        for (const auto& o : a_.outside) total += o.size;
        finding(0, counted(total, "byte", "bytes") + " in " +
                       counted(a_.outside.size(), "place", "places") +
                       (total == 1 ? " lies" : " lie") +
                       " outside SysEx messages, the first at offset " + n(a_.outside[0].offset));
        at(a_.outside[0].offset, a_.outside[0].size);
    }
    std::size_t unmatched = 0, cut = 0, shortData = 0;
    std::optional<std::size_t> firstUnmatched, firstCut, firstShort;
    for (std::size_t k = 0; k < a_.messages.size(); ++k) {
        const DumpMessage& m = a_.messages[k];
        if (!m.terminated && !firstCut) firstCut = k;
        cut += m.terminated ? 0 : 1;
        if (!m.matched()) {
            if (!firstUnmatched) firstUnmatched = k;
            ++unmatched;
        } else if (!s_.raw && m.size < s_.dataStart + (m.terminated ? s_.trailer : 0)) {
            if (!firstShort) firstShort = k;
            ++shortData;
        }
    }
    if (a_.messages.empty()) finding(0, "The dump holds no SysEx message");
    if (firstCut) {
        const DumpMessage& m = a_.messages[*firstCut];
        finding(0, n(cut) + (cut == 1 ? " message ends" : " messages end") +
                       " without F7 (cut short): the first is " + messageAt(m, *firstCut) + ", " +
                       n(m.size) + " bytes");
        at(m.offset, m.size);
    }
    if (firstUnmatched) {
        const DumpMessage& m = a_.messages[*firstUnmatched];
        std::string text =
            n(unmatched) + " of " + n(a_.messages.size()) +
            " messages match neither Header #1 nor Header #2: " + messageAt(m, *firstUnmatched);
        if (m.firstDifference < m.size)
            text += " differs at byte " + n(m.firstDifference) + " (" +
                    hexByte(dump_[m.offset + m.firstDifference]) + ")";
        else
            text += " ends after " + n(m.size) + " bytes";
        finding(kIdHeader1, text);
        at(m.offset, m.size);
    }
    if (firstShort) {
        const DumpMessage& m = a_.messages[*firstShort];
        finding(kIdDataStart, n(shortData) + (shortData == 1 ? " message is" : " messages are") +
                                  " too short for its data to start at byte " + n(s_.dataStart) +
                                  ": the first is " + messageAt(m, *firstShort) + ", " + n(m.size) +
                                  " bytes");
    }
}

// A checksum type and start at which every checked message holds, when the
// settings' own fail on all of them.
std::optional<std::pair<int, std::size_t>> Analyser::workingChecksum() const {
    std::vector<const DumpMessage*> checked;
    for (const auto& m : a_.messages)
        if (m.checksum == ChecksumStatus::Ok || m.checksum == ChecksumStatus::Failed)
            checked.push_back(&m);
    if (checked.empty()) return std::nullopt;
    const auto holds = [&](const DumpMessage& m, int type, std::size_t start) {
        const std::size_t length = checksumLength(static_cast<std::uint16_t>(type));
        if (m.size < length + 1 || m.size - 1 - length < start) return false;
        const ConstByteSpan bytes = message(m);
        const std::size_t at = m.size - 1 - length;
        const auto want = computeChecksum(type, bytes.subspan(start, at - start), s_.checksumInit);
        return std::equal(want.view().begin(), want.view().end(),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at));
    };
    // Candidates are tried on the first message through its running sums,
    // so that a long message costs one pass; only those that hold there are
    // tried on all. Checksums start in the header or at the data.
    const DumpMessage& first = *checked[0];
    const ConstByteSpan bytes = message(first);
    std::vector<std::uint32_t> upTo(bytes.size() + 1, s_.checksumInit);
    for (std::size_t i = 0; i < bytes.size(); ++i) upTo[i + 1] = upTo[i] + bytes[i];
    constexpr std::size_t kLastStart = 64;
    const std::size_t lastStart = std::min(std::max<std::size_t>(s_.dataStart, 1), kLastStart);
    for (int type = 1; type < kChecksumTypes; ++type) {
        const std::size_t length = checksumLength(static_cast<std::uint16_t>(type));
        if (first.size < length + 1) continue;
        const std::size_t at = first.size - 1 - length;
        for (std::size_t start = 1; start <= std::min(lastStart, at); ++start) {
            const auto want = checksumOfSum(type, upTo[at] - upTo[start] + s_.checksumInit);
            if (!std::equal(want.view().begin(), want.view().end(),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at)))
                continue;
            if (std::all_of(checked.begin(), checked.end(),
                            [&](const DumpMessage* m) { return holds(*m, type, start); }))
                return std::make_pair(type, start);
        }
    }
    return std::nullopt;
}

void Analyser::reportChecksums() {
    if (s_.raw) return;
    if (s_.useChecksum && s_.checksumType == 0) {
        finding(kIdChecksumType,
                "Use checksum is set but the checksum Type is None: no checksum is checked");
        return;
    }
    if (s_.useChecksum && !isKnownChecksumType(s_.checksumType)) {
        finding(kIdChecksumType, "The checksum Type " +
                                     n(static_cast<std::size_t>(s_.checksumType)) +
                                     " is unknown: no checksum is checked");
        return;
    }
    std::size_t checked = 0, failed = 0;
    std::optional<std::size_t> first;
    for (std::size_t k = 0; k < a_.messages.size(); ++k) {
        const auto status = a_.messages[k].checksum;
        if (status != ChecksumStatus::Ok && status != ChecksumStatus::Failed) continue;
        ++checked;
        if (status == ChecksumStatus::Failed) {
            ++failed;
            if (!first) first = k;
        }
    }
    if (failed == 0) return;
    const DumpMessage& m = a_.messages[*first];
    const std::string detail = messageAt(m, *first) + " holds " + hexBytes(m.found.view()) +
                               " where " + hexBytes(m.expected.view()) + " is expected";
    if (failed == checked && checked > 1) {
        std::string text = "The checksum fails on every message (" + detail + ")";
        if (const auto fix = workingChecksum()) {
            const ChoiceEntry* e = findSettingItem(kIdChecksumType)->choices;
            while (e->text != nullptr && e->value != fix->first) ++e;
            text += "; with the Type \"" + std::string(e->text ? e->text : "") +
                    "\" and Checksum start in packet " + n(fix->second) + " every checksum holds";
        } else {
            text += ": check the checksum Type and Checksum start in packet";
        }
        finding(kIdChecksumType, text);
    } else {
        finding(0, n(failed) + " of " + n(checked) +
                       (checked == 1 ? " checksum fails: " : " checksums fail: ") + detail +
                       " (the dump may be damaged)");
        at(m.offset + m.checksumOffset, m.found.size);
    }
}

void Analyser::decodeMessages() {
    decoded_.resize(a_.messages.size());
    leftover_.assign(a_.messages.size(), 0);
    if (s_.raw) return;
    if (!isKnownConversion(s_.conversion)) {
        notAnalysed(kIdConversion, "The Data conversion " + std::to_string(s_.conversion) +
                                       " is unknown: the data is not decoded");
        return;
    }
    std::size_t badMessages = 0, leftoverMessages = 0;
    std::optional<std::size_t> firstBad;
    for (std::size_t k = 0; k < a_.messages.size(); ++k) {
        const DumpMessage& m = a_.messages[k];
        if (!m.matched()) continue;
        auto d =
            decodeData(s_.conversion, message(m).subspan(m.dataBegin, m.dataEnd - m.dataBegin));
        decoded_[k] = std::move(d.bytes);
        leftover_[k] = d.leftover;
        if (d.badBytes > 0 && !firstBad) firstBad = m.offset + m.dataBegin + d.firstBad;
        badMessages += d.badBytes > 0 ? 1 : 0;
        leftoverMessages += d.leftover > 0 ? 1 : 0;
    }
    if (badMessages > 0)
        finding(kIdConversion, "The data of " + n(badMessages) +
                                   (badMessages == 1 ? " message is" : " messages are") +
                                   " not hexadecimal digits, the first at offset " + n(*firstBad));
    if (leftoverMessages > 0)
        finding(kIdConversion,
                "The data of " + n(leftoverMessages) +
                    (leftoverMessages == 1 ? " message does" : " messages do") +
                    " not decode into whole bytes: check Data conversion and Data start in packet");
}

// The matched messages grouped into the packets the structure cuts: with
// Roland packets and "1 patch per sysex packet", the packets of one patch
// are joined; otherwise every matched message is a packet of its own.
std::vector<std::vector<int>> Analyser::packets() {
    std::vector<int> matched;
    for (std::size_t k = 0; k < a_.messages.size(); ++k)
        if (a_.messages[k].matched()) matched.push_back(static_cast<int>(k));
    if (s_.roland) checkPacketSequence(matched);

    std::vector<std::vector<int>> groups;
    const bool join = s_.roland && s_.structure == kOnePerPacket;
    if (join && s_.variablePackets) {
        std::size_t perGroup = 0;
        for (int p = 0; p < kPacketEntries; ++p)
            perGroup += static_cast<std::size_t>(std::max(
                0, int{r_.modS16(a_.module,
                                 kPacketArea + kPacketStride * static_cast<std::size_t>(p))}));
        if (perGroup > 0) {
            for (std::size_t i = 0; i < matched.size(); i += perGroup)
                groups.emplace_back(matched.begin() + static_cast<std::ptrdiff_t>(i),
                                    matched.begin() + static_cast<std::ptrdiff_t>(
                                                          std::min(matched.size(), i + perGroup)));
            return groups;
        }
    } else if (join && s_.packetSize > 0) {
        std::vector<int> group;
        std::size_t joined = 0;
        for (const int k : matched) {
            const DumpMessage& m = a_.messages[static_cast<std::size_t>(k)];
            group.push_back(k);
            joined += decoded_[static_cast<std::size_t>(k)].size();
            const bool lastPacket =
                m.dataEnd - m.dataBegin < static_cast<std::size_t>(s_.packetSize);
            if (lastPacket ||
                (s_.patchSize > 0 && joined >= static_cast<std::size_t>(s_.patchSize))) {
                groups.push_back(std::move(group));
                group.clear();
                joined = 0;
            }
        }
        if (!group.empty()) groups.push_back(std::move(group));
        return groups;
    }
    for (const int k : matched) groups.push_back({k});
    return groups;
}

// The data sizes of Roland packets against "Packet size" or the packet sequence.
void Analyser::checkPacketSequence(const std::vector<int>& matched) {
    const auto dataSize = [&](int k) {
        const DumpMessage& m = a_.messages[static_cast<std::size_t>(k)];
        return m.dataEnd - m.dataBegin;
    };
    if (!s_.variablePackets) {
        if (s_.packetSize <= 0) {
            finding(kIdPacketSize, "Packet size is " + std::to_string(s_.packetSize) +
                                       ": the packets of a patch cannot be joined");
            return;
        }
        for (const int k : matched)
            if (dataSize(k) > static_cast<std::size_t>(s_.packetSize)) {
                finding(kIdPacketSize, messageAt(a_.messages[static_cast<std::size_t>(k)],
                                                 static_cast<std::size_t>(k)) +
                                           " holds " + n(dataSize(k)) +
                                           " bytes of data; Packet size says " +
                                           std::to_string(s_.packetSize));
                return;
            }
        return;
    }
    // The sequence: entry p gives count × real size, repeated for every bulk.
    std::vector<std::pair<int, std::size_t>> expected;  // entry, size
    for (int p = 0; p < kPacketEntries; ++p) {
        const std::size_t at = kPacketArea + kPacketStride * static_cast<std::size_t>(p);
        const int count = r_.modS16(a_.module, at);
        const int size = r_.modS16(a_.module, at + 2);
        for (int i = 0; i < count; ++i)
            expected.emplace_back(p, static_cast<std::size_t>(std::max(0, size)));
    }
    if (expected.empty()) {
        finding(kIdNumberOfPackets, "The packet sequence holds no packet", 0);
        return;
    }
    for (std::size_t i = 0; i < matched.size(); ++i) {
        const auto& [entry, size] = expected[i % expected.size()];
        if (dataSize(matched[i]) != size) {
            const int k = matched[i];
            finding(
                kIdRealPacketSize,
                messageAt(a_.messages[static_cast<std::size_t>(k)], static_cast<std::size_t>(k)) +
                    " holds " + n(dataSize(k)) + " bytes of data; Real packet size of Packet(s) #" +
                    std::to_string(entry + 1) + " says " + n(size),
                entry);
            return;
        }
    }
}

Stream Analyser::streamOf(const std::vector<int>& messages) const {
    Stream st;
    for (const int k : messages) {
        const auto& d = decoded_[static_cast<std::size_t>(k)];
        st.pieces.push_back({k, st.bytes.size(), d.size()});
        st.bytes.insert(st.bytes.end(), d.begin(), d.end());
    }
    return st;
}

std::vector<ByteRange> Analyser::dumpRanges(const Stream& st, std::size_t begin,
                                            std::size_t end) const {
    std::vector<ByteRange> out;
    for (const Piece& p : st.pieces) {
        const std::size_t b = std::max(begin, p.begin), e = std::min(end, p.begin + p.size);
        if (b >= e) continue;
        const DumpMessage& m = a_.messages[static_cast<std::size_t>(p.message)];
        const std::size_t dataSize = m.dataEnd - m.dataBegin;
        const EncodedRange enc = encodedRange(s_.conversion, b - p.begin, e - p.begin);
        const std::size_t first = std::min(enc.first, dataSize),
                          last = std::min(enc.last, dataSize);
        if (first < last) out.push_back({m.offset + m.dataBegin + first, last - first});
    }
    return out;
}

void Analyser::addPatch(const Stream& st, std::size_t begin, std::size_t size) {
    DumpPatch p;
    p.decodedSize = size;
    const auto ranges = dumpRanges(st, begin, begin + size);
    if (!ranges.empty()) {
        p.offset = ranges.front().offset;
        p.size = ranges.back().end() - p.offset;
    }
    bool ok = s_.useChecksum, failed = false;
    for (const Piece& piece : st.pieces) {
        const bool inside = piece.begin < begin + size && piece.begin + piece.size > begin;
        if (!inside) continue;
        if (p.firstMessage < 0) p.firstMessage = piece.message;
        p.lastMessage = piece.message;
        const auto status = a_.messages[static_cast<std::size_t>(piece.message)].checksum;
        failed = failed || status == ChecksumStatus::Failed;
        ok = ok && status == ChecksumStatus::Ok;
    }
    p.checksum = failed ? ChecksumStatus::Failed
                        : (ok && p.firstMessage >= 0 ? ChecksumStatus::Ok : ChecksumStatus::None);
    if (readNames_) readName(st, begin, size, p);
    a_.patches.push_back(std::move(p));
}

// A byte the host shows as a character of a name.
bool isNameCharacter(std::uint8_t b) {
    return b >= 0x20 && b != 0x7F && (b < 0x80 || !cp1252Undefined(b));
}

void Analyser::readName(const Stream& st, std::size_t begin, std::size_t size, DumpPatch& p) {
    const auto offset = static_cast<std::size_t>(s_.nameOffset);
    const auto chars = static_cast<std::size_t>(s_.nameChars);
    const int index = static_cast<int>(a_.patches.size());
    p.hasName = true;
    if (offset + chars > size) {
        if (namesPastEnd_++ == 0) firstPastEnd_ = index;
    }
    const std::size_t end = std::min(size, offset + chars);
    if (offset < end) p.nameBytes = dumpRanges(st, begin + offset, begin + end);
    const ConstByteSpan table = slice(r_.data(), rec::kAsciiTable, rec::kAsciiTableSize);
    bool text = true, ended = false;
    for (std::size_t i = offset; i < end; ++i) {
        std::uint8_t b = st.bytes[begin + i];
        if (s_.nameMask != 0) b &= s_.nameMask;
        if ((s_.naming & kAsciiConversion) && b < rec::kAsciiTableSize) b = table[b];
        if (b == 0) {  // names are padded with zeros
            ended = true;
            continue;
        }
        if (ended || !isNameCharacter(b)) text = false;
        p.name += static_cast<char>(b);
    }
    p.nameIsText = text;
    if (!text && namesNotText_++ == 0) firstNotText_ = index;
}

// Whether names can be read as the display settings say; what cannot be is
// listed as not analysed.
void Analyser::checkNameSettings() {
    if (!s_.names || (s_.naming & kNoName)) return;
    if (s_.naming & kIndirectName) {
        notAnalysed(kIdIndirectName, "Indirect names are not read");
        return;
    }
    if (s_.nameBitStart != 0 || s_.nameBitSize != 0) {
        notAnalysed(kIdNameBitStart, "Names packed in bits (Bit start " +
                                         std::to_string(s_.nameBitStart) + ", Bit size " +
                                         std::to_string(s_.nameBitSize) + ") are not read");
        return;
    }
    if (s_.nameChars <= 0) {
        finding(kIdNameChars, "Patches have a name, but Number of characters in a patch name is 0");
        return;
    }
    readNames_ = s_.nameOffset >= 0;
}

std::string patchLabel(const DumpAnalysis& a, int index) {
    const DumpPatch& p = a.patches[static_cast<std::size_t>(index)];
    return "patch " + std::to_string(index + 1) + " (offset " + std::to_string(p.offset) + ")";
}

void Analyser::reportNames() {
    if (namesPastEnd_ > 0)
        finding(kIdNameOffset,
                std::to_string(namesPastEnd_) + " of " + n(a_.patches.size()) +
                    " names run past the end of their patch, the first in " +
                    patchLabel(a_, firstPastEnd_) + " of " +
                    n(a_.patches[static_cast<std::size_t>(firstPastEnd_)].decodedSize) +
                    " bytes: check Offset and Number of characters in a patch name");
    if (namesNotText_ > 0)
        finding(kIdNameOffset,
                n(namesNotText_) + " of " + n(a_.patches.size()) +
                    " names are not text, the first in " + patchLabel(a_, firstNotText_) +
                    ": check Offset, Number of characters in a patch name and Bit mask");
}

void Analyser::setQueue(const Stream& st, std::size_t begin) {
    a_.queue = dumpRanges(st, begin, st.bytes.size());
    a_.queueSize = st.bytes.size() - begin;
    const std::size_t q = a_.queueSize;
    if (s_.queueSize > 0 && q != static_cast<std::size_t>(s_.queueSize))
        finding(kIdQueueSize, "The queue holds " + n(q) + " bytes; Queue size says " +
                                  std::to_string(s_.queueSize));
    else if (s_.queueSize < 0 && q > static_cast<std::size_t>(-s_.queueSize))
        finding(kIdQueueSize, "The queue holds " + n(q) + " bytes; Queue size says at most " +
                                  std::to_string(-s_.queueSize));
    else if (s_.queueSize == 0)
        finding(kIdQueueSize, "The queue holds " + n(q) + " bytes; Queue size says 0");
}

void Analyser::cutOnePerPacket(const std::vector<std::vector<int>>& groups) {
    std::size_t patches = groups.size();
    if (s_.queue && s_.totalPatches > 0)
        patches = std::min(patches, static_cast<std::size_t>(s_.totalPatches));
    for (std::size_t g = 0; g < patches; ++g) {
        const Stream st = streamOf(groups[g]);
        addPatch(st, 0, st.bytes.size());
    }
    if (s_.queue) {
        std::vector<int> rest;
        for (std::size_t g = patches; g < groups.size(); ++g)
            rest.insert(rest.end(), groups[g].begin(), groups[g].end());
        setQueue(streamOf(rest), 0);
    }
    if (s_.totalPatches != static_cast<int>(patches))
        finding(kIdTotalPatches,
                "The dump holds " + n(patches) + (patches == 1 ? " patch" : " patches") +
                    "; Total number of patches says " + std::to_string(s_.totalPatches));
}

void Analyser::cutXFromY(const std::vector<std::vector<int>>& groups) {
    if (s_.packetsInBulk != static_cast<int>(groups.size()))
        finding(kIdPacketsInBulk, "The dump holds " + n(groups.size()) +
                                      (groups.size() == 1 ? " packet" : " packets") +
                                      "; Number of sysex packets in the bulk says " +
                                      std::to_string(s_.packetsInBulk));
    std::vector<int> all;
    for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
    const Stream st = streamOf(all);
    const std::size_t data = st.bytes.size();
    const int x = s_.totalPatches;
    std::size_t size = 0, count = 0;
    if (s_.patchSize > 0) {
        size = static_cast<std::size_t>(s_.patchSize);
        const std::size_t whole = data / size;
        if (x != static_cast<int>(whole))
            finding(kIdTotalPatches,
                    "The dump holds " + counted(whole, "patch", "patches") + " of " + n(size) +
                        " bytes; Total number of patches says " + std::to_string(x));
        count = x > 0 ? std::min(whole, static_cast<std::size_t>(x)) : whole;
    } else if (x <= 0) {
        finding(kIdTotalPatches,
                "Total number of patches is " + std::to_string(x) + ": the data is not cut");
        return;
    } else if (s_.patchSize == 0 || data % static_cast<std::size_t>(x) != 0 ||
               data / static_cast<std::size_t>(x) >
                   static_cast<std::size_t>(-static_cast<std::int64_t>(s_.patchSize))) {
        std::string text = "The dump holds " + n(data) +
                           " bytes of data, which cannot be cut into " + std::to_string(x) +
                           " patches";
        text += s_.patchSize == 0
                    ? " while Size of one patch is 0"
                    : " of at most " + std::to_string(-static_cast<std::int64_t>(s_.patchSize)) +
                          " bytes";
        if (data % static_cast<std::size_t>(x) == 0)
            text += " (" + n(data / static_cast<std::size_t>(x)) + " bytes each would fit)";
        finding(kIdPatchSize, text);
        return;
    } else {
        size = data / static_cast<std::size_t>(x);
        count = static_cast<std::size_t>(x);
    }
    for (std::size_t i = 0; i < count; ++i) addPatch(st, i * size, size);
    const std::size_t rest = data - count * size;
    if (s_.queue)
        setQueue(st, count * size);
    else if (rest > 0)
        finding(kIdQueue, n(rest) + " bytes of data are left after the last patch, at offset " +
                              n(dumpRanges(st, count * size, data).front().offset) +
                              ": check Size of one patch, or set Queue");
}

void Analyser::cutOneFromY(const std::vector<std::vector<int>>& groups) {
    const int x = s_.totalPatches, y = s_.packetsInBulk;
    if (x <= 0 || y < x) {
        finding(x <= 0 ? kIdTotalPatches : kIdPacketsInBulk,
                "Number of sysex packets in the bulk (" + std::to_string(y) +
                    ") gives no whole packet per patch for Total number of patches (" +
                    std::to_string(x) + "): the data is not cut");
        return;
    }
    if (y % x != 0)
        finding(kIdPacketsInBulk, "Number of sysex packets in the bulk (" + std::to_string(y) +
                                      ") is not a multiple of Total number of patches (" +
                                      std::to_string(x) + "): " + std::to_string(y / x) +
                                      " packets are taken per patch");
    const auto per = static_cast<std::size_t>(y / x);
    const std::size_t whole = groups.size() / per;
    for (std::size_t i = 0; i < whole; ++i) {
        std::vector<int> msgs;
        for (std::size_t g = i * per; g < (i + 1) * per; ++g)
            msgs.insert(msgs.end(), groups[g].begin(), groups[g].end());
        const Stream st = streamOf(msgs);
        addPatch(st, 0, st.bytes.size());
    }
    if (groups.size() % per != 0)
        finding(kIdPacketsInBulk, n(groups.size() % per) +
                                      " packets are left after the last whole patch of " + n(per) +
                                      " packets");
    if (static_cast<int>(whole) != x)
        finding(kIdTotalPatches, "The dump holds " + n(whole) +
                                     (whole == 1 ? " patch" : " patches") + " of " + n(per) +
                                     " packets; Total number of patches says " + std::to_string(x));
}

void Analyser::cutRaw() {
    // The whole dump is one patch, saved as it is.
    Stream st;
    st.bytes.assign(dump_.begin(), dump_.end());
    DumpMessage whole;
    whole.size = dump_.size();
    whole.dataEnd = dump_.size();
    a_.messages.push_back(whole);  // a stand-in that maps the stream onto the dump
    st.pieces.push_back({static_cast<int>(a_.messages.size() - 1), 0, st.bytes.size()});
    const int saved = s_.conversion;
    s_.conversion = 0;
    addPatch(st, 0, st.bytes.size());
    s_.conversion = saved;
    a_.messages.pop_back();
    a_.patches.back().firstMessage = a_.messages.empty() ? -1 : 0;
    a_.patches.back().lastMessage = static_cast<int>(a_.messages.size()) - 1;
}

void Analyser::checkPatchSizes() {
    if (s_.structure != kOnePerPacket && s_.structure != kOneFromY) return;
    if (a_.patches.empty()) return;
    const auto max = static_cast<std::size_t>(std::abs(static_cast<std::int64_t>(s_.patchSize)));
    std::size_t wrong = 0;
    int first = -1;
    for (std::size_t i = 0; i < a_.patches.size(); ++i) {
        const std::size_t size = a_.patches[i].decodedSize;
        const bool bad = s_.patchSize > 0 ? size != max : size > max;
        if (bad && wrong++ == 0) first = static_cast<int>(i);
    }
    if (s_.patchSize == 0)
        finding(kIdPatchSize, "Size of one patch is 0; " + patchLabel(a_, 0) + " holds " +
                                  n(a_.patches[0].decodedSize) + " bytes");
    else if (wrong > 0)
        finding(kIdPatchSize,
                n(wrong) + " of " + n(a_.patches.size()) +
                    " patches do not have the size that Size of one patch says (" +
                    std::to_string(s_.patchSize) + "): " + patchLabel(a_, first) + " holds " +
                    n(a_.patches[static_cast<std::size_t>(first)].decodedSize) + " bytes");
}

// Patches take the places of the RAM and Card sub-banks in order, each
// sub-bank's unused locations left out; ROM patches are not in a dump.
void Analyser::numberPatches() {
    if (!s_.names) return;
    const int subBanks = walkedSubBankCount(r_, a_.module);
    const int perSubBank = r_.modS16(a_.module, kPatchesPerSubBank);
    std::size_t next = 0, room = 0;
    for (int s = 0; s < subBanks; ++s) {
        const std::size_t base = rec::moduleBase(a_.module) + rec::subBankBase(s);
        if (r_.u16(base + rec::kSbType) == kSubBankRom) continue;
        const int places =
            std::max(0, perSubBank - std::max(0, int{r_.s16(base + rec::kSbUnused)}));
        room += static_cast<std::size_t>(places);
        for (int pos = 0; pos < places && next < a_.patches.size(); ++pos, ++next) {
            a_.patches[next].subBank = s;
            a_.patches[next].position = pos;
        }
    }
    if (a_.patches.size() > room)
        finding(kIdPatchesPerSubBank,
                "The dump holds " + counted(a_.patches.size(), "patch", "patches") +
                    "; its sub-banks have places for " + n(room) +
                    ": check Number of sub-banks and Number of patches per sub-bank");
}

void Analyser::checkTotalSize() {
    const std::int64_t t = s_.totalSize;
    const auto size = static_cast<std::int64_t>(dump_.size());
    if (t > 0 && size != t)
        finding(kIdTotalSize, "The dump holds " + n(dump_.size()) +
                                  " bytes; Total size to receive says " + std::to_string(t));
    else if (t < 0 && size > -t)
        finding(kIdTotalSize, "The dump holds " + n(dump_.size()) +
                                  " bytes; Total size to receive says at most " +
                                  std::to_string(-t));
}

DumpAnalysis Analyser::run() {
    cutMessages();
    if (!s_.dumps) {
        notAnalysed(kIdModuleType, "The module only displays names: it receives no dump");
        return std::move(a_);
    }
    matchMessages();
    reportMessages();
    reportChecksums();
    checkTotalSize();
    decodeMessages();
    checkNameSettings();
    if (s_.raw) {
        cutRaw();
    } else if (s_.multipleHeaders) {
        notAnalysed(kIdMultipleHeaders,
                    "Packets with multiple headers and checksums are not cut into patches");
    } else {
        const auto groups = packets();
        switch (s_.structure) {
            case kOnePerPacket:
                cutOnePerPacket(groups);
                break;
            case kXFromY:
                cutXFromY(groups);
                break;
            case kOneFromY:
                cutOneFromY(groups);
                break;
            default: {
                const SettingRef ref = makeRef(kIdStructure, a_.module);
                std::string name = "this structure";
                for (const ChoiceEntry* e = ref.item->choices; e->text != nullptr; ++e)
                    if (e->value == s_.structure) name = std::string("\"") + e->text + "\"";
                notAnalysed(kIdStructure, "The Structure " + name + " is not cut into patches");
            }
        }
    }
    checkPatchSizes();
    numberPatches();
    reportNames();
    return std::move(a_);
}

}  // namespace

DumpAnalysis analyseDump(const SourceRecord& source, int module, ConstByteSpan dump) {
    return Analyser(source, module, dump).run();
}

std::vector<RoleSpan> byteRoles(const DumpAnalysis& a) {
    std::vector<RoleSpan> out;
    const auto add = [&](std::size_t from, std::size_t to, ByteRole role) {
        if (from >= to) return;
        if (!out.empty() && out.back().role == role && out.back().range.end() == from)
            out.back().range.size += to - from;
        else
            out.push_back({{from, to - from}, role});
    };
    // Name ranges in offset order, for merging into the data.
    std::vector<ByteRange> names;
    for (const auto& p : a.patches)
        names.insert(names.end(), p.nameBytes.begin(), p.nameBytes.end());
    std::sort(names.begin(), names.end(),
              [](const ByteRange& x, const ByteRange& y) { return x.offset < y.offset; });
    std::size_t nameIndex = 0;
    const auto addData = [&](std::size_t from, std::size_t to) {
        while (from < to) {
            while (nameIndex < names.size() && names[nameIndex].end() <= from) ++nameIndex;
            if (nameIndex == names.size() || names[nameIndex].offset >= to) {
                add(from, to, ByteRole::Data);
                return;
            }
            const ByteRange& nm = names[nameIndex];
            add(from, std::max(from, nm.offset), ByteRole::Data);
            const std::size_t e = std::min(to, nm.end());
            add(std::max(from, nm.offset), e, ByteRole::Name);
            from = e;
        }
    };
    std::size_t at = 0;
    for (const DumpMessage& m : a.messages) {
        add(at, m.offset, ByteRole::Outside);
        at = m.offset + m.size;
        if (!m.matched()) {
            add(m.offset, at, ByteRole::Outside);
            continue;
        }
        add(m.offset, m.offset + m.dataBegin, ByteRole::Header);
        addData(m.offset + m.dataBegin, m.offset + m.dataEnd);
        std::size_t tail = m.offset + m.dataEnd;
        if (m.checksum == ChecksumStatus::Ok || m.checksum == ChecksumStatus::Failed) {
            const std::size_t c = m.offset + m.checksumOffset;
            add(tail, c, ByteRole::Header);
            add(c, c + m.found.size,
                m.checksum == ChecksumStatus::Ok ? ByteRole::Checksum : ByteRole::ChecksumFailed);
            tail = c + m.found.size;
        }
        if (m.terminated && tail < at) {
            add(tail, at - 1, ByteRole::Header);
            add(at - 1, at, ByteRole::Trailer);
        } else {
            add(tail, at, ByteRole::Header);
        }
    }
    add(at, a.dumpSize, ByteRole::Outside);
    return out;
}

}  // namespace sf
