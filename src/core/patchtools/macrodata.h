// A module's macro editor data (196 fixed bytes and its five blocks) taken out
// of the record, so that the macro, template, filter and patch information
// dialogs can each work on their own duplicate and hand it back whole on OK.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "source/record.h"

namespace sf {

namespace macro_data {
inline constexpr std::size_t kTemplateCount = 2;
inline constexpr std::size_t kFilter = 44;  // 102 bytes
inline constexpr std::size_t kFilterReference = kFilter + 0;
inline constexpr std::size_t kFilterOffset = kFilter + 2;
inline constexpr std::size_t kFilterFlags = kFilter + 4;
inline constexpr std::size_t kFilterGroups = kFilter + 6;  // 96 signed bytes
inline constexpr int kFilterValues = 96;
// The largest block a 16-bit stored size (file and compiled driver) can carry.
inline constexpr std::size_t kMaxBlockBytes = 0xFFFF;
}  // namespace macro_data

struct MacroData {
    std::array<std::uint8_t, rec::kMacroDataSize> fixed{};
    std::optional<Block> templates;
    std::optional<Block> macros;
    std::optional<Block> patchInfo;
    std::optional<Block> valueLists;  // reserved, carried unchanged
    std::optional<Block> reserved;    // reserved, carried unchanged

    // Duplicates the module's data and blocks.
    static MacroData fromModule(const SourceRecord& r, int module);
    // Replaces the module's data and blocks by these (the old blocks go).
    void storeInto(SourceRecord& r, int module) const;

    std::uint16_t u16(std::size_t off) const;
    std::int16_t s16(std::size_t off) const { return static_cast<std::int16_t>(u16(off)); }
    void setU16(std::size_t off, std::uint16_t v);

    // templateCount as stored.
    int templateCount() const { return u16(macro_data::kTemplateCount); }
    void setTemplateCount(int n) {
        setU16(macro_data::kTemplateCount, static_cast<std::uint16_t>(n));
    }
    // The templates that really exist: templateCount bounded by the block.
    int usableTemplateCount() const;
    // Name of template `index`, empty when there is no such template.
    std::string templateName(int index) const;

    friend bool operator==(const MacroData&, const MacroData&) = default;
};

// Number reading shared by the list dialogs' edit boxes: leading blanks, an
// optional sign, decimal digits up to the first other character; no digits
// read as 0. The value wraps like unsigned 32-bit arithmetic.
std::int32_t readTypedNumber(std::string_view text);

}  // namespace sf
