#include "sysex/midisystem.h"

#include <cstdio>
#include <memory>
#include <string>

#include "sysex/midi_module.h"

namespace sf::gui {

namespace {

MidiSystem* g_installed = nullptr;

// The machine's MIDI systems, loaded with the first use: the editor starts
// without them. A module that cannot be loaded leaves a system without ports
// (every open fails, MIDI Settings say so) and its reason on standard error.
MidiSystem& defaultSystem() {
#ifdef SF_MIDI_MODULE
    static const std::unique_ptr<MidiSystem> loaded = [] {
        std::string error;
        auto system = loadMidiModule(midiModuleBesideProgram(SF_MIDI_MODULE), "Sysforge", error);
        if (!system) std::fprintf(stderr, "sysforge: MIDI is not available: %s\n", error.c_str());
        return system;
    }();
    if (loaded) return *loaded;
#endif
    static FakeMidiSystem none;
    return none;
}

}  // namespace

MidiSystem& midiSystem() {
    return g_installed ? *g_installed : defaultSystem();
}

MidiSystem* setMidiSystem(MidiSystem* system) {
    MidiSystem* previous = g_installed;
    g_installed = system;
    return previous;
}

}  // namespace sf::gui
