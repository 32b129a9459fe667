#include "driver/library.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>

namespace sf {
namespace fs = std::filesystem;

namespace {

bool hasDriverExtension(std::string_view name) {
    // "x.d" at least: a bare ".d" is a hidden file, not a driver source.
    if (name.size() < 3) return false;
    const char last = name[name.size() - 1];
    return name[name.size() - 2] == '.' && (last == 'd' || last == 'D');
}

using Found = std::function<bool(std::string&&)>;

// A letter as the list compares it: without regard to case.
unsigned foldLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// The first eight bytes of `s` as one number that orders as the bytes do
// (zeros past its end), letters folded when `fold` is set.
std::uint64_t leadingKey(const std::string& s, bool fold) {
    std::uint64_t key = 0;
    for (std::size_t b = 0; b < 8; ++b) {
        const unsigned char c = b < s.size() ? static_cast<unsigned char>(s[b]) : 0;
        key = key << 8 | (fold ? foldLetter(c) : c);
    }
    return key;
}

// Sorts names in byte order as std::string compares them. Most names of a
// library differ in their first eight bytes: those are compared as one
// number, and only names that share them are compared whole.
void sortNames(std::vector<std::string>& names) {
    if (names.size() < 2) return;
    struct Keyed {
        std::uint64_t key;
        std::uint32_t index;
    };
    std::vector<Keyed> keyed(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        keyed[i] = {leadingKey(names[i], false), static_cast<std::uint32_t>(i)};
    std::sort(keyed.begin(), keyed.end(), [&names](const Keyed& a, const Keyed& b) {
        if (a.key != b.key) return a.key < b.key;
        return names[a.index] < names[b.index];
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const Keyed& k : keyed) sorted.push_back(std::move(names[k.index]));
    names = std::move(sorted);
}

// One folder of the walk, opened relative to its parent so that no path is
// looked up twice. `visited` holds the folders already walked (device and
// inode), which stops loops through symbolic links. False once `found` has
// asked to stop.
bool walk(int dirFd, const std::string& folder, const Found& found,
          std::set<std::pair<dev_t, ino_t>>& visited) {
    struct stat st {};
    if (::fstat(dirFd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) {
        ::close(dirFd);
        return true;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return true;
    }
    // Closed on every way out, an exception from `found` included.
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    std::vector<std::string> files, folders;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = e->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            // A link counts as what it leads to.
            struct stat target {};
            if (::fstatat(dirFd, e->d_name, &target, 0) != 0) continue;
            type = S_ISDIR(target.st_mode) ? DT_DIR : S_ISREG(target.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (name[0] != '.') folders.emplace_back(name);
        } else if (type == DT_REG && hasDriverExtension(name)) {
            files.emplace_back(name);
        }
    }
    sortNames(files);
    sortNames(folders);
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    for (const auto& f : files)
        if (!found(prefix + f)) return false;
    for (const auto& d : folders) {
        const int sub = ::openat(dirFd, d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sub >= 0 && !walk(sub, prefix + d, found, visited)) return false;
    }
    return true;
}

// List order: letters compare without regard to case, as users expect from
// a sorted list; texts that differ only in case fall back to byte order.
// Negative, zero or positive as `a` comes before, with or after `b`.
int lineCompare(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned ca = foldLetter(static_cast<unsigned char>(a[i]));
        const unsigned cb = foldLetter(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

bool lineLess(const std::string& a, const std::string& b) {
    return lineCompare(a, b) < 0;
}

// The line of a path in the system's form: a plain "folder/name" is cut at
// its last slash without taking the whole path apart (a search lists
// thousands of lines); anything else as the path's parts give it.
std::string lineOf(const std::string& s) {
    const std::size_t slash = s.rfind('/');
    if (slash != std::string::npos && slash > 0 && slash + 1 < s.size() && s[slash - 1] != '/') {
        std::string line;
        line.reserve(s.size() + 3);
        line.append(s, slash + 1).append(" (").append(s, 0, slash).push_back(')');
        return line;
    }
    const fs::path path(s);
    return path.filename().string() + " (" + path.parent_path().string() + ")";
}

}  // namespace

void scanDriverSources(const fs::path& root, const Found& found) {
    if (root.empty()) return;
    std::set<std::pair<dev_t, ino_t>> visited;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) walk(fd, root.native(), found, visited);
}

std::vector<fs::path> scanDriverSources(const fs::path& root) {
    std::vector<fs::path> out;
    try {
        scanDriverSources(root, [&out](std::string&& p) {
            out.emplace_back(std::move(p));
            return true;
        });
    } catch (const std::exception&) {
        // Allocation failures: the library is simply empty beyond what was
        // found so far.
    }
    return out;
}

bool warnWhenNoDriver(std::size_t found, Prompter& prompter) {
    if (found != 0) return false;
    prompter.message(kNoDriverFoundMessage, MessageIcon::Exclamation);
    return true;
}

std::vector<fs::path> scanDriverLibrary(const fs::path& root, Prompter& prompter,
                                        bool* openPreferences) {
    std::vector<fs::path> found = scanDriverSources(root);
    const bool warned = warnWhenNoDriver(found.size(), prompter);
    if (openPreferences) *openPreferences = warned;
    return found;
}

std::string driverListLine(const fs::path& path) {
    return lineOf(path.native());
}

std::vector<std::size_t> driverListOrder(const std::vector<std::string>& paths) {
    // lineLess on each pair, stable. The first eight bytes of each line,
    // letters folded, are compared as one number; only lines that share
    // them are compared whole.
    struct Keyed {
        std::uint64_t key;
        std::size_t index;
    };
    std::vector<std::string> lines;
    lines.reserve(paths.size());
    std::vector<Keyed> keyed(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        lines.push_back(lineOf(paths[i]));
        keyed[i] = {leadingKey(lines.back(), true), i};
    }
    std::sort(keyed.begin(), keyed.end(), [&lines](const Keyed& a, const Keyed& b) {
        if (a.key != b.key) return a.key < b.key;
        if (const int c = lineCompare(lines[a.index], lines[b.index])) return c < 0;
        return a.index < b.index;
    });
    std::vector<std::size_t> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed) order.push_back(k.index);
    return order;
}

std::string driverListCaption(int lines, int examined) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "Driver List (%d items out of %d)", lines, examined);
    return buf;
}

std::size_t DriverList::insertionIndex(const std::string& text) const {
    auto pos = std::upper_bound(
        entries_.begin(), entries_.end(), text,
        [](const std::string& t, const DriverListEntry& e) { return lineLess(t, e.text); });
    return static_cast<std::size_t>(pos - entries_.begin());
}

std::size_t DriverList::add(const fs::path& path, std::optional<SettingRef> ref) {
    DriverListEntry entry{driverListLine(path), path, ref};
    const std::size_t index = insertionIndex(entry.text);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry));
    return index;
}

void DriverList::addAll(std::vector<std::pair<fs::path, std::optional<SettingRef>>> lines) {
    const std::size_t old = entries_.size();
    entries_.reserve(old + lines.size());
    for (auto& [path, ref] : lines) {
        std::string text = driverListLine(path);
        entries_.push_back({std::move(text), std::move(path), ref});
    }
    auto less = [](const DriverListEntry& a, const DriverListEntry& b) {
        return lineLess(a.text, b.text);
    };
    // Stable: lines of equal text keep their order of arrival, the old ones first.
    std::stable_sort(entries_.begin() + static_cast<std::ptrdiff_t>(old), entries_.end(), less);
    std::inplace_merge(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(old),
                       entries_.end(), less);
}

const DriverListEntry* DriverList::openable(std::size_t index) const {
    if (index >= entries_.size() || !entries_[index].ref) return nullptr;
    return &entries_[index];
}

}  // namespace sf
