#include "driver/library.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <system_error>

namespace sf {
namespace fs = std::filesystem;

namespace {

bool hasDriverExtension(const std::string& name) {
    // "x.d" at least: a bare ".d" is a hidden file, not a driver source.
    if (name.size() < 3) return false;
    const char last = name[name.size() - 1];
    return name[name.size() - 2] == '.' && (last == 'd' || last == 'D');
}

void walk(const fs::path& folder, std::vector<fs::path>& out, std::set<fs::path>& visited) {
    std::error_code ec;
    // Guard against folder loops through symbolic links.
    fs::path canonical = fs::canonical(folder, ec);
    if (ec || !visited.insert(canonical).second) return;

    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) return;
    std::vector<std::pair<std::string, fs::path>> files;
    std::vector<std::pair<std::string, fs::path>> folders;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& entry = *it;
        std::string name = entry.path().filename().string();
        std::error_code typeEc;
        if (entry.is_directory(typeEc)) {
            if (!name.empty() && name[0] != '.') folders.emplace_back(name, entry.path());
        } else if (!typeEc && hasDriverExtension(name) && entry.is_regular_file(typeEc)) {
            files.emplace_back(name, entry.path());
        }
    }
    auto byName = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    for (auto& f : files) out.push_back(std::move(f.second));
    for (const auto& d : folders) walk(d.second, out, visited);
}

// List order: letters compare without regard to case, as users expect from
// a sorted list; texts that differ only in case fall back to byte order.
bool lineLess(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = fold(static_cast<unsigned char>(a[i]));
        const int cb = fold(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

std::vector<fs::path> scanDriverSources(const fs::path& root) {
    std::vector<fs::path> out;
    if (root.empty()) return out;
    std::set<fs::path> visited;
    try {
        walk(root, out, visited);
    } catch (const std::exception&) {
        // Allocation failures or odd file names: the library is simply empty
        // beyond what was found so far.
    }
    return out;
}

bool warnWhenNoDriver(const std::vector<fs::path>& found, Prompter& prompter) {
    if (!found.empty()) return false;
    prompter.message(kNoDriverFoundMessage, MessageIcon::Exclamation);
    return true;
}

std::vector<fs::path> scanDriverLibrary(const fs::path& root, Prompter& prompter,
                                        bool* openPreferences) {
    std::vector<fs::path> found = scanDriverSources(root);
    const bool warned = warnWhenNoDriver(found, prompter);
    if (openPreferences) *openPreferences = warned;
    return found;
}

std::string driverListLine(const fs::path& path) {
    return path.filename().string() + " (" + path.parent_path().string() + ")";
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
    auto less = [](const DriverListEntry& a, const DriverListEntry& b) { return lineLess(a.text, b.text); };
    // Stable: lines of equal text keep their order of arrival, the old ones first.
    std::stable_sort(entries_.begin() + static_cast<std::ptrdiff_t>(old), entries_.end(), less);
    std::inplace_merge(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(old), entries_.end(), less);
}

const DriverListEntry* DriverList::openable(std::size_t index) const {
    if (index >= entries_.size() || !entries_[index].ref) return nullptr;
    return &entries_[index];
}

}  // namespace sf
