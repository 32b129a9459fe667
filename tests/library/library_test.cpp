#include "driver/library.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "support/temp_dir.h"

using sf::testsupport::TempDir;

using namespace sf;
namespace fs = std::filesystem;

TEST(LibraryScan, OrderDotFoldersAndLetterCase) {
    TempDir t;
    // Upper-case extensions count; compiled drivers, a file named only ".d", dot folders
    // and a folder named like a source do not.
    for (const char* f : {"b.d", "A.D", "c.dev", "notes.txt", "z.bak", ".d", "sub2/x.d", "sub1/y.D",
                          "sub1/deep/w.d", ".hidden/h.d", "sub1/.git/g.d"})
        t.touch(f);
    fs::create_directories(t.path() / "folder.d");

    auto found = scanDriverSources(t.path());
    std::vector<std::string> rel;
    for (auto& p : found) rel.push_back(fs::relative(p, t.path()).generic_string());
    // Files of a folder by name first, then its subfolders by name.
    EXPECT_EQ(rel,
              (std::vector<std::string>{"A.D", "b.d", "sub1/y.D", "sub1/deep/w.d", "sub2/x.d"}));
    EXPECT_EQ(scanDriverSources(t.path()), found);  // the same on a second walk

    // Handed over one by one in the same order, until asked to stop.
    std::vector<fs::path> handed;
    scanDriverSources(t.path(), [&](std::string&& p) {
        handed.emplace_back(std::move(p));
        return handed.size() < 3;
    });
    EXPECT_EQ(handed, std::vector<fs::path>(found.begin(), found.begin() + 3));
}

// A folder's files and then its subfolders come in byte order: names that
// share their first bytes, that begin other names or hold bytes above 0x7F
// included.
TEST(LibraryScan, FilesAndFoldersInByteOrder) {
    TempDir t;
    std::mt19937 rng(7);
    const std::string pieces[] = {"DRV0",     "DRV00", "drv", "DRV0000000",
                                  "\xC3\xA9", "\xFF",  "_",   "0"};
    std::vector<std::string> names;
    while (names.size() < 60) {
        std::string n;
        for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k) n += pieces[rng() % 8];
        if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    }
    std::vector<std::string> expected;
    for (const std::string& n : names) {
        t.touch(n + ".d");
        t.touch(n + "/x.d");
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) expected.push_back(n + ".d");
    for (const std::string& n : names) expected.push_back(n + "/x.d");
    std::vector<std::string> found;
    for (const auto& p : scanDriverSources(t.path()))
        found.push_back(fs::relative(p, t.path()).string());
    EXPECT_EQ(found, expected);
}

TEST(LibraryScan, EmptyMissingUnreadableAndLoopingRoots) {
    EXPECT_TRUE(scanDriverSources("").empty());
    EXPECT_TRUE(scanDriverSources("/nonexistent/sysforge/drivers").empty());

    TempDir t;
    t.touch("ok.d");
    t.touch("locked/secret.d");
    fs::permissions(t.path() / "locked", fs::perms::none);
    auto found = scanDriverSources(t.path());
    fs::permissions(t.path() / "locked", fs::perms::owner_all);
    ASSERT_GE(found.size(), 1u);
    EXPECT_EQ(found[0].filename(), "ok.d");
    if (geteuid() != 0) {
        EXPECT_EQ(found.size(), 1u);
    }
    // A file given as root is not a folder: nothing.
    EXPECT_TRUE(scanDriverSources(t.path() / "ok.d").empty());

    // A symlink loop does not hang the walk.
    fs::create_directory_symlink(t.path() / "locked", t.path() / "locked" / "loop");
    EXPECT_EQ(scanDriverSources(t.path()).size(), 2u);
}

TEST(LibraryScan, WarningWhenNothingFound) {
    RecordingPrompter p;
    bool openPrefs = false;
    TempDir t;
    EXPECT_TRUE(scanDriverLibrary(t.path(), p, &openPrefs).empty());
    EXPECT_TRUE(openPrefs);
    t.touch("x.d");
    EXPECT_EQ(scanDriverLibrary(t.path(), p, &openPrefs).size(), 1u);
    EXPECT_FALSE(openPrefs);
    ASSERT_EQ(p.messages.size(), 1u);  // only the empty library warns
    EXPECT_EQ(p.messages[0].text,
              "The driver directory specified in the preferences does not contain any driver!");
    EXPECT_EQ(p.messages[0].icon, MessageIcon::Exclamation);
}

TEST(DriverList, LineCaptionSortingAndOpening) {
    EXPECT_EQ(driverListLine("/drv/keys/MYSYNTH.D"), "MYSYNTH.D (/drv/keys)");
    EXPECT_EQ(driverListLine("keys/A.D"), "A.D (keys)");
    EXPECT_EQ(driverListLine("/A.D"), "A.D (/)");
    EXPECT_EQ(driverListLine("A.D"), "A.D ()");
    EXPECT_EQ(driverListLine("/drv//A.D"), "A.D (/drv)");
    EXPECT_EQ(driverListCaption(3, 25), "Driver List (3 items out of 25)");

    // Sorted by text without regard to case (drivers of different folders
    // interleave by name), texts equal but for case in byte order, equal
    // texts in their order of arrival: whether added one by one, in
    // batches, or ordered as paths given as text.
    const std::vector<std::pair<fs::path, std::optional<SettingRef>>> lines = {
        {"/z/BETA.D", SettingRef{4}},  {"/a/gamma.d", SettingRef{107, 2}},
        {"/m/Alpha.d", std::nullopt},  {"/b(1)/WEIRD (2).D", SettingRef{5}},
        {"/m/alpha.d", SettingRef{7}}, {"/m/ALPHA.D", SettingRef{8}},
        {"/m/Alpha.d", SettingRef{9}}};
    DriverList list, batch;
    std::vector<std::string> texts;
    for (const auto& [path, ref] : lines) {
        list.add(path, ref);
        texts.push_back(path.string());
    }
    batch.addAll({lines.begin(), lines.begin() + 3});
    batch.addAll({lines.begin() + 3, lines.end()});
    const std::vector<std::size_t> order = {5, 2, 6, 4, 0, 1, 3};
    EXPECT_EQ(driverListOrder(texts), order);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(list.entries()[i].path, lines[order[i]].first) << i;
        EXPECT_EQ(batch.entries()[i].path, lines[order[i]].first) << i;
        EXPECT_EQ(batch.entries()[i].ref.has_value(), lines[order[i]].second.has_value()) << i;
    }
    EXPECT_EQ(list.entries()[1].text, "Alpha.d (/m)");
    EXPECT_EQ(batch.entries()[2].ref->id, 9);  // after the equal line of the first batch
    EXPECT_EQ(list.insertionIndex("Alpha.d (/m)"), 3u);
    EXPECT_EQ(list.caption(25), "Driver List (7 items out of 25)");

    // A line without a setting does nothing on opening; the full path
    // travels with the line, also when the name holds "(".
    EXPECT_EQ(list.openable(1), nullptr);
    EXPECT_EQ(list.openable(99), nullptr);
    ASSERT_NE(list.openable(6), nullptr);
    EXPECT_EQ(list.openable(6)->path, fs::path("/b(1)/WEIRD (2).D"));
    EXPECT_EQ(list.openable(5)->ref->index1, 2);
}

// The order of a search's lines is the list's order, on names that differ
// in case, in bytes around the letters and above 127, and not at all.
TEST(DriverList, SearchLinesComeInTheListsOrder) {
    std::mt19937 gen(7);
    const std::string letters = "aAbBzZ@[`{_ .\x80\xe9\xff";
    std::vector<std::string> paths;
    for (int i = 0; i < 400; ++i) {
        std::string name;
        const int size = 1 + static_cast<int>(gen() % 4);
        for (int k = 0; k < size; ++k) name.push_back(letters[gen() % letters.size()]);
        paths.push_back((i % 3 ? "/x/" : "/y/") + name + ".d");
    }
    // Lines shorter than others that they begin.
    paths.insert(paths.begin() + 100, {"a.d ()b.d", "a.d", "A.D"});
    std::vector<std::pair<fs::path, std::optional<SettingRef>>> lines;
    for (std::size_t i = 0; i < paths.size(); ++i)
        lines.emplace_back(paths[i], SettingRef{static_cast<int>(i)});
    DriverList list;
    list.addAll(lines);
    const std::vector<std::size_t> order = driverListOrder(paths);
    ASSERT_EQ(order.size(), paths.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(list.entries()[i].ref->id, static_cast<int>(order[i])) << i;
}
