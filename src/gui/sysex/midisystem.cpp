#include "sysex/midisystem.h"

#include <memory>

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

MidiSystem& midiSystem() {
    return g_installed ? *g_installed : defaultSystem();
}

MidiSystem* setMidiSystem(MidiSystem* system) {
    MidiSystem* previous = g_installed;
    g_installed = system;
    return previous;
}

}  // namespace sf::gui
