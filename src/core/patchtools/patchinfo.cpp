#include "patchtools/patchinfo.h"

#include <algorithm>

#include "framework/bytes.h"

namespace sf {

using namespace patch_info;

namespace {

bool usable(const Block& b, int descriptor) {
    return b.size() >= kBlockSize && descriptor >= 0 && descriptor < kDescriptors;
}
bool usable(const Block& b, int descriptor, int row) {
    return usable(b, descriptor) && row >= 0 && row < kRows;
}
std::size_t valueAt(int d, int row) {
    return kValues + static_cast<std::size_t>(d * kRows + row);
}
std::size_t tagAt(int d, int row) {
    return kTags + kTagSize * static_cast<std::size_t>(d * kRows + row);
}

}  // namespace

Block freshPatchInfo() {
    Block b(kBlockSize, 0);
    for (int d = 0; d < kDescriptors; ++d) putLE16(ByteSpan(b), kReferences + 2 * d, 0xFFFF);
    return b;
}

int patchInfoReference(const Block& b, int d) {
    return usable(b, d) ? getLE16s(ConstByteSpan(b), kReferences + 2 * static_cast<std::size_t>(d))
                        : -1;
}

void setPatchInfoReference(Block& b, int d, int reference) {
    if (usable(b, d))
        putLE16(ByteSpan(b), kReferences + 2 * static_cast<std::size_t>(d),
                static_cast<std::uint16_t>(reference));
}

int patchInfoOffset(const Block& b, int d) {
    return usable(b, d) ? getLE16s(ConstByteSpan(b), kOffsets + 2 * static_cast<std::size_t>(d))
                        : -1;
}

std::int8_t patchInfoValue(const Block& b, int d, int row) {
    return usable(b, d, row) ? static_cast<std::int8_t>(b[valueAt(d, row)]) : std::int8_t{-1};
}

std::string patchInfoTag(const Block& b, int d, int row) {
    if (!usable(b, d, row)) return {};
    return std::string(fieldText(ConstByteSpan(b), tagAt(d, row), kTagSize));
}

void setPatchInfoValue(Block& b, int d, int row, std::string_view text) {
    if (usable(b, d, row))
        b[valueAt(d, row)] = static_cast<std::uint8_t>(readTypedNumber(text) & 0xFF);
}

void setPatchInfoTag(Block& b, int d, int row, std::string_view text) {
    if (!usable(b, d, row)) return;
    auto f = slice(ByteSpan(b), tagAt(d, row), kTagSize);
    std::fill(f.begin(), f.end(), std::uint8_t{0});
    text = text.substr(0, kTagChars);
    std::copy(text.begin(), text.end(), f.begin());
}

std::string nonNegativeText(int value) {
    return value >= 0 ? std::to_string(value) : std::string();
}

MacroData openPatchInfo(const MacroData& data) {
    MacroData copy = data;
    if (!copy.patchInfo || copy.patchInfo->size() < kBlockSize) copy.patchInfo = freshPatchInfo();
    return copy;
}

void acceptPatchInfo(MacroData& target, MacroData edited, std::string_view offset0,
                     std::string_view offset1) {
    target = std::move(edited);
    if (!target.patchInfo) return;
    Block& b = *target.patchInfo;
    putLE16(ByteSpan(b), kOffsets, static_cast<std::uint16_t>(readTypedNumber(offset0)));
    putLE16(ByteSpan(b), kOffsets + 2, static_cast<std::uint16_t>(readTypedNumber(offset1)));
    if (patchInfoReference(b, 0) < 0 && patchInfoReference(b, 1) < 0) target.patchInfo.reset();
}

std::string filterGroupText(const MacroData& d, int value) {
    if (value < 0 || value >= macro_data::kFilterValues) return {};
    return nonNegativeText(static_cast<std::int8_t>(
        d.fixed[macro_data::kFilterGroups + static_cast<std::size_t>(value)]));
}

void setFilterGroup(MacroData& d, int value, std::string_view text) {
    if (value < 0 || value >= macro_data::kFilterValues) return;
    d.fixed[macro_data::kFilterGroups + static_cast<std::size_t>(value)] =
        static_cast<std::uint8_t>(readTypedNumber(text) & 0xFF);
}

void acceptFilter(MacroData& target, MacroData edited, std::string_view offsetText, bool andMode) {
    target = std::move(edited);
    target.setU16(macro_data::kFilterOffset,
                  static_cast<std::uint16_t>(readTypedNumber(offsetText)));
    auto flags = static_cast<std::uint16_t>(target.u16(macro_data::kFilterFlags) & ~1u);
    if (andMode) flags |= 1;
    target.setU16(macro_data::kFilterFlags, flags);
}

}  // namespace sf
