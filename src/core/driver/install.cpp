#include "driver/install.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <system_error>

#include "driver/compiler.h"
#include "framework/fileio.h"

namespace sf {
namespace fs = std::filesystem;

namespace {

// The host path names something that can be started: an existing file that
// is not a folder. A path whose attributes cannot be read for lack of rights
// counts as existing; starting it will tell.
bool usableHostPath(const fs::path& host) {
    if (host.empty()) return false;
    std::error_code ec;
    const fs::file_status st = fs::status(host, ec);
    if (ec) return ec == std::errc::permission_denied;
    return fs::is_regular_file(st);
}

// Marks every descriptor from 3 up as close-on-exec. Runs between fork and
// exec, so it sticks to async-signal-safe calls.
void closeExtraDescriptorsOnExec() {
#ifdef CLOSE_RANGE_CLOEXEC
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    long max = ::sysconf(_SC_OPEN_MAX);
    if (max < 0 || max > 65536) max = 65536;
    for (int fd = 3; fd < max; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

void reportAndExit(int pipeFd, int error) {
    while (::write(pipeFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

}  // namespace

bool DetachedProcessLauncher::launch(const fs::path& program, const fs::path& workingDir) {
    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls are allowed.
    std::string prog = program.string();
    const std::string dir = workingDir.string();
    char* argv[] = {prog.data(), nullptr};

    // The pipe carries an errno back when chdir or exec fails; a successful
    // exec closes it (close-on-exec) and the parent reads end of file.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();  // own session and process group: no terminal signals from us
        const pid_t grandchild = ::fork();
        if (grandchild < 0) reportAndExit(fds[1], errno);
        if (grandchild > 0) ::_exit(0);

        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        ::sigemptyset(&dfl.sa_mask);
        ::sigaction(SIGPIPE, &dfl, nullptr);
        ::sigaction(SIGCHLD, &dfl, nullptr);
        closeExtraDescriptorsOnExec();
        if (::chdir(dir.c_str()) != 0) reportAndExit(fds[1], errno);
        ::execv(prog.c_str(), argv);
        reportAndExit(fds[1], errno);
    }

    ::close(fds[1]);
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    // ECHILD: SIGCHLD is ignored by this process and the child was reaped
    // for us; the pipe alone tells the outcome then.
    const bool childOk =
        waited < 0 ? errno == ECHILD : (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return childOk && n == 0;
}

fs::path hostDriverPath(const fs::path& hostPath, const fs::path& sourcePath) {
    // Only the last extension goes: MY.SYNTH.d -> MY.SYNTH.dev; a name
    // without a dot just gets ".dev".
    std::string name = sourcePath.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += ".dev";
    return hostPath.parent_path() / kHostDriverFolder / name;
}

InstallResult installAndRunHost(const InstallRequest& request, Prompter& prompter,
                                ProcessLauncher& launcher) {
    InstallResult result;
    if (!usableHostPath(request.hostPath)) {
        prompter.message(kBadHostPathMessage, MessageIcon::Stop);
        result.outcome = InstallOutcome::OpenPreferences;
        return result;
    }
    if (!request.everSaved || request.sourcePath.empty()) {
        result.outcome = InstallOutcome::RunSaveCommand;
        return result;
    }
    const bool savedNow = request.modified && request.save;
    if (savedNow && !request.save()) {
        result.outcome = InstallOutcome::SaveFailed;
        return result;
    }

    // Started by absolute path: the host runs in its own folder, where a
    // relative path would no longer lead to it.
    std::error_code ec;
    fs::path host = fs::absolute(request.hostPath, ec);
    if (ec) host = request.hostPath;
    result.driverPath = hostDriverPath(host, request.sourcePath);

    CompileResult compiled;
    if (request.record) {
        if (validModuleCount(*request.record) == 0)
            prompter.message(kNoMemoryModuleMessage, MessageIcon::Stop);
        // A save just made has said already why no driver could be built.
        compiled = compileDriver(*request.record, savedNow ? nullptr : &prompter);
    }
    // Without a driver (no named module, or a driver too large), the driver
    // already installed stays in place: an empty file would only break it
    // in the host. The host is still started, as the user asked.
    if (compiled.ok() && !compiled.image.empty()) {
        try {
            writeFileAtomic(result.driverPath, ConstByteSpan(compiled.image));
            result.driverWritten = true;
        } catch (const std::exception&) {
            prompter.message(kDriverWriteFailedMessage, MessageIcon::Stop);
            result.outcome = InstallOutcome::WriteFailed;
            return result;
        }
    }

    fs::path folder = host.parent_path();
    if (folder.empty()) folder = ".";
    // A host that cannot be started is not reported: the user sees it does
    // not come up, and the driver is installed either way.
    result.hostLaunched = launcher.launch(host, folder);
    result.outcome = InstallOutcome::HostStarted;
    return result;
}

}  // namespace sf
