#include "framework/config.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

#include "framework/blanks.h"
#include "framework/fileio.h"

namespace sf {

namespace {

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string indexedName(std::string_view name, int index) {
    std::string n(name);
    if (index != 0) n += std::to_string(index);
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// ConfigKey

ConfigKey::ConfigKey(std::string name, bool section, ConfigKey* parent)
    : name_(std::move(name)), section_(section), parent_(parent) {}

void ConfigKey::setName(std::string n) {
    // Renaming a child would leave its parent's index stale; only the root
    // is renamed (by the outermost section of a file).
    if (parent_ == nullptr) name_ = std::move(n);
}

ConfigKey* ConfigKey::findSection(std::string_view name) const {
    auto it = sectionIndex_.find(foldCase(name));
    return it == sectionIndex_.end() ? nullptr : it->second;
}

ConfigKey* ConfigKey::findKey(std::string_view name) const {
    auto it = keyIndex_.find(foldCase(name));
    return it == keyIndex_.end() ? nullptr : it->second;
}

ConfigKey* ConfigKey::append(std::string_view name, bool section) {
    children_.push_back(std::make_unique<ConfigKey>(std::string(name), section, this));
    ConfigKey* k = children_.back().get();
    (section ? sectionIndex_ : keyIndex_)[foldCase(name)] = k;
    return k;
}

ConfigKey* ConfigKey::section(std::string_view name) {
    if (ConfigKey* k = findSection(name)) return k;
    return append(name, true);
}

ConfigKey* ConfigKey::key(std::string_view name) {
    if (ConfigKey* k = findKey(name)) return k;
    return append(name, false);
}

void ConfigKey::pruneEmptySections() {
    for (auto& c : children_)
        if (c->isSection()) c->pruneEmptySections();
    auto dead = [](const std::unique_ptr<ConfigKey>& c) {
        return c->isSection() && c->children_.empty();
    };
    for (const auto& c : children_)
        if (dead(c)) sectionIndex_.erase(foldCase(c->name()));
    children_.erase(std::remove_if(children_.begin(), children_.end(), dead), children_.end());
}

// ---------------------------------------------------------------------------
// Value text

std::int32_t parseConfigInt(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Saturates like the C library's conversion does.
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = std::min<std::int64_t>(v * 10 + (c - '0'), std::int64_t{1} << 32);
    }
    if (negative) v = -v;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t parseConfigUnsigned(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(c - '0'), 0xFFFFFFFFu);
    }
    const auto u = static_cast<std::uint32_t>(v);
    // "-1" reads as 0xFFFFFFFF, as the usual unsigned conversion gives.
    return negative ? static_cast<std::uint32_t>(0u - u) : u;
}

std::string formatConfigBytes(ConstByteSpan bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

namespace {

// Value of one hexadecimal digit (letters in either case); -1 for anything else.
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Config

Config::Config(std::string rootName, std::filesystem::path path, bool saveWhenDestroyed)
    : path_(std::move(path)), saveWhenDestroyed_(saveWhenDestroyed) {
    reset(std::move(rootName));
    if (path_.empty()) return;
    std::string text;
    try {
        std::ifstream in(path_, std::ios::binary);
        if (!in) return;  // missing or unreadable: defaults
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) return;
    } catch (...) {
        return;  // a directory or a read error: defaults
    }
    loadText(text);
}

Config::Config(std::string rootName) { reset(std::move(rootName)); }

Config::~Config() {
    if (saveWhenDestroyed_ && !path_.empty()) {
        try {
            save();
        } catch (...) {
            // Losing this run's changes is all that can happen here.
        }
    }
}

void Config::reset(std::string rootName) {
    root_ = std::make_unique<ConfigKey>(std::move(rootName), true, nullptr);
    current_ = root_.get();
}

void Config::selectSection(std::string_view name) { current_ = current_->section(name); }

void Config::selectParent() {
    if (current_->parent() != nullptr) current_ = current_->parent();
}

void Config::selectRoot() { current_ = root_.get(); }

void Config::selectPath(std::string_view path) {
    if (!path.empty() && path.front() == '\\') {
        current_ = root_.get();
        path.remove_prefix(1);
    }
    while (!path.empty()) {
        const std::size_t cut = path.find('\\');
        const std::string_view part = path.substr(0, cut);
        // Empty parts ("a\\b", a trailing "\") select nothing rather than a
        // section without a name.
        if (!part.empty()) selectSection(part);
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
}

void Config::writeText(std::string_view name, int index, std::string_view value) {
    current_->key(indexedName(name, index))->setValue(std::string(value));
}

void Config::writeInt(std::string_view name, int index, std::int32_t value) {
    writeText(name, index, std::to_string(value));
}

void Config::writeUnsigned(std::string_view name, int index, std::uint32_t value) {
    writeText(name, index, std::to_string(value));
}

void Config::writeU16(std::string_view name, int index, std::uint16_t value) {
    writeText(name, index, std::to_string(value));
}

void Config::writeBytes(std::string_view name, int index, ConstByteSpan bytes) {
    writeText(name, index, formatConfigBytes(bytes));
}

const ConfigKey* Config::lookup(std::string_view name, int index) const {
    return current_->findKey(indexedName(name, index));
}

bool Config::hasKey(std::string_view name, int index) const { return lookup(name, index) != nullptr; }

std::int32_t Config::readInt(std::string_view name, int index, std::int32_t def) const {
    const ConfigKey* k = lookup(name, index);
    return k ? parseConfigInt(k->value()) : def;
}

std::uint32_t Config::readUnsigned(std::string_view name, int index, std::uint32_t def) const {
    const ConfigKey* k = lookup(name, index);
    return k ? parseConfigUnsigned(k->value()) : def;
}

std::uint16_t Config::readU16(std::string_view name, int index, std::uint16_t def) const {
    const ConfigKey* k = lookup(name, index);
    return k ? static_cast<std::uint16_t>(parseConfigUnsigned(k->value()) & 0xFFFF) : def;
}

std::string Config::readText(std::string_view name, int index, std::string_view def) const {
    const ConfigKey* k = lookup(name, index);
    return k ? k->value() : std::string(def);
}

std::size_t Config::readBytes(std::string_view name, int index, ByteSpan buffer,
                              std::optional<ConstByteSpan> defaultBlock) const {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    const ConfigKey* k = lookup(name, index);
    if (!k) {
        if (!defaultBlock) return 0;
        const std::size_t n = std::min(buffer.size(), defaultBlock->size());
        std::copy_n(defaultBlock->begin(), n, buffer.begin());
        return buffer.size();
    }
    std::string_view text = trimBlanks(k->value());
    const std::size_t end = std::min(text.find('\0'), text.size());
    text = text.substr(0, end);
    std::size_t n = 0;
    // Two digits per byte; the end of the text, or a character that is not a
    // hexadecimal digit, stops the reading. A lone last digit is not a byte.
    while (n < buffer.size() && 2 * n + 1 < text.size()) {
        const int hi = hexDigit(text[2 * n]);
        const int lo = hexDigit(text[2 * n + 1]);
        if (hi < 0 || lo < 0) break;
        buffer[n++] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
    return n;
}

// ---------------------------------------------------------------------------
// Text format

namespace {

// Splits at LF, CR or CR LF (the text ends at the first zero byte), trims
// blanks and tabs and drops empty lines.
std::vector<std::string_view> splitLines(std::string_view text) {
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimBlanks(text.substr(pos, end - pos));
        if (!line.empty()) lines.push_back(line);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

// Line breaks and zero bytes cannot be stored in a line-based file; a name or
// value given by the program with one of them is written with a blank instead
// so that it cannot break the structure of the rest of the file.
void appendClean(std::string& out, std::string_view s) {
    for (char c : s) out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
}

// A key with an empty value is written as its bare name only when that line
// reads back as the same key; otherwise as "name=".
bool bareNameReadsBack(std::string_view name) {
    if (name.empty() || name == "{" || name == "}") return false;
    if (isBlank(name.front()) || isBlank(name.back())) return false;
    return name.find('=', 1) == std::string_view::npos;
}

void writeSection(std::string& out, const ConfigKey& section, int depth, bool always) {
    const std::size_t start = out.size();
    bool wroteKey = false;
    out.append(static_cast<std::size_t>(depth), '\t');
    appendClean(out, section.name());
    out += "\r\n";
    out.append(static_cast<std::size_t>(depth), '\t');
    out += "{\r\n";
    for (const auto& c : section.children()) {
        if (c->isSection()) {
            const std::size_t before = out.size();
            writeSection(out, *c, depth + 1, false);
            wroteKey = wroteKey || out.size() != before;
            continue;
        }
        wroteKey = true;
        out.append(static_cast<std::size_t>(depth + 1), '\t');
        appendClean(out, c->name());
        if (!c->value().empty() || !bareNameReadsBack(c->name())) {
            out += '=';
            appendClean(out, c->value());
        }
        out += "\r\n";
    }
    out.append(static_cast<std::size_t>(depth), '\t');
    out += "}\r\n";
    // A section whose subtree holds no key at all is not written.
    if (!wroteKey && !always) out.resize(start);
}

}  // namespace

std::string Config::toText() const {
    std::string out;
    out.reserve(2048);
    writeSection(out, *root_, 0, true);
    return out;
}

void Config::loadText(std::string_view text) {
    reset(root_->name());
    const std::vector<std::string_view> lines = splitLines(text);
    ConfigKey* cursor = root_.get();
    int depth = 0;    // sections open
    int skipped = 0;  // sections open beyond kMaxDepth, whose contents are dropped
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string_view token = lines[i++];
        const bool opens = i < lines.size() && lines[i] == "{" && token != "}" && token != "{";
        if (opens) ++i;
        if (skipped > 0) {
            if (opens) ++skipped;
            if (token == "}") --skipped;
            continue;
        }
        if (token == "}") {
            if (depth == 0) break;  // the body of the outermost level has ended
            --depth;
            cursor = depth == 0 ? root_.get() : cursor->parent();
            continue;
        }
        if (opens) {
            if (depth == 0) {
                root_->setName(std::string(token));
                cursor = root_.get();
                depth = 1;
            } else if (depth >= kMaxDepth) {
                skipped = 1;
            } else {
                cursor = cursor->section(token);
                ++depth;
            }
            continue;
        }
        // A "{" that does not follow a name opens nothing, and it is not a
        // name either: written back, it would turn the line before it into a
        // section.
        if (token == "{") continue;
        const std::size_t eq = token.find('=', 1);
        if (eq != std::string_view::npos)
            cursor->key(token.substr(0, eq))->setValue(std::string(token.substr(eq + 1)));
        else
            cursor->key(token)->setValue(std::string());
    }
    root_->pruneEmptySections();
    current_ = root_.get();
}

bool Config::save() const {
    if (path_.empty()) return false;
    const std::string text = toText();
    try {
        // A failure half-way leaves the previous file as it was.
        writeFileAtomic(path_, ConstByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()),
                                             text.size()));
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace sf
