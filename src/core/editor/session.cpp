#include "editor/session.h"

#include <algorithm>
#include <cctype>

#include "editor/docframe.h"
#include "framework/config.h"

namespace sf {

std::vector<std::string> commandLineFiles(std::span<const std::string> args,
                                          const std::filesystem::path& cwd) {
    std::vector<std::string> files;
    if (args.size() == 1) {
        std::string a = args[0];
        std::transform(a.begin(), a.end(), a.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (a == "NR") return files;
    }
    for (const std::string& a : args) {
        if (a.empty() || a[0] == '-') continue;
        std::filesystem::path p(a);
        files.push_back((p.is_absolute() ? p : cwd / p).lexically_normal().string());
    }
    return files;
}

namespace {
constexpr char kMagic[4] = {'S', 'F', 'H', 'O'};
constexpr std::size_t kHeader = 8;
}  // namespace

std::vector<std::uint8_t> encodeHandOver(std::span<const std::string> files) {
    std::vector<std::uint8_t> payload;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i) payload.push_back(0);
        payload.insert(payload.end(), files[i].begin(), files[i].end());
    }
    std::vector<std::uint8_t> out(kMagic, kMagic + 4);
    const auto n = static_cast<std::uint32_t>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(n >> shift));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::optional<std::vector<std::string>> decodeHandOver(std::span<const std::uint8_t> bytes,
                                                       bool* complete) {
    if (complete) *complete = false;
    if (bytes.size() < kHeader || !std::equal(kMagic, kMagic + 4, bytes.begin()))
        return std::nullopt;
    std::uint32_t n = 0;
    for (int i = 4; i < 8; ++i) n = (n << 8) | bytes[i];
    if (n > kMaxHandOverBytes || bytes.size() - kHeader < n) return std::nullopt;
    if (complete) *complete = true;
    std::vector<std::string> files;
    if (n == 0) return files;
    std::string cur;
    for (std::size_t i = kHeader; i < kHeader + n; ++i) {
        if (bytes[i] == 0) {
            if (!cur.empty()) files.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(static_cast<char>(bytes[i]));
        }
    }
    if (!cur.empty()) files.push_back(std::move(cur));
    return files;
}

WindowCommandState windowCommandState(std::span<const ChildWindowState> windows) {
    WindowCommandState s;
    s.closeAll = !windows.empty();
    for (const ChildWindowState& w : windows) {
        if (w.minimized)
            s.restoreAll = true;
        else if (w.canMinimize)
            s.minimizeAll = true;
    }
    return s;
}

const std::vector<std::uint8_t>* WindowLayout::documentGeometry(
    const std::filesystem::path& file) const {
    const std::filesystem::path key = normalFilePath(file);
    for (const Entry& e : docs_)
        if (e.key == key) return &e.geometry;
    return nullptr;
}

void WindowLayout::setDocumentGeometry(const std::filesystem::path& file,
                                       std::vector<std::uint8_t> geometry) {
    std::filesystem::path key = normalFilePath(file);
    std::erase_if(docs_, [&](const Entry& e) { return e.key == key; });
    docs_.insert(docs_.begin(), Entry{file, std::move(key), std::move(geometry)});
    if (docs_.size() > kMaxDocuments) docs_.resize(kMaxDocuments);
}

namespace {
// Geometry blobs are small; anything larger in the file is not ours.
constexpr std::size_t kMaxGeometry = 4096;

std::vector<std::uint8_t> readBlob(const Config& c, std::string_view name, int index) {
    std::string text = c.readText(name, index, "");
    std::vector<std::uint8_t> buf(std::min(text.size() / 2, kMaxGeometry));
    std::size_t n = c.readBytes(name, index, buf);
    buf.resize(n);
    return buf;
}
}  // namespace

void WindowLayout::load(const std::filesystem::path& path) {
    docs_.clear();
    mainGeometry.clear();
    mainBars.clear();
    Config c("Layout", path, false);
    c.selectSection("MainWindow");
    mainGeometry = readBlob(c, "Geometry", 0);
    mainMaximized = c.readInt("Maximized", 0, 0) != 0;
    mainBars = readBlob(c, "Bars", 0);
    c.selectRoot();
    c.selectSection("Documents");
    for (int i = 1; i <= static_cast<int>(kMaxDocuments); ++i) {
        if (!c.hasKey("File", i)) break;
        std::string file = c.readText("File", i, "");
        std::vector<std::uint8_t> g = readBlob(c, "Geometry", i);
        if (!file.empty() && !g.empty() && !documentGeometry(file))
            docs_.push_back(Entry{file, normalFilePath(file), std::move(g)});
    }
}

bool WindowLayout::save(const std::filesystem::path& path) const {
    Config c("Layout", path, false);
    c.loadText("Layout\n{\n}\n");
    c.selectSection("MainWindow");
    c.writeBytes("Geometry", 0, mainGeometry);
    c.writeInt("Maximized", 0, mainMaximized ? 1 : 0);
    c.writeBytes("Bars", 0, mainBars);
    c.selectRoot();
    c.selectSection("Documents");
    for (std::size_t i = 0; i < docs_.size(); ++i) {
        c.writeText("File", static_cast<int>(i + 1), docs_[i].file.string());
        c.writeBytes("Geometry", static_cast<int>(i + 1), docs_[i].geometry);
    }
    return c.save();
}

}  // namespace sf
