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

// Process-wide hexadecimal prefix: 0 "0x", 1 "$" (default), 2 "&H".
int hexPrefixIndex();
void setHexPrefixIndex(int index);
const char* hexPrefix();

// One-line text of the first `count` units (count clamped to units.size()).
std::string formatMessage(std::span<const MessageUnit> units, int count);

// Parses `text` into `units`: the first min(prefillCount, units.size()) units
// are set to 0x00FF first, then one unit per piece. Pieces beyond units.size()
// are dropped. Answers the number of units written.
int parseMessage(std::string_view text, std::span<MessageUnit> units, int prefillCount);

}  // namespace sf
