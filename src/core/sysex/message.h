// SysEx message templates: units, tags, the one-line text form.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// A 16-bit message unit: code in the low byte, entry form in the high byte.
using MessageUnit = std::uint16_t;

namespace entry_form {
inline constexpr std::uint16_t Hex = 0x0000;  // hexadecimal or a tag
inline constexpr std::uint16_t Decimal = 0x4000;
inline constexpr std::uint16_t Quoted = 0x8000;
}  // namespace entry_form

inline constexpr std::uint8_t kEmptyCode = 0xFF;

struct MessageTag {
    std::uint8_t code;
    const char* name;
    const char* description;
};

// The 27 tags in code order.
std::span<const MessageTag> messageTags();
const MessageTag* findTagByCode(std::uint8_t code);
const MessageTag* findTagByName(std::string_view name);  // case-insensitive
bool isTagCode(std::uint8_t code);

// What a unit's code stands for: a literal byte (0x00-0xA0, 0xAF-0xF0, 0xF7),
// one of the tags, or the empty code 0xFF (no byte, shown as empty text).
enum class CodeClass { Literal, Tag, Empty };
CodeClass codeClass(std::uint8_t code);

// Process-wide hexadecimal prefix: 0 "0x", 1 "$" (default), 2 "&H".
int hexPrefixIndex();
void setHexPrefixIndex(int index);
const char* hexPrefix();
// hexPrefix() followed by the value in upper-case hexadecimal ("$F0", "0x0").
std::string formatHex(std::uint32_t value);

// Reads a number the way message pieces are read: leading white space, an
// optional sign, then the digits of `base` up to the first other character
// (no digits read as 0). A minus sign negates in unsigned 32-bit arithmetic
// ("-1" gives 0xFFFFFFFF) and too many digits wrap around.
std::uint32_t readMessageNumber(std::string_view text, int base);

// One-line text of the first `count` units (count clamped to units.size()).
std::string formatMessage(std::span<const MessageUnit> units, int count);

// Parses `text` into `units`: the first min(prefillCount, units.size()) units
// are set to 0x00FF first, then one unit per piece. Pieces beyond units.size()
// are dropped. Answers the number of units written.
//
// Pieces are separated by runs of "," and ";" and trimmed of blanks and tabs;
// empty pieces are skipped. A piece is, in this order of precedence: a quoted
// character ('A' -> 0x8041, codes above 127 get high byte 0xFF, a lone quote
// gives 0x8000); a tag name in any case (high byte 0); "$", "0x", "&h" or "&H"
// followed by a hexadecimal number (its low 16 bits); otherwise a decimal
// number (its low 8 bits with high byte 0x40). Nothing is refused: a piece
// that is not a number reads as the decimal 0 (0x4000).
int parseMessage(std::string_view text, std::span<MessageUnit> units, int prefillCount);

}  // namespace sf
