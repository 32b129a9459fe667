// Batches of files opened, read and closed in one call into the kernel: what
// each file's result is, on files of every kind a walk may meet.
#include "framework/batchread.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/temp_dir.h"

using namespace sf;
using testsupport::TempDir;

namespace {

constexpr std::size_t kCapacity = 3 * 4096 + 100;

std::string pattern(std::size_t n, char seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7);
    return s;
}

std::unique_ptr<FileBatchReader> reader() {
    return FileBatchReader::create(kCapacity);
}

#define SKIP_WITHOUT_RINGS(r) \
    if (!(r)) GTEST_SKIP() << "this system runs no batches; the search reads file by file"

struct Folder {
    TempDir dir;
    int fd = ::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ~Folder() { ::close(fd); }
};

}  // namespace

TEST(BatchRead, EachFileGetsItsBytesOrItsError) {
    auto r = reader();
    SKIP_WITHOUT_RINGS(r);
    Folder f;
    struct Case {
        const char* name;
        std::string content;  // written unless empty and `kind` says otherwise
        std::ptrdiff_t want;  // bytes, or -errno
        bool wholeFile;       // endsAtEndOfFile
    };
    const std::vector<Case> cases = {
        {"small.d", pattern(100, 'a'), 100, true},
        {"empty.d", "", 0, false},
        {"page.d", pattern(4096, 'b'), 4096, false},  // may have stopped at a page
        {"pages.d", pattern(4096 * 2 + 1, 'c'), 4096 * 2 + 1, true},
        {"full.d", pattern(kCapacity, 'd'), static_cast<std::ptrdiff_t>(kCapacity), false},
        {"longer.d", pattern(kCapacity + 5000, 'e'), static_cast<std::ptrdiff_t>(kCapacity), false},
    };
    std::vector<FileBatchReader::File> files;
    for (const Case& c : cases) {
        f.dir.touch(c.name, c.content);
        files.push_back({f.fd, c.name});
    }
    files.push_back({f.fd, "missing.d"});
    std::filesystem::create_directory(f.dir / "folder.d");
    files.push_back({f.fd, "folder.d"});
    const std::string absolute = (f.dir / "small.d").string();
    files.push_back({AT_FDCWD, absolute.c_str()});
    ASSERT_LE(files.size(), FileBatchReader::kMaxFiles);

    std::vector<std::ptrdiff_t> got(files.size());
    ASSERT_TRUE(r->read(files, got));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ASSERT_EQ(got[i], c.want) << c.name;
        EXPECT_EQ(r->endsAtEndOfFile(got[i]), c.wholeFile) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->data(i)),
                              static_cast<std::size_t>(got[i])),
                  c.content.substr(0, static_cast<std::size_t>(c.want)))
            << c.name;
    }
    EXPECT_EQ(got[cases.size()], -ENOENT);
    EXPECT_EQ(got[cases.size() + 1], -EISDIR);
    EXPECT_EQ(got[cases.size() + 2], 100);
}

// A pipe named like a source, with nobody writing to it, must not hold the
// batch up; batch after batch, each file is looked up afresh.
TEST(BatchRead, APipeDoesNotHoldTheBatchUp) {
    auto r = reader();
    SKIP_WITHOUT_RINGS(r);
    Folder f;
    ASSERT_EQ(::mkfifo((f.dir / "pipe.d").c_str(), 0600), 0);
    f.dir.touch("a.d", pattern(5000, 'x'));
    const std::vector<FileBatchReader::File> files = {{f.fd, "pipe.d"}, {f.fd, "a.d"}};
    std::vector<std::ptrdiff_t> got(files.size());
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(r->read(files, got)) << round;
        EXPECT_LE(got[0], 0);
        EXPECT_FALSE(r->endsAtEndOfFile(got[0]));
        ASSERT_EQ(got[1], 5000) << round;
    }
    ASSERT_EQ(::unlink((f.dir / "a.d").c_str()), 0);
    ASSERT_TRUE(r->read(files, got));
    EXPECT_EQ(got[1], -ENOENT);
}

TEST(BatchRead, RefusesMoreFilesThanItHoldsAndTakesAnEmptyBatch) {
    auto r = reader();
    SKIP_WITHOUT_RINGS(r);
    std::vector<FileBatchReader::File> files(FileBatchReader::kMaxFiles + 1,
                                             FileBatchReader::File{AT_FDCWD, "/nonexistent"});
    std::vector<std::ptrdiff_t> got(files.size());
    EXPECT_FALSE(r->read(files, got));
    EXPECT_TRUE(r->read({}, {}));
    // Still usable after the refusal.
    files.resize(1);
    ASSERT_TRUE(r->read(files, got));
    EXPECT_EQ(got[0], -ENOENT);
}

// A reader given back serves the next walk as it was left: it still reads.
TEST(BatchRead, AReaderGivenBackIsHandedOutOnceAndStillReads) {
    auto r = reader();
    SKIP_WITHOUT_RINGS(r);
    while (FileBatchReader::spare(kCapacity)) {
    }
    const FileBatchReader* given = r.get();
    FileBatchReader::giveBack(std::move(r));
    EXPECT_EQ(FileBatchReader::spare(kCapacity + 1), nullptr);
    auto again = FileBatchReader::spare(kCapacity);
    ASSERT_EQ(again.get(), given);
    EXPECT_EQ(FileBatchReader::spare(kCapacity), nullptr);
    Folder f;
    f.dir.touch("a.d", pattern(300, 'q'));
    const std::vector<FileBatchReader::File> files = {{f.fd, "a.d"}};
    std::vector<std::ptrdiff_t> got(1);
    ASSERT_TRUE(again->read(files, got));
    EXPECT_EQ(got[0], 300);
}
