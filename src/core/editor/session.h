// Start-up and session state that does not depend on a toolkit: the file
// names a second start hands over to the running copy (and their wire
// form), the enabling of the window arrangement commands, and the window
// layout file ("layout.dat": the main window's geometry and the geometry of
// each document window by file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// The files of a command line (the arguments after the program name), made
// absolute against `cwd` because the running copy that opens them works in
// another folder. An empty command line and the single argument "NR" (any
// case) hand over nothing; arguments that start with "-" are options, not
// files.
std::vector<std::string> commandLineFiles(std::span<const std::string> args,
                                          const std::filesystem::path& cwd);

// Wire form of a hand-over: "SFHO", a 32-bit big-endian length, then the
// file names separated by zero bytes. An empty list still asks the running
// copy to come to the front.
std::vector<std::uint8_t> encodeHandOver(std::span<const std::string> files);
// The decoded list, or nothing while the bytes are incomplete or malformed.
// `complete` tells whether all announced bytes are there.
std::optional<std::vector<std::string>> decodeHandOver(std::span<const std::uint8_t> bytes,
                                                       bool* complete = nullptr);
// Hand-overs larger than this are refused (a few thousand paths).
inline constexpr std::size_t kMaxHandOverBytes = 1u << 20;

// The "&Window" commands that depend on the document windows.
struct ChildWindowState {
    bool minimized = false;
    bool canMinimize = true;  // the window has a minimise box
};
struct WindowCommandState {
    bool closeAll = false;     // while the client holds a window
    bool minimizeAll = false;  // while a window that can be minimised is not
    bool restoreAll = false;   // while a window is minimised
};
WindowCommandState windowCommandState(std::span<const ChildWindowState> windows);

// The window layout file, kept in the settings file's text form.
class WindowLayout {
  public:
    // Most recently closed windows first; older entries beyond this are dropped.
    static constexpr std::size_t kMaxDocuments = 100;

    std::vector<std::uint8_t> mainGeometry;
    bool mainMaximized = false;
    // The toolkit's own record of the main window's bars (which are shown).
    std::vector<std::uint8_t> mainBars;

    const std::vector<std::uint8_t>* documentGeometry(const std::filesystem::path& file) const;
    void setDocumentGeometry(const std::filesystem::path& file, std::vector<std::uint8_t> geometry);
    std::size_t documentCount() const { return docs_.size(); }

    // A missing or unreadable file leaves an empty layout.
    void load(const std::filesystem::path& path);
    bool save(const std::filesystem::path& path) const;

  private:
    struct Entry {
        std::filesystem::path file;
        std::filesystem::path key;  // normalFilePath(file)
        std::vector<std::uint8_t> geometry;
    };
    std::vector<Entry> docs_;
};

}  // namespace sf
