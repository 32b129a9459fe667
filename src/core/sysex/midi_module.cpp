#include "sysex/midi_module.h"

#include <dlfcn.h>

#include <system_error>

namespace sf {

std::unique_ptr<MidiSystem> loadMidiModule(const std::filesystem::path& path,
                                           const std::string& clientName, std::string& error) {
    // Never unloaded: the systems it made may live until the program ends.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = ::dlerror();
        error = why ? why : "cannot load " + path.string();
        return nullptr;
    }
    auto entry = reinterpret_cast<MidiModuleEntry>(::dlsym(module, kMidiModuleEntry));
    if (!entry) {
        error = path.string() + " is not a MIDI module of this program";
        return nullptr;
    }
    std::unique_ptr<MidiSystem> system(entry(clientName.c_str()));
    if (!system) error = "the MIDI module could not start";
    return system;
}

std::filesystem::path midiModuleBesideProgram(const std::filesystem::path& relative) {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? relative : (program.parent_path() / relative).lexically_normal();
}

}  // namespace sf
