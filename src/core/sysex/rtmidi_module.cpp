// The entry of the MIDI module (see sysex/midi_module.h): the RtMidi
// systems, handed to the program that loaded the module.
#include "sysex/midi_module.h"
#include "sysex/rtmidi_system.h"

extern "C" __attribute__((visibility("default"))) sf::MidiSystem* sf_midi_module_system(
    const char* clientName) noexcept {
    try {
        return new sf::RtMidiSystem(clientName ? clientName : "Sysforge");
    } catch (...) {
        return nullptr;
    }
}
