#include "driver/install.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

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
        r.hostPath = host;
        r.record = record.get();
        r.sourcePath = source;
        r.everSaved = true;
        return r;
    }
};

}  // namespace

TEST(Install, DriverPathReplacesOnlyTheLastExtension) {
    EXPECT_EQ(hostDriverPath("/seq/HOST.EXE", "/work/SYNTH.D"), fs::path("/seq/VANTOR.DAT/SYNTH.dev"));
    EXPECT_EQ(hostDriverPath("/seq/HOST.EXE", "/work/MY.SYNTH.d"), fs::path("/seq/VANTOR.DAT/MY.SYNTH.dev"));
    EXPECT_EQ(hostDriverPath("/seq/HOST.EXE", "/work/NODOT"), fs::path("/seq/VANTOR.DAT/NODOT.dev"));
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
    EXPECT_EQ(l.calls[0].program, s.host);
    EXPECT_EQ(l.calls[0].workingDir, s.t.path / "seq");

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

TEST(Install, RefusesUnusableHostPaths) {
    HostSetup s;
    StubLauncher l;
    for (fs::path bad : {fs::path(), s.t.path / "seq", s.t.path / "seq" / "MISSING.EXE"}) {
        RecordingPrompter p;
        InstallRequest req = s.request();
        req.hostPath = bad;
        InstallResult r = installAndRunHost(req, p, l);
        EXPECT_EQ(r.outcome, InstallOutcome::OpenPreferences) << bad;
        ASSERT_EQ(p.messages.size(), 1u);
        EXPECT_EQ(p.messages[0].text,
                  "To use this function, you must set a valid location/name for Arranta in the preferences.");
        EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
    }
    EXPECT_TRUE(l.calls.empty());
    EXPECT_FALSE(fs::exists(s.t.path / "seq" / "VANTOR.DAT" / "SYNTH.dev"));
}

TEST(Install, MissingDriverFolderIsReportedAndHostNotStarted) {
    HostSetup s;
    fs::remove(s.t.path / "seq" / "VANTOR.DAT");
    RecordingPrompter p;
    StubLauncher l;
    InstallResult r = installAndRunHost(s.request(), p, l);
    EXPECT_EQ(r.outcome, InstallOutcome::WriteFailed);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, "Error while saving driver in folder VANTOR.DAT");
    EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(l.calls.empty());
    // Nothing was created in its place.
    EXPECT_FALSE(fs::exists(s.t.path / "seq" / "VANTOR.DAT"));
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
    EXPECT_EQ(r.outcome, InstallOutcome::HostStarted);
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
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(fs::canonical(readAll(out).substr(0, readAll(out).find('\n'))), fs::canonical(folder));

    // A program that cannot be executed, or a folder that does not exist.
    EXPECT_FALSE(launcher.launch(t.touch("plain.txt", "text"), t.path));
    EXPECT_FALSE(launcher.launch(script, t.path / "missing"));
}
