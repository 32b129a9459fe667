#include "sysex/midisystem.h"

#include <memory>

#include "framework/config.h"
#ifdef SF_HAVE_RTMIDI
#include "sysex/rtmidi_system.h"
#endif

namespace sf::gui {

namespace {

MidiSystem* g_installed = nullptr;

MidiSystem& defaultSystem() {
#ifdef SF_HAVE_RTMIDI
    static RtMidiSystem system;
#else
    static FakeMidiSystem system;  // no ports: every open fails
#endif
    return system;
}

}  // namespace

MidiSystem& midiSystem() { return g_installed ? *g_installed : defaultSystem(); }

MidiSystem* setMidiSystem(MidiSystem* system) {
    MidiSystem* previous = g_installed;
    g_installed = system;
    return previous;
}

MidiPreferences& midiPreferences() {
    static MidiPreferences prefs;
    return prefs;
}

void loadMidiPreferences(Config& config) {
    config.selectPath("\\Paths");
    MidiPreferences& p = midiPreferences();
    p.input = {config.readInt("MidiIn", 0, -1), config.readText("MidiInName", 0, "")};
    p.output = {config.readInt("MidiOut", 0, -1), config.readText("MidiOutName", 0, "")};
    config.selectRoot();
}

void saveMidiPreferences(Config& config) {
    config.selectPath("\\Paths");
    const MidiPreferences& p = midiPreferences();
    config.writeInt("MidiIn", 0, p.input.number);
    config.writeText("MidiInName", 0, p.input.label);
    config.writeInt("MidiOut", 0, p.output.number);
    config.writeText("MidiOutName", 0, p.output.label);
    config.selectRoot();
}

}  // namespace sf::gui
