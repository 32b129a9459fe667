// The patch information descriptor block (1040 bytes): four descriptors, each
// a reference template, an offset and 16 rows pairing a value with a tag.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "patchtools/macrodata.h"

namespace sf {

namespace patch_info {
inline constexpr std::size_t kBlockSize = 1040;
inline constexpr int kDescriptors = 4;
inline constexpr int kRows = 16;
inline constexpr std::size_t kReferences = 0;
inline constexpr std::size_t kOffsets = 8;
inline constexpr std::size_t kValues = 16;
inline constexpr std::size_t kTags = 80;
inline constexpr std::size_t kTagSize = 15;
inline constexpr int kTagChars = 13;
}  // namespace patch_info

// 1040 zero bytes with the four references at -1.
Block freshPatchInfo();

// Accessors; descriptor 0..3, row 0..15. A block shorter than 1040 bytes
// reads as -1 / 0 / empty and ignores writes.
int patchInfoReference(const Block& b, int descriptor);
void setPatchInfoReference(Block& b, int descriptor, int reference);
int patchInfoOffset(const Block& b, int descriptor);
std::int8_t patchInfoValue(const Block& b, int descriptor, int row);
std::string patchInfoTag(const Block& b, int descriptor, int row);

// In-place edits of a row: the value is the typed number's low 8 bits; the tag
// keeps at most 13 characters.
void setPatchInfoValue(Block& b, int descriptor, int row, std::string_view text);
void setPatchInfoTag(Block& b, int descriptor, int row, std::string_view text);

// "%d" when the number is 0 or more, else empty (offsets, values, groups).
std::string nonNegativeText(int value);

// Opening the descriptor dialog: a duplicate with a block (a fresh one when
// the module has none).
MacroData openPatchInfo(const MacroData& data);
// OK of the descriptor dialog: the offsets of descriptors 0 and 1 are read
// from their boxes; a block whose first two references are both unset is
// dropped. `target` becomes `edited`.
void acceptPatchInfo(MacroData& target, MacroData edited, std::string_view offset0,
                     std::string_view offset1);

// The macro filter inside the fixed data.
std::string filterGroupText(const MacroData& d, int value);  // value 0..95
void setFilterGroup(MacroData& d, int value, std::string_view text);
// OK of the filter dialog: the offset (leading digits; empty gives 0) and the
// AND mode (bit 0 of the flags; the other bits are kept).
void acceptFilter(MacroData& target, MacroData edited, std::string_view offsetText, bool andMode);

}  // namespace sf
