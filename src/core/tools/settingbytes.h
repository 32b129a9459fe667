// Where each row of the settings tree keeps its value, byte for byte, and how
// rows are named outside the tree: the REF text of the command line and the
// label path from the module down. Shared by the driver checker, the driver
// comparison and the text form of a source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

// The bytes of the record that hold one row's value: `size` bytes from
// `offset`; for a row that owns only some bits of a 1- or 2-byte number,
// `mask` names them (0: every bit).
struct RowBytes {
    std::size_t offset = 0;
    std::size_t size = 0;
    std::uint16_t mask = 0;
};

// The schema item of a setting id (a table lookup), or null.
const SettingItem* itemById(int id);

// Nothing for rows without a value of their own (groups, the computed sums,
// the dialog items, whose data are blocks) and for refs that address nothing.
std::optional<RowBytes> rowBytes(const SettingRef& ref);

// Whether two records hold the same value for the row (only its own bits).
bool sameRowValue(const SourceRecord& a, const SourceRecord& b, const RowBytes& bytes);
// Copies the row's own bits from `src` into `dst`.
void copyRowValue(SourceRecord& dst, const SourceRecord& src, const RowBytes& bytes);

// "ID", "ID:INDEX1" or "ID:INDEX1:INDEX2" (trailing -1 indices left out).
std::string refText(const SettingRef& ref);
// The ref of a REF text when it names a row of the settings tree of a
// source with sixteen modules; nothing otherwise.
std::optional<SettingRef> parseRefText(std::string_view text);

// The label path of every row: the labels of its ancestors below the root
// row and its own, joined by " / " ("Module 2 / Global settings / Name").
std::vector<std::string> labelPaths(const std::vector<TreeRow>& rows);

// The same as one-off lookup for a single ref (walks the tree of a source
// with enough modules).
std::string labelPath(const SettingRef& ref);

// Bit map of a header or module record (one mask per byte): the bits where
// some row's value or some block section's fixed field lives. Bits outside
// it have no meaning of their own (reserved words, spare bytes).
const std::vector<std::uint8_t>& headerOwnedBits();
const std::vector<std::uint8_t>& moduleOwnedBits();

// Module-relative fixed fields that belong to the block sections rather than
// to a row: the converter's count and final size, the template count and the
// macro filter.
inline constexpr std::size_t kConverterFieldsSize = 4;  // count, final size
inline constexpr std::size_t kTemplateCountSize = 2;

}  // namespace sf
