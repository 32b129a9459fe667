#include "framework/fileio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "framework/prompter.h"
#include "support/temp_dir.h"

using namespace sf;
using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeText;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

struct HookGuard {
    explicit HookGuard(FileFaultHook h) { setFileFaultHook(std::move(h)); }
    ~HookGuard() { setFileFaultHook(nullptr); }
};
// Fails the operation `which` with `err`, every time.
FileFaultHook failing(FileOp which, int err) {
    return [=](FileOp op, const fs::path&) { return op == which ? err : 0; };
}

// The Exception f raises (a failure is recorded when it raises none).
template <class F>
Exception thrown(F f) {
    try {
        f();
    } catch (const Exception& e) {
        return e;
    }
    ADD_FAILURE() << "no Exception raised";
    return Exception(0);
}

}  // namespace

TEST(FileIo, MessagesAndReadErrorsAreNumbered) {
    EXPECT_EQ(formatFileMessage(18019, "/mnt"),
              "There is not enough disk space on partition /mnt.");
    EXPECT_TRUE(fileMessageText(17999).empty() && fileMessageText(18027).empty());
    EXPECT_EQ(formatFileMessage(18013, "ignored"), fileMessageText(18013));  // no "%s" to fill
    TempDir d;
    Exception e = thrown([&] { readWholeFile(d / "missing.d"); });
    EXPECT_EQ(e.messageNumber(), 18000);
    EXPECT_EQ(e.errorCode(), ENOENT);
    EXPECT_EQ(e.text(),
              (d / "missing.d").string() + "\nAn error occurred. This file could not be opened.");
    writeText(d / "a.d", "abc");
    for (auto [op, err, message] :
         {std::tuple{FileOp::Open, EBUSY, 18025}, {FileOp::Read, EIO, 18002}}) {
        HookGuard h(failing(op, err));
        EXPECT_EQ(thrown([&] { readWholeFile(d / "a.d"); }).messageNumber(), message);
    }
    const auto v = readWholeFile(d / "a.d");
    EXPECT_EQ(std::string(v.begin(), v.end()), "abc");
}

TEST(FileIo, AtomicWriteFailuresLeaveTargetUntouched) {
    TempDir d;
    const fs::path target = d / "t.d";
    writeText(target, "old");
    using enum FileOp;
    const std::tuple<FileOp, int, int> cases[] = {{Write, ENOSPC, 18019},  {Write, EDQUOT, 18019},
                                                  {Write, EIO, 18003},     {Sync, ENOSPC, 18019},
                                                  {Create, EACCES, 18016}, {Create, ETXTBSY, 18025},
                                                  {Rename, EXDEV, 18013}};
    for (const auto& [op, err, message] : cases) {
        HookGuard h(failing(op, err));
        const Exception e = thrown([&] { writeFileAtomic(target, bytesOf("new content")); });
        EXPECT_EQ(e.messageNumber(), message) << err;
        EXPECT_EQ(e.errorCode(), err);
        if (message == 18019) {
            EXPECT_EQ(e.text(), formatFileMessage(18019, partitionOf(target)));
        }
        EXPECT_EQ(readText(target), "old");
        EXPECT_EQ(d.entries(), 1);  // no temporary file is left behind
    }
    writeFileAtomic(target, bytesOf("new"));
    EXPECT_EQ(readText(target), "new");
    // A vanished or read-only folder.
    EXPECT_EQ(thrown([&] { writeFileAtomic(d / "gone" / "x.d", bytesOf("x")); }).messageNumber(),
              18016);
    fs::create_directory(d / "ro");
    fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) {  // root ignores permissions
        EXPECT_THROW(writeFileAtomic(d / "ro" / "x.d", bytesOf("x")), Exception);
    }
    EXPECT_THROW(checkDirectory(d / "gone"), Exception);
}

TEST(FileIo, BackupNamesAndModes) {
    // The extension is replaced from its start; "~" keeps the rest of a longer one.
    const char* names[][3] = {{"/a/X.MID", "~", "/a/X.~ID"}, {"/a/X", "~", "/a/X.~"},
                              {"/a/X.D", "~", "/a/X.~"},     {"/a/X.d", "bak", "/a/X.bak"},
                              {"/a/X", "bak", "/a/X.bak"},   {"/a/X.tar.d", "bak", "/a/X.tar.bak"}};
    for (auto& c : names) EXPECT_EQ(backupName(c[0], c[1]), fs::path(c[2])) << c[0];
    TempDir d;
    const fs::path x = d / "X.MID";
    RecordingPrompter p;
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));  // no file: nothing to do, nothing asked
    writeText(x, "v1");
    // Mode 1, answer Yes: the old file becomes X.~ID.
    p.answers = {Answer::Yes};
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, formatFileMessage(18010, x.string()));
    EXPECT_TRUE(!fileExists(x) && readText(d / "X.~ID") == "v1");
    // Answer No: no backup, the save goes on; Cancel: abandoned.
    writeText(x, "v2");
    p.answers = {Answer::No, Answer::Cancel};
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));
    EXPECT_FALSE(saveBackup(x, 1, "~", &p));
    EXPECT_EQ(readText(x) + readText(d / "X.~ID"), "v2v1");
    // Mode 2 replaces an older backup without asking; mode 0 does nothing.
    EXPECT_TRUE(saveBackup(x, 0, "~", &p) && fileExists(x));
    EXPECT_TRUE(saveBackup(x, 2, "~", &p));
    EXPECT_EQ(p.messages.size(), 3u);
    EXPECT_EQ(readText(d / "X.~ID"), "v2");
    // A failed rename raises 18013 and keeps the file.
    writeText(x, "v3");
    HookGuard h(failing(FileOp::Rename, EROFS));
    EXPECT_EQ(thrown([&] { saveBackup(x, 2, "bak", nullptr); }).messageNumber(), 18013);
    EXPECT_EQ(readText(x), "v3");
}

TEST(FileIo, RemoveAndCopy) {
    TempDir d;
    writeText(d / "a", "abc");
    EXPECT_TRUE(removeFile(d / "missing", true));
    {
        HookGuard h(failing(FileOp::Remove, EPERM));
        EXPECT_FALSE(removeFile(d / "a", false));
        EXPECT_EQ(thrown([&] { removeFile(d / "a", true); }).messageNumber(), 18001);
    }
    copyFile(d / "a", d / "b");
    EXPECT_EQ(readText(d / "b"), "abc");
    EXPECT_EQ(thrown([&] { copyFile(d / "missing", d / "c"); }).messageNumber(), 18006);
    HookGuard h(failing(FileOp::Write, ENOSPC));
    EXPECT_EQ(thrown([&] { copyFile(d / "a", d / "c"); }).messageNumber(), 18019);
}

TEST(FileIo, WriteProtectedFilesAreNeverReplaced) {
    TempDir d;
    const fs::path ro = d / "ro.d";
    writeText(ro, "old");
    fs::permissions(ro, fs::perms::owner_read | fs::perms::group_read);
    // Root could write it; the missing write bits still protect it.
    EXPECT_EQ(thrown([&] { writeFileAtomic(ro, bytesOf("new")); }).text(),
              formatFileMessage(18000, ro.string()));
    EXPECT_EQ(thrown([&] { saveBackup(ro, 2, "bak", nullptr); }).messageNumber(), 18000);
    EXPECT_EQ(readText(ro), "old");
    EXPECT_EQ(d.entries(), 1);  // neither a backup nor a temporary file
    // A file held by another program says so.
    fs::permissions(ro, fs::perms::owner_all);
    HookGuard h(failing(FileOp::Open, ETXTBSY));
    EXPECT_EQ(thrown([&] { writeFileAtomic(ro, bytesOf("new")); }).messageNumber(), 18025);
    EXPECT_EQ(readText(ro), "old");
}

TEST(FileIo, LinksAreWrittenThrough) {
    TempDir d;
    const fs::path real = d.touch("lib/real.d", "v1");
    fs::create_directories(d / "proj" / "sub");
    // A relative link counts from its own folder; a chain of links is followed.
    fs::create_symlink("../lib/real.d", d / "proj" / "X.d");
    fs::create_symlink("../X.d", d / "proj" / "sub" / "Y.d");
    EXPECT_EQ(resolveLinks(d / "proj" / "sub" / "Y.d").lexically_normal(), real);
    EXPECT_EQ(resolveLinks(real), real);

    writeFileAtomic(d / "proj" / "sub" / "Y.d", bytesOf("v2"));
    EXPECT_TRUE(fs::is_symlink(d / "proj" / "X.d"));
    EXPECT_TRUE(fs::is_symlink(d / "proj" / "sub" / "Y.d"));
    EXPECT_EQ(readText(real), "v2");

    // The backup goes beside the linked file; the link is kept.
    EXPECT_TRUE(saveBackup(d / "proj" / "X.d", 2, "bak", nullptr));
    EXPECT_EQ(readText(d / "lib" / "real.bak"), "v2");
    EXPECT_TRUE(fs::is_symlink(d / "proj" / "X.d"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(d / "proj" / "X.bak")));
    // A link to nothing creates the file it leads to.
    writeFileAtomic(d / "proj" / "X.d", bytesOf("v3"));
    EXPECT_EQ(readText(real), "v3");

    // A loop of links is refused.
    fs::create_symlink("b", d / "a");
    fs::create_symlink("a", d / "b");
    EXPECT_EQ(thrown([&] { writeFileAtomic(d / "a", bytesOf("x")); }).messageNumber(), 18000);
    EXPECT_TRUE(fs::is_symlink(d / "a"));
}
