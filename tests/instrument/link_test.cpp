#include "instrument/link.h"

#include <gtest/gtest.h>

#include "instrument/receive.h"
#include "instrument/session.h"
#include "support.h"

using namespace sf;
using sf::test::Driver;
using sf::test::operator+;

TEST(MidiEvents, OneEventPerMessageSysexInPiecesAndJoinedOnReceipt) {
    Bytes sysex(600, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    // Running status after B0; data bytes with no status to give them go as typed.
    const Bytes bytes =
        Bytes{0xB0, 0x00, 0x01, 0x20, 0x00, 0xC0, 0x05} + sysex + Bytes{0xF8, 0x05, 0x06};
    std::vector<Bytes> want = {{0xB0, 0x00, 0x01}, {0xB0, 0x20, 0x00}, {0xC0, 0x05}};
    for (int at : {0, 256, 512})
        want.emplace_back(sysex.begin() + at, sysex.begin() + std::min(at + 256, 600));
    want.insert(want.end(), {{0xF8}, {0x05, 0x06}});
    EXPECT_EQ(midiEvents(bytes, 256), want);

    // The inbox joins SysEx pieces and drops real-time bytes.
    Inbox in;
    in.received(Bytes{0xF0, 0x41, 0xF8});
    in.received(Bytes{0x10, 0xF7});
    in.received(Bytes{0x90, 60, 100});
    in.received(Bytes{0xF0, 0x01});  // cut short by the next status
    in.received(Bytes{0xC0, 0x02});
    std::atomic<bool> cancel{false};
    Bytes m;
    for (const Bytes& want :
         {Bytes{0xF0, 0x41, 0x10, 0xF7}, Bytes{0x90, 60, 100}, Bytes{0xC0, 2}}) {
        ASSERT_TRUE(in.pop(m, 0, cancel));
        EXPECT_EQ(m, want);
    }
    EXPECT_FALSE(in.pop(m, 10, cancel));
}

namespace {

struct Rig {
    FakeMidiSystem midi;
    Inbox inbox;
    std::unique_ptr<MidiInput> input;
    std::unique_ptr<MidiOutput> output;
    Rig() {
        midi.inputPorts = midi.outputPorts = {{"synth", "JACK"}};
        input = midi.openInput(midi.inputPorts[0], inbox, "Sysforge");
        input->start();
        output = midi.openOutput(midi.outputPorts[0], "Sysforge");
    }
};

}  // namespace

TEST(ExchangeRunner, RequestsThroughPortsAndLogsBothWays) {
    Rig rig;
    // The instrument answers the request with a dump of two messages.
    rig.midi.onSent = [&](ConstByteSpan e) {
        rig.midi.sendFromThread(Bytes{0xF0, 0x43, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xF7});
        rig.midi.sendFromThread(Bytes{0xF0, 0x43, 0x01, e[3], 0xF7});
    };
    Driver d;
    d.choose(121, 71, 0).set(208, "2", 0).set(205, "$F0,$43,$10,$20,$F7", 0);
    ReceiveProcess p(*d.record, 0, {});
    ExchangeRunner runner(*rig.output, &rig.inbox, false);
    {
        ExchangeWorker worker(runner, p);
        worker.join();
        EXPECT_TRUE(worker.finished());
    }
    EXPECT_TRUE(p.succeeded()) << p.resultText();
    EXPECT_EQ(rig.midi.sentEvents(), (std::vector<Bytes>{{0xF0, 0x43, 0x10, 0x20, 0xF7}}));
    std::vector<std::string> lines;
    for (const LinkLogEntry& e : runner.log())
        lines.push_back(logLine(e).substr(logLine(e).find("  ") + 2));
    const std::vector<std::string> expected = {
        "sent      5 bytes  F0 43 10 20 F7", "received  10 bytes  F0 43 00 01 02 03 04 05 ...",
        "received  5 bytes  F0 43 01 20 F7", "Dump received: 15 bytes."};
    EXPECT_EQ(lines, expected);
}

TEST(ExchangeRunner, CancelEndsALongPauseAtOnce) {
    Rig rig;
    SendExchange x({{SendStep::Kind::Bytes, {0xC0, 0x01}, 0},
                    {SendStep::Kind::Pause, {}, 20000},
                    {SendStep::Kind::Bytes, {0xC0, 0x02}, 0}});
    ExchangeRunner runner(*rig.output, &rig.inbox, true);
    const auto t0 = std::chrono::steady_clock::now();
    {
        ExchangeWorker worker(runner, x);
        for (int i = 0; i < 5000 && rig.midi.sentEvents().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        runner.cancel();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(rig.midi.sentEvents(), (std::vector<Bytes>{{0xC0, 0x01}}));
    EXPECT_EQ(x.resultText(), kMsgStopped);
}

TEST(InstrumentSession, OpensTheStoredPortByNameAndNeverAnother) {
    FakeMidiSystem midi;
    midi.outputPorts = {{"synth", "ALSA"}, {"other", "ALSA"}};
    InstrumentSession gone(midi, {1, "ALSA: vanished"});
    EXPECT_EQ(gone.open(), kMsgMidiOutputNotOpened);
    InstrumentSession moved(midi, {0, "ALSA: other"});
    EXPECT_EQ(moved.open(), "");
    EXPECT_EQ(midi.openedOutput().name, "other");
    moved.start(std::make_unique<SendExchange>(
                    std::vector<SendStep>{{SendStep::Kind::Bytes, {0xC0, 0x05}, 0}}),
                false);
    for (int i = 0; i < 500 && moved.running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_NE(moved.finished(), nullptr);
    EXPECT_TRUE(moved.finished()->succeeded());
    EXPECT_EQ(midi.sentEvents(), (std::vector<Bytes>{{0xC0, 0x05}}));
    EXPECT_EQ(moved.takeLog().size(), 2u);  // the message and "Sent."
}

TEST(DefaultContext, StartsFromTheDriversValues) {
    Driver d;
    d.set(24, "9").set(149, "3", 0).set(154, "4", 0).set(135, "$41", 0);
    // The hand-shake template's Joker starts as its start code.
    const SendContext c = defaultContext(*d.record, 0, 134);
    EXPECT_EQ(std::tuple(c.chan, c.x1, c.x2, c.joker), std::tuple(9, 3, 4, 0x41));
    EXPECT_EQ(defaultContext(*d.record, 0, 205).joker, 0);
    d.choose(19, 71);
    EXPECT_EQ(defaultContext(*d.record, 0, 205).chan, 1);  // MIDI channel 1
}
