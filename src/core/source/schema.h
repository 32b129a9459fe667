// The settings schema: one static table of 304 settings, the field lookups
// that locate each value in a SourceRecord, the tree placement of every
// setting and the rules that enable or disable its row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "source/record.h"

namespace sf {

enum class Kind : std::int32_t {
    Group = 1,
    Text = 2,
    CharTable = 3,
    Byte = 4,
    Word = 5,
    Long = 6,
    Message = 7,
    DialogItem = 8,
};

enum class Editor : std::int32_t {
    None = 0,
    Text = 2,
    CharTable = 3,
    Decimal = 4,
    Unsigned = 5,
    Hex = 6,
    YesNo = 7,
    Choice = 8,
    Flag = 9,
    MessageEditor = 10,
    Roland7 = 11,
    HandshakeCode = 12,
};

namespace setting_flag {
inline constexpr std::uint32_t CopyGlobal = 0x001;
inline constexpr std::uint32_t CopyModule = 0x002;
inline constexpr std::uint32_t Conditional = 0x004;
inline constexpr std::uint32_t KeepSpaces = 0x008;
inline constexpr std::uint32_t NumberedName = 0x010;
inline constexpr std::uint32_t OneBased = 0x020;
inline constexpr std::uint32_t NoEmptyName = 0x040;
inline constexpr std::uint32_t ReadOnly = 0x080;
inline constexpr std::uint32_t AnyTextTarget = 0x100;
inline constexpr std::uint32_t DialogIcon = 0x200;
}  // namespace setting_flag

// One entry of a choice list; a list ends with an entry whose text is null.
struct ChoiceEntry {
    std::int32_t value;
    const char* text;
    std::int32_t command;
};

// How a row repeats in the settings tree (with all its children).
enum class Repeat : std::int8_t {
    None,
    Lines10,     // help lines 0..9 (setting 31: index1; 199/218: index2)
    Packets10,   // "Packet(s) #%d": index2 0..9
    LoopSets8,   // "Loop set #%d": index2 0..7
    SubBanks16,  // "Sub-bank #%d": index2 0..15
    PerModule,   // "Module %d": index1 0 .. "Number of modules" - 1
};

struct SettingItem {
    std::int32_t id;
    Kind kind;
    std::uint32_t flags;
    Editor editor;
    std::int32_t min;
    std::int32_t max;  // numbers: largest value; messages: capacity in units
    std::uint32_t mask;
    const ChoiceEntry* choices;  // null-terminated list, or null
    const char* name;
    const char* help;
    std::int32_t helpContext;
    // Tree placement.
    std::int8_t depth;
    std::int16_t parent;  // id of the parent row, 0 for the root
    Repeat repeat;

    bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
};

// The address of one value. index1: module 0..15 for settings 104..309, the
// line for setting 31. index2: packet, loop set, sub-bank or help line inside
// a module. index3 is never used.
struct SettingRef {
    int id = 0;
    int index1 = -1;
    int index2 = -1;
    int index3 = -1;
    const SettingItem* item = nullptr;
};

// A ref with its item looked up (item is null for an unknown id).
SettingRef makeRef(int id, int index1 = -1, int index2 = -1);

// Linear lookup; null when no setting carries the id.
const SettingItem* findSettingItem(int id);
// All 304 settings, in the order of the settings tree.
std::span<const SettingItem> settingItems();
// True for the settings that live in a module record (ids 104..309).
bool isModuleSetting(int id);

// Absolute offset and size of a field inside a SourceRecord.
struct FieldRef {
    std::size_t offset;
    std::size_t size;
};
struct MessageFieldRef {
    std::size_t units;  // offset of the unit array
    std::size_t count;  // offset of the signed 16-bit count
    int capacity;       // 8, 40 or 60 units
};

// Field lookups. Each answers nothing for a setting it does not serve or for
// indices outside their ranges (module 0..15, packet 0..9, loop set 0..7,
// sub-bank 0..15, line 0..9).
std::optional<FieldRef> textField(const SourceRecord& r, const SettingRef& ref);
std::optional<std::size_t> byteField(const SourceRecord& r, const SettingRef& ref);
std::optional<std::size_t> wordField(const SourceRecord& r, const SettingRef& ref);
std::optional<std::size_t> longField(const SourceRecord& r, const SettingRef& ref);
std::optional<MessageFieldRef> messageField(const SourceRecord& r, const SettingRef& ref);
std::optional<FieldRef> groupBlock(const SourceRecord& r, const SettingRef& ref);

// Module use by setting 108.
enum class ModuleUse { DumpAndNames, DumpOnly, NamesOnly };
ModuleUse moduleUse(const SourceRecord& r, int module);

// Enabled state of a row: always true without Conditional; otherwise the
// row's rule, and for sub-bank rows also index2 < "Number of sub-banks".
bool isEnabled(const SourceRecord& r, const SettingRef& ref);

// Row label: name, or name formatted with the innermost index + 1.
std::string rowLabel(const SettingRef& ref);

struct TreeRow {
    int depth;
    SettingRef ref;
};
// Every row of the settings tree in tree order: the global rows once, then
// for each module 0 .. "Number of modules" - 1 row 105 and all module rows,
// with the repeated groups expanded.
std::vector<TreeRow> buildTreeRows(const SourceRecord& r);
// Whether the settings tree of `r` has a row for `ref` (same id and indices).
// A module index at or above "Number of modules" addresses no row: such a
// slot holds stale or empty values that no save keeps.
bool hasTreeRow(const SourceRecord& r, const SettingRef& ref);

}  // namespace sf
