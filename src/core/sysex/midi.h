// MIDI input behind a small interface of our own: the ports of every MIDI
// system on the machine, and an input opened on one of them that hands each
// message to a receiver on the system's own thread. The desktop editor plugs
// in the real systems; tests plug in FakeMidiSystem.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/bytes.h"

namespace sf {

// One port as a MIDI system lists it.
struct MidiPort {
    std::string name;    // the port's name in its system
    std::string system;  // "ALSA", "JACK", ...

    // The text the MIDI Settings show and store: "SYSTEM: NAME".
    std::string label() const { return system + ": " + name; }
    bool operator==(const MidiPort&) const = default;
};

// Gets what an open input receives. Both calls come on the MIDI system's
// thread, never on the interface thread.
class MidiReceiver {
  public:
    virtual ~MidiReceiver() = default;
    // One complete channel or system message, or one piece of a SysEx dump
    // (a dump may come whole or cut anywhere; the pieces come in order).
    virtual void received(ConstByteSpan bytes) = 0;
    // The system lost data or failed while receiving.
    virtual void receptionError() = 0;
};

// An open input. Destroying it stops and closes the input; once the
// destructor has returned the receiver is never called again.
class MidiInput {
  public:
    virtual ~MidiInput() = default;
    virtual bool start() = 0;
    virtual void stop() = 0;
    // False once the input is lost for good: its MIDI system went away (a
    // JACK server that stopped) or its port vanished. Asked on the interface
    // thread, cheap enough for a 100 ms timer.
    virtual bool connected() { return true; }
};

// An open output. send() takes one MIDI event: a whole channel or system
// message, or one piece of a SysEx message (the pieces in order). It is
// called on one thread at a time. Destroying the output closes it.
class MidiOutput {
  public:
    virtual ~MidiOutput() = default;
    virtual bool send(ConstByteSpan event) = 0;
};

class MidiSystem {
  public:
    virtual ~MidiSystem() = default;
    // Enumerated afresh on every call: ports come and go.
    virtual std::vector<MidiPort> inputs() = 0;
    virtual std::vector<MidiPort> outputs() = 0;
    // Whether any MIDI system answers at all (an ALSA sequencer, a running
    // JACK server); without one no port can ever be listed.
    virtual bool present() { return true; }
    // Opens `port` (one of inputs()) for `receiver`, which must outlive the
    // answered input. `localName` names our own end where the system shows
    // it to other programs, which may then send to it as well. Null when the
    // port cannot be opened.
    virtual std::unique_ptr<MidiInput> openInput(const MidiPort& port, MidiReceiver& receiver,
                                                 const std::string& localName) = 0;
    // Opens `port` (one of outputs()); null when it cannot be opened.
    virtual std::unique_ptr<MidiOutput> openOutput(const MidiPort& port,
                                                   const std::string& localName) = 0;
};

// A port chosen in the MIDI Settings: its number in the list of its kind
// (-1: the first port available) and its label. A choice with a label means
// that port and no other, wherever the numbering moved it; the number alone
// only counts for a choice stored without a label.
struct MidiPortChoice {
    int number = -1;
    std::string label;
    bool operator==(const MidiPortChoice&) const = default;
};

// The index in `ports` that `choice` means: the port of its label; without
// a label the port of its number, or (number -1) the first port; -1 when
// none fits.
int resolveMidiPort(const std::vector<MidiPort>& ports, const MidiPortChoice& choice);

// The entries of one drop-down list of the MIDI Settings: the first port
// available (number -1), then every port by its label.
struct MidiPortList {
    std::vector<std::string> labels;  // entry i holds number i - 1
    int selected = 0;                 // entry of the current choice
    // The choice stored for entry `entry` (out of range: number -1).
    MidiPortChoice choiceAt(int entry, const std::vector<MidiPort>& ports) const;
};
inline constexpr const char* kFirstMidiPortLabel = "(first port available)";
// The MIDI Settings' line when no MIDI system answers at all.
inline constexpr const char* kNoMidiSystemNote =
    "No MIDI system was found. Load the ALSA sequencer (sudo modprobe snd-seq) or start a "
    "JACK server, then open the MIDI Settings again.";
MidiPortList midiPortList(const std::vector<MidiPort>& ports, const MidiPortChoice& current);

// A MIDI system for tests: scripted ports, and messages sent by the test
// (on its own thread or a helper thread) to the open input.
class FakeMidiSystem : public MidiSystem {
  public:
    std::vector<MidiPort> inputPorts;
    std::vector<MidiPort> outputPorts;
    bool failOpen = false;
    bool systemPresent = true;

    std::vector<MidiPort> inputs() override { return inputPorts; }
    std::vector<MidiPort> outputs() override { return outputPorts; }
    bool present() override { return systemPresent; }
    std::unique_ptr<MidiInput> openInput(const MidiPort& port, MidiReceiver& receiver,
                                         const std::string& localName) override;
    std::unique_ptr<MidiOutput> openOutput(const MidiPort& port,
                                           const std::string& localName) override;

    // The output side: every event sent through an open output, in order,
    // and a hook that sees each one as it goes (an instrument's answer can be
    // given from there with send()).
    bool failOpenOutput = false;
    std::function<void(ConstByteSpan)> onSent;
    std::vector<std::vector<std::uint8_t>> sentEvents() const;
    MidiPort openedOutput() const;

    // Delivers to the open, started input (nothing otherwise); answers
    // whether it was delivered.
    bool send(ConstByteSpan bytes);
    bool sendError();
    // The open input's system goes away: it answers connected() false.
    void loseInput();
    // The same from a separate thread, joined before returning.
    bool sendFromThread(ConstByteSpan bytes);

    bool isOpen() const;
    bool isStarted() const;
    MidiPort openedPort() const;
    std::string openedLocalName() const;
    int opens() const;

  private:
    class Input;
    friend class Input;
    mutable std::mutex mutex_;
    MidiReceiver* receiver_ = nullptr;
    bool started_ = false;
    bool lost_ = false;
    MidiPort opened_;
    std::string localName_;
    int opens_ = 0;
    std::vector<std::vector<std::uint8_t>> sent_;
    MidiPort openedOutput_;
};

}  // namespace sf
