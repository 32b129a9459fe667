// The driver source record: one fixed-layout block of 70988 bytes (a 2732-byte
// header and 16 module records of 4266 bytes) plus the variable blocks that
// its block slots own.
//
// Numbers inside `bytes` are little-endian, whatever the host; always go
// through the accessors below (or sf::getLE16 and friends). The block slots of
// the record keep their 10 bytes (pointer, stored size, stored offset) in
// `bytes`, but in memory these bytes carry no meaning and are kept at zero:
// the owned block itself lives in `blocks`.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"

namespace sf {

namespace rec {
// Whole record.
inline constexpr std::size_t kRecordSize = 70988;
inline constexpr std::size_t kHeaderSize = 2732;
inline constexpr std::size_t kModuleSize = 4266;
inline constexpr int kModules = 16;
static_assert(kHeaderSize + kModuleSize * kModules == kRecordSize);

// Header (offsets from the start of the record).
inline constexpr std::size_t kMagic = 0;          // "DEV_SRCE", 8 bytes, no terminator
inline constexpr std::size_t kMagicSize = 8;
inline constexpr std::size_t kFormatVersion = 8;  // always written as 100
inline constexpr std::size_t kDriverVersion = 10;
inline constexpr std::size_t kModuleCount = 12;   // "Number of modules", 1..16
inline constexpr std::size_t kGeneralBlock = 10;  // 768 bytes, "General settings"
inline constexpr std::size_t kGeneralBlockSize = 768;
inline constexpr std::size_t kHelpLines = 238;  // 10 lines of 51 bytes
inline constexpr std::size_t kHelpLineSize = 51;
inline constexpr int kHelpLineCount = 10;
inline constexpr std::size_t kAsciiTable = 778;  // 128 bytes
inline constexpr std::size_t kAsciiTableSize = 128;
inline constexpr std::size_t kModeBlock = 906;  // 1150 bytes; 2 reserved bytes first
inline constexpr std::size_t kModeBlockSize = 1150;
inline constexpr std::size_t kInstrumentBlock = 2056;  // 476 bytes
inline constexpr std::size_t kInstrumentBlockSize = 476;
inline constexpr std::size_t kInstrumentFlags = 2056;
static_assert(kGeneralBlock + kGeneralBlockSize == kAsciiTable);
static_assert(kAsciiTable + kAsciiTableSize == kModeBlock);
static_assert(kModeBlock + kModeBlockSize == kInstrumentBlock);

// Module record (offsets from the start of the module).
constexpr std::size_t moduleBase(int module) {
    return kHeaderSize + kModuleSize * static_cast<std::size_t>(module);
}
inline constexpr std::size_t kModName = 0;  // 17 bytes; empty name = free slot
inline constexpr std::size_t kModNameSize = 17;
inline constexpr std::size_t kModFlags = 18;     // settings 108..111, 115, 116, 118
inline constexpr std::size_t kModHasMacro = 22;  // "Has a Macro editor": 0 or 1
inline constexpr std::size_t kModProtocolBlock = 58;  // 264 bytes
inline constexpr std::size_t kModPacketFlags = 60;    // 123 (0x1), 161 (0x2), 125 (0x4)
inline constexpr std::size_t kModPacketArea = 212;    // 80 bytes: packets or loop sets
inline constexpr std::size_t kModPacketAreaSize = 80;
inline constexpr std::size_t kModStructureBlock = 322;  // 246 bytes
inline constexpr std::size_t kModStructureFlags = 322;  // Queue 0x1, multi headers 0x2
inline constexpr std::size_t kModStructure = 324;       // setting 176
inline constexpr std::size_t kModDataStart = 330;       // 177
inline constexpr std::size_t kModTotalPatches = 344;    // 181
inline constexpr std::size_t kModPatchesAboveSize = 350;  // 183
inline constexpr std::size_t kModSharedSize = 352;        // 184 / 185 / 186
inline constexpr std::size_t kModLargePatches = 354;      // 187
inline constexpr std::size_t kModReceiveBlock = 568;      // 1044 bytes
inline constexpr std::size_t kModSendBlock = 1612;        // 1122 bytes
inline constexpr std::size_t kModDisplayBlock = 2734;     // 52 bytes
inline constexpr std::size_t kModSubBankBlock = 2786;     // 832 bytes; 2 reserved bytes first
inline constexpr std::size_t kModSubBankCount = 2788;     // setting 256
inline constexpr std::size_t kModPatchesPerSubBank = 2790;  // setting 257
inline constexpr std::size_t kModSubBanks = 2958;           // 16 records of 40 bytes
inline constexpr std::size_t kModPatchProtocolBlock = 3618;  // 38 bytes
inline constexpr std::size_t kModSendWriteBlock = 3676;      // 362 bytes
inline constexpr std::size_t kModConverter = 4038;           // ConverterProgram, 16 bytes
inline constexpr std::size_t kModMacroData = 4054;           // MacroEditorData, 196 bytes
inline constexpr std::size_t kMacroDataSize = 196;
inline constexpr std::size_t kModMacroFilter = kModMacroData + 44;  // 102 bytes
inline constexpr std::size_t kMacroFilterSize = 102;

// Sub-bank record (offsets inside the 40-byte record).
inline constexpr int kSubBanks = 16;
inline constexpr std::size_t kSubBankSize = 40;
inline constexpr std::size_t kSbName = 0;  // 9 bytes
inline constexpr std::size_t kSbNameSize = 9;
inline constexpr std::size_t kSbFlags = 10;  // 264 0x1, 270 0x2, 267 0x4
inline constexpr std::size_t kSbType = 12;   // 261: 0 RAM, 1 Card, 2 ROM
inline constexpr std::size_t kSbBankCode = 14;
inline constexpr std::size_t kSbExtraBankCode = 16;
inline constexpr std::size_t kSbPatchStart = 18;
inline constexpr std::size_t kSbRomNamesSlot = 20;
inline constexpr std::size_t kSbUnused = 30;
constexpr std::size_t subBankBase(int subBank) {
    return kModSubBanks + kSubBankSize * static_cast<std::size_t>(subBank);
}
static_assert(subBankBase(kSubBanks) + 20 == kModPatchProtocolBlock);  // 20 reserved bytes follow

// Block slots. A slot is 10 bytes: 32-bit pointer, 16-bit stored size,
// 32-bit stored offset (size and offset meaningful only in files).
inline constexpr std::size_t kSlotSize = 10;
inline constexpr std::size_t kSlotPointer = 0;
inline constexpr std::size_t kSlotStoredSize = 4;
inline constexpr std::size_t kSlotStoredOffset = 6;

// Slot numbering inside one module.
inline constexpr int kSlotRomNames0 = 0;  // 0..15: ROM patch names of sub-bank 0..15
inline constexpr int kSlotConverter = 16;
inline constexpr int kSlotTemplates = 17;
inline constexpr int kSlotMacros = 18;
inline constexpr int kSlotPatchInfo = 19;
inline constexpr int kSlotValueLists = 20;  // reserved block at macro data offset 34
inline constexpr int kSlotReserved = 21;    // reserved block at macro data offset 146
inline constexpr int kSlotsPerModule = 22;
inline constexpr int kMacroSlotCount = 5;

// Offset of slot `slot` from the start of its module record.
constexpr std::size_t slotOffset(int slot) {
    constexpr std::size_t macroSlots[kMacroSlotCount] = {4, 14, 24, 34, 146};
    if (slot < kSubBanks) return subBankBase(slot) + kSbRomNamesSlot;
    if (slot == kSlotConverter) return kModConverter + 6;
    return kModMacroData + macroSlots[slot - kSlotTemplates];
}
static_assert(slotOffset(kSlotTemplates) == 4058 && slotOffset(kSlotReserved) == 4200);
static_assert(slotOffset(kSlotConverter) == 4044);

// Converter program fields (module offsets).
inline constexpr std::size_t kModConverterCount = kModConverter + 0;
inline constexpr std::size_t kModConverterFinalSize = kModConverter + 2;
// Macro editor data fields (module offsets).
inline constexpr std::size_t kModMacroReserved = kModMacroData + 0;
inline constexpr std::size_t kModTemplateCount = kModMacroData + 2;
}  // namespace rec

using Block = std::vector<std::uint8_t>;

struct SourceRecord {
    std::array<std::uint8_t, rec::kRecordSize> bytes{};
    // Owned variable blocks, indexed by module * kSlotsPerModule + slot.
    std::array<std::optional<Block>, rec::kModules * rec::kSlotsPerModule> blocks{};

    ByteSpan data() { return ByteSpan(bytes); }
    ConstByteSpan data() const { return ConstByteSpan(bytes); }

    std::optional<Block>& block(int module, int slot) {
        return blocks.at(static_cast<std::size_t>(module * rec::kSlotsPerModule + slot));
    }
    const std::optional<Block>& block(int module, int slot) const {
        return blocks.at(static_cast<std::size_t>(module * rec::kSlotsPerModule + slot));
    }

    // Little-endian number access by absolute record offset.
    std::uint8_t u8(std::size_t off) const { return get8(data(), off); }
    std::uint16_t u16(std::size_t off) const { return getLE16(data(), off); }
    std::int16_t s16(std::size_t off) const { return getLE16s(data(), off); }
    std::uint32_t u32(std::size_t off) const { return getLE32(data(), off); }
    std::int32_t s32(std::size_t off) const { return getLE32s(data(), off); }
    void setU8(std::size_t off, std::uint8_t v) { put8(data(), off, v); }
    void setU16(std::size_t off, std::uint16_t v) { putLE16(data(), off, v); }
    void setU32(std::size_t off, std::uint32_t v) { putLE32(data(), off, v); }

    // Module-relative access.
    std::uint16_t modU16(int m, std::size_t off) const { return u16(rec::moduleBase(m) + off); }
    std::int16_t modS16(int m, std::size_t off) const { return s16(rec::moduleBase(m) + off); }
    void setModU16(int m, std::size_t off, std::uint16_t v) { setU16(rec::moduleBase(m) + off, v); }

    // Zero-terminated text of a fixed field.
    std::string_view text(std::size_t off, std::size_t size) const {
        return fieldText(data(), off, size);
    }
    // Stores at most size - 1 bytes of `t` and zero-fills the rest of the field.
    void setText(std::size_t off, std::size_t size, std::string_view t);
};

// Number of modules whose blocks are walked: "Number of modules" clamped to 0..16.
int walkedModuleCount(const SourceRecord& r);
// Number of sub-banks of a module whose blocks are walked: clamped to 0..16.
int walkedSubBankCount(const SourceRecord& r, int module);
// "Has a Macro editor" is exactly 1.
bool hasMacroEditor(const SourceRecord& r, int module);
// Calls fn(module, slot) for every block slot that copies, comparisons and
// saves walk, in file order: the ROM names of each sub-bank in use, the
// converter, then (with a macro editor) the five macro slots.
// The same walk over any reader of the record's 16-bit numbers: s16(offset)
// answers the host-order value at a record offset (the library search reads
// them straight from the file's bytes).
template <typename S16, typename Fn>
void forEachWalkedSlotOf(S16&& s16, Fn&& fn) {
    const int modules = std::clamp<int>(s16(rec::kModuleCount), 0, rec::kModules);
    for (int m = 0; m < modules; ++m) {
        const std::size_t base = rec::moduleBase(m);
        const int subBanks = std::clamp<int>(s16(base + rec::kModSubBankCount), 0, rec::kSubBanks);
        for (int s = 0; s < subBanks; ++s) fn(m, rec::kSlotRomNames0 + s);
        fn(m, rec::kSlotConverter);
        if (static_cast<std::uint16_t>(s16(base + rec::kModHasMacro)) == 1)
            for (int k = rec::kSlotTemplates; k <= rec::kSlotReserved; ++k) fn(m, k);
    }
}
template <typename Fn>
void forEachWalkedSlot(const SourceRecord& r, Fn&& fn) {
    forEachWalkedSlotOf([&r](std::size_t off) { return r.s16(off); }, fn);
}

// A record with the defaults of a new driver source.
std::unique_ptr<SourceRecord> newSource();
// Deep copy: every present block is duplicated, walked or not.
std::unique_ptr<SourceRecord> copyRecord(const SourceRecord& r);
// Equality as the document sees it: the fixed bytes (block slot bytes
// excluded) and the walked blocks.
bool sameRecord(const SourceRecord& a, const SourceRecord& b);
// Leading modules with a non-empty name, at most 16.
int validModuleCount(const SourceRecord& r);
// Data-structure normalisation of one module after a change of settings 175..192.
void normaliseStructure(SourceRecord& r, int module);

}  // namespace sf
