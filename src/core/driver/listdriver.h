// The list driver generator: a new driver source for an instrument whose
// patches are only shown and selected by name (no dump), from the values
// typed into its dialog.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "source/record.h"

namespace sf {

inline constexpr int kListDriverRows = 16;

// The dialog's values, as typed (texts; numbers are read from them).
struct ListDriverValues {
    std::string driverName;
    std::string patchNameLength;
    std::string columns;
    std::string rows;
    struct BankRow {
        std::string name;
        std::string bankSelect;
        std::string firstProgram;
    };
    std::array<BankRow, kListDriverRows> banks{};
};

// Reads an unsigned decimal number: the leading digits of `text`, stopping
// at the first other character; an empty text reads as 0. Saturates at the
// largest uint32_t instead of wrapping.
std::uint32_t readUnsignedDecimal(std::string_view text);

// Builds the new source, or answers null when the driver name or the bank
// name of row 0 is empty (nothing is created then).
std::unique_ptr<SourceRecord> generateListDriver(const ListDriverValues& values);

}  // namespace sf
