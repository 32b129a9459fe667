#include "driver/listdriver.h"

#include <algorithm>
#include <limits>

namespace sf {

namespace {
// Module 0 places of the values the generator fills in.
constexpr std::size_t kRowsInBank = 2736;          // "Number of rows in the bank"
constexpr std::size_t kColumnsInBank = 2738;       // "Number of columns in the bank"
constexpr std::size_t kPatchNameLength = 2746;     // "Number of characters in a patch name"
constexpr std::uint16_t kNamesOnlyBits = 0x0048;   // module type "Only display names"
constexpr std::uint16_t kSbTypeRom = 2;
constexpr std::uint16_t kSbEditableRomPatches = 0x0001;
// A bank name may use all 9 bytes of the name field; the reserved byte that
// follows it then serves as its terminator.
constexpr std::size_t kBankNameMax = 9;
// Bank select codes and first programs are stored in 16-bit fields whose
// typed range ends here; larger numbers are held at this limit rather than
// wrapped to an unrelated code.
constexpr std::uint32_t kCodeMax = 32767;

std::uint16_t clampTo(std::uint32_t v, std::uint32_t lo, std::uint32_t hi) {
    return static_cast<std::uint16_t>(std::clamp(v, lo, hi));
}
}  // namespace

std::uint32_t readUnsignedDecimal(std::string_view text) {
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > std::numeric_limits<std::uint32_t>::max()) return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(v);
}

std::unique_ptr<SourceRecord> generateListDriver(const ListDriverValues& values) {
    int subBanks = 0;
    for (const auto& row : values.banks)
        if (!row.name.empty()) ++subBanks;
    if (values.driverName.empty() || values.banks[0].name.empty()) return nullptr;

    std::unique_ptr<SourceRecord> r = newSource();
    constexpr int m = 0;
    const std::size_t base = rec::moduleBase(m);

    r->setModU16(m, rec::kModFlags, static_cast<std::uint16_t>(r->modU16(m, rec::kModFlags) | kNamesOnlyBits));
    const std::uint16_t rows = clampTo(readUnsignedDecimal(values.rows), 1, 128);
    const std::uint16_t columns = clampTo(readUnsignedDecimal(values.columns), 1, 128);
    r->setModU16(m, kRowsInBank, rows);
    r->setModU16(m, kColumnsInBank, columns);
    r->setModU16(m, kPatchNameLength, clampTo(readUnsignedDecimal(values.patchNameLength), 8, 64));
    r->setModU16(m, rec::kModSubBankCount, static_cast<std::uint16_t>(subBanks));
    r->setModU16(m, rec::kModPatchesPerSubBank, static_cast<std::uint16_t>(rows * columns));

    for (int s = 0; s < kListDriverRows; ++s) {
        const auto& row = values.banks[static_cast<std::size_t>(s)];
        const std::size_t sb = base + rec::subBankBase(s);
        // Name: up to 9 bytes, zero-filled, terminator in the following byte.
        r->setText(sb + rec::kSbName, kBankNameMax + 1, row.name);
        r->setU16(sb + rec::kSbBankCode, clampTo(readUnsignedDecimal(row.bankSelect), 0, kCodeMax));
        r->setU16(sb + rec::kSbPatchStart, clampTo(readUnsignedDecimal(row.firstProgram), 0, kCodeMax));
        r->setU16(sb + rec::kSbType, kSbTypeRom);
        r->setU16(sb + rec::kSbFlags, static_cast<std::uint16_t>(r->u16(sb + rec::kSbFlags) | kSbEditableRomPatches));
    }
    return r;
}

}  // namespace sf
