// ROM patch names of a sub-bank.
//
// A ROM sub-bank holds patches whose names cannot be dumped from the
// instrument, so the driver carries them as a block in the sub-bank's block
// slot: P records of C + 4 × K bytes (C name bytes padded with blanks, then K
// child entries of 4 bytes when the module is the parent instrument's module).
// The dialog edits the block as text, one line per patch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "framework/bytes.h"
#include "framework/prompter.h"
#include "source/record.h"

namespace sf {

// Bounds of the shape. A block is stored with a 16-bit size, so no shape may
// need more than kRomMaxBlockSize bytes (8191 names of 8 bytes); the list
// driver generator alone declares up to 16384 patches per sub-bank.
inline constexpr int kRomMaxChars = 128;
inline constexpr int kRomMaxParts = 16;
inline constexpr std::size_t kRomMaxBlockSize = 65535;

// P, C and K of a ROM names block.
struct RomNamesShape {
    int patches = 0;  // P
    int chars = 0;    // C
    int parts = 0;    // K

    std::size_t recordSize() const;  // C + 4 × K
    std::size_t blockSize() const;   // P × (C + 4 × K)
    // The block fits its 16-bit stored size.
    bool fits() const { return blockSize() <= kRomMaxBlockSize; }
};

// The shape of the ROM names of a sub-bank of `module`. The values are read
// from the record and clamped to 0..32767, 0..128 and 0..16 (a damaged record
// reads as negative numbers).
RomNamesShape romNamesShape(const SourceRecord& r, int module);

// Why a shape that does not fit can hold no names; empty when it fits.
std::string romNamesTooLarge(const RomNamesShape& shape);

// A block of P fresh records: C blanks, then child entries 3, 0, 0, k.
// Empty for a shape that does not fit.
Block freshRomNames(const RomNamesShape& shape);

// The dialog's text of a block: one line per record, each ended by CR LF.
// A block whose size does not fit the shape shows as an empty text.
std::string romNamesText(ConstByteSpan block, const RomNamesShape& shape);

// Result of reading the text: the block without `check`, or the report (empty
// when nothing is wrong) with `check`. A shape that does not fit gives no
// block in either case, and romNamesTooLarge() as the report.
struct RomNamesResult {
    std::optional<Block> block;
    std::string report;
};
RomNamesResult parseRomNames(std::string_view text, int patches, int chars, int parts, bool check);
RomNamesResult parseRomNames(std::string_view text, const RomNamesShape& shape, bool check);

// Replaces the ROM names block of a sub-bank (0..15) of a module (0..15).
void storeRomNames(SourceRecord& r, int module, int subBank, Block block);

// Reads a names file: its first 12 bytes are skipped and the rest is taken as
// a block, which must have exactly the size of the shape. Answers the block's
// text form, or why the file was not taken (a size that does not fit gives
// the sizes found and expected).
struct RomNamesImport {
    std::optional<std::string> text;
    std::string problem;  // set when there is no text
};
RomNamesImport importRomNamesFile(const std::filesystem::path& path, const RomNamesShape& shape);

// State and actions of the "ROM patch names" dialog. It works on a copy: the
// record is only touched by apply() after OK.
class PatchNameEditor {
  public:
    PatchNameEditor(const SourceRecord& r, int module, int subBank, Prompter& prompter);

    const RomNamesShape& shape() const { return shape_; }
    int module() const { return module_; }
    int subBank() const { return subBank_; }

    // Content of the edit box.
    std::string text;

    // "&Check": shows the report, or "No problem found".
    void check();

    struct OkOutcome {
        bool close = false;
        std::string question;  // the question asked, empty when none was
    };
    // "OK": with problems asks whether to close anyway; on closing the text is
    // read into the result block. A shape too large for any block is refused
    // with its message and the dialog stays open.
    OkOutcome ok();
    // The block read on OK (empty before).
    const std::optional<Block>& result() const { return result_; }
    // Stores the result block into the sub-bank's slot; false when OK has not
    // produced one.
    bool apply(SourceRecord& r) const;

    // "Import": replaces the text with the names of a file. A file that is
    // not taken (unreadable, or of another size than the names need) leaves
    // the text as it was and says why.
    bool import(const std::filesystem::path& path);

  private:
    RomNamesShape shape_;
    int module_;
    int subBank_;
    Prompter& prompter_;
    std::optional<Block> result_;
};

}  // namespace sf
