#include "sysex/capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "sysex/midi.h"

using namespace sf;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes sysex(std::size_t length, std::uint8_t seed = 1) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i)
        b[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0x7F);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

const char* const kReceiveError =
    "Error while receiving Midi data. It is adviced to clear the bulk.";

struct Rig {
    FakeMidiSystem midi;
    RecordingPrompter prompter;
    Rig() { midi.inputPorts = {{"Keyboard", "ALSA"}, {"sender:out", "JACK"}}; }
};

}  // namespace

TEST(CaptureBlock, RecordsEachKindOfMessageByItsLength) {
    // Channel messages by their status, a program change padded to three bytes,
    // system common and real-time messages (dropped), a whole dump and pieces of one.
    const std::pair<Bytes, std::size_t> cases[] = {
        {{0x90, 60, 100}, 3},    {{0xE3, 0, 64}, 3}, {{0xC0, 5}, 2},
        {{0xDF, 40}, 2},         {{0xC0, 5, 0}, 2},  {{0xF8}, 0},
        {{0xF2, 1, 2}, 0},       {{0xF6}, 0},        {sysex(1000), 1000},
        {{0x10, 0x20, 0x30}, 3}, {{0x7F, 0xF7}, 2},  {{}, 0}};
    for (const auto& [message, added] : cases) {
        CaptureBlock block(4096);
        block.received(message);
        EXPECT_EQ(block.count(), added) << int(message.empty() ? 0 : message[0]);
        const Bytes got = block.take();
        EXPECT_TRUE(std::equal(got.begin(), got.end(), message.begin()));
        EXPECT_FALSE(block.errorFlag());
    }
}

TEST(CaptureBlock, DumpInPiecesLandsInOrderBetweenOtherMessages) {
    const Bytes dump = sysex(5000, 3);
    Bytes expected = {0x90, 1, 2};
    CaptureBlock block;
    block.received(expected);
    // Cut the dump at uneven places, with a clock tick inside that is dropped.
    std::size_t at = 0;
    for (std::size_t piece : {1u, 2047u, 5u, 2000u, 947u}) {
        block.received(ConstByteSpan(dump.data() + at, piece));
        block.received(Bytes{0xF8});
        at += piece;
    }
    ASSERT_EQ(at, dump.size());
    expected.insert(expected.end(), dump.begin(), dump.end());
    EXPECT_EQ(block.take(), expected);
}

TEST(CaptureBlock, NeverWritesPastItsCapacity) {
    CaptureBlock block(10);
    block.received(sysex(8));
    EXPECT_FALSE(block.errorFlag());
    block.received(Bytes{0x90, 1, 2});  // one byte fits
    block.received(sysex(100));
    EXPECT_TRUE(block.errorFlag());
    Bytes expected = sysex(8);
    expected.insert(expected.end(), {0x90, 1});
    EXPECT_EQ(block.take(), expected);
}

TEST(CaptureBlock, CountSeenFromAnotherThreadOnlyGrows) {
    CaptureBlock block(300000);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 100000; ++i)
            block.received(Bytes{0x90, static_cast<std::uint8_t>(i & 0x7F), 1});
        done = true;
    });
    std::size_t last = 0;
    while (!done) {
        const std::size_t now = block.count();
        ASSERT_GE(now, last);
        ASSERT_EQ(now % 3, 0u);  // published per whole message
        last = now;
    }
    writer.join();
    EXPECT_EQ(block.count(), 300000u);
    EXPECT_EQ(block.take()[3 * 1234 + 1], 1234 & 0x7F);
}

TEST(MidiCapture, OpensTheChosenPortAndNoticesItsLossOnce) {
    Rig r;
    MidiCapture capture(r.midi, {1, "JACK: sender:out"});
    ASSERT_TRUE(capture.open(r.prompter));
    EXPECT_TRUE(r.midi.isStarted());
    EXPECT_EQ(r.midi.openedPort(), (MidiPort{"sender:out", "JACK"}));
    EXPECT_EQ(r.midi.openedLocalName(), "Sysforge");
    EXPECT_TRUE(capture.countText() == "Number of bytes received : 0" && !capture.canShow());
    EXPECT_EQ(capture.portLine(), "MIDI input: JACK: sender:out");
    // What came before the loss stays to show.
    r.midi.send(Bytes{0x90, 1, 1});
    r.midi.loseInput();
    capture.poll(r.prompter);
    capture.poll(r.prompter);
    ASSERT_EQ(r.prompter.messages.size(), 1u);
    EXPECT_EQ(r.prompter.messages[0].text, kReceiveError);
    EXPECT_EQ(capture.portLine(), "MIDI input: JACK: sender:out (lost)");
    EXPECT_EQ(capture.show(), (Bytes{0x90, 1, 1}));
}

TEST(MidiCapture, FailedOpenAsksOkOrCancelAndRecordsNothing) {
    // No port at all; a number beyond the ports; the system refuses; the
    // remembered port went away and another now has its number.
    const std::tuple<const char*, const char*, MidiPortChoice, bool, Answer, const char*> cases[] =
        {{nullptr, "", {-1, ""}, false, Answer::Ok, "no port available"},
         {"A", "ALSA", {3, ""}, false, Answer::Cancel, "no port available"},
         {"A", "ALSA", {0, "ALSA: A"}, true, Answer::Ok, "ALSA: A (not available)"},
         {"B", "JACK", {0, "JACK: A"}, false, Answer::Cancel, "JACK: A (not available)"}};
    for (const auto& [port, system, choice, failOpen, answer, line] : cases) {
        FakeMidiSystem midi;
        if (port) midi.inputPorts = {{port, system}};
        midi.failOpen = failOpen;
        RecordingPrompter prompter;
        prompter.answers = {answer};
        MidiCapture capture(midi, choice);
        EXPECT_FALSE(capture.open(prompter)) << line;
        ASSERT_EQ(prompter.messages.size(), 1u) << line;
        EXPECT_EQ(prompter.messages[0].text, "The MIDI input could not be opened!");
        EXPECT_EQ(prompter.messages[0].icon, MessageIcon::Stop);
        EXPECT_EQ(capture.cancelled(), answer == Answer::Cancel) << line;
        EXPECT_EQ(capture.portLine(), std::string("MIDI input: ") + line);
        EXPECT_EQ(midi.opens(), 0) << line;
        EXPECT_FALSE(capture.canClear() || capture.canShow()) << line;
    }
}

TEST(MidiCapture, ClearReopensAndShowHandsOverExactlyTheBytesAndCloses) {
    Rig r;
    MidiCapture capture(r.midi, {0, "ALSA: Keyboard"});
    ASSERT_TRUE(capture.open(r.prompter));
    r.midi.send(Bytes{0x90, 1, 1});
    capture.clear(r.prompter);
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_EQ(r.midi.opens(), 2);
    Bytes dump = sysex(1500);
    ASSERT_TRUE(r.midi.sendFromThread(dump));
    ASSERT_TRUE(r.midi.sendFromThread(Bytes{0xC3, 9}));
    EXPECT_EQ(capture.count(), 1502u);
    EXPECT_TRUE(capture.canShow());
    dump.insert(dump.end(), {0xC3, 9});
    EXPECT_EQ(capture.show(), dump);
    EXPECT_FALSE(r.midi.isOpen());
}

TEST(MidiCapture, ReceptionErrorsAndOverrunsAreNoticedOnceInTheCapturesLife) {
    Rig r;
    MidiCapture capture(r.midi, {-1, ""}, 16);
    ASSERT_TRUE(capture.open(r.prompter));
    capture.poll(r.prompter);
    EXPECT_TRUE(r.prompter.messages.empty());
    r.midi.send(sysex(20));  // overruns the block
    EXPECT_EQ(capture.count(), 16u);
    capture.poll(r.prompter);
    capture.poll(r.prompter);
    r.midi.sendError();
    capture.clear(r.prompter);
    r.midi.sendError();
    capture.poll(r.prompter);
    ASSERT_EQ(r.prompter.messages.size(), 1u);
    EXPECT_EQ(r.prompter.messages[0].text, kReceiveError);
    EXPECT_EQ(r.prompter.messages[0].icon, MessageIcon::Exclamation);
}

TEST(MidiPorts, ChoiceFindsItsPortByLabelOnly) {
    const std::vector<MidiPort> ports = {{"Through", "ALSA"}, {"Synth", "ALSA"}, {"Synth", "JACK"}};
    // The port moved: found by its label; gone: never another port of its number; stored
    // without a label: the number. The entry is the one selected in the settings list.
    const std::tuple<MidiPortChoice, int, int> cases[] = {
        {{-1, ""}, 0, 0}, {{2, "JACK: Synth"}, 2, 3},  {{0, "JACK: Synth"}, 2, 3},
        {{1, ""}, 1, 2},  {{1, "ALSA: Gone"}, -1, -1}, {{5, ""}, -1, -1}};
    for (const auto& [choice, index, entry] : cases) {
        EXPECT_EQ(resolveMidiPort(ports, choice), index) << choice.label << choice.number;
        EXPECT_EQ(midiPortList(ports, choice).selected, entry) << choice.label;
    }
    EXPECT_EQ(resolveMidiPort({}, {-1, ""}), -1);
    const MidiPortList list = midiPortList(ports, {});
    EXPECT_EQ(list.labels, (std::vector<std::string>{kFirstMidiPortLabel, "ALSA: Through",
                                                     "ALSA: Synth", "JACK: Synth"}));
    EXPECT_EQ(list.choiceAt(3, ports), (MidiPortChoice{2, "JACK: Synth"}));
    EXPECT_EQ(list.choiceAt(0, ports), (MidiPortChoice{-1, ""}));
    EXPECT_EQ(list.choiceAt(-1, ports), (MidiPortChoice{-1, ""}));
}
