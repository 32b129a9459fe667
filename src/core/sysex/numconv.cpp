#include "sysex/numconv.h"

#include <cstdio>
#include <vector>

namespace sf {

namespace {

struct SizeRanges {
    int size;
    const char* signedRange;
    const char* unsignedRange;
    const char* hexRange;
};
constexpr SizeRanges kRanges[] = {
    {8, "(-128 / 127)", "(0 / 255)", "(0 / FF)"},
    {16, "(-32768 / 32767)", "(0 / 65535)", "(0 / FFFF)"},
    {32, "(-2147483648 / 2147483647)", "(0 / 4294967295)", "(0 / FFFFFFFF)"},
};

const SizeRanges& rangesOf(int size) {
    for (const auto& r : kRanges)
        if (r.size == size) return r;
    return kRanges[2];
}

struct FieldInfo {
    ConverterField field;
    const char* name;
    int limit;
};
constexpr FieldInfo kFields[] = {
    {ConverterField::Signed, "signed", 11},   {ConverterField::Unsigned, "unsigned", 10},
    {ConverterField::Hex, "hex", 8},          {ConverterField::Bits, "bits", 35},
    {ConverterField::Ascii, "ascii", 1},      {ConverterField::Roland, "roland", 31},
    {ConverterField::Nibbles, "nibbles", 31},
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Unsigned number in base 10 or 16 up to the first character that does not
// belong to it; saturates at `max` instead of wrapping.
std::uint64_t readUnsigned(std::string_view s, int base, std::uint64_t max) {
    std::uint64_t v = 0;
    for (char c : s) {
        const int d = base == 16 ? hexDigit(c) : (isDigit(c) ? c - '0' : -1);
        if (d < 0) break;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (v > max) v = max;
    }
    return v;
}

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::uint32_t readSigned(std::string_view s) {
    s = skipBlanks(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    constexpr std::uint64_t kMaxMagnitude = 0x80000000ULL;
    std::uint64_t m = readUnsigned(s, 10, kMaxMagnitude);
    if (!negative && m > 0x7FFFFFFFULL) m = 0x7FFFFFFFULL;
    const std::int64_t v = negative ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
}

std::vector<std::string_view> splitGroups(std::string_view s) {
    std::vector<std::string_view> pieces;
    std::size_t i = 0;
    const auto sep = [](char c) { return c == ' ' || c == ',' || c == ';'; };
    while (i < s.size()) {
        if (sep(s[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && !sep(s[j])) ++j;
        pieces.push_back(s.substr(i, j - i));
        i = j;
    }
    return pieces;
}

std::uint32_t maskOf(int size) {
    return size >= 32 ? 0xFFFFFFFFu : ((1u << size) - 1u);
}

}  // namespace

ConverterState& savedConverterState() {
    static ConverterState state;
    return state;
}

NumericConverter::NumericConverter(const ConverterState& state)
    : value_(state.value),
      size_(state.size == 8 || state.size == 16 ? state.size : 32),
      groupForm_(state.groupForm == 1 ? 1 : 0) {
    writeFields(-1);
}

const char* NumericConverter::signedRange() const { return rangesOf(size_).signedRange; }
const char* NumericConverter::unsignedRange() const { return rangesOf(size_).unsignedRange; }
const char* NumericConverter::hexRange() const { return rangesOf(size_).hexRange; }

std::string NumericConverter::signedText(std::uint32_t value, int size) {
    std::int32_t v;
    if (size == 8)
        v = static_cast<std::int8_t>(value & 0xFF);
    else if (size == 16)
        v = static_cast<std::int16_t>(value & 0xFFFF);
    else
        v = static_cast<std::int32_t>(value);
    return std::to_string(v);
}

std::string NumericConverter::bitsText(std::uint32_t value, int size) {
    std::string s;
    for (int bit = size - 1; bit >= 0; --bit) {
        s += ((value >> bit) & 1u) ? '1' : '0';
        if (bit % 8 == 0 && bit > 0) s += '-';
    }
    return s;
}

std::string NumericConverter::groupsText(std::uint32_t value, int groupBits, int groupForm) {
    const std::uint32_t mask = (1u << groupBits) - 1u;
    std::vector<std::uint32_t> groups;
    do {
        groups.push_back(value & mask);
        value >>= groupBits;
    } while (value != 0);
    std::string s;
    char buf[16];
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        if (!s.empty()) s += ", ";
        if (groupForm == 1)
            std::snprintf(buf, sizeof buf, "%u", *it);
        else
            std::snprintf(buf, sizeof buf, groupBits == 7 ? "%02X" : "%X", *it);
        s += buf;
    }
    return s;
}

void NumericConverter::writeFields(int except) {
    const auto put = [&](ConverterField f, std::string text) {
        if (static_cast<int>(f) != except) texts_[index(f)] = std::move(text);
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", value_);
    put(ConverterField::Signed, signedText(value_, size_));
    put(ConverterField::Unsigned, std::to_string(value_));
    put(ConverterField::Hex, hex);
    put(ConverterField::Bits, bitsText(value_, size_));
    asciiEnabled_ = value_ >= 0x20 && value_ <= 0x7F;
    put(ConverterField::Ascii, asciiEnabled_ ? std::string(1, static_cast<char>(value_)) : std::string());
    put(ConverterField::Roland, groupsText(value_, 7, groupForm_));
    put(ConverterField::Nibbles, groupsText(value_, 4, groupForm_));
}

std::uint32_t NumericConverter::readGroups(std::string_view text, int groupBits, int& beeps) const {
    const std::uint32_t groupMax = (1u << groupBits) - 1u;
    const std::uint32_t topBits = ~(0xFFFFFFFFu >> groupBits);
    std::uint32_t value = 0;
    for (std::string_view piece : splitGroups(text)) {
        std::uint64_t g = readUnsigned(piece, groupForm_ == 1 ? 10 : 16, 0xFFFFFFFFULL);
        if (g > groupMax) {
            ++beeps;
            g = 0;
        }
        if (value & topBits) {
            ++beeps;
            break;
        }
        value = (value << groupBits) | static_cast<std::uint32_t>(g);
    }
    return value;
}

void NumericConverter::widen() {
    const std::int32_t v = static_cast<std::int32_t>(value_);
    if (v < -32768 || v > 32767)
        size_ = 32;
    else if ((v < -128 || v > 127) && size_ == 8)
        size_ = 16;
}

int NumericConverter::textChanged(ConverterField f, std::string_view text) {
    if (updating()) return 0;
    int beeps = 0;
    std::uint32_t v = 0;
    switch (f) {
        case ConverterField::Signed: v = readSigned(text); break;
        case ConverterField::Unsigned:
            v = static_cast<std::uint32_t>(readUnsigned(skipBlanks(text), 10, 0xFFFFFFFFULL));
            break;
        case ConverterField::Hex:
            v = static_cast<std::uint32_t>(readUnsigned(skipBlanks(text), 16, 0xFFFFFFFFULL));
            break;
        case ConverterField::Bits: {
            int bit = 0;
            for (auto it = text.rbegin(); it != text.rend(); ++it) {
                if (*it != '0' && *it != '1') continue;
                if (*it == '1') {
                    if (bit >= 32) {
                        ++beeps;
                        break;
                    }
                    v |= 1u << bit;
                }
                ++bit;
            }
            break;
        }
        case ConverterField::Ascii:
            v = text.empty() ? 0 : static_cast<unsigned char>(text.front());
            break;
        case ConverterField::Roland: v = readGroups(text, 7, beeps); break;
        case ConverterField::Nibbles: v = readGroups(text, 4, beeps); break;
    }
    value_ = v;
    texts_[index(f)] = std::string(text);
    widen();
    writeFields(static_cast<int>(f));
    return beeps;
}

int NumericConverter::type(ConverterField f, std::string_view text) {
    return textChanged(f, filter(f, text));
}

void NumericConverter::chooseSize(int bits) {
    size_ = bits == 8 || bits == 16 ? bits : 32;
    value_ &= maskOf(size_);
    writeFields(-1);
}

void NumericConverter::chooseGroupForm(int form) {
    groupForm_ = form == 1 ? 1 : 0;
    writeFields(-1);
}

bool NumericConverter::accepts(ConverterField f, char ch) const {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;  // editing keys always pass
    switch (f) {
        case ConverterField::Signed: return isDigit(ch) || ch == '-';
        case ConverterField::Unsigned: return isDigit(ch);
        case ConverterField::Hex: return hexDigit(ch) >= 0;
        case ConverterField::Bits: return ch == '0' || ch == '1' || ch == ' ';
        case ConverterField::Ascii: return c <= 0x7F;
        case ConverterField::Roland:
        case ConverterField::Nibbles:
            if (ch == ',' || ch == ';' || ch == ' ') return true;
            return groupForm_ == 1 ? isDigit(ch) : hexDigit(ch) >= 0;
    }
    return false;
}

int NumericConverter::limit(ConverterField f) {
    for (const auto& info : kFields)
        if (info.field == f) return info.limit;
    return 0;
}

std::string NumericConverter::filter(ConverterField f, std::string_view text) const {
    std::string out;
    const auto max = static_cast<std::size_t>(limit(f));
    for (char c : text) {
        if (out.size() >= max) break;
        if (accepts(f, c)) out += c;
    }
    return out;
}

const char* converterFieldName(ConverterField field) {
    for (const auto& info : kFields)
        if (info.field == field) return info.name;
    return "";
}

bool converterFieldFromName(std::string_view name, ConverterField& field) {
    for (const auto& info : kFields)
        if (name == info.name) {
            field = info.field;
            return true;
        }
    return false;
}

}  // namespace sf
