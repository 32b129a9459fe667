// The program's preferences and where they live: the sections "General",
// "Paths" and one "Doc<type>" section per document type of the settings
// file, and the folders of the settings file, the window layout and the
// default drivers root.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sf {

class Config;

// What the file dialogs remember per document type.
struct DocTypePrefs {
    std::string openPath;  // the folder last used to open a file of the type
    int openFilter = 0;    // the filter last chosen in the open dialog
    int saveFilter = 0;    // ... and in the save dialog
};

struct Preferences {
    // "General"
    int autoSavePref = 1;
    int autoSaveLayout = 1;
    int colorCursor = 0;
    int tips = 1;
    int index = 0;
    // "Paths"
    int hexType = 1;          // 0 "0x", 1 "$", 2 "&H"
    std::string hostPath;     // "Arranta": the host program
    std::string driversRoot;  // "Drivers"
    int midiIn = -1;
    int midiOut = -1;
    bool showGrid = true;
    bool showCopyable = true;
    bool showDisabled = true;
    // "Doc<name>" for each registered document type, by type name.
    std::map<std::string, DocTypePrefs> docTypes;
};

// Reads the preferences; every missing key takes its default. A prefix index
// outside 0..2 reads as the default "$".
Preferences loadPreferences(Config& config, const std::vector<std::string>& docTypeNames,
                            const std::string& defaultDriversRoot);
// Writes them back; with AutoSavePref 0 the layout switches and the document
// type sections are left as they are.
void savePreferences(Config& config, const Preferences& prefs);

// Where the program keeps its files.
struct AppPaths {
    std::filesystem::path configDir;     // holds the two files below
    std::filesystem::path settingsFile;  // main.set
    std::filesystem::path layoutFile;    // layout.dat
    std::filesystem::path driversRoot;   // the default drivers root
    bool portable = false;
};

// The environment the paths depend on, so that tests can supply their own.
struct PathEnvironment {
    std::function<std::optional<std::string>(const char*)> getenv;
    std::function<bool(const std::filesystem::path&)> isWritableDir;
    static PathEnvironment system();
};

// Portable mode when a writable folder "system" stands beside the program:
// both files there and the drivers root "VantorModuleDrivers" beside the
// program. Otherwise $XDG_CONFIG_HOME/sysforge (default ~/.config) and
// $XDG_DATA_HOME/sysforge/VantorModuleDrivers (default ~/.local/share).
// SYSFORGE_CONFIG_DIR, when set, names the folder of the two files.
AppPaths resolveAppPaths(const std::filesystem::path& programDir, const PathEnvironment& env);

// The name of the local socket through which a second start finds the
// running copy: one per user and settings folder, so that two installations
// (or two tests) with their own settings do not meet.
std::string instanceSocketName(std::string_view user, const std::filesystem::path& configDir);

}  // namespace sf
