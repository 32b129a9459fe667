#include "framework/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "framework/prompter.h"

namespace sf {

namespace {

FileFaultHook& faultHook() {
    static FileFaultHook hook;
    return hook;
}

// errno injected by the test hook for this operation, or 0.
int injected(FileOp op, const fs::path& path) {
    auto& hook = faultHook();
    return hook ? hook(op, path) : 0;
}

bool isDiskFull(int err) { return err == ENOSPC || err == EDQUOT; }
bool isInUse(int err) { return err == EBUSY || err == ETXTBSY; }

[[noreturn]] void raiseOpen(int err, const fs::path& path, bool creating) {
    if (isInUse(err)) throw Exception(filemsg::kInUse, path.string(), err);
    throw Exception(creating ? filemsg::kCreateFailed : filemsg::kOpenFailed, path.string(), err);
}

[[noreturn]] void raiseWrite(int err, const fs::path& path) {
    if (isDiskFull(err)) throw Exception(filemsg::kDiskFull, partitionOf(path), err);
    throw Exception(filemsg::kWriteFailed, {}, err);
}

// Closes a descriptor on every path out of a scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and answers the errno of a failed close, or 0.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

void writeAll(int fd, ConstByteSpan bytes, const fs::path& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (int err = injected(FileOp::Write, path)) raiseWrite(err, path);
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            raiseWrite(errno, path);
        }
        // A write that takes nothing without an error means the disk is full.
        if (n == 0) raiseWrite(ENOSPC, path);
        done += static_cast<std::size_t>(n);
    }
}

void syncFolder(const fs::path& dir) noexcept {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename itself has already happened
    ::close(fd);
}

fs::path tempNameFor(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp";
    name += std::to_string(::getpid());
    name += '_';
    name += std::to_string(counter++);
    return target.parent_path() / name;
}

}  // namespace

void setFileFaultHook(FileFaultHook hook) { faultHook() = std::move(hook); }

std::vector<std::uint8_t> readWholeFile(const fs::path& path) {
    if (int err = injected(FileOp::Open, path)) raiseOpen(err, path, false);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) raiseOpen(errno, path, false);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw Exception(filemsg::kReadFailed, path.string(), errno);
    if (S_ISDIR(st.st_mode)) throw Exception(filemsg::kOpenFailed, path.string(), EISDIR);
    std::vector<std::uint8_t> out;
    if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buf[65536];
    for (;;) {
        if (int err = injected(FileOp::Read, path))
            throw Exception(filemsg::kReadFailed, path.string(), err);
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Exception(filemsg::kReadFailed, path.string(), errno);
        }
        if (n == 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    // A file that shrank under us is a short read.
    if (st.st_size > 0 && out.size() < static_cast<std::size_t>(st.st_size))
        throw Exception(filemsg::kReadFailed, path.string(), 0);
    return out;
}

fs::path resolveLinks(const fs::path& path) {
    fs::path p = path;
    // As many links as the system itself follows before it calls it a loop.
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return p;  // not a link (or nothing there): this is the file
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    throw Exception(filemsg::kOpenFailed, path.string(), ELOOP);
}

void checkWritable(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
    if (int err = injected(FileOp::Open, path)) raiseOpen(err, path, false);
    // Root may write anything; a mode without any write bit still says the
    // file is not to be replaced.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) raiseOpen(EACCES, path, false);
    // Non-blocking, so that a FIFO without reader cannot hang the save.
    Fd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) raiseOpen(errno, path, false);
}

fs::path writeTempFile(const fs::path& target, ConstByteSpan bytes) {
    checkWritable(target);
    fs::path temp;
    int fdNum = -1;
    for (int attempt = 0; attempt < 100 && fdNum < 0; ++attempt) {
        temp = tempNameFor(target);
        if (int err = injected(FileOp::Create, target)) raiseOpen(err, target, true);
        fdNum = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fdNum < 0 && errno != EEXIST) raiseOpen(errno, target, true);
    }
    if (fdNum < 0) raiseOpen(EEXIST, target, true);
    Fd fd(fdNum);
    try {
        // A replaced file keeps its permissions.
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);
        writeAll(fd.get(), bytes, target);
        if (int err = injected(FileOp::Sync, target)) raiseWrite(err, target);
        if (::fsync(fd.get()) != 0) raiseWrite(errno, target);
        if (int err = fd.close()) raiseWrite(err, target);
    } catch (...) {
        discardFile(temp);
        throw;
    }
    return temp;
}

void commitTempFile(const fs::path& temp, const fs::path& target) {
    renameFile(temp, target);
    syncFolder(target.parent_path());
}

fs::path keepAside(const fs::path& file, bool* moved) {
    *moved = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path aside = tempNameFor(file);
        int err = injected(FileOp::Link, file);
        if (err == 0 && ::link(file.c_str(), aside.c_str()) == 0) return aside;
        if (err == 0) err = errno;
        if (err == EEXIST) continue;
        if (err == EPERM || err == EOPNOTSUPP || err == EMLINK || err == ENOSYS) {
            renameFile(file, aside);
            *moved = true;
            return aside;
        }
        throw Exception(filemsg::kRenameFailed, {}, err);
    }
    throw Exception(filemsg::kRenameFailed, {}, EEXIST);
}

void discardFile(const fs::path& path) noexcept {
    if (!path.empty()) ::unlink(path.c_str());
}

void writeFileAtomic(const fs::path& path, ConstByteSpan bytes) {
    const fs::path target = resolveLinks(path);
    const fs::path temp = writeTempFile(target, bytes);
    try {
        commitTempFile(temp, target);
    } catch (...) {
        discardFile(temp);
        throw;
    }
}

bool fileExists(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool removeFile(const fs::path& path, bool report) {
    int err = injected(FileOp::Remove, path);
    if (err == 0 && ::unlink(path.c_str()) != 0) err = errno;
    if (err == 0 || err == ENOENT) return true;
    if (report) throw Exception(filemsg::kDeleteFailed, {}, err);
    return false;
}

void renameFile(const fs::path& from, const fs::path& to) {
    int err = injected(FileOp::Rename, to);
    if (err == 0 && ::rename(from.c_str(), to.c_str()) != 0) err = errno;
    if (err != 0) throw Exception(filemsg::kRenameFailed, {}, err);
}

void copyFile(const fs::path& from, const fs::path& to) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readWholeFile(from);
        writeFileAtomic(to, bytes);
    } catch (const Exception& e) {
        if (e.messageNumber() == filemsg::kDiskFull) throw;
        throw Exception(filemsg::kCopyFailed, {}, e.errorCode());
    }
}

void checkDirectory(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec))
        throw Exception(filemsg::kBadDirectory, {}, ec ? ec.value() : ENOTDIR);
}

fs::path backupName(const fs::path& path, std::string_view backupExt) {
    fs::path out = path;
    if (backupExt == "~") {
        std::string ext = path.extension().string();  // ".MID", or empty
        if (ext.size() < 2)
            ext = ".~";
        else
            ext[1] = '~';
        out.replace_extension(ext);
        return out;
    }
    std::string ext(backupExt);
    if (!ext.empty() && ext.front() != '.') ext.insert(ext.begin(), '.');
    out.replace_extension(ext);
    return out;
}

bool saveBackup(const fs::path& linkOrPath, int mode, std::string_view backupExt,
                Prompter* prompter) {
    // Renaming a link would keep the link as backup and cut the linked file
    // off from every later save.
    const fs::path path = resolveLinks(linkOrPath);
    if (mode == 0 || backupExt.empty() || !fileExists(path)) return true;

    // The existing file must be writable (a file held elsewhere says so).
    checkWritable(path);

    if (mode == 1 && prompter) {
        switch (prompter->ask(formatFileMessage(filemsg::kAskBackup, path.string()),
                              Buttons::YesNoCancel)) {
            case Answer::Cancel: return false;
            case Answer::No: return true;
            default: break;
        }
    }
    const fs::path backup = backupName(path, backupExt);
    if (backup == path) return true;  // the name is its own backup: nothing to keep apart
    removeFile(backup, false);
    renameFile(path, backup);
    return true;
}

std::string partitionOf(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) p = path;
    p = p.lexically_normal();
    // Start from the nearest folder that exists.
    fs::path dir = p.parent_path();
    struct stat st {};
    while (!dir.empty() && ::stat(dir.c_str(), &st) != 0) {
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    if (dir.empty()) return path.parent_path().string();
    // Climb while the parent is on the same device.
    const dev_t dev = st.st_dev;
    for (;;) {
        const fs::path up = dir.parent_path();
        struct stat ust {};
        if (up == dir || ::stat(up.c_str(), &ust) != 0 || ust.st_dev != dev) break;
        dir = up;
    }
    return dir.string();
}

}  // namespace sf
