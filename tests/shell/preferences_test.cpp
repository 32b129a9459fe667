#include "editor/preferences.h"

#include <gtest/gtest.h>

#include <map>

#include "framework/config.h"

using namespace sf;
namespace fs = std::filesystem;

TEST(Preferences, MissingOrUnknownValuesTakeTheDefaults) {
    Config c;
    Preferences p = loadPreferences(c, {"DriverSource"}, "/home/u/drivers");
    EXPECT_EQ(p.driversRoot, "/home/u/drivers");
    EXPECT_EQ(std::tuple(p.hexType, p.midiIn, p.midiOut), std::tuple(1, -1, -1));
    EXPECT_TRUE(p.showGrid && p.showCopyable && p.showDisabled);
    EXPECT_EQ(p.docTypes.at("DriverSource").openPath, "");
    for (const char* v : {"3", "-1", "99"}) {  // a prefix index outside 0..2 reads as "$"
        Config k;
        k.loadText(std::string("Main\n{\nPaths\n{\nHexType=") + v + "\n}\n}\n");
        EXPECT_EQ(loadPreferences(k, {}, "").hexType, 1) << v;
    }
}

TEST(Preferences, SavedValuesReadBackInTheirSectionsUnlessAutoSaveIsOff) {
    Config c;
    Preferences p;
    p.hexType = 0;
    p.hostPath = "/opt/arranta/arranta";
    p.driversRoot = "/data/drivers";
    p.midiIn = 2;
    p.showCopyable = false;
    p.docTypes["DriverSource"] = {"/work/src", 1, 0};
    p.docTypes["Memory"] = {"/work/bin", 0, 0};
    savePreferences(c, p);
    const std::string text = c.toText();
    EXPECT_NE(text.find("\tPaths\r\n\t{\r\n\t\tHexType=0\r\n\t\tArranta=/opt/arranta/arranta\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\tDocDriverSource\r\n"), std::string::npos);

    Config back;
    back.loadText(text);
    Preferences q = loadPreferences(back, {"DriverSource", "Memory"}, "/elsewhere");
    EXPECT_EQ(std::tuple(q.hexType, q.hostPath, q.driversRoot, q.midiIn),
              std::tuple(0, p.hostPath, p.driversRoot, 2));
    EXPECT_TRUE(q.showGrid && !q.showCopyable);
    EXPECT_EQ(
        std::tuple(q.docTypes.at("DriverSource").openPath, q.docTypes.at("DriverSource").openFilter,
                   q.docTypes.at("Memory").openPath),
        std::tuple("/work/src", 1, "/work/bin"));

    // AutoSavePref 0 leaves the layout switches and the type sections as they were.
    Config off;
    off.loadText("Main\n{\nGeneral\n{\nColorCursor=1\n}\n}\n");
    Preferences o = loadPreferences(off, {"DriverSource"}, "");
    o.autoSavePref = 0;
    o.colorCursor = 0;
    o.docTypes["DriverSource"].openPath = "/x";
    savePreferences(off, o);
    o = loadPreferences(off, {"DriverSource"}, "");
    EXPECT_EQ(std::tuple(o.colorCursor, o.docTypes.at("DriverSource").openPath, o.autoSavePref),
              std::tuple(1, "", 0));
}

TEST(AppPaths, PortableUserAndOverride) {
    const std::string user = "/home/u/.local/share/sysforge/VantorModuleDrivers";
    const std::string portable = "/opt/sf/VantorModuleDrivers";
    struct Case {
        std::map<std::string, std::string> vars;  // besides HOME=/home/u
        bool portable;                            // the system folder is writable
        std::string config, drivers;
    } cases[] = {
        {{}, true, "/opt/sf/system", portable},
        {{}, false, "/home/u/.config/sysforge", user},
        {{{"XDG_CONFIG_HOME", "/cfg"}, {"XDG_DATA_HOME", "/data"}},
         false,
         "/cfg/sysforge",
         "/data/sysforge/VantorModuleDrivers"},
        {{{"XDG_CONFIG_HOME", "cfg"}}, false, "/home/u/.config/sysforge", user},  // relative
        {{{"SYSFORGE_CONFIG_DIR", "/t/c"}}, true, "/t/c", portable},
        {{{"SYSFORGE_CONFIG_DIR", "/t/c"}}, false, "/t/c", user},
    };
    for (Case c : cases) {
        c.vars["HOME"] = "/home/u";
        PathEnvironment env;
        env.getenv = [&](const char* n) -> std::optional<std::string> {
            const auto it = c.vars.find(n);
            return it == c.vars.end() ? std::nullopt : std::optional(it->second);
        };
        env.isWritableDir = [&](const fs::path& p) { return c.portable && p == "/opt/sf/system"; };
        const AppPaths a = resolveAppPaths("/opt/sf", env);
        EXPECT_EQ(std::tuple(a.settingsFile, a.layoutFile, a.driversRoot, a.portable),
                  std::tuple(fs::path(c.config) / "main.set", fs::path(c.config) / "layout.dat",
                             fs::path(c.drivers), c.portable));
    }
}

TEST(AppPaths, SocketNamePerUserAndSettingsFolder) {
    const std::string a = instanceSocketName("ann", "/home/ann/.config/sysforge");
    EXPECT_EQ(a, instanceSocketName("ann", "/home/ann/.config/sysforge/"));
    EXPECT_NE(a, instanceSocketName("bob", "/home/ann/.config/sysforge"));
    EXPECT_NE(a, instanceSocketName("ann", "/tmp/t1"));
    EXPECT_EQ(instanceSocketName("a b/c", "/x").rfind("sysforge-a_b_c-", 0), 0u);
}
