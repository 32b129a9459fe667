// Searches across the driver library: which other driver sources hold the
// same value as the current one for a setting, a different value, or any
// value at all. One operation serves the three commands; the caller shows
// the matches in the driver selection list.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

enum class SearchMode {
    SameValue,       // "Search all drivers for the same value"
    DifferentValue,  // "Search all drivers for a different value"
    NonEmpty,        // "Search all drivers for a non-empty field"
};

// Whether the search command is offered for a row of this setting.
bool searchEnabled(SearchMode mode, const SettingItem* item);

struct SearchMatch {
    // Full path of the matching driver source, in the system's form (kept
    // as text: a search lists thousands of them).
    std::string path;
    SettingRef ref;  // the searched setting, module index of the match
};

struct SearchResult {
    std::vector<SearchMatch> matches;
    int examined = 0;  // files looked at (unreadable ones included)
    int total = 0;     // files given (found by the walk)
    bool cancelled = false;
};

// progress and match are called on the thread that called searchDrivers, in
// file order; openRecord is called on the reader threads, several at once.
struct SearchCallbacks {
    // Called before each file is counted with the number of files done so
    // far; answer false to stop the search before that file. While a walk
    // is still finding files, `total` is the number found so far.
    std::function<bool(int examined, int total, const std::filesystem::path& next)> progress;
    // Called for each match as soon as it is known, in file order.
    std::function<void(const SearchMatch& match, int examined)> match;
    // A driver that is already open in the editor is compared as it is held
    // there rather than as it was last saved: answer its record, or null.
    std::function<const SourceRecord*(const std::filesystem::path&)> openRecord;
};

// The match test against one other driver: the ref to list (with the module
// of the first matching module for module settings), or nothing.
std::optional<SettingRef> matchDriver(const SourceRecord& current, const SettingRef& ref,
                                      SearchMode mode, const SourceRecord& other);

// Tests each file with no document and no record: only as much of the file
// is read as the test and the check against damage need (SourceFileProbe).
// `readers` threads (the calling one among them) read the files in parallel;
// the results come out in file order all the same. Files that cannot be read
// or are damaged are skipped silently; nothing throws for bad files.
SearchResult searchDrivers(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                           const std::vector<std::filesystem::path>& paths,
                           const SearchCallbacks& callbacks = {}, int readers = 2);

// Finds the files to search: hands each one's full path to `found`, in the
// order in which the results are to come out, and stops when `found`
// answers false.
using DriverWalk = std::function<void(const std::function<bool(std::string&&)>& found)>;

// The same search over the files of a walk, which runs on the calling
// thread while the other readers start on the files it has found so far.
SearchResult searchDrivers(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                           const DriverWalk& walk, const SearchCallbacks& callbacks = {},
                           int readers = 2);

}  // namespace sf
