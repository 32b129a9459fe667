#include "driver/install.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "library/tempdir.h"

using namespace sf;
namespace fs = std::filesystem;

namespace {

struct StubLauncher : ProcessLauncher {
    struct Call {
        fs::path program;
        fs::path workingDir;
    };
    std::vector<Call> calls;
    bool answer = true;
    bool launch(const fs::path& program, const fs::path& workingDir) override {
        calls.push_back({program, workingDir});
        return answer;
    }
};

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A host folder with its program and VANTOR.DAT, and a saved source.
struct HostSetup {
    TempDir t;
    fs::path host;
    fs::path source;
    std::unique_ptr<SourceRecord> record = newSource();
    HostSetup() {
        host = t.touch("seq/HOST.EXE", "#!/bin/sh\n");
        fs::create_directories(t.path / "seq" / "VANTOR.DAT");
        source = t.touch("work/SYNTH.D", "source");
    }
    InstallRequest request() const {
        InstallRequest r;
        std::tie(r.hostPath, r.record, r.sourcePath, r.everSaved) = std::tuple(host, record.get(), source, true);
        return r;
    }
};

}  // namespace

TEST(Install, DriverPathReplacesOnlyTheLastExtension) {
    for (const auto& [source, driver] : {std::pair{"/work/SYNTH.D", "SYNTH.dev"}, {"/work/MY.SYNTH.d", "MY.SYNTH.dev"},
                                         {"/work/NODOT", "NODOT.dev"}})
        EXPECT_EQ(hostDriverPath("/seq/HOST.EXE", source), fs::path("/seq/VANTOR.DAT") / driver);
}

TEST(Install, WritesDriverAndStartsHostInItsFolder) {
    HostSetup s;
    RecordingPrompter p;
    StubLauncher l;
    int saves = 0;
    InstallRequest req = s.request();
    req.save = [&] { ++saves; return true; };

    // An unchanged, saved source is not saved again; the driver is written.
    InstallResult r = installAndRunHost(req, p, l);
    EXPECT_EQ(r.outcome, InstallOutcome::HostStarted);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(p.messages.empty());
    const fs::path driver = s.t.path / "seq" / "VANTOR.DAT" / "SYNTH.dev";
    EXPECT_EQ(r.driverPath, driver);
    ASSERT_TRUE(r.driverWritten);
    EXPECT_EQ(readAll(driver).substr(0, 4), "DEV ");
    ASSERT_EQ(l.calls.size(), 1u);
    EXPECT_EQ(std::make_pair(l.calls[0].program, l.calls[0].workingDir), std::make_pair(s.host, s.t.path / "seq"));

    // A changed source is saved first; a failed save stops everything.
    req.modified = true;
    r = installAndRunHost(req, p, l);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(r.outcome, InstallOutcome::HostStarted);
    req.save = [&] { ++saves; return false; };
    r = installAndRunHost(req, p, l);
    EXPECT_EQ(r.outcome, InstallOutcome::SaveFailed);
    EXPECT_EQ(l.calls.size(), 2u);

    // A never-saved source only asks for the Save command.
    req = s.request();
    req.everSaved = false;
    r = installAndRunHost(req, p, l);
    EXPECT_EQ(r.outcome, InstallOutcome::RunSaveCommand);
    EXPECT_EQ(l.calls.size(), 2u);
    EXPECT_TRUE(p.messages.empty());
}

TEST(Install, UnusableHostOrDriverFolderStopsWithAMessage) {
    const char* const prefs =
        "To use this function, you must set a valid location/name for Arranta in the preferences.";
    struct Case {
        const char* what;
        InstallOutcome outcome;
        const char* message;
    };
    // Host path empty, a folder, missing; then a host without its driver folder.
    const Case cases[] = {{"", InstallOutcome::OpenPreferences, prefs},
                          {"seq", InstallOutcome::OpenPreferences, prefs},
                          {"seq/MISSING.EXE", InstallOutcome::OpenPreferences, prefs},
                          {"no folder", InstallOutcome::WriteFailed, "Error while saving driver in folder VANTOR.DAT"}};
    for (const Case& c : cases) {
        HostSetup s;
        RecordingPrompter p;
        StubLauncher l;
        InstallRequest req = s.request();
        if (c.outcome == InstallOutcome::WriteFailed)
            fs::remove(s.t.path / "seq" / "VANTOR.DAT");
        else
            req.hostPath = *c.what ? s.t.path / c.what : fs::path();
        EXPECT_EQ(installAndRunHost(req, p, l).outcome, c.outcome) << c.what;
        ASSERT_EQ(p.messages.size(), 1u) << c.what;
        EXPECT_EQ(p.messages[0].text, c.message);
        EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
        EXPECT_TRUE(l.calls.empty());
        // Nothing written, and no driver folder created in place of a missing one.
        EXPECT_EQ(fs::exists(s.t.path / "seq" / "VANTOR.DAT" / "SYNTH.dev"), false);
        EXPECT_EQ(fs::exists(s.t.path / "seq" / "VANTOR.DAT"), c.outcome != InstallOutcome::WriteFailed);
    }
}

TEST(Install, NoNamedModuleKeepsEarlierDriver) {
    HostSetup s;
    const fs::path driver = s.t.path / "seq" / "VANTOR.DAT" / "SYNTH.dev";
    std::ofstream(driver, std::ios::binary) << "EARLIER";
    s.record->setText(rec::moduleBase(0), rec::kModNameSize, "");
    RecordingPrompter p;
    StubLauncher l;
    InstallResult r = installAndRunHost(s.request(), p, l);
    ASSERT_EQ(p.messages.size(), 2u);
    EXPECT_EQ(p.messages[0].text, "There is no memory module with a valid name!");
    EXPECT_EQ(p.messages[1].text, "There is no module with a valid name!");
    EXPECT_FALSE(r.driverWritten);
    EXPECT_EQ(readAll(driver), "EARLIER");
    EXPECT_EQ(r.outcome, InstallOutcome::HostStarted);  // the host still starts
    EXPECT_EQ(l.calls.size(), 1u);
}

TEST(Install, RealLaunchRunsDetachedInHostFolder) {
    TempDir t;
    const fs::path folder = t.path / "host dir";
    const fs::path script = t.touch("host dir/run.sh", "#!/bin/sh\npwd > cwd.txt.tmp && mv cwd.txt.tmp cwd.txt\n");
    fs::permissions(script, fs::perms::owner_all);
    DetachedProcessLauncher launcher;
    ASSERT_TRUE(launcher.launch(script, folder));

    const fs::path out = folder / "cwd.txt";
    for (int i = 0; i < 100 && !fs::exists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string cwd = readAll(out);
    EXPECT_EQ(fs::canonical(cwd.substr(0, cwd.find('\n'))), fs::canonical(folder));

    // A program that cannot be executed, or a folder that does not exist.
    EXPECT_FALSE(launcher.launch(t.touch("plain.txt", "text"), t.path));
    EXPECT_FALSE(launcher.launch(script, t.path / "missing"));
}
