// The MIDI systems of the machine (RtMidi over the ALSA sequencer and JACK)
// live in a module of their own that a program loads when it first talks
// MIDI: a program started for anything else then neither loads nor links
// RtMidi, JACK and ALSA, which costs a good part of a short run.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "sysex/midi.h"

namespace sf {

// The name under which the module hands out its MIDI system.
inline constexpr const char* kMidiModuleEntry = "sf_midi_module_system";
// The entry's type: a new system (owned by the caller) or null.
using MidiModuleEntry = MidiSystem* (*)(const char* clientName);

// Loads the module at `path` (once per path; it stays loaded) and answers a
// new MIDI system of it named `clientName`, or null with the reason in
// `error`.
std::unique_ptr<MidiSystem> loadMidiModule(const std::filesystem::path& path,
                                           const std::string& clientName, std::string& error);

// Where the module lies for the running program: `relative` taken from the
// folder of the program file.
std::filesystem::path midiModuleBesideProgram(const std::filesystem::path& relative);

}  // namespace sf
