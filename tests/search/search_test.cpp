#include "source/search.h"

#include <gtest/gtest.h>

#include <fstream>

#include "driver/library.h"
#include "library/tempdir.h"
#include "source/sourcefile.h"

using namespace sf;
namespace fs = std::filesystem;

namespace {

// Places used to prepare the drivers (global part and module record).
constexpr std::size_t kAuthor = 67, kAuthorSize = 21;
constexpr std::size_t kManufacturer = 174;
constexpr std::size_t kTypeIdWord = 14;       // "Type ID" owns bit 0x1
constexpr std::size_t kModeMessageCount = 988;  // count of setting 35
constexpr std::size_t kHelpLine = 238;

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

void save(const fs::path& p, const SourceRecord& r) {
    fs::create_directories(p.parent_path());
    auto image = buildFileImage(r);
    ASSERT_TRUE(image.has_value());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(image->data()),
                                              static_cast<std::streamsize>(image->size()));
}

std::vector<std::string> names(const SearchResult& r) {
    std::vector<std::string> out;
    for (const auto& m : r.matches) out.push_back(m.path.filename().string());
    return out;
}

// A small library with damaged files among the good ones.
struct Library {
    TempDir t;
    std::vector<fs::path> paths;
    Library() {
        auto a = driver(0x41, "Alice", {"Voice", "Perf", "Drums"});
        a->setText(kHelpLine + 51 * 4, 51, "  see manual");  // one visible help line
        save(t.path / "a.d", *a);

        auto b = driver(0x41, "Bob", {"Voice"});
        b->setText(kHelpLine, 51, "   \t ");  // blanks only: empty
        b->setU16(kModeMessageCount, 2);
        b->setU16(kTypeIdWord, 0x8001);  // bit 0x1 as the current driver, other bits differ
        save(t.path / "b.d", *b);

        auto c = driver(0x43, "Alice", {"Multi", "Drums"});
        c->block(1, rec::kSlotConverter) = Block(10, 1);
        c->setModU16(1, rec::kModConverterCount, 1);
        save(t.path / "sub" / "c.d", *c);

        t.touch("bad.d", "not a driver source at all");
        t.touch("empty.d", "");
        auto image = buildFileImage(*a);
        t.touch("sub/truncated.d", std::string(image->begin(), image->begin() + 5000));
        paths = scanDriverSources(t.path);
    }
};

std::unique_ptr<SourceRecord> current() {
    auto r = driver(0x41, "Alice", {"Drums"});
    r->setU16(kTypeIdWord, 0x0001);
    return r;
}

}  // namespace

TEST(Search, CommandEnabledForSetting) {
    auto on = [](SearchMode m, int id) { return searchEnabled(m, findSettingItem(id)); };
    // Same/different value: neither a group nor a message.
    EXPECT_TRUE(on(SearchMode::SameValue, 5));     // Text
    EXPECT_TRUE(on(SearchMode::DifferentValue, 10));  // Word
    EXPECT_TRUE(on(SearchMode::SameValue, 305));   // DialogItem
    EXPECT_FALSE(on(SearchMode::SameValue, 2));    // Group
    EXPECT_FALSE(on(SearchMode::DifferentValue, 35));  // Message
    // Non-empty: texts, messages, help groups and the converter/macro items.
    EXPECT_TRUE(on(SearchMode::NonEmpty, 5));
    EXPECT_TRUE(on(SearchMode::NonEmpty, 35));
    EXPECT_TRUE(on(SearchMode::NonEmpty, 30));
    EXPECT_TRUE(on(SearchMode::NonEmpty, 198));
    for (int id = 304; id <= 307; ++id) EXPECT_TRUE(on(SearchMode::NonEmpty, id)) << id;
    EXPECT_FALSE(on(SearchMode::NonEmpty, 10));   // a number
    EXPECT_FALSE(on(SearchMode::NonEmpty, 2));    // a plain group
    EXPECT_FALSE(on(SearchMode::NonEmpty, 265));  // ROM names dialog item
    EXPECT_FALSE(searchEnabled(SearchMode::SameValue, nullptr));
}

TEST(Search, SameAndDifferentValues) {
    Library lib;
    ASSERT_EQ(lib.paths.size(), 6u);
    auto cur = current();

    // Manufacturer: every driver of the same maker, each with the global ref.
    SearchResult r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue, lib.paths);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.d", "b.d"}));
    for (const auto& m : r.matches) {
        EXPECT_EQ(m.ref.id, 10);
        EXPECT_EQ(m.ref.index1, -1);
    }
    EXPECT_EQ(r.examined, 6);
    EXPECT_EQ(r.total, 6);
    EXPECT_FALSE(r.cancelled);

    // Module name: found in the third module of a.d, the second of c.d.
    r = searchDrivers(*cur, makeRef(107, 0), SearchMode::SameValue, lib.paths);
    ASSERT_EQ(names(r), (std::vector<std::string>{"a.d", "c.d"}));
    EXPECT_EQ(r.matches[0].ref.index1, 2);
    EXPECT_EQ(r.matches[1].ref.index1, 1);
    EXPECT_EQ(r.matches[0].path, lib.t.path / "a.d");

    // Author differs: only b.d (the damaged files are skipped silently).
    r = searchDrivers(*cur, makeRef(5), SearchMode::DifferentValue, lib.paths);
    EXPECT_EQ(names(r), (std::vector<std::string>{"b.d"}));

    // A flag compares only its own bits.
    r = searchDrivers(*cur, makeRef(19), SearchMode::SameValue, lib.paths);
    EXPECT_EQ(names(r), (std::vector<std::string>{"b.d"}));

    // Different module name: the first module that differs wins.
    r = searchDrivers(*cur, makeRef(107, 0), SearchMode::DifferentValue, lib.paths);
    ASSERT_EQ(r.matches.size(), 3u);
    EXPECT_EQ(r.matches[0].ref.index1, 0);

    // Nothing found: 0 items out of every file examined.
    auto odd = driver(0x7E, "Alice", {"Drums"});
    r = searchDrivers(*odd, makeRef(10), SearchMode::SameValue, lib.paths);
    EXPECT_TRUE(r.matches.empty());
    DriverList list;
    for (const auto& m : r.matches) list.add(m.path, m.ref);
    EXPECT_EQ(list.caption(r.examined), "Driver List (0 items out of 6)");
}

TEST(Search, NonEmptyValues) {
    Library lib;
    auto cur = current();
    // Help lines: a visible character before the terminator; blanks do not count.
    SearchResult r = searchDrivers(*cur, makeRef(30), SearchMode::NonEmpty, lib.paths);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.d"}));
    // A message whose count is not 0.
    r = searchDrivers(*cur, makeRef(35), SearchMode::NonEmpty, lib.paths);
    EXPECT_EQ(names(r), (std::vector<std::string>{"b.d"}));
    // Converter operations in some module.
    r = searchDrivers(*cur, makeRef(305, 0), SearchMode::NonEmpty, lib.paths);
    ASSERT_EQ(names(r), (std::vector<std::string>{"c.d"}));
    EXPECT_EQ(r.matches[0].ref.index1, 1);
    // A text that is set everywhere.
    r = searchDrivers(*cur, makeRef(5), SearchMode::NonEmpty, lib.paths);
    EXPECT_EQ(r.matches.size(), 3u);
    // Kinds that are never compared, e.g. the ASCII table.
    r = searchDrivers(*cur, makeRef(33), SearchMode::SameValue, lib.paths);
    EXPECT_TRUE(r.matches.empty());
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
    EXPECT_EQ(r.examined, 2);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(live, static_cast<int>(r.matches.size()));

    // A driver open in the editor is compared as it is held there, even
    // when its file on disk is damaged.
    auto edited = driver(0x41, "Carol", {"Drums"});
    SearchCallbacks open;
    open.openRecord = [&](const fs::path& p) -> const SourceRecord* {
        return p.filename() == "bad.d" ? edited.get() : nullptr;
    };
    r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue, lib.paths, open);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.d", "b.d", "bad.d"}));

    // Files that vanish or cannot be read are skipped.
    std::vector<fs::path> gone = {lib.t.path / "missing.d", lib.t.path / "sub", lib.t.path / "a.d"};
    r = searchDrivers(*cur, makeRef(10), SearchMode::SameValue, gone);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.d"}));
    EXPECT_EQ(r.examined, 3);
}
