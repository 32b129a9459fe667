#include "driver/install.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <tuple>

#include "support/temp_dir.h"

using sf::testsupport::TempDir;

using namespace sf;
namespace fs = std::filesystem;

namespace {

struct StubLauncher : ProcessLauncher {
    std::vector<std::pair<fs::path, fs::path>> calls;  // program, working folder
    bool launch(const fs::path& program, const fs::path& dir) override {
        calls.emplace_back(program, dir);
        return true;
    }
};

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A host folder with its program and VANTOR.DAT, and a saved source.
struct HostSetup {
    TempDir t;
    fs::path host = t.touch("seq/HOST.EXE", "#!/bin/sh\n"),
             source = t.touch("work/SYNTH.D", "source");
    fs::path driverDir = t.path() / "seq" / "VANTOR.DAT", driver = driverDir / "SYNTH.dev";
    std::unique_ptr<SourceRecord> record = newSource();
    HostSetup() { fs::create_directories(driverDir); }
    InstallRequest request() const {
        InstallRequest r;
        std::tie(r.hostPath, r.record, r.sourcePath, r.everSaved) =
            std::tuple(host, record.get(), source, true);
        return r;
    }
};

}  // namespace

TEST(Install, DriverPathReplacesOnlyTheLastExtension) {
    for (const auto& [source, driver] : {std::pair{"/work/SYNTH.D", "SYNTH.dev"},
                                         {"/work/MY.SYNTH.d", "MY.SYNTH.dev"},
                                         {"/work/NODOT", "NODOT.dev"}})
        EXPECT_EQ(hostDriverPath("/seq/HOST.EXE", source), fs::path("/seq/VANTOR.DAT") / driver);
}

TEST(Install, WritesDriverAndStartsHostInItsFolder) {
    HostSetup s;
    RecordingPrompter p;
    StubLauncher l;
    int saves = 0;
    InstallRequest req = s.request();
    req.save = [&] {
        ++saves;
        return true;
    };

    // An unchanged, saved source is not saved again; the driver is written.
    InstallResult r = installAndRunHost(req, p, l);
    EXPECT_EQ(r.outcome, InstallOutcome::HostStarted);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(r.driverPath, s.driver);
    EXPECT_EQ(readAll(s.driver).substr(0, 4), "DEV ");
    ASSERT_EQ(l.calls.size(), 1u);
    EXPECT_EQ(l.calls[0], std::make_pair(s.host, s.t.path() / "seq"));

    // A changed source is saved first; a failed save stops everything.
    req.modified = true;
    EXPECT_EQ(installAndRunHost(req, p, l).outcome, InstallOutcome::HostStarted);
    EXPECT_EQ(saves, 1);
    req.save = [] { return false; };
    EXPECT_EQ(installAndRunHost(req, p, l).outcome, InstallOutcome::SaveFailed);
    // A never-saved source only asks for the Save command.
    req = s.request();
    req.everSaved = false;
    EXPECT_EQ(installAndRunHost(req, p, l).outcome, InstallOutcome::RunSaveCommand);
    EXPECT_EQ(l.calls.size(), 2u);
    EXPECT_TRUE(p.messages.empty());
}

TEST(Install, UnusableHostOrDriverFolderStopsWithAMessage) {
    const std::string prefs =
        "To use this function, you must set a valid location/name for Arranta in the preferences.";
    // Host path empty, a folder, missing; then a host without its driver folder.
    for (const char* host : {"", "seq", "seq/MISSING.EXE", "no VANTOR.DAT"}) {
        HostSetup s;
        RecordingPrompter p;
        StubLauncher l;
        InstallRequest req = s.request();
        const bool noFolder = std::string(host) == "no VANTOR.DAT";
        if (noFolder)
            fs::remove(s.driverDir);
        else
            req.hostPath = *host ? s.t.path() / host : fs::path();
        EXPECT_EQ(installAndRunHost(req, p, l).outcome,
                  noFolder ? InstallOutcome::WriteFailed : InstallOutcome::OpenPreferences);
        ASSERT_EQ(p.messages.size(), 1u) << host;
        EXPECT_EQ(p.messages[0].text,
                  noFolder ? "Error while saving driver in folder VANTOR.DAT" : prefs);
        EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
        EXPECT_TRUE(l.calls.empty());
        // Nothing written, and no driver folder created in place of a missing one.
        EXPECT_FALSE(fs::exists(s.driver));
        EXPECT_EQ(fs::exists(s.driverDir), !noFolder);
    }
}

// The driver already installed stays as it was: a source without a named
// module still starts the host; a write-protected driver (which even root
// leaves alone) stops before it.
TEST(Install, EarlierDriverKept) {
    for (const bool noModule : {true, false}) {
        HostSetup s;
        std::ofstream(s.driver, std::ios::binary) << "EARLIER";
        if (noModule)
            s.record->setText(rec::moduleBase(0), rec::kModNameSize, "");
        else
            fs::permissions(s.driver, fs::perms::owner_read | fs::perms::others_read);
        RecordingPrompter p;
        StubLauncher l;
        const InstallResult r = installAndRunHost(s.request(), p, l);
        EXPECT_FALSE(r.driverWritten);
        EXPECT_EQ(readAll(s.driver), "EARLIER");
        EXPECT_EQ(r.outcome, noModule ? InstallOutcome::HostStarted : InstallOutcome::WriteFailed);
        EXPECT_EQ(l.calls.size(), noModule ? 1u : 0u);
        const std::vector<std::string> said =
            noModule ? std::vector<std::string>{"There is no memory module with a valid name!",
                                                "There is no module with a valid name!"}
                     : std::vector<std::string>{"Error while saving driver in folder VANTOR.DAT"};
        ASSERT_EQ(p.messages.size(), said.size());
        for (std::size_t i = 0; i < said.size(); ++i) EXPECT_EQ(p.messages[i].text, said[i]);
    }
}

TEST(Install, DriverTooLargeInstallsNothingAndIsSaidOnce) {
    HostSetup s;
    std::ofstream(s.driver, std::ios::binary) << "EARLIER";
    SourceRecord& r = *s.record;
    for (int m = 0; m < 3; ++m)
        r.setText(rec::moduleBase(m) + rec::kModName, rec::kModNameSize, "M");
    for (int m = 0; m < 2; ++m) {
        r.setModU16(m, rec::kModFlags, 0x0008);
        r.setModU16(m, rec::kModSubBankCount, 1);
        r.setU16(rec::moduleBase(m) + rec::subBankBase(0) + rec::kSbType, 2);
        r.block(m, 0) = Block(40000, 'n');
    }
    r.setU16(rec::moduleBase(2) + 64, 0xF0);
    r.setU16(rec::moduleBase(2) + 64 + 80, 1);
    for (bool modified : {false, true}) {
        RecordingPrompter p;
        StubLauncher l;
        InstallRequest q = s.request();
        q.modified = modified;
        // The save writes the source alone and says why the driver is not there.
        q.save = [&p] {
            p.message("saved without the driver", MessageIcon::Exclamation);
            return true;
        };
        const InstallResult res = installAndRunHost(q, p, l);
        EXPECT_FALSE(res.driverWritten);
        EXPECT_EQ(readAll(s.driver), "EARLIER");
        ASSERT_EQ(p.messages.size(), 1u);
        if (!modified) {
            EXPECT_EQ(p.messages[0].text.rfind("The driver is too large", 0), 0u);
        }
    }
}

TEST(Install, RealLaunchRunsDetachedInHostFolder) {
    TempDir t;
    const fs::path folder = t.path() / "host dir";
    const fs::path script =
        t.touch("host dir/run.sh", "#!/bin/sh\npwd > cwd.txt.tmp && mv cwd.txt.tmp cwd.txt\n");
    fs::permissions(script, fs::perms::owner_all);
    DetachedProcessLauncher launcher;
    ASSERT_TRUE(launcher.launch(script, folder));
    const fs::path out = folder / "cwd.txt";
    for (int i = 0; i < 100 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string cwd = readAll(out);
    EXPECT_EQ(fs::canonical(cwd.substr(0, cwd.find('\n'))), fs::canonical(folder));
    // A program that cannot be executed, or a folder that does not exist.
    EXPECT_FALSE(launcher.launch(t.touch("plain.txt", "text"), t.path()));
    EXPECT_FALSE(launcher.launch(script, t.path() / "missing"));
}
