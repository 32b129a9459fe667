// The MIDI system the editor uses, and the MIDI devices chosen in the
// "MIDI Settings".
#pragma once

#include "sysex/midi.h"

namespace sf::gui {

// The installed system; by default the machine's own (ALSA sequencer and
// JACK through RtMidi, a module loaded with the first call), or one without
// ports when that is not built in or does not load.
MidiSystem& midiSystem();
// Installs `system` (null: back to the default); answers the previous one.
MidiSystem* setMidiSystem(MidiSystem* system);

// The ports chosen in the "MIDI Settings". The preferences keep them in
// section "Paths" as MidiIn and MidiOut (numbers, -1 by default) and
// MidiInName and MidiOutName (the ports' labels).
struct MidiPreferences {
    MidiPortChoice input;
    MidiPortChoice output;
};

}  // namespace sf::gui
