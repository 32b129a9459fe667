// The macro list block: a macro count, an offset table and the packed macro
// records, each a 36-byte head followed by its parameter records (an 8-byte
// head followed by 10-byte points). Every edit keeps the block exact: the
// table holds each record's position, every recordSize the bytes the record
// takes, every parameterCount its parameters, and the last record ends where
// the block ends.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "source/record.h"

namespace sf {

namespace macro_list {
inline constexpr int kMaxMacros = 1000;
inline constexpr std::size_t kMacroHead = 36;
inline constexpr std::size_t kParamHead = 8;
inline constexpr std::size_t kPointSize = 10;
// Record fields.
inline constexpr std::size_t kSize = 0;
inline constexpr std::size_t kGroup = 6;
inline constexpr std::size_t kKind = 9;
inline constexpr std::size_t kName = 11;
inline constexpr std::size_t kNameSize = 19;
inline constexpr int kNameChars = 12;
inline constexpr std::size_t kFrom = 30;
inline constexpr std::size_t kTo = 32;
inline constexpr std::size_t kParamCount = 34;
// Parameter fields.
inline constexpr std::size_t kParamTemplate = 2;
inline constexpr std::size_t kParamOffset = 4;
inline constexpr std::size_t kParamPoints = 6;
inline constexpr int kParamOffsetChars = 5;
}  // namespace macro_list

// Where every record lies, as found by walking the block. The parameters of
// all macros are kept in one list, each macro naming its run of them.
struct MacroLayout {
    struct Param {
        std::size_t offset;
        std::size_t size;
    };
    struct Macro {
        std::size_t offset;
        std::size_t size;
        std::size_t firstParam;
        std::size_t paramCount;
    };
    std::vector<Macro> macros;
    std::vector<Param> params;

    std::span<const Param> paramsOf(const Macro& m) const {
        return std::span<const Param>(params).subspan(m.firstParam, m.paramCount);
    }
};

// The layout of a consistent block; nothing when the block is not exact
// (a table entry, a size or a count that does not match, or bytes left over).
std::optional<MacroLayout> macroLayout(ConstByteSpan block);

// A block holding no macro.
Block emptyMacroList();

// Why an addition is refused, or empty when it is allowed. The first two walk
// the block; the others take the layout of a block known to be consistent.
std::string refuseAddMacro(ConstByteSpan block);
std::string refuseAddParameter(ConstByteSpan block);
std::string refuseAddMacro(const MacroLayout& layout, std::size_t blockSize);
std::string refuseAddParameter(const MacroLayout& layout, std::size_t blockSize, int macro);

// The edits. Each answers false and leaves the block untouched when the
// block is not consistent, an index is out of range or the result would not
// fit (1000 macros, a block of 65535 bytes).
std::optional<int> addMacro(Block& block);  // answers the new macro's index
std::optional<int> addParameter(Block& block, int macro, int templateIndex);  // its index
bool deleteMacro(Block& block, int macro);
bool deleteParameter(Block& block, int macro, int param);
// The same without walking the block again: `layout` must be the block's
// current layout (as answered by macroLayout and not outdated by an edit).
std::optional<int> addMacro(Block& block, const MacroLayout& layout);
std::optional<int> addParameter(Block& block, const MacroLayout& layout, int macro,
                                int templateIndex);
bool deleteMacro(Block& block, const MacroLayout& layout, int macro);
bool deleteParameter(Block& block, const MacroLayout& layout, int macro, int param);

// Values shown in the list.
struct MacroView {
    std::string name;
    std::int16_t from = 0, to = 0;
    std::uint8_t kind = 0;
    std::int8_t group = -1;
    struct Param {
        int templateIndex;
        int offset;
    };
    std::vector<Param> params;
};
MacroView readMacro(ConstByteSpan block, const MacroLayout& layout, int macro);

std::string macroKindText(std::uint8_t kind);  // "Linear", "Random", "Absolute"

// In-place edits of one macro or parameter; answer false for bad indexes.
enum class MacroColumn { Name = 0, From = 1, To = 2, Type = 3, Group = 4 };
bool setMacroText(Block& block, int macro, MacroColumn column, std::string_view text);
bool setMacroKind(Block& block, int macro, int kind);
bool setParameterOffset(Block& block, int macro, int param, std::string_view text);
bool setParameterTemplate(Block& block, int macro, int param, int templateIndex);

// The group a typed text stores: empty gives 255 (no group); otherwise the
// low 8 bits of the number, as a signed number, clamped into 0..95.
std::uint8_t groupFromText(std::string_view text);
// The offset a typed text stores: 16 bits, negative ones become 0.
std::uint16_t parameterOffsetFromText(std::string_view text);

}  // namespace sf
