#include "instrument/receive.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "support.h"

using namespace sf;
using sf::test::Driver;

namespace {

// Runs a process against a scripted instrument, which answers each message
// sent with the messages it returns. The transcript lists what was sent
// ("> F0 .."), paused ("pause 50") and what timed out, joined by "; ".
struct Transcript {
    std::string transcript;
    Bytes received;  // everything the instrument sent, in order
    int answers = 0;
    void add(const std::string& line) { transcript += (transcript.empty() ? "" : "; ") + line; }
};

Transcript run(Exchange& p, const std::function<std::vector<Bytes>(const Bytes&)>& instrument) {
    using K = ExchangeAction::Kind;
    Transcript r;
    std::deque<Bytes> pending;
    for (int guard = 0; !p.finished() && guard < 1000; ++guard) {
        const ExchangeAction a = p.action();
        if (a.kind == K::Send) {
            r.add("> " + hexBytes(a.bytes));
            for (Bytes& b : instrument(a.bytes)) pending.push_back(std::move(b));
        } else if (a.kind == K::Pause) {
            r.add("pause " + std::to_string(a.ms));
        } else if (a.kind != K::Flush) {  // waiting for the instrument
            if (pending.empty()) {
                r.add("timeout " + std::to_string(a.ms));
                p.timedOut();
            } else {
                r.received.insert(r.received.end(), pending.front().begin(), pending.front().end());
                ++r.answers;
                p.received(pending.front());
                pending.pop_front();
            }
            continue;
        }
        p.done();
    }
    return r;
}

// A module asking with "F0 43 20 X1 X2 F7" over X1 0..2 and X2 5.
Driver loopDriver() {
    Driver d;
    d.set(149, "0", 0).set(150, "2", 0).set(151, "1", 0).set(154, "5", 0).set(155, "5", 0);
    d.set(205, "$F0,$43,$20,X1,X2,$F7", 0);
    return d;
}

}  // namespace

TEST(LoopValues, RunFromStartToLastIncludedAndRefuseEndlessSteps) {
    using V = std::vector<int>;
    EXPECT_EQ(loopValues(0, 0, 0), V{0});
    EXPECT_EQ(loopValues(5, 5, -3), V{5});
    EXPECT_EQ(loopValues(0, 10, 3), (V{0, 3, 6, 9}));
    EXPECT_EQ(loopValues(10, 0, -5), (V{10, 5, 0}));
    EXPECT_EQ(loopValues(0, 4, 0), std::nullopt);
    EXPECT_EQ(loopValues(0, 4, -1), std::nullopt);
}

TEST(ReceiveProcess, WaitsForEachRequestsPacketsBetweenInitPreAndEnd) {
    Driver d = loopDriver();
    d.choose(121, 71, 0).set(208, "2", 0);  // wait: two packets per request
    d.set(194, "$F0,$43,$10,$01,$F7", 0).set(195, "50", 0).set(202, "$C0,X1", 0);
    d.set(204, "20", 0).set(210, "$F0,$43,$10,$02,$F7", 0).set(211, "30", 0);
    ReceiveProcess p(*d.record, 0, {});
    ASSERT_EQ(p.refusal(), "");
    int n = 0;
    const Transcript r = run(p, [&](const Bytes& sent) -> std::vector<Bytes> {
        if (sent[1] != 0x43 || sent[2] != 0x20) return {};
        const auto k = std::uint8_t(n++);
        return {{0xF0, 0x43, 0x00, k, 0xF7}, {0xF0, 0x43, 0x01, k, 0xF7}};
    });
    EXPECT_EQ(r.transcript,
              "> F0 43 10 01 F7; pause 50; > C0 00; pause 20; > F0 43 20 00 05 F7; > C0 01; "
              "pause 20; > F0 43 20 01 05 F7; > C0 02; pause 20; > F0 43 20 02 05 F7; "
              "> F0 43 10 02 F7; pause 30");
    EXPECT_TRUE(p.succeeded());
    EXPECT_EQ(p.resultText(), "Dump received: 30 bytes.");
    EXPECT_EQ(p.capture(), r.received);
    EXPECT_EQ(p.requestsSent(), 3);
}

TEST(ReceiveProcess, SecondRequestAsItsUsageSays) {
    struct Case {
        int command;  // "Usage of second request message"
        std::vector<std::string> sent;
    } cases[] = {
        {70, {"1 0 5", "2 0 5", "1 0 6", "2 0 6", "1 1 5", "2 1 5", "1 1 6", "2 1 6"}},
        {71, {"2 0 5", "1 0 5", "1 0 6", "2 1 5", "1 1 5", "1 1 6"}},
        {72, {"2 0 5", "1 0 5", "2 0 6", "1 0 6", "2 1 5", "1 1 5", "2 1 6", "1 1 6"}},
        {73, {"1 0 5", "1 0 6", "2 0 6", "1 1 5", "1 1 6", "2 1 6"}},
        {74, {"2 - -", "1 0 5", "1 0 6", "1 1 5", "1 1 6"}},
    };
    for (const Case& k : cases) {
        Driver d;
        d.set(150, "1", 0).set(151, "1", 0).set(154, "5", 0).set(155, "6", 0).set(156, "1", 0);
        d.set(205, "$1,X1,X2", 0);
        d.set(206, k.command == 74 ? "$2" : "$2,X1,X2", 0).choose(207, k.command, 0);
        ReceiveProcess p(*d.record, 0, {});
        ASSERT_EQ(p.refusal(), "") << k.command;
        std::vector<std::string> sent;
        run(p, [&](const Bytes& m) {
            std::string t;
            for (std::uint8_t b : m) t += (t.empty() ? "" : " ") + std::to_string(b);
            sent.push_back(t == "2" ? "2 - -" : t);
            return std::vector<Bytes>{};
        });
        EXPECT_EQ(sent, k.sent) << k.command;
    }
}

TEST(ReceiveProcess, RefusesBeforeSendingAnythingAndTimesOutOnSilence) {
    Driver d = loopDriver();
    d.set(151, "0", 0);
    EXPECT_EQ(ReceiveProcess(*d.record, 0, {}).refusal(),
              "Loop #1 never reaches its last value: check its step.");
    d = loopDriver();
    d.set(205, "$F0,V1,$F7", 0);
    ReceiveProcess p(*d.record, 0, {});
    EXPECT_EQ(p.refusal(), "Request #1: V1: no value given");
    EXPECT_TRUE(p.finished() && !p.succeeded());
    EXPECT_EQ(ReceiveProcess(*d.record, 3, {}).refusal(), "There is no such module.");

    d = loopDriver();
    d.choose(121, 71, 0).set(17, "1500");
    ReceiveProcess silent(*d.record, 0, {});
    const Transcript r = run(silent, [](const Bytes&) { return std::vector<Bytes>{}; });
    EXPECT_EQ(r.transcript, "> F0 43 20 00 05 F7; timeout 1500");
    EXPECT_FALSE(silent.succeeded());
    EXPECT_EQ(silent.resultText(), "No answer from the instrument within 1500 ms.");
}

namespace {

// A hand-shake instrument: after the start message, `packets` data packets (with a
// 2nd-complement checksum from byte 5), one per acknowledge, then the end code;
// the first sending of packet `corrupt` is spoiled.
struct HandshakeInstrument {
    int packets = 2, corrupt = -1, next = 0;
    bool spoiled = false;
    std::vector<Bytes> operator()(const Bytes& m) {
        const std::uint8_t code = m[4];
        if (code == 0x41)
            next = 0;
        else if (code == 0x4E)
            --next;  // send it again
        if (next == packets) return {{0xF0, 0x41, 0x10, 0x14, 0x45, 0xF7}};
        const auto k = std::uint8_t(next++);
        Bytes p = {0xF0, 0x41, 0x10, 0x14, 0x42, k, 0x11, std::uint8_t(-(k + 0x11) & 0x7F), 0xF7};
        if (k == corrupt && !spoiled) {
            p[7] ^= 1;
            spoiled = true;
        }
        return {p};
    }
};

Driver handshakeDriver() {
    Driver d;
    d.choose(121, 72, 0).set(134, "$F0,$41,$10,$14,Joker,$F7", 0);  // hand-shake
    d.set(135, "$41", 0).set(136, "$43", 0).set(137, "$45", 0).set(138, "$4E", 0);
    d.set(139, "$4F", 0).set(143, "$4C", 0).choose(116, 71, 0).choose(27, 72).set(178, "5", 0);
    d.set(150, "1", 0).set(151, "1", 0);  // X1: 0, 1
    return d;
}

}  // namespace

TEST(ReceiveProcess, HandshakeAcknowledgesEachPacketUntilTheEndCodeOrAnError) {
    Driver d = handshakeDriver();
    ReceiveProcess p(*d.record, 0, {});
    ASSERT_EQ(p.refusal(), "");
    HandshakeInstrument fake;
    fake.corrupt = 1;
    const Transcript r = run(p, std::ref(fake));
    // start, acknowledge, error (the spoiled packet), acknowledge; then the second request
    EXPECT_EQ(r.transcript,
              "> F0 41 10 14 41 F7; > F0 41 10 14 43 F7; > F0 41 10 14 4E F7; > F0 41 10 14 43 F7; "
              "> F0 41 10 14 41 F7; > F0 41 10 14 43 F7; > F0 41 10 14 43 F7");
    EXPECT_TRUE(p.succeeded()) << p.resultText();
    EXPECT_EQ(p.capture(), r.received);
    EXPECT_EQ(r.answers, 7);  // 2 + 2 packets, the spoiled one, 2 end codes

    // The instrument's error codes stop the dump.
    for (std::uint8_t code : {0x4F, 0x4C}) {
        ReceiveProcess q(*d.record, 0, {});
        run(q, [&](const Bytes&) {
            return std::vector<Bytes>{{0xF0, 0x41, 0x10, 0x14, code, 0xF7}};
        });
        EXPECT_FALSE(q.succeeded());
        EXPECT_EQ(q.resultText(), std::string("The instrument stopped the dump (code $") +
                                      (code == 0x4F ? "4F" : "4C") + ").");
    }
    d.set(134, "$F0,$41,$F7", 0);
    EXPECT_EQ(ReceiveProcess(*d.record, 0, {}).refusal(), "Template message: it has no Joker.");
}

TEST(ReceiveProcess, ManualModeRecordsUpToTheTotalSizeOrStop) {
    Driver d;
    d.choose(196, 71, 0).set(209, "6", 0).set(199, "Press DUMP", 0, 0);
    ReceiveProcess p(*d.record, 0, {});
    EXPECT_TRUE(p.manual());
    EXPECT_EQ(p.helpLines().at(0), "Press DUMP");
    EXPECT_EQ(p.action().kind, ExchangeAction::Kind::Record);
    p.received(Bytes{0xF0, 1, 2, 0xF7});
    EXPECT_FALSE(p.finished());
    p.received(Bytes{0xF0, 3, 4, 0xF7});
    EXPECT_TRUE(p.finished());
    EXPECT_EQ(p.capture(), (Bytes{0xF0, 1, 2, 0xF7, 0xF0, 3}));

    d.set(209, "0", 0);
    ReceiveProcess q(*d.record, 0, {});
    q.received(Bytes{0x90, 60, 100});
    q.stop();
    EXPECT_TRUE(q.succeeded());
    EXPECT_EQ(q.resultText(), "Dump received: 3 bytes.");
}
