// The MIDI system the editor uses, and the MIDI devices chosen in the
// "MIDI Settings" (kept as preferences MidiIn and MidiOut).
#pragma once

#include "sysex/midi.h"

namespace sf {
class Config;
}

namespace sf::gui {

// The installed system; by default the machine's own (ALSA sequencer and
// JACK through RtMidi), or one without ports when that is not built in.
MidiSystem& midiSystem();
// Installs `system` (null: back to the default); answers the previous one.
MidiSystem* setMidiSystem(MidiSystem* system);

struct MidiPreferences {
    MidiPortChoice input;
    MidiPortChoice output;
};
// Process-wide, loaded and saved with the other preferences.
MidiPreferences& midiPreferences();
// Section "Paths": MidiIn and MidiOut (numbers, -1 by default) and
// MidiInName and MidiOutName (the labels of the ports).
void loadMidiPreferences(Config& config);
void saveMidiPreferences(Config& config);

}  // namespace sf::gui
