// The driver library: the driver sources kept under the drivers root folder,
// and the model of the driver selection list that the searches fill.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/prompter.h"
#include "source/schema.h"

namespace sf {

inline constexpr const char* kNoDriverFoundMessage =
    "The driver directory specified in the preferences does not contain any driver!";

// Every driver source (extension ".d" in any letter case) under `root`, its
// subfolders included. Folders whose name begins with "." are not entered.
// The order is reproducible: the files of a folder sorted by name, then its
// subfolders sorted by name, each walked the same way. An empty root, a
// missing root or an unreadable folder contributes nothing; nothing throws.
std::vector<std::filesystem::path> scanDriverSources(const std::filesystem::path& root);
// The same walk, handing the full path of each driver source (the system's
// form) to `found` as soon as its folder has been listed, so that the files
// can be read while the walk goes on. The walk stops when `found` answers
// false.
void scanDriverSources(const std::filesystem::path& root,
                       const std::function<bool(std::string&&)>& found);

// Tells the user that the library holds no driver, when `found` is 0.
// Answers true when it did: the caller then opens the Preferences so that
// the drivers root can be corrected.
bool warnWhenNoDriver(std::size_t found, Prompter& prompter);

// scanDriverSources followed by warnWhenNoDriver. `openPreferences` (when
// given) is set to whether the caller should open the Preferences.
std::vector<std::filesystem::path> scanDriverLibrary(const std::filesystem::path& root,
                                                     Prompter& prompter,
                                                     bool* openPreferences = nullptr);

// The text of one list line: "NAME.D (folder)".
std::string driverListLine(const std::filesystem::path& path);
// The order in which the list shows the lines of `paths` (full paths in the
// system's form): their indices, lines of equal text in their given order.
std::vector<std::size_t> driverListOrder(const std::vector<std::string>& paths);
// The caption of the list: lines shown out of drivers examined.
std::string driverListCaption(int lines, int examined);

// One line of the driver selection list. The full path is kept with the line,
// so opening it never has to take the line text apart again (a "(" in a file
// name would otherwise break the path).
struct DriverListEntry {
    std::string text;
    std::filesystem::path path;
    std::optional<SettingRef> ref;  // the setting the line was found for
};

// The content of the driver selection list, kept sorted by line text (lines
// of equal text keep their order of arrival).
class DriverList {
  public:
    void clear() { entries_.clear(); }
    // Adds a line and answers its index in the sorted list.
    std::size_t add(const std::filesystem::path& path,
                    std::optional<SettingRef> ref = std::nullopt);
    // The index at which add() would put a line of this text.
    std::size_t insertionIndex(const std::string& text) const;
    // Adds many lines at once, in the order add() would give them, in
    // O(n log n) rather than a shift of the list per line.
    void addAll(std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> lines);
    const std::vector<DriverListEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    std::string caption(int examined) const {
        return driverListCaption(static_cast<int>(entries_.size()), examined);
    }
    // The line to open on a double click: nothing for a line without a
    // setting or an index outside the list.
    const DriverListEntry* openable(std::size_t index) const;

  private:
    std::vector<DriverListEntry> entries_;
};

}  // namespace sf
