#include "source/search.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "driver/library.h"
#include "support/temp_dir.h"

using sf::testsupport::TempDir;
#include "source/sourcefile.h"

using namespace sf;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Places used to prepare the drivers. "Type ID" owns bit 0x1 of its word;
// the mode message count belongs to setting 35.
constexpr std::size_t kAuthor = 67, kAuthorSize = 21, kManufacturer = 174, kTypeIdWord = 14,
                      kModeMessageCount = 988, kHelpLine = 238;

std::unique_ptr<SourceRecord> driver(std::uint16_t maker, const char* author,
                                     std::vector<const char*> modules) {
    auto r = newSource();
    r->setU16(kManufacturer, maker);
    r->setText(kAuthor, kAuthorSize, author);
    r->setU16(rec::kModuleCount, static_cast<std::uint16_t>(modules.size()));
    for (std::size_t m = 0; m < modules.size(); ++m)
        r->setText(rec::moduleBase(static_cast<int>(m)), rec::kModNameSize, modules[m]);
    return r;
}

std::string image(const SourceRecord& r) {
    auto bytes = buildFileImage(r);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

std::vector<std::string> names(const SearchResult& r) {
    std::vector<std::string> out;
    for (const auto& m : r.matches) out.push_back(fs::path(m.path).filename().string());
    return out;
}

// A small library with damaged files among the good ones.
struct Library {
    TempDir t;
    std::vector<fs::path> paths;
    Library() {
        auto a = driver(0x41, "Alice", {"Voice", "Perf", "Drums"});
        a->setText(kHelpLine + 51 * 4, 51, "  see manual");  // one visible help line
        t.touch("a.d", image(*a));
        auto b = driver(0x41, "Bob", {"Voice"});
        b->setText(kHelpLine, 51, "   \t ");  // blanks only: empty
        b->setU16(kModeMessageCount, 2);
        b->setU16(kTypeIdWord, 0x8001);  // bit 0x1 as the current driver, other bits differ
        t.touch("b.d", image(*b));
        auto c = driver(0x43, "Alice", {"Multi", "Drums"});
        c->block(1, rec::kSlotConverter) = Block(10, 1);
        c->setModU16(1, rec::kModConverterCount, 1);
        t.touch("sub/c.d", image(*c));

        t.touch("bad.d", "not a driver source at all");
        t.touch("empty.d", "");
        t.touch("sub/truncated.d", image(*a).substr(0, 5000));
        paths = scanDriverSources(t.path());
    }
};

std::unique_ptr<SourceRecord> current() {
    auto r = driver(0x41, "Alice", {"Drums"});
    r->setU16(kTypeIdWord, 0x0001);
    return r;
}

}  // namespace

TEST(Search, CommandEnabledForSetting) {
    using M = SearchMode;
    // Same/different value: neither a group nor a message. Non-empty: texts,
    // messages, help groups and the converter/macro items, not numbers or plain groups.
    const std::tuple<M, int, bool> cases[] = {
        {M::SameValue, 5, true},  {M::DifferentValue, 10, true},  {M::SameValue, 305, true},
        {M::SameValue, 2, false}, {M::DifferentValue, 35, false}, {M::NonEmpty, 5, true},
        {M::NonEmpty, 35, true},  {M::NonEmpty, 30, true},        {M::NonEmpty, 198, true},
        {M::NonEmpty, 304, true}, {M::NonEmpty, 307, true},       {M::NonEmpty, 10, false},
        {M::NonEmpty, 2, false},  {M::NonEmpty, 265, false},  // ROM names dialog item
    };
    for (const auto& [mode, id, on] : cases)
        EXPECT_EQ(searchEnabled(mode, findSettingItem(id)), on) << id;
    EXPECT_FALSE(searchEnabled(M::SameValue, nullptr));
}

TEST(Search, FindsMatchingDriversAndTheirModule) {
    Library lib;
    ASSERT_EQ(lib.paths.size(), 6u);
    auto cur = current();
    using M = SearchMode;
    struct Case {
        SettingRef ref;
        M mode;
        std::vector<std::string> found;
        int firstIndex;  // module of the first match; -1 for a global setting
    };
    // Damaged files are skipped silently. A module match names the module it was
    // found in, or the first one that differs.
    const Case cases[] = {
        {makeRef(10), M::SameValue, {"a.d", "b.d"}, -1},     // manufacturer
        {makeRef(107, 0), M::SameValue, {"a.d", "c.d"}, 2},  // a module name: the third of a.d
        {makeRef(107, 0), M::DifferentValue, {"a.d", "b.d", "c.d"}, 0},
        {makeRef(5), M::DifferentValue, {"b.d"}, -1},  // author
        {makeRef(19), M::SameValue, {"b.d"}, -1},      // a flag compares only its own bits
        {makeRef(30), M::NonEmpty, {"a.d"}, -1},       // help lines: blanks alone do not count
        {makeRef(35), M::NonEmpty, {"b.d"}, -1},       // a message whose count is not 0
        {makeRef(305, 0), M::NonEmpty, {"c.d"}, 1},    // converter operations in some module
        {makeRef(5), M::NonEmpty, {"a.d", "b.d", "c.d"}, -1},  // a text set everywhere
        {makeRef(33), M::SameValue, {}, -1},                   // never compared: the ASCII table
    };
    // The same results when the files are read while the walk finds them.
    const DriverWalk walk = [&](const auto& found) { scanDriverSources(lib.t.path(), found); };
    for (const Case& c : cases) {
        SearchResult r = searchDrivers(*cur, c.ref, c.mode, lib.paths);
        EXPECT_EQ(names(r), c.found) << c.ref.id;
        SearchResult w = searchDrivers(*cur, c.ref, c.mode, walk);
        EXPECT_EQ(names(w), c.found) << c.ref.id;
        EXPECT_EQ(std::tie(w.examined, w.total), std::tie(r.examined, r.total));
        if (!r.matches.empty()) {
            EXPECT_EQ(r.matches[0].ref.index1, c.firstIndex) << c.ref.id;
        }
        EXPECT_EQ(std::make_tuple(r.examined, r.total, r.cancelled), std::make_tuple(6, 6, false));
    }
    SearchResult r = searchDrivers(*cur, makeRef(107, 0), SearchMode::SameValue, lib.paths);
    EXPECT_EQ(r.matches.at(1).ref.index1, 1);  // the second module of c.d
    EXPECT_EQ(r.matches[0].path, lib.t.path() / "a.d");
    EXPECT_TRUE(
        searchDrivers(*driver(0x7E, "Alice", {"Drums"}), makeRef(10), M::SameValue, lib.paths)
            .matches.empty());
}

// A search keeps its batch readers for the next one, which may take them on
// another thread than the one that set them up: each still reads there.
TEST(Search, ReadersKeptForTheNextSearchReadOnAnyThread) {
    constexpr std::size_t kRoom = SourceFileProbe::kBatchCapacity;
    while (FileBatchReader::spare(kRoom)) {
    }
    TempDir t;
    const std::string bytes = image(*driver(0x41, "Alice", {"Voice"}));
    for (int i = 0; i < 600; ++i) t.touch("d" + std::to_string(i) + ".d", bytes);
    const auto paths = scanDriverSources(t.path());
    const SearchResult r = searchDrivers(*current(), makeRef(10), SearchMode::SameValue, paths);
    ASSERT_EQ(r.matches.size(), paths.size());

    const std::string first = paths.front().string();
    const FileBatchReader::File file{AT_FDCWD, first.c_str()};
    std::ptrdiff_t got = 0;
    int kept = 0;
    while (auto reader = FileBatchReader::spare(kRoom)) {
        ++kept;
        ASSERT_TRUE(reader->read({&file, 1}, {&got, 1})) << "reader " << kept;
        EXPECT_EQ(got, static_cast<std::ptrdiff_t>(bytes.size()));
    }
    if (kept == 0) GTEST_SKIP() << "this system runs no batches";
}

TEST(Search, ProgressCancelAndOpenDocuments) {
    Library lib;
    auto cur = current();
    std::vector<int> seen;
    SearchCallbacks cb;
    cb.progress = [&](int examined, int total, const fs::path&) {
        EXPECT_EQ(total, 6);
        seen.push_back(examined);
        return examined < 2;
    };
    int live = 0;
    cb.match = [&](const SearchMatch&, int) { ++live; };
    SearchResult r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue, lib.paths, cb);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));  // stopped after the second file
    EXPECT_EQ(live, static_cast<int>(r.matches.size()));

    // A callback that throws leaves no reader running behind it.
    SearchCallbacks throwing;
    throwing.progress = [](int examined, int, const fs::path&) -> bool {
        if (examined == 3) throw std::runtime_error("stop");
        return true;
    };
    EXPECT_THROW(searchDrivers(*cur, makeRef(10), SearchMode::SameValue, lib.paths, throwing),
                 std::runtime_error);

    // A driver open in the editor is compared as it is held there, even
    // when its file on disk is damaged.
    auto edited = driver(0x41, "Carol", {"Drums"});
    SearchCallbacks open;
    open.openRecord = [&](const fs::path& p) {
        return p.filename() == "bad.d" ? edited.get() : nullptr;
    };
    EXPECT_EQ(names(searchDrivers(*cur, makeRef(10), SearchMode::SameValue, lib.paths, open)),
              (std::vector<std::string>{"a.d", "b.d", "bad.d"}));

    // Cancelling while the walk goes on stops the walk as well: it hands
    // files on until the first outcome is known and the search is cancelled.
    SearchCallbacks stopFirst;
    std::size_t handed = 0;
    stopFirst.progress = [&](int, int total, const fs::path&) {
        EXPECT_EQ(total, static_cast<int>(handed));  // found so far
        return false;
    };
    bool going = true;
    const DriverWalk stoppable = [&](const auto& found) {
        for (int i = 0; i < 5000 && going; ++i) {
            going = found(lib.paths[handed++ % lib.paths.size()].string());
            std::this_thread::sleep_for(1ms);
        }
    };
    r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue, stoppable, stopFirst);
    EXPECT_FALSE(going);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.examined, 0);

    // Files that vanish or cannot be read are skipped.
    r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue,
                      {lib.t.path() / "missing.d", lib.t.path() / "sub", lib.t.path() / "a.d"});
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.d"}));
    EXPECT_EQ(r.examined, 3);
}

// A choice over some bits of a flags word compares only those bits: two
// drivers whose modules have the same "Type" but differ in an unrelated flag
// of the same word are the same for that choice.
TEST(Search, ChoicesCompareOnlyTheirOwnBits) {
    struct Case {
        SettingRef ref;
        std::uint16_t current, other;  // the whole word in each driver
        bool same;
    };
    const Case cases[] = {
        {makeRef(108, 0), 0x0048, 0x0048 | 0x0001, true},  // same type, another flag set
        {makeRef(108, 0), 0x0048, 0x0008 | 0x0001, false},
        {makeRef(109, 0), 0x0120 | 0x0002, 0x0120, true},
        {makeRef(109, 0), 0x0100, 0x0120, false},
        {makeRef(100), 0x0200 | 0x0010, 0x0200, true},
        {makeRef(100), 0x0200, 0x0300, false},
        {makeRef(103), 2, 3, false},  // a plain number still compares whole
    };
    for (const Case& c : cases) {
        auto cur = driver(0x41, "Alice", {"Voice"});
        auto other = driver(0x41, "Alice", {"Voice"});
        const std::size_t at = wordField(*cur, c.ref).value();
        cur->setU16(at, c.current);
        other->setU16(at, c.other);
        EXPECT_EQ(matchDriver(*cur, c.ref, SearchMode::SameValue, *other).has_value(), c.same)
            << c.ref.id << " " << c.other;
        EXPECT_EQ(matchDriver(*cur, c.ref, SearchMode::DifferentValue, *other).has_value(), !c.same)
            << c.ref.id << " " << c.other;
    }
}
