#include "framework/fileio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "framework/prompter.h"

using namespace sf;

namespace {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/sf_fileio_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    fs::path operator/(const std::string& n) const { return dir_ / n; }
    const fs::path& path() const { return dir_; }

private:
    fs::path dir_;
};

void put(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
std::string get(const fs::path& p) {
    auto v = readWholeFile(p);
    return {v.begin(), v.end()};
}
std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

struct HookGuard {
    explicit HookGuard(FileFaultHook h) { setFileFaultHook(std::move(h)); }
    ~HookGuard() { setFileFaultHook(nullptr); }
};

}  // namespace

TEST(FileMessages, TableAndFilling) {
    EXPECT_EQ(formatFileMessage(18000, "C:/A.D"), "C:/A.D\nAn error occurred. This file could not be opened.");
    EXPECT_EQ(formatFileMessage(18025, "/x/A.D").substr(0, 7), "/x/A.D\n");
    EXPECT_EQ(formatFileMessage(18019, "/mnt"), "There is not enough disk space on partition /mnt.");
    EXPECT_EQ(fileMessageText(18012), "File error");
    EXPECT_TRUE(fileMessageText(17999).empty());  // unknown numbers give nothing
    EXPECT_TRUE(fileMessageText(18027).empty());
    for (int n = 18000; n <= 18026; ++n) EXPECT_FALSE(fileMessageText(n).empty()) << n;
    // Texts without "%s" are not changed by a fill.
    EXPECT_EQ(formatFileMessage(18013, "ignored"), fileMessageText(18013));
    Exception e(18016, "/p/q", EACCES);
    EXPECT_EQ(e.messageNumber(), 18016);
    EXPECT_EQ(e.errorCode(), EACCES);
    EXPECT_STREQ(e.what(), "/p/q\nAn error occurred. This file could not be created.");
}

TEST(FileIo, ReadErrorsAreNumbered) {
    TempDir d;
    try {
        readWholeFile(d / "missing.d");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.messageNumber(), 18000);
        EXPECT_EQ(e.errorCode(), ENOENT);
        EXPECT_NE(e.text().find((d / "missing.d").string()), std::string::npos);
    }
    put(d / "a.d", "abc");
    {
        HookGuard h([](FileOp op, const fs::path&) { return op == FileOp::Open ? EBUSY : 0; });
        try {
            readWholeFile(d / "a.d");
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.messageNumber(), 18025);
            EXPECT_EQ(e.text().rfind((d / "a.d").string() + "\n", 0), 0u);
        }
    }
    {
        HookGuard h([](FileOp op, const fs::path&) { return op == FileOp::Read ? EIO : 0; });
        try {
            readWholeFile(d / "a.d");
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.messageNumber(), 18002);
        }
    }
    EXPECT_EQ(get(d / "a.d"), "abc");
}

TEST(FileIo, AtomicWriteFailuresLeaveTargetUntouched) {
    TempDir d;
    const fs::path target = d / "t.d";
    put(target, "old");
    struct Case {
        FileOp op;
        int err;
        int message;
    };
    for (const Case& c : {Case{FileOp::Write, ENOSPC, 18019}, Case{FileOp::Write, EDQUOT, 18019},
                          Case{FileOp::Write, EIO, 18003}, Case{FileOp::Sync, ENOSPC, 18019},
                          Case{FileOp::Create, EACCES, 18016}, Case{FileOp::Create, ETXTBSY, 18025},
                          Case{FileOp::Rename, EXDEV, 18013}}) {
        HookGuard h([c](FileOp op, const fs::path&) { return op == c.op ? c.err : 0; });
        try {
            writeFileAtomic(target, bytesOf("new content"));
            ADD_FAILURE() << "no failure for " << c.err;
        } catch (const Exception& e) {
            EXPECT_EQ(e.messageNumber(), c.message);
            EXPECT_EQ(e.errorCode(), c.err);
            if (c.message == 18019) {
                EXPECT_EQ(e.text(), formatFileMessage(18019, partitionOf(target)));
            }
        }
        setFileFaultHook(nullptr);
        EXPECT_EQ(get(target), "old");
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 1);
    }
    writeFileAtomic(target, bytesOf("new"));
    EXPECT_EQ(get(target), "new");
}

TEST(FileIo, CreateInVanishedOrReadOnlyFolder) {
    TempDir d;
    try {
        writeFileAtomic(d / "gone" / "x.d", bytesOf("x"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.messageNumber(), 18016);
        EXPECT_EQ(e.errorCode(), ENOENT);
    }
    fs::create_directory(d / "ro");
    fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) {  // root ignores permissions
        EXPECT_THROW(writeFileAtomic(d / "ro" / "x.d", bytesOf("x")), Exception);
    }
    EXPECT_THROW(checkDirectory(d / "gone"), Exception);
    EXPECT_NO_THROW(checkDirectory(d.path()));
}

TEST(FileIo, BackupNames) {
    EXPECT_EQ(backupName("/a/X.MID", "~"), fs::path("/a/X.~ID"));
    EXPECT_EQ(backupName("/a/X", "~"), fs::path("/a/X.~"));
    EXPECT_EQ(backupName("/a/X.D", "~"), fs::path("/a/X.~"));
    EXPECT_EQ(backupName("/a/X.d", "bak"), fs::path("/a/X.bak"));
    EXPECT_EQ(backupName("/a/X", "bak"), fs::path("/a/X.bak"));
    EXPECT_EQ(backupName("/a/X.tar.d", "bak"), fs::path("/a/X.tar.bak"));
}

TEST(FileIo, SaveBackupModes) {
    TempDir d;
    const fs::path x = d / "X.MID";
    RecordingPrompter p;
    // No file: nothing to do, nothing asked.
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));
    EXPECT_TRUE(p.messages.empty());

    put(x, "v1");
    // Mode 1, answer Yes: the old file becomes X.~ID.
    p.answers = {Answer::Yes};
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, formatFileMessage(18010, x.string()));
    EXPECT_FALSE(fileExists(x));
    EXPECT_EQ(get(d / "X.~ID"), "v1");

    // Answer No: no backup, the save goes on; Cancel: abandoned.
    put(x, "v2");
    p.answers = {Answer::No, Answer::Cancel};
    EXPECT_TRUE(saveBackup(x, 1, "~", &p));
    EXPECT_FALSE(saveBackup(x, 1, "~", &p));
    EXPECT_EQ(get(x), "v2");
    EXPECT_EQ(get(d / "X.~ID"), "v1");

    // Mode 2 replaces an older backup without asking; mode 0 does nothing.
    p.messages.clear();
    EXPECT_TRUE(saveBackup(x, 0, "~", &p));
    EXPECT_TRUE(fileExists(x));
    EXPECT_TRUE(saveBackup(x, 2, "~", &p));
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(get(d / "X.~ID"), "v2");

    // A failed rename raises 18013 and keeps the file.
    put(x, "v3");
    HookGuard h([](FileOp op, const fs::path&) { return op == FileOp::Rename ? EROFS : 0; });
    try {
        saveBackup(x, 2, "bak", nullptr);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.messageNumber(), 18013);
    }
    EXPECT_EQ(get(x), "v3");
}

TEST(FileIo, RemoveAndCopy) {
    TempDir d;
    put(d / "a", "abc");
    EXPECT_TRUE(removeFile(d / "missing", true));
    {
        HookGuard h([](FileOp op, const fs::path&) { return op == FileOp::Remove ? EPERM : 0; });
        EXPECT_FALSE(removeFile(d / "a", false));
        try {
            removeFile(d / "a", true);
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.messageNumber(), 18001);
        }
    }
    copyFile(d / "a", d / "b");
    EXPECT_EQ(get(d / "b"), "abc");
    try {
        copyFile(d / "missing", d / "c");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.messageNumber(), 18006);
    }
    HookGuard h([](FileOp op, const fs::path&) { return op == FileOp::Write ? ENOSPC : 0; });
    try {
        copyFile(d / "a", d / "c");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.messageNumber(), 18019);
    }
}
