// The Roland 7-bit group notation of addresses and sizes ("01, 7F").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sf {

// The value cut into 7-bit groups, most significant first, each as two
// upper-case hexadecimal digits, joined by ", " (16384 gives "01, 00, 00";
// 0 gives "00").
std::string formatRoland(std::uint32_t value);

// Reads groups separated by blanks, commas or semicolons, each a hexadecimal
// number; a group above 0x7F counts as 0. value = value * 128 + group, and no
// further group is taken once the value exceeds 0x1FFFFFF, so the result
// always fits in 32 bits. Never fails: an empty text gives 0.
std::uint32_t parseRoland(std::string_view text);

}  // namespace sf
