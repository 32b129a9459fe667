#include "sysex/message.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>

#include "framework/blanks.h"

namespace sf {

namespace {

constexpr std::array<MessageTag, 27> kTags{{
    {0xA1, "WaitSox", "WaitSox (Wait for start of sysex)"},
    {0xA2, "WaitEox", "WaitEox (Wait for end of sysex)"},
    {0xA3, "Wait10", "Wait10 (Wait 10 ms)"},
    {0xA4, "Wait50", "Wait50 (Wait 50 ms)"},
    {0xA5, "Wait100", "Wait100 (Wait 100 ms)"},
    {0xA6, "Wait500", "Wait500 (Wait 500 ms)"},
    {0xA7, "Wait1000", "Wait1000 (Wait 1 sec)"},
    {0xA8, "Wait5000", "Wait5000 (Wait 5 sec)"},
    {0xA9, "Wait10000", "Wait10000 (Wait 10 sec)"},
    {0xAA, "Wait20000", "Wait20000 (Wait 20 sec)"},
    {0xAB, "AddNext", "AddNext (Add the 2 next values)"},
    {0xAC, "SizePack", "SizePack (Size packet)"},
    {0xAD, "MulNext", "MulNext (Multiply the 2 next values)"},
    {0xAE, "MulAdd", "MulAdd (Multiply/Add the 3 next value)"},
    {0xF1, "V3", "V3 (Generic variable 3)"},
    {0xF2, "V2", "V2 (Generic variable 2)"},
    {0xF3, "V1", "V1 (Generic variable 1)"},
    {0xF4, "SubIns", "SubIns (Sub instrument index)"},
    {0xF5, "Chk", "Chk (Checksum)"},
    {0xF6, "Chan", "Chan (Midi channel)"},
    {0xF8, "Flush", "Flush"},
    {0xF9, "Len", "Len (Length)"},
    {0xFA, "Adr", "Adr (Roland Address)"},
    {0xFB, "X2", "X2 (Loop index 2)"},
    {0xFC, "X1", "X1 (Loop index 1)"},
    {0xFD, "Head", "Head (default header)"},
    {0xFE, "Joker", "Joker (value depends on context)"},
}};

constexpr std::array<const char*, 3> kHexPrefixes{"0x", "$", "&H"};
constexpr int kDefaultHexPrefix = 1;

// Only the user-interface thread changes it, but reading it is cheap either way.
std::atomic<int> g_hexPrefixIndex{kDefaultHexPrefix};

constexpr char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// One piece of a message text turned into a unit.
MessageUnit pieceToUnit(std::string_view piece) {
    if (piece.front() == '\'') {
        if (piece.size() < 2) return entry_form::Quoted;
        const auto c = static_cast<std::uint8_t>(piece[1]);
        // Characters above 127 are marked with a full high byte so that they
        // can never be mistaken for an ordinary quoted character.
        return static_cast<MessageUnit>(c | (c > 127 ? 0xFF00 : entry_form::Quoted));
    }
    if (const MessageTag* tag = findTagByName(piece)) return tag->code;
    std::size_t skip = 0;
    if (piece.starts_with('$'))
        skip = 1;
    else if (piece.starts_with("0x") || piece.starts_with("&h") || piece.starts_with("&H"))
        skip = 2;
    if (skip != 0) return static_cast<MessageUnit>(readMessageNumber(piece.substr(skip), 16) & 0xFFFF);
    return static_cast<MessageUnit>(entry_form::Decimal | (readMessageNumber(piece, 10) & 0xFF));
}

}  // namespace

std::uint32_t readMessageNumber(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && (isBlank(text[i]) || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = lower(text[i]);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 10;
        else
            break;
        if (digit >= base) break;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    return negative ? 0u - value : value;
}

std::span<const MessageTag> messageTags() { return kTags; }

const MessageTag* findTagByCode(std::uint8_t code) {
    for (const MessageTag& t : kTags)
        if (t.code == code) return &t;
    return nullptr;
}

const MessageTag* findTagByName(std::string_view name) {
    for (const MessageTag& t : kTags)
        if (equalsNoCase(name, t.name)) return &t;
    return nullptr;
}

bool isTagCode(std::uint8_t code) { return findTagByCode(code) != nullptr; }

CodeClass codeClass(std::uint8_t code) {
    if (code == kEmptyCode) return CodeClass::Empty;
    return isTagCode(code) ? CodeClass::Tag : CodeClass::Literal;
}

int hexPrefixIndex() { return g_hexPrefixIndex.load(std::memory_order_relaxed); }

void setHexPrefixIndex(int index) {
    // The index comes from the settings file: anything unknown means the default.
    if (index < 0 || index >= static_cast<int>(kHexPrefixes.size())) index = kDefaultHexPrefix;
    g_hexPrefixIndex.store(index, std::memory_order_relaxed);
}

const char* hexPrefix() { return kHexPrefixes[static_cast<std::size_t>(hexPrefixIndex())]; }

std::string formatHex(std::uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
    return std::string(hexPrefix()) + buf;
}

std::string formatMessage(std::span<const MessageUnit> units, int count) {
    const std::size_t n =
        static_cast<std::size_t>(std::clamp<long long>(count, 0, static_cast<long long>(units.size())));
    std::string line;
    for (std::size_t i = 0; i < n; ++i) {
        const auto code = static_cast<std::uint8_t>(units[i] & 0xFF);
        // An empty unit still separates its neighbours, except at the very
        // start of the line.
        if (!line.empty()) line += ',';
        if (code == kEmptyCode) continue;
        if (const MessageTag* tag = findTagByCode(code))
            line += tag->name;
        else
            line += formatHex(code);
    }
    return line;
}

int parseMessage(std::string_view text, std::span<MessageUnit> units, int prefillCount) {
    const std::size_t prefill = static_cast<std::size_t>(
        std::clamp<long long>(prefillCount, 0, static_cast<long long>(units.size())));
    std::fill_n(units.begin(), prefill, static_cast<MessageUnit>(kEmptyCode));

    std::size_t written = 0;
    std::size_t pos = 0;
    while (pos <= text.size() && written < units.size()) {
        std::size_t end = text.find_first_of(",;", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = trimBlanks(text.substr(pos, end - pos));
        if (!piece.empty()) units[written++] = pieceToUnit(piece);
        pos = end + 1;
    }
    return static_cast<int>(written);
}

}  // namespace sf
