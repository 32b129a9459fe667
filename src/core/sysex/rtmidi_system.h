// The MIDI systems of the machine through RtMidi: the ALSA sequencer and
// JACK (which PipeWire desktops provide as well), each port named with its
// system.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sysex/midi.h"

namespace sf {

class RtMidiSystem : public MidiSystem {
  public:
    // `clientName` is how this program appears to the other MIDI programs.
    explicit RtMidiSystem(std::string clientName = "Sysforge");

    std::vector<MidiPort> inputs() override;
    std::vector<MidiPort> outputs() override;
    bool present() override;
    std::unique_ptr<MidiInput> openInput(const MidiPort& port, MidiReceiver& receiver,
                                         const std::string& localName) override;
    std::unique_ptr<MidiOutput> openOutput(const MidiPort& port,
                                           const std::string& localName) override;

    // The systems compiled into RtMidi that are there now ("ALSA" with its
    // sequencer device, "JACK" with a running server).
    static std::vector<std::string> systems();

  private:
    std::string clientName_;
};

}  // namespace sf
