#include "editor/preferences.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "framework/config.h"

namespace sf {

namespace {

bool readFlag(const Config& c, const char* name, bool def) {
    return c.readInt(name, 0, def ? 1 : 0) != 0;
}

}  // namespace

Preferences loadPreferences(Config& config, const std::vector<std::string>& docTypeNames,
                            const std::string& defaultDriversRoot) {
    Preferences p;
    config.selectRoot();
    config.selectSection("General");
    p.autoSavePref = config.readInt("AutoSavePref", 0, 1);
    p.autoSaveLayout = config.readInt("AutoSaveLayout", 0, 1);
    p.colorCursor = config.readInt("ColorCursor", 0, 0);
    p.tips = config.readInt("Tips", 0, 1);
    p.index = config.readInt("Index", 0, 0);

    for (const std::string& name : docTypeNames) {
        config.selectRoot();
        config.selectSection("Doc" + name);
        DocTypePrefs& d = p.docTypes[name];
        d.openPath = config.readText("OpenPath", 0, "");
        d.openFilter = config.readInt("iOpenFilter", 0, 0);
        d.saveFilter = config.readInt("iSaveFilter", 0, 0);
    }

    config.selectRoot();
    config.selectSection("Paths");
    p.hexType = config.readInt("HexType", 0, 1);
    if (p.hexType < 0 || p.hexType > 2) p.hexType = 1;
    p.hostPath = config.readText("Arranta", 0, "");
    p.driversRoot = config.readText("Drivers", 0, defaultDriversRoot);
    p.midiIn = config.readInt("MidiIn", 0, -1);
    p.midiOut = config.readInt("MidiOut", 0, -1);
    p.showGrid = readFlag(config, "ShowGrid", true);
    p.showCopyable = readFlag(config, "ShowCopyable", true);
    p.showDisabled = readFlag(config, "ShowDisabled", true);
    config.selectRoot();
    return p;
}

void savePreferences(Config& config, const Preferences& p) {
    config.selectRoot();
    config.selectSection("Paths");
    config.writeInt("HexType", 0, p.hexType);
    config.writeText("Arranta", 0, p.hostPath);
    config.writeText("Drivers", 0, p.driversRoot);
    config.writeInt("MidiIn", 0, p.midiIn);
    config.writeInt("MidiOut", 0, p.midiOut);
    config.writeInt("ShowGrid", 0, p.showGrid ? 1 : 0);
    config.writeInt("ShowCopyable", 0, p.showCopyable ? 1 : 0);
    config.writeInt("ShowDisabled", 0, p.showDisabled ? 1 : 0);

    config.selectRoot();
    config.selectSection("General");
    config.writeInt("AutoSavePref", 0, p.autoSavePref);
    if (p.autoSavePref != 0) {
        config.writeInt("AutoSaveLayout", 0, p.autoSaveLayout);
        config.writeInt("ColorCursor", 0, p.colorCursor);
    }
    config.writeInt("Tips", 0, p.tips);
    config.writeInt("Index", 0, p.index);

    if (p.autoSavePref != 0) {
        for (const auto& [name, d] : p.docTypes) {
            config.selectRoot();
            config.selectSection("Doc" + name);
            config.writeText("OpenPath", 0, d.openPath);
            config.writeInt("iOpenFilter", 0, d.openFilter);
            config.writeInt("iSaveFilter", 0, d.saveFilter);
        }
    }
    config.selectRoot();
}

PathEnvironment PathEnvironment::system() {
    PathEnvironment e;
    e.getenv = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v) return std::nullopt;
        return std::string(v);
    };
    e.isWritableDir = [](const std::filesystem::path& p) {
        std::error_code ec;
        return std::filesystem::is_directory(p, ec) && ::access(p.c_str(), W_OK | X_OK) == 0;
    };
    return e;
}

namespace {

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are to be ignored), else the fallback under the home folder.
std::filesystem::path xdgDir(const PathEnvironment& env, const char* var, const char* fallback) {
    if (auto v = env.getenv(var); v && !v->empty() && std::filesystem::path(*v).is_absolute())
        return *v;
    std::filesystem::path home = "/tmp";
    if (auto h = env.getenv("HOME"); h && !h->empty()) home = *h;
    return home / fallback;
}

}  // namespace

AppPaths resolveAppPaths(const std::filesystem::path& programDir, const PathEnvironment& env) {
    AppPaths a;
    a.portable = env.isWritableDir(programDir / "system");
    if (a.portable) {
        a.configDir = programDir / "system";
        a.driversRoot = programDir / "VantorModuleDrivers";
    } else {
        a.configDir = xdgDir(env, "XDG_CONFIG_HOME", ".config") / "sysforge";
        a.driversRoot =
            xdgDir(env, "XDG_DATA_HOME", ".local/share") / "sysforge" / "VantorModuleDrivers";
    }
    if (auto v = env.getenv("SYSFORGE_CONFIG_DIR"); v && !v->empty()) a.configDir = *v;
    a.settingsFile = a.configDir / "main.set";
    a.layoutFile = a.configDir / "layout.dat";
    return a;
}

std::string instanceSocketName(std::string_view user, const std::filesystem::path& configDir) {
    // FNV-1a over the folder's text: short, stable across runs.
    std::uint64_t h = 0xcbf29ce484222325ull;
    std::filesystem::path dir = configDir.lexically_normal();
    if (!dir.has_filename() && dir.has_parent_path()) dir = dir.parent_path();  // "dir/" is "dir"
    for (unsigned char c : dir.string()) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    std::string name = "sysforge-";
    for (char c : user) name += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return name + "-" + hex;
}

}  // namespace sf
