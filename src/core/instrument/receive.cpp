#include "instrument/receive.h"

#include <algorithm>
#include <deque>

#include "instrument/checksum.h"
#include "source/message_record.h"
#include "source/schema.h"
#include "sysex/capture.h"

namespace sf {

namespace {

// Module fields (offsets in the module record), by setting.
constexpr std::size_t kModuleFlags = 18;        // 116 "Use checksum" 0x10, 118 "Slow speed" 0x200
constexpr std::size_t kProtocol = 58;           // 121
constexpr std::size_t kPacketFlags = 60;        // 161 "Use complex loop" 0x2
constexpr std::size_t kCodes = 146;             // 135..139 at 146, 148, .. 154
constexpr std::size_t kAltCodes = 158;          // 140..146 at 158, 160, .. 170
constexpr std::size_t kLoop1 = 172;             // 149..151
constexpr std::size_t kLoop2 = 178;             // 154..156
constexpr std::size_t kLoopSets = 212;          // 8 sets of 10 bytes
constexpr std::size_t kChecksumInPacket = 326;  // 178
constexpr std::size_t kReceiveFlags = 568;      // 196 manual 0x1, 203 loop #2 0x2
constexpr std::size_t kHelpLines = 570;         // 199: 10 lines of 51 bytes
constexpr std::size_t kInitPause = 1202;        // 195
constexpr std::size_t kPrePause = 1286;         // 204
constexpr std::size_t kUsage2 = 1452;           // 207
constexpr std::size_t kPackets = 1454;          // 208
constexpr std::size_t kTotalSize = 1456;        // 209
constexpr std::size_t kEndPause = 1582;         // 211
// Header fields.
constexpr std::size_t kChecksumType = 212;  // 27
constexpr std::size_t kChecksumInit = 218;  // 29

enum Setting {
    kTemplate = 134,
    kInit = 194,
    kPre = 202,
    kRequest1 = 205,
    kRequest2 = 206,
    kEnd = 210
};
enum Protocol { kNoWait = 0, kWaitOne = 1, kHandshake = 2 };
enum Usage2 { kPairs = 0, kLoop1Switch = 1, kLoop2Switch = 2, kEndOfLoop2 = 3, kFirstOfAll = 4 };
enum Code { kStart, kAck, kEndCode, kPacketError, kStopCode };
constexpr int kNoCode = -1;

std::string fill(const char* pattern, const std::string& value) {
    std::string s = pattern;
    const auto at = s.find('%');
    if (at != std::string::npos) s.replace(at, 2, value);
    return s;
}

struct Position {
    int x1 = 0, x2 = 0;
    std::optional<int> v1, v2, v3;
    bool firstInner = false, lastInner = false;
};

}  // namespace

std::optional<std::vector<int>> loopValues(int start, int last, int step) {
    if (start == last) return std::vector<int>{start};
    if (step == 0 || (last > start) != (step > 0)) return std::nullopt;
    std::vector<int> v;
    for (long long x = start; step > 0 ? x <= last : x >= last; x += step) v.push_back(int(x));
    return v;
}

struct ReceiveProcess::Impl {
    ReceiveProcess& self;
    SendSettings send;
    SendContext base;
    std::vector<MessageUnit> init, pre, request1, request2, end, templ;
    int initPause = 0, prePause = 0, endPause = 0;
    int protocol = 0, usage2 = 0, packets = 0;
    long total = 0;
    bool manual = false, preOnLoop2 = false, useChecksum = false, slow = false;
    int checksumType = 0, checksumInPacket = 0;
    unsigned checksumInit = 0;
    int codes[5] = {};
    std::vector<int> altAcks, altErrors;
    std::vector<std::string> help;

    // The loops: simple (x1s, x2s) or complex (sets).
    bool complex = false;
    std::vector<int> x1s, x2s;
    struct LoopSet {
        int iter1, iter2, v1, v2, v3;
        bool inc1, inc2, inc3;
    };
    std::vector<LoopSet> sets;
    std::size_t outer = 0, inner = 0, set = 0;  // the next position

    // Running.
    enum class Wait { None, Count, Handshake };
    struct Item {
        ExchangeAction action;
        Wait wait = Wait::None;
        int remaining = 0;
        SendContext context;  // of the request answered
    };
    std::deque<Item> queue;
    enum class Phase { Start, Loop, End, Done } phase = Phase::Start;
    ExchangeAction finishedAction;
    bool over = false;
    int requests = 0;
    int handshakePackets = 0;
    std::size_t jokerPos = 0;
    Bytes captured;
    std::size_t limit = kCaptureBlockSize;

    explicit Impl(ReceiveProcess& p) : self(p) {}

    static int code(const SourceRecord& r, int m, std::size_t off) {
        const std::uint16_t v = r.modU16(m, off);
        return (v & 0xFF) == 0xFF || v > 127 ? kNoCode : v;
    }

    void read(const SourceRecord& r, int m) {
        auto msg = [&](int id) {
            const auto f = messageField(r, makeRef(id, m));
            return f ? readMessage(r, *f) : std::vector<MessageUnit>{};
        };
        send = sendSettings(r, m);
        init = msg(kInit);
        pre = msg(kPre);
        request1 = msg(kRequest1);
        request2 = msg(kRequest2);
        end = msg(kEnd);
        templ = msg(kTemplate);
        initPause = std::max<int>(0, r.modS16(m, kInitPause));
        prePause = std::max<int>(0, r.modS16(m, kPrePause));
        endPause = std::max<int>(0, r.modS16(m, kEndPause));
        protocol = r.modS16(m, kProtocol);
        usage2 = r.modS16(m, kUsage2);
        packets = r.modS16(m, kPackets);
        total = r.s32(rec::moduleBase(m) + kTotalSize);
        const std::uint16_t flags = r.modU16(m, kModuleFlags);
        useChecksum = (flags & 0x10) != 0;
        slow = (flags & 0x200) != 0;
        const std::uint16_t receive = r.modU16(m, kReceiveFlags);
        manual = (receive & 0x1) != 0;
        preOnLoop2 = (receive & 0x2) != 0;
        checksumType = r.s16(kChecksumType);
        checksumInit = r.u16(kChecksumInit);
        checksumInPacket = std::max<int>(0, r.modS16(m, kChecksumInPacket));
        for (int k = 0; k < 5; ++k) codes[k] = code(r, m, kCodes + 2 * std::size_t(k));
        for (int k = 0; k < 7; ++k) {
            const int c = code(r, m, kAltCodes + 2 * std::size_t(k));
            if (c != kNoCode) (k < 3 ? altAcks : altErrors).push_back(c);
        }
        for (int l = 0; l < rec::kHelpLineCount; ++l)
            help.emplace_back(r.text(rec::moduleBase(m) + kHelpLines + 51 * std::size_t(l), 51));
        complex = (r.modU16(m, kPacketFlags) & 0x2) != 0;
        for (int t = 0; complex && t < 8; ++t) {
            const std::size_t b = rec::moduleBase(m) + kLoopSets + 10 * std::size_t(t);
            const std::uint8_t modes = r.u8(b + 3);
            LoopSet s{r.u8(b),      r.u8(b + 1),         r.s16(b + 4),        r.s16(b + 6),
                      r.s16(b + 8), (modes & 0x10) != 0, (modes & 0x20) != 0, (modes & 0x40) != 0};
            if (s.iter1 > 0) sets.push_back(s);
        }
        limit = total > 0 ? std::size_t(total) : kCaptureBlockSize;
    }

    // The settings that would make the process go wrong, before anything is sent.
    std::string check(const SourceRecord& r, int m) {
        if (manual) return {};
        if (complex) {
            if (sets.empty()) return "No loop set has iterations.";
        } else {
            const auto a =
                loopValues(r.modS16(m, kLoop1), r.modS16(m, kLoop1 + 2), r.modS16(m, kLoop1 + 4));
            const auto b =
                loopValues(r.modS16(m, kLoop2), r.modS16(m, kLoop2 + 2), r.modS16(m, kLoop2 + 4));
            if (!a) return "Loop #1 never reaches its last value: check its step.";
            if (!b) return "Loop #2 never reaches its last value: check its step.";
            x1s = *a;
            x2s = *b;
        }
        // Every message of the first iteration must resolve.
        const Position first = peek();
        const SendContext c = context(first);
        const std::pair<const char*, const std::vector<MessageUnit>*> messages[] = {
            {"Init message(s)", &init},
            {"Pre-message(s)", &pre},
            {"Request #1", &request1},
            {"Request #2", &request2},
            {"End message(s)", &end}};
        for (const auto& [name, units] : messages) {
            if (protocol == kHandshake && (units == &request1 || units == &request2)) continue;
            const ResolvedMessage rm =
                resolveMessage(*units, send, units == &init || units == &end ? base : c);
            if (!rm.ok()) return std::string(name) + ": " + rm.error;
        }
        if (protocol == kHandshake) {
            if (codes[kStart] == kNoCode || codes[kAck] == kNoCode)
                return "The hand-shake protocol needs a start code and an acknowledge code.";
            const auto joker = std::find_if(templ.begin(), templ.end(),
                                            [](MessageUnit u) { return (u & 0xFF) == 0xFE; });
            if (joker == templ.end()) return "Template message: it has no Joker.";
            SendContext j = c;
            j.joker = 0;
            const ResolvedMessage before = resolveMessage(std::span(templ.begin(), joker), send, j);
            const ResolvedMessage whole = resolveMessage(templ, send, j);
            if (!whole.ok()) return std::string("Template message: ") + whole.error;
            jokerPos = before.bytes().size();
        }
        return {};
    }

    Position peek() const {
        Position p;
        if (complex) {
            if (set >= sets.size()) return p;
            const LoopSet& s = sets[set];
            const int n2 = std::max(1, s.iter2);
            p.x1 = int(outer);
            p.x2 = int(inner);
            p.v1 = s.v1 + (s.inc1 ? int(outer) : 0);
            p.v2 = s.v2 + (s.inc2 ? int(outer) : 0);
            p.v3 = s.v3 + (s.inc3 ? int(inner) : 0);
            p.lastInner = int(inner) + 1 == n2;
        } else {
            if (outer >= x1s.size()) return p;
            p.x1 = x1s[outer];
            p.x2 = x2s[inner];
            p.lastInner = inner + 1 == x2s.size();
        }
        p.firstInner = inner == 0;
        return p;
    }

    std::optional<Position> nextPosition() {
        if (complex ? set >= sets.size() : outer >= x1s.size()) return std::nullopt;
        const Position p = peek();
        ++inner;
        if (complex) {
            if (int(inner) >= std::max(1, sets[set].iter2)) {
                inner = 0;
                if (int(++outer) >= sets[set].iter1) outer = 0, ++set;
            }
        } else if (inner >= x2s.size()) {
            inner = 0;
            ++outer;
        }
        return p;
    }

    SendContext context(const Position& p) const {
        SendContext c = base;
        c.x1 = p.x1;
        c.x2 = p.x2;
        if (p.v1) c.v1 = p.v1;
        if (p.v2) c.v2 = p.v2;
        if (p.v3) c.v3 = p.v3;
        return c;
    }

    // Queues the steps of a message; false (and the process over) when it
    // does not resolve.
    bool push(const std::vector<MessageUnit>& units, const SendContext& c, std::deque<Item>& to) {
        const ResolvedMessage m = resolveMessage(units, send, c);
        if (!m.ok()) {
            fail(m.error);
            return false;
        }
        using K = ExchangeAction::Kind;
        for (const SendStep& s : m.steps) {
            Item it;
            switch (s.kind) {
                case SendStep::Kind::Bytes:
                    it.action = {K::Send, s.bytes, 0};
                    break;
                case SendStep::Kind::Pause:
                    it.action = {K::Pause, {}, s.ms};
                    break;
                case SendStep::Kind::Flush:
                    it.action = {K::Flush, {}, 0};
                    break;
                case SendStep::Kind::WaitSysexStart:
                    it.action = {K::WaitSysexStart, {}, s.ms};
                    break;
                case SendStep::Kind::WaitSysexEnd:
                    it.action = {K::WaitSysexEnd, {}, s.ms};
                    break;
            }
            to.push_back(std::move(it));
        }
        return true;
    }
    void pause(int ms) {
        if (ms <= 0) return;
        Item it;
        it.action = {ExchangeAction::Kind::Pause, {}, ms};
        queue.push_back(std::move(it));
    }
    bool request(const std::vector<MessageUnit>& units, SendContext c) {
        if (units.empty()) return true;
        c.requestIndex = requests;
        if (protocol == kHandshake) c.joker = codes[kStart];
        if (!push(units, c, queue)) return false;
        ++requests;
        if (protocol == kWaitOne)
            queue.push_back({{ExchangeAction::Kind::AwaitAnswer, {}, send.timeoutMs},
                             Wait::Count,
                             std::max(1, packets),
                             c});
        if (protocol == kHandshake) {
            queue.push_back(
                {{ExchangeAction::Kind::AwaitAnswer, {}, send.timeoutMs}, Wait::Handshake, 0, c});
            handshakePackets = 0;
        }
        return true;
    }

    // Queues the next part of the process.
    void refill() {
        while (queue.empty() && !over) {
            switch (phase) {
                case Phase::Start:
                    phase = Phase::Loop;
                    if (!push(init, base, queue)) return;
                    pause(initPause);
                    if (usage2 == kFirstOfAll && protocol != kHandshake && !request(request2, base))
                        return;
                    break;
                case Phase::Loop: {
                    const auto p = nextPosition();
                    if (!p) {
                        phase = Phase::End;
                        break;
                    }
                    const SendContext c = context(*p);
                    if (!pre.empty() && (preOnLoop2 || p->firstInner)) {
                        if (!push(pre, c, queue)) return;
                        pause(prePause);
                    }
                    if (protocol == kHandshake) {
                        request(templ, c);
                        break;
                    }
                    if ((usage2 == kLoop1Switch && p->firstInner) || usage2 == kLoop2Switch)
                        if (!request(request2, c)) return;
                    if (!request(request1, c)) return;
                    if (usage2 == kPairs || (usage2 == kEndOfLoop2 && p->lastInner))
                        if (!request(request2, c)) return;
                    break;
                }
                case Phase::End:
                    phase = Phase::Done;
                    if (!push(end, base, queue)) return;
                    pause(endPause);
                    break;
                case Phase::Done:
                    finishNow(true, fill(kMsgDumpReceived, std::to_string(captured.size())));
                    return;
            }
        }
    }

    void fail(const std::string& text) { finishNow(false, text); }
    void finishNow(bool ok, const std::string& text) {
        if (over) return;
        over = true;
        queue.clear();
        self.finish(ok, text);
    }

    void advance() {
        if (!queue.empty()) queue.pop_front();
        refill();
    }

    bool checksumHolds(ConstByteSpan m) const {
        if (!useChecksum) return true;
        const std::size_t len = computeChecksum(checksumType, {}, 0).size;
        if (len == 0) return true;
        if (m.size() < std::size_t(checksumInPacket) + len + 1) return false;
        const std::size_t at = m.size() - 1 - len;
        const ChecksumBytes expected = computeChecksum(
            checksumType,
            m.subspan(std::size_t(checksumInPacket), at - std::size_t(checksumInPacket)),
            static_cast<std::uint16_t>(checksumInit));
        const ConstByteSpan found = m.subspan(at, len);
        return std::equal(found.begin(), found.end(), expected.view().begin());
    }

    void handshake(ConstByteSpan m) {
        Item& wait = queue.front();
        if (m.size() <= jokerPos || m[0] != 0xF0) return;  // not a packet of the protocol
        const int c = m[jokerPos];
        auto is = [&](int code) { return code != kNoCode && c == code; };
        if (is(codes[kEndCode])) return advance();
        if (is(codes[kStopCode]) ||
            std::find(altErrors.begin(), altErrors.end(), c) != altErrors.end()) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            return fail(fill(kMsgInstrumentStopped,
                             std::string(hexPrefix()) + kDigits[c >> 4] + kDigits[c & 0xF]));
        }
        if (is(codes[kAck]) || std::find(altAcks.begin(), altAcks.end(), c) != altAcks.end())
            return;
        // A data packet: answered at once.
        const bool ok = checksumHolds(m);
        if (!ok && codes[kPacketError] == kNoCode)
            return fail("A packet came with a wrong checksum.");
        SendContext a = wait.context;
        a.joker = ok ? codes[kAck] : codes[kPacketError];
        a.requestIndex = requests;
        std::deque<Item> answer;
        if (!push(templ, a, answer)) return;
        ++handshakePackets;
        // Without an end code the instrument's packets are counted instead.
        if (ok && codes[kEndCode] == kNoCode && handshakePackets >= std::max(1, packets))
            queue.pop_front();
        queue.insert(queue.begin(), answer.begin(), answer.end());
    }
};

ReceiveProcess::ReceiveProcess(const SourceRecord& r, int module, const SendContext& base)
    : d_(std::make_unique<Impl>(*this)) {
    d_->base = base;
    d_->base.requestIndex = 0;
    if (module < 0 || module >= validModuleCount(r)) {
        refusal_ = "There is no such module.";
    } else {
        d_->read(r, module);
        refusal_ = d_->check(r, module);
    }
    if (!refusal_.empty()) {
        d_->over = true;
        finish(false, refusal_);
    } else if (!d_->manual) {
        d_->refill();
    }
}

ReceiveProcess::~ReceiveProcess() = default;

bool ReceiveProcess::manual() const {
    return d_->manual;
}
std::vector<std::string> ReceiveProcess::helpLines() const {
    return d_->help;
}
bool ReceiveProcess::slowSpeed() const {
    return d_->slow;
}
const Bytes& ReceiveProcess::capture() const {
    return d_->captured;
}
int ReceiveProcess::requestsSent() const {
    return d_->requests;
}

const ExchangeAction& ReceiveProcess::action() const {
    static const ExchangeAction kRecord{ExchangeAction::Kind::Record, {}, 0};
    if (d_->over) return d_->finishedAction;
    if (d_->manual) return kRecord;
    return d_->queue.empty() ? d_->finishedAction : d_->queue.front().action;
}

void ReceiveProcess::done() {
    if (d_->over || d_->manual || d_->queue.empty()) return;
    const auto k = d_->queue.front().action.kind;
    if (k == ExchangeAction::Kind::Send || k == ExchangeAction::Kind::Pause ||
        k == ExchangeAction::Kind::Flush || k == ExchangeAction::Kind::WaitSysexStart ||
        k == ExchangeAction::Kind::WaitSysexEnd)
        d_->advance();
}

void ReceiveProcess::received(ConstByteSpan message) {
    if (d_->over) return;
    const std::size_t room = d_->limit - std::min(d_->limit, d_->captured.size());
    d_->captured.insert(d_->captured.end(), message.begin(),
                        message.begin() + std::ptrdiff_t(std::min(room, message.size())));
    if (d_->manual) {
        if (d_->total > 0 && d_->captured.size() >= d_->limit)
            d_->finishNow(true, fill(kMsgDumpReceived, std::to_string(d_->captured.size())));
        return;
    }
    if (d_->queue.empty() || message.empty() || message[0] != 0xF0) return;
    Impl::Item& front = d_->queue.front();
    const auto k = front.action.kind;
    if (k == ExchangeAction::Kind::WaitSysexStart || k == ExchangeAction::Kind::WaitSysexEnd)
        return d_->advance();
    if (front.wait == Impl::Wait::Count) {
        if (--front.remaining <= 0) d_->advance();
    } else if (front.wait == Impl::Wait::Handshake) {
        d_->handshake(message);
    }
}

void ReceiveProcess::timedOut() {
    if (d_->over || d_->manual || d_->queue.empty()) return;
    const Impl::Item& front = d_->queue.front();
    if (front.wait != Impl::Wait::None)
        return d_->fail(fill(kMsgNoAnswer, std::to_string(front.action.ms)));
    const auto k = front.action.kind;
    if (k == ExchangeAction::Kind::WaitSysexStart || k == ExchangeAction::Kind::WaitSysexEnd)
        d_->advance();
}

void ReceiveProcess::stop() {
    if (d_->over) return;
    if (d_->manual)
        d_->finishNow(true, fill(kMsgDumpReceived, std::to_string(d_->captured.size())));
    else
        d_->finishNow(false, kMsgStopped);
}

}  // namespace sf
