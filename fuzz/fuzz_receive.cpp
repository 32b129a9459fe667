// The receive process against an instrument that answers anything: the
// first byte chooses the driver (waiting for packets with loops, or the
// hand-shake protocol), the rest is what happens next, event by event: an
// action done, a message from the instrument (a SysEx or raw bytes), a time
// out, the user's stop. Nothing may crash, the record only grows, and a
// stopped process ends.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "instrument/receive.h"
#include "source/valuetext.h"

namespace {

using namespace sf;
constexpr int kModule = 0;

struct Driver {
    std::unique_ptr<SourceRecord> r = newSource();
    Driver& set(int id, const char* text, int index1 = -1, int index2 = -1) {
        (void)parseValue(*r, makeRef(id, index1, index2), text);
        if (id >= 175 && id <= 192) normaliseStructure(*r, index1);
        return *this;
    }
    Driver& choose(int id, int command, int index1 = -1) {
        (void)applyChoice(*r, makeRef(id, index1), command);
        if (id >= 175 && id <= 192) normaliseStructure(*r, index1);
        return *this;
    }
};

const SourceRecord& driver(int which) {
    static const Driver waiting = [] {
        Driver d;
        d.set(149, "0", kModule).set(150, "2", kModule).set(151, "1", kModule);
        d.set(154, "5", kModule).set(155, "5", kModule);
        d.set(205, "$F0,$43,$20,X1,X2,$F7", kModule);
        d.choose(121, 71, kModule).set(208, "2", kModule);
        d.set(194, "$F0,$43,$10,$01,$F7", kModule).set(202, "$C0,X1", kModule);
        d.set(210, "$F0,$43,$10,$02,$F7", kModule);
        return d;
    }();
    static const Driver handshake = [] {
        Driver d;
        d.choose(121, 72, kModule);
        d.set(134, "$F0,$41,$10,$14,Joker,$F7", kModule);
        d.set(135, "$41", kModule).set(136, "$43", kModule).set(137, "$45", kModule);
        d.set(138, "$4E", kModule).set(139, "$4F", kModule).set(143, "$4C", kModule);
        d.choose(116, 71, kModule).choose(27, 72).set(178, "5", kModule);
        d.set(150, "1", kModule).set(151, "1", kModule);
        return d;
    }();
    static const Driver fresh;
    return which == 0 ? *waiting.r : which == 1 ? *handshake.r : *fresh.r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ReceiveProcess p(driver(data[0] % 3), kModule, {});
    if (!p.refusal().empty()) return 0;
    std::size_t at = 1, recorded = 0;
    bool stopped = false;
    for (int events = 0; at < size && events < 4000 && !p.finished(); ++events) {
        const std::uint8_t e = data[at++];
        const auto kind = p.action().kind;
        // The runner says "done" to its own actions, "time out" to waits;
        // messages may come at any time.
        const bool own = kind == ExchangeAction::Kind::Send ||
                         kind == ExchangeAction::Kind::Pause || kind == ExchangeAction::Kind::Flush;
        switch (e % 8) {
            case 0:
            case 1:
                if (own) p.done();
                break;
            case 2:
            case 3:
            case 4: {
                // A message: its length, then its bytes; a SysEx unless the
                // event says raw.
                const std::size_t n = at < size ? data[at++] % 64 : 0;
                Bytes m;
                if (e % 8 != 4) m.push_back(0xF0);
                for (std::size_t i = 0; i < n && at < size; ++i)
                    m.push_back(e % 8 == 4 ? data[at++]
                                           : static_cast<std::uint8_t>(data[at++] & 0x7F));
                if (e % 8 != 4) m.push_back(0xF7);
                p.received(m);
                break;
            }
            case 5:
            case 6:
                if (!own && kind != ExchangeAction::Kind::Record) p.timedOut();
                break;
            default:
                if (e & 0x80) stopped = true;
                break;
        }
        if (p.capture().size() < recorded) std::abort();
        recorded = p.capture().size();
        if (stopped) break;
    }
    if (stopped && !p.finished()) {
        // After the user's stop only the closing messages may go out.
        p.stop();
        for (int k = 0; k < 200 && !p.finished(); ++k) {
            const auto now = p.action().kind;
            if (now == ExchangeAction::Kind::Send || now == ExchangeAction::Kind::Pause ||
                now == ExchangeAction::Kind::Flush)
                p.done();
            else
                p.timedOut();
        }
        if (!p.finished()) std::abort();
    }
    if (p.finished() && p.resultText().empty()) std::abort();
    return 0;
}
