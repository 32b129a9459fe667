// "Save and run Arranta": compile the driver source into the host's
// VANTOR.DAT folder and start the host program there.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "framework/prompter.h"
#include "source/record.h"

namespace sf {

inline constexpr const char* kBadHostPathMessage =
    "To use this function, you must set a valid location/name for Arranta in the preferences.";
inline constexpr const char* kDriverWriteFailedMessage = "Error while saving driver in folder VANTOR.DAT";
inline constexpr const char* kNoMemoryModuleMessage = "There is no memory module with a valid name!";
inline constexpr const char* kHostDriverFolder = "VANTOR.DAT";

// Starts programs. The real one detaches the program completely; tests use
// a stub that records what it was asked to start.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts `program` with no arguments besides its own name, with
    // `workingDir` as its current folder, without waiting for it. Answers
    // whether the program could be started.
    virtual bool launch(const std::filesystem::path& program, const std::filesystem::path& workingDir) = 0;
};

// fork/setsid/chdir/execv, in its own session and process group. A double
// fork hands the program to init at once, so it never lingers as a zombie
// of this process and no SIGCHLD handling is needed. Descriptors other than
// the standard three are not passed on.
class DetachedProcessLauncher : public ProcessLauncher {
public:
    bool launch(const std::filesystem::path& program, const std::filesystem::path& workingDir) override;
};

struct InstallRequest {
    std::filesystem::path hostPath;    // the host program (preference "Arranta path/name")
    const SourceRecord* record = nullptr;  // the document's working record
    std::filesystem::path sourcePath;  // the document's file
    bool everSaved = false;            // the document has been given a file name
    bool modified = false;             // it has unsaved changes
    // Saves the document under its current path; answers success (having
    // shown its own message on failure).
    std::function<bool()> save;
};

enum class InstallOutcome {
    HostStarted,      // the host was asked to start (whether it could is in hostLaunched)
    OpenPreferences,  // the host path is not usable: the caller opens the Preferences
    RunSaveCommand,   // never saved: the caller runs the ordinary Save command instead
    SaveFailed,       // saving the changed document failed
    WriteFailed,      // the driver could not be written; the host was not started
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::OpenPreferences;
    std::filesystem::path driverPath;  // where the driver goes
    bool driverWritten = false;
    bool hostLaunched = false;
};

// The driver file for a source in the host's folder: <host folder>/VANTOR.DAT/
// <source file name with its last extension replaced by "dev">.
std::filesystem::path hostDriverPath(const std::filesystem::path& hostPath,
                                     const std::filesystem::path& sourcePath);

InstallResult installAndRunHost(const InstallRequest& request, Prompter& prompter,
                                ProcessLauncher& launcher);

}  // namespace sf
