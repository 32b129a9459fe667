#include "instrument/resolve.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "instrument/checksum.h"
#include "instrument/header.h"
#include "source/message_record.h"
#include "source/schema.h"

namespace sf {

namespace {

// Header fields (offsets in the record).
constexpr std::size_t kTypeIdFlags = 14;     // 19, bit 0x1: "MIDI Channel"
constexpr std::size_t kDefaultId = 180;      // 24
constexpr std::size_t kMinId = 182;          // 22
constexpr std::size_t kMaxId = 184;          // 23
constexpr std::size_t kValuesOver127 = 210;  // 16
constexpr std::size_t kChecksumType = 212;   // 27
constexpr std::size_t kChecksumStart = 214;  // 28
constexpr std::size_t kTimeout = 216;        // 17
constexpr std::size_t kChecksumInit = 218;   // 29
// Module fields.
constexpr std::size_t kStartAddress = 184;    // 158
constexpr std::size_t kAddressOffset = 188;   // 159
constexpr std::size_t kLengthPrecount = 190;  // 160

constexpr int kHeaderSetting = 15;

constexpr const char* kVariables[] = {"Chan", "X1",     "X2",    "V1",      "V2",
                                      "V3",   "SubIns", "Joker", "SizePack"};

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace code {
constexpr std::uint8_t WaitSox = 0xA1, WaitEox = 0xA2, Wait10 = 0xA3, Wait20000 = 0xAA;
constexpr std::uint8_t AddNext = 0xAB, SizePack = 0xAC, MulNext = 0xAD, MulAdd = 0xAE;
constexpr std::uint8_t V3 = 0xF1, V2 = 0xF2, V1 = 0xF3, SubIns = 0xF4, Chk = 0xF5, Chan = 0xF6;
constexpr std::uint8_t Flush = 0xF8, Len = 0xF9, Adr = 0xFA, X2 = 0xFB, X1 = 0xFC, Head = 0xFD,
                       Joker = 0xFE;
}  // namespace code

}  // namespace

namespace {

constexpr int kWaitMs[] = {10, 50, 100, 500, 1000, 5000, 10000, 20000};

// The context variable a tag code reads, or null.
const char* variableOf(std::uint8_t c) {
    switch (c) {
        case code::Chan:
            return "Chan";
        case code::X1:
            return "X1";
        case code::X2:
            return "X2";
        case code::V1:
            return "V1";
        case code::V2:
            return "V2";
        case code::V3:
            return "V3";
        case code::SubIns:
            return "SubIns";
        case code::Joker:
            return "Joker";
        case code::SizePack:
            return "SizePack";
        default:
            return nullptr;
    }
}

class Resolver {
  public:
    Resolver(const SendSettings& s, const SendContext& c) : s_(s), c_(c) {}

    ResolvedMessage run(std::span<const MessageUnit> units) {
        walk(units, false);
        flushBytes();
        if (!error_.empty()) out_.steps.clear();
        out_.error = error_;
        return std::move(out_);
    }

  private:
    struct Operand {
        long long value = 0;
        bool status = false;  // a typed status byte took part
    };

    void fail(std::string text) {
        if (error_.empty()) error_ = std::move(text);
    }

    void walk(std::span<const MessageUnit> units, bool inHeader) {
        for (std::size_t i = 0; i < units.size() && error_.empty(); ++i) {
            const std::uint8_t c = units[i] & 0xFF;
            switch (codeClass(c)) {
                case CodeClass::Empty:
                    continue;
                case CodeClass::Literal:
                    emit(c);
                    continue;
                case CodeClass::Tag:
                    break;
            }
            if (c >= code::Wait10 && c <= code::Wait20000) {
                step(SendStep::Kind::Pause, kWaitMs[c - code::Wait10]);
            } else if (c == code::WaitSox || c == code::WaitEox) {
                step(c == code::WaitSox ? SendStep::Kind::WaitSysexStart
                                        : SendStep::Kind::WaitSysexEnd,
                     s_.timeoutMs);
            } else if (c == code::Flush) {
                step(SendStep::Kind::Flush, 0);
            } else if (c == code::Head) {
                if (inHeader) return fail("Head: the common header cannot hold itself");
                walk(s_.header, true);
                placeId();
            } else if (c == code::Chk) {
                checksum();
            } else if (c == code::Adr || c == code::Len) {
                const std::uint64_t v =
                    c == code::Adr
                        ? s_.startAddress + std::uint64_t(c_.requestIndex) * s_.addressOffset
                        : s_.lengthPrecount;
                const auto b = rolandBytes(v);
                if (!b)
                    return fail(std::string(c == code::Adr ? "Adr" : "Len") +
                                ": the value does not fit in 4 bytes of 7 bits");
                for (std::uint8_t x : *b) emit(x);
            } else {
                std::size_t next = i + 1;
                const Operand v = operand(units, i, next);
                i = next - 1;
                if (!error_.empty()) return;
                if (v.status) {
                    if (v.value < 0x80 || v.value > 0xFF)
                        return fail(std::string(findTagByCode(c)->name) +
                                    ": the status byte comes out as " + std::to_string(v.value));
                    emit(static_cast<std::uint8_t>(v.value));
                } else {
                    const auto b = valueBytes(v.value, s_.valuesOver127);
                    if (!b)
                        return fail(std::string(findTagByCode(c)->name) + ": the value " +
                                    std::to_string(v.value) + " cannot be sent");
                    for (std::uint8_t x : *b) emit(x);
                }
            }
        }
    }

    // The value of the unit at `at`; `next` is set past it and the units it
    // consumed.
    Operand operand(std::span<const MessageUnit> units, std::size_t at, std::size_t& next) {
        next = at + 1;
        const std::uint8_t c = units[at] & 0xFF;
        if (codeClass(c) == CodeClass::Literal) return {c, c >= 0x80};
        const MessageTag* tag = findTagByCode(c);
        if (c == code::AddNext || c == code::MulNext || c == code::MulAdd) {
            const int n = c == code::MulAdd ? 3 : 2;
            std::array<Operand, 3> v{};
            for (int k = 0; k < n; ++k) {
                if (next >= units.size()) {
                    fail(std::string(tag->name) + ": the message ends before its " +
                         std::to_string(n) + " values");
                    return {};
                }
                v[k] = operand(units, next, next);
                if (!error_.empty()) return {};
            }
            Operand r;
            r.status = v[0].status || v[1].status || v[2].status;
            r.value = c == code::AddNext   ? v[0].value + v[1].value
                      : c == code::MulNext ? v[0].value * v[1].value
                                           : v[0].value * v[1].value + v[2].value;
            return r;
        }
        if (c == code::Chan) return {chan(), false};
        if (const char* name = variableOf(c)) {
            const std::optional<int>* v = c_.byName(name);
            if (!v || !*v) {
                fail(std::string(name) + ": no value given");
                return {};
            }
            return {**v, false};
        }
        fail(tag ? std::string(tag->name) + " cannot be a value of AddNext, MulNext or MulAdd"
                 : "an empty unit cannot be a value");
        return {};
    }

    long long chan() {
        if (s_.channelType) {
            if (!c_.chan) {
                fail("Chan: no MIDI channel given");
                return 0;
            }
            if (*c_.chan < 1 || *c_.chan > 16) {
                fail("Chan: the MIDI channel must be 1 to 16");
                return 0;
            }
            return *c_.chan - 1;
        }
        const int id = c_.chan.value_or(s_.defaultId);
        return std::max(s_.minId, std::min(std::max(s_.minId, s_.maxId), id));
    }

    void checksum() {
        // Offsets count from the F0 of the SysEx holding the tag (from the
        // message's first byte when there is none before it).
        const std::size_t from =
            sysexStart_ + static_cast<std::size_t>(std::max(0, s_.checksumStart));
        const std::size_t to = all_.size();
        const ConstByteSpan range =
            from < to ? ConstByteSpan(all_).subspan(from, to - from) : ConstByteSpan();
        const ChecksumBytes sum =
            computeChecksum(s_.checksumType, range, static_cast<std::uint16_t>(s_.checksumInit));
        for (std::uint8_t x : sum.view()) emit(x);
    }

    // The device ID at its place in the header just expanded, under its mask.
    void placeId() {
        if (!s_.idPlace.used() || !error_.empty()) return;
        const std::size_t at = sysexStart_ + static_cast<std::size_t>(s_.idPlace.offset);
        if (at >= all_.size()) return;
        const int id = static_cast<int>(chan());
        if (!error_.empty()) return;
        placeDeviceId(ByteSpan(all_).subspan(sysexStart_), s_.idPlace, id);
        const std::size_t firstPending = all_.size() - pending_.size();
        if (at >= firstPending) pending_[at - firstPending] = all_[at];
    }

    void emit(std::uint8_t b) {
        if (b == 0xF0) sysexStart_ = all_.size();
        all_.push_back(b);
        pending_.push_back(b);
    }
    void flushBytes() {
        if (pending_.empty()) return;
        out_.steps.push_back({SendStep::Kind::Bytes, std::move(pending_), 0});
        pending_.clear();
    }
    void step(SendStep::Kind kind, int ms) {
        flushBytes();
        out_.steps.push_back({kind, {}, ms});
    }

    const SendSettings& s_;
    const SendContext& c_;
    ResolvedMessage out_;
    Bytes all_;
    Bytes pending_;
    std::size_t sysexStart_ = 0;
    std::string error_;
};

void collectVariables(std::span<const MessageUnit> units, const SendSettings& s, bool inHeader,
                      std::array<bool, std::size(kVariables)>& seen) {
    for (MessageUnit u : units) {
        const std::uint8_t c = u & 0xFF;
        if (c == code::Head && !inHeader) collectVariables(s.header, s, true, seen);
        if (codeClass(c) != CodeClass::Tag) continue;
        if (const char* name = variableOf(c))
            for (std::size_t k = 0; k < seen.size(); ++k)
                if (std::string_view(kVariables[k]) == name) seen[k] = true;
    }
}

}  // namespace

std::optional<int>* SendContext::byName(std::string_view name) {
    std::optional<int>* fields[] = {&chan, &x1, &x2, &v1, &v2, &v3, &subIns, &joker, &sizePack};
    for (std::size_t k = 0; k < std::size(kVariables); ++k)
        if (equalNoCase(name, kVariables[k])) return fields[k];
    return nullptr;
}

const std::optional<int>* SendContext::byName(std::string_view name) const {
    return const_cast<SendContext*>(this)->byName(name);
}

std::span<const char* const> contextVariableNames() {
    return kVariables;
}

Bytes ResolvedMessage::bytes() const {
    Bytes out;
    for (const SendStep& s : steps) out.insert(out.end(), s.bytes.begin(), s.bytes.end());
    return out;
}

SendSettings sendSettings(const SourceRecord& r, int module) {
    SendSettings s;
    if (const auto f = messageField(r, makeRef(kHeaderSetting))) s.header = readMessage(r, *f);
    s.valuesOver127 = r.s16(kValuesOver127);
    // The driver carries at least a second (as the compiler writes it).
    s.timeoutMs = std::max<int>(1000, r.s16(kTimeout));
    s.channelType = (r.u16(kTypeIdFlags) & 0x1) != 0;
    s.minId = r.s16(kMinId);
    s.maxId = r.s16(kMaxId);
    s.defaultId = r.s16(kDefaultId);
    s.checksumType = r.s16(kChecksumType);
    s.checksumStart = r.s16(kChecksumStart);
    s.checksumInit = r.u16(kChecksumInit);
    s.idPlace = deviceIdPlace(r);
    if (module >= 0 && module < rec::kModules) {
        s.startAddress = r.u32(rec::moduleBase(module) + kStartAddress);
        s.addressOffset = r.modU16(module, kAddressOffset);
        s.lengthPrecount = r.modU16(module, kLengthPrecount);
    }
    return s;
}

ResolvedMessage resolveMessage(std::span<const MessageUnit> units, const SendSettings& settings,
                               const SendContext& context) {
    return Resolver(settings, context).run(units);
}

std::vector<std::string> neededVariables(std::span<const MessageUnit> units,
                                         const SendSettings& settings) {
    std::array<bool, std::size(kVariables)> seen{};
    collectVariables(units, settings, false, seen);
    std::vector<std::string> out;
    for (std::size_t k = 0; k < seen.size(); ++k)
        if (seen[k]) out.emplace_back(kVariables[k]);
    return out;
}

std::optional<Bytes> valueBytes(long long value, int mode) {
    if (value < 0) return std::nullopt;
    if (value <= 127) return Bytes{static_cast<std::uint8_t>(value)};
    auto pair = [](long long lo, long long hi, bool highFirst) {
        return highFirst ? Bytes{std::uint8_t(hi), std::uint8_t(lo)}
                         : Bytes{std::uint8_t(lo), std::uint8_t(hi)};
    };
    switch (mode) {
        case 0:
        case 1:
            if (value > 0x3FFF) return std::nullopt;
            return pair(value & 0x7F, value >> 7, mode == 1);
        case 2:
        case 3:
            if (value > 0xFF) return std::nullopt;
            return pair(value & 0x0F, value >> 4, mode == 3);
        default:  // "None"
            return Bytes{static_cast<std::uint8_t>(value & 0x7F)};
    }
}

std::optional<Bytes> rolandBytes(std::uint64_t value) {
    if (value >= (std::uint64_t{1} << 28)) return std::nullopt;
    const int n = value >= (std::uint64_t{1} << 21) ? 4 : 3;
    Bytes b(static_cast<std::size_t>(n));
    for (int k = n - 1; k >= 0; --k, value >>= 7) b[static_cast<std::size_t>(k)] = value & 0x7F;
    return b;
}

std::string stepText(const SendStep& step) {
    const std::string ms = std::to_string(step.ms) + " ms";
    switch (step.kind) {
        case SendStep::Kind::Bytes:
            return hexBytes(step.bytes);
        case SendStep::Kind::Pause:
            return "pause " + ms;
        case SendStep::Kind::WaitSysexStart:
            return "wait for SysEx start (at most " + ms + ")";
        case SendStep::Kind::WaitSysexEnd:
            return "wait for SysEx end (at most " + ms + ")";
        case SendStep::Kind::Flush:
            return "flush";
    }
    return {};
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty()) s += ' ';
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

}  // namespace sf
