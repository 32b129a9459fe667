#include "sysex/roland.h"

#include <cstdio>
#include <vector>

#include "sysex/message.h"

namespace sf {

namespace {
constexpr std::uint32_t kLastAccumulating = 0x1FFFFFF;

constexpr bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }
}  // namespace

std::string formatRoland(std::uint32_t value) {
    std::vector<std::uint8_t> groups;  // least significant first
    while (value >= 128) {
        groups.push_back(static_cast<std::uint8_t>(value & 0x7F));
        value >>= 7;
    }
    groups.push_back(static_cast<std::uint8_t>(value));

    std::string text;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        if (!text.empty()) text += ", ";
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(*it));
        text += buf;
    }
    return text;
}

std::uint32_t parseRoland(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t pos = 0;
    while (pos < text.size() && value <= kLastAccumulating) {
        while (pos < text.size() && isSeparator(text[pos])) ++pos;
        if (pos >= text.size()) break;
        std::size_t end = pos;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        std::string_view piece = text.substr(pos, end - pos);
        // A C-style "0x" in front of a group is tolerated.
        if (piece.size() > 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X'))
            piece.remove_prefix(2);
        std::uint32_t group = readMessageNumber(piece, 16);
        if (group > 0x7F) group = 0;
        // value <= 0x1FFFFFF here, so value * 128 + 127 cannot overflow.
        value = value * 128 + group;
        pos = end;
    }
    return value;
}

}  // namespace sf
