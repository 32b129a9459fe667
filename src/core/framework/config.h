// The program's settings store: a tree of named sections and keys kept in an
// indented text file ("system/main.set"), read once at start-up and written
// back at the end.
//
// Every value is held as text. Names are compared without regard to (ASCII)
// case. A section and a plain key may share a name under one parent: section
// lookups only see sections, key lookups only plain keys. All accessors work
// on the current section, moved with the select operations.
//
// Nothing here is reported to the user: a file that cannot be read gives an
// empty tree (every read answers its default), a failed save loses the
// changes of the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/bytes.h"

namespace sf {

class ConfigKey {
public:
    ConfigKey(std::string name, bool section, ConfigKey* parent);
    ConfigKey(const ConfigKey&) = delete;
    ConfigKey& operator=(const ConfigKey&) = delete;

    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    void setValue(std::string v) { value_ = std::move(v); }
    void setName(std::string n);  // only for the root (renamed by the file)

    bool isSection() const { return section_; }
    ConfigKey* parent() const { return parent_; }
    // Children in the order they were first created (empty for a plain key).
    const std::vector<std::unique_ptr<ConfigKey>>& children() const { return children_; }

    ConfigKey* findSection(std::string_view name) const;
    ConfigKey* findKey(std::string_view name) const;
    // Find or append; a plain key is never turned into a section or back.
    ConfigKey* section(std::string_view name);
    ConfigKey* key(std::string_view name);

    // Removes, bottom-up, every sub-section that has (or is left with) no children.
    void pruneEmptySections();

private:
    ConfigKey* append(std::string_view name, bool section);

    std::string name_;
    std::string value_;
    bool section_;
    ConfigKey* parent_;
    std::vector<std::unique_ptr<ConfigKey>> children_;
    // Case-folded name -> child, one map per kind, so that large files load in
    // linear time.
    std::unordered_map<std::string, ConfigKey*> sectionIndex_;
    std::unordered_map<std::string, ConfigKey*> keyIndex_;
};

class Config {
public:
    // Nesting deeper than this in a file is skipped when reading: the written
    // text indents each level, so unbounded depth would make the output grow
    // with the square of the input.
    static constexpr int kMaxDepth = 64;

    // Creates the root section and loads `path` at once (an empty path loads
    // nothing). With saveWhenDestroyed the destructor writes the file back.
    Config(std::string rootName, std::filesystem::path path, bool saveWhenDestroyed);
    // An in-memory store that is never saved automatically.
    explicit Config(std::string rootName = "Main");
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // --- cursor ---
    // Selects (creating when missing) the sub-section `name` of the current section.
    void selectSection(std::string_view name);
    // Back to the parent section (stays at the root).
    void selectParent();
    void selectRoot();
    // "\"-separated path; a leading "\" starts at the root, otherwise at the
    // current section. Each non-empty part selects or creates one level.
    void selectPath(std::string_view path);
    const ConfigKey& current() const { return *current_; }
    const ConfigKey& root() const { return *root_; }

    // --- writing: creates the key in the current section when missing, then
    // replaces its value. A non-zero index is appended to the name (File, 3 -> File3).
    void writeInt(std::string_view name, int index, std::int32_t value);
    void writeUnsigned(std::string_view name, int index, std::uint32_t value);
    void writeU16(std::string_view name, int index, std::uint16_t value);
    void writeText(std::string_view name, int index, std::string_view value);
    void writeBytes(std::string_view name, int index, ConstByteSpan bytes);

    // --- reading: the converted value, or the default without such a key ---
    bool hasKey(std::string_view name, int index = 0) const;
    std::int32_t readInt(std::string_view name, int index, std::int32_t def) const;
    std::uint32_t readUnsigned(std::string_view name, int index, std::uint32_t def) const;
    std::uint16_t readU16(std::string_view name, int index, std::uint16_t def) const;
    std::string readText(std::string_view name, int index, std::string_view def) const;
    // Fills `buffer` from the key's hexadecimal text and answers the number of
    // whole bytes read; the rest of the buffer is zero. Without the key the
    // default block is copied (answering buffer.size()), or, with no default,
    // the buffer is zeroed and 0 answered.
    std::size_t readBytes(std::string_view name, int index, ByteSpan buffer,
                          std::optional<ConstByteSpan> defaultBlock = std::nullopt) const;

    // --- whole store ---
    // Replaces the tree by the one read from `text` (the cursor goes to the root).
    void loadText(std::string_view text);
    // The file's text for the current tree.
    std::string toText() const;
    // Writes the file (atomically); false on failure or without a path.
    bool save() const;
    const std::filesystem::path& path() const { return path_; }

private:
    void reset(std::string rootName);
    const ConfigKey* lookup(std::string_view name, int index) const;

    std::unique_ptr<ConfigKey> root_;
    ConfigKey* current_ = nullptr;
    std::filesystem::path path_;
    bool saveWhenDestroyed_ = false;
};

// Value text helpers, shared with callers that keep values elsewhere.
// Decimal number formed by the leading digits (after blanks and one sign); 0 without digits.
std::int32_t parseConfigInt(std::string_view text);
std::uint32_t parseConfigUnsigned(std::string_view text);
// Two upper-case hexadecimal digits per byte.
std::string formatConfigBytes(ConstByteSpan bytes);

}  // namespace sf
