#include "patchtools/macrolist.h"

#include <algorithm>
#include <cstdio>

#include "framework/blanks.h"
#include "patchtools/macrodata.h"

namespace sf {

using namespace macro_list;

namespace {

constexpr std::size_t kTable = 2;

std::size_t tableEntry(int i) {
    return kTable + 4 * static_cast<std::size_t>(i);
}

// Adds `delta` to the table entries [from, to).
void shiftEntries(Block& b, int from, int to, std::int64_t delta) {
    for (int i = from; i < to; ++i) {
        const std::size_t at = tableEntry(i);
        putLE32(ByteSpan(b), at, static_cast<std::uint32_t>(getLE32(ConstByteSpan(b), at) + delta));
    }
}

struct Found {
    MacroLayout layout;
    MacroLayout::Macro macro;
};

// The layout of a consistent block and its macro `macro`, or nothing.
std::optional<Found> macroAt(ConstByteSpan block, int macro) {
    auto layout = macroLayout(block);
    if (!layout || macro < 0 || macro >= static_cast<int>(layout->macros.size()))
        return std::nullopt;
    const MacroLayout::Macro m = layout->macros[static_cast<std::size_t>(macro)];
    return Found{std::move(*layout), m};
}

constexpr const char* kDamaged = "The macro list is damaged and cannot be changed.";
constexpr const char* kTooLarge =
    "The macro list cannot grow any more: its block would exceed 65535 bytes.";

void putText(ByteSpan b, std::size_t off, std::size_t size, std::string_view text) {
    auto f = slice(b, off, size);
    std::fill(f.begin(), f.end(), std::uint8_t{0});
    std::copy_n(text.begin(), std::min(text.size(), size - 1), f.begin());
}

}  // namespace

std::optional<MacroLayout> macroLayout(ConstByteSpan b) {
    if (b.size() < kTable) return std::nullopt;
    const int count = getLE16(b, 0);
    if (count > kMaxMacros || !rangeFits(b.size(), kTable, 4 * static_cast<std::size_t>(count)))
        return std::nullopt;
    MacroLayout layout;
    layout.macros.reserve(static_cast<std::size_t>(count));
    std::size_t pos = tableEntry(count);
    for (int i = 0; i < count; ++i) {
        if (getLE32(b, tableEntry(i)) != pos || !rangeFits(b.size(), pos, kMacroHead))
            return std::nullopt;
        const std::size_t size = getLE16(b, pos + kSize);
        if (size < kMacroHead || !rangeFits(b.size(), pos, size)) return std::nullopt;
        const std::size_t params = getLE16(b, pos + kParamCount);
        MacroLayout::Macro m{pos, size, layout.params.size(), params};
        std::size_t p = pos + kMacroHead;
        const std::size_t end = pos + size;
        for (std::size_t j = 0; j < params; ++j) {
            if (!rangeFits(end, p, kParamHead)) return std::nullopt;
            const std::size_t psize = getLE16(b, p + kSize);
            if (psize != kParamHead + kPointSize * getLE16(b, p + kParamPoints) ||
                !rangeFits(end, p, psize))
                return std::nullopt;
            layout.params.push_back({p, psize});
            p += psize;
        }
        if (p != end) return std::nullopt;
        layout.macros.push_back(m);
        pos = end;
    }
    if (pos != b.size()) return std::nullopt;
    return layout;
}

Block emptyMacroList() {
    return Block(kTable, 0);
}

std::string refuseAddMacro(const MacroLayout& layout, std::size_t blockSize) {
    if (layout.macros.size() >= static_cast<std::size_t>(kMaxMacros))
        return "The macro list is full (1000 macros).";
    if (blockSize + 4 + kMacroHead > macro_data::kMaxBlockBytes) return kTooLarge;
    return {};
}

std::string refuseAddParameter(const MacroLayout& layout, std::size_t blockSize, int macro) {
    if (blockSize + kParamHead > macro_data::kMaxBlockBytes) return kTooLarge;
    // A record's own size is a 16-bit number too.
    if (macro >= 0 && macro < static_cast<int>(layout.macros.size()) &&
        layout.macros[static_cast<std::size_t>(macro)].size + kParamHead > 0xFFFF)
        return kTooLarge;
    return {};
}

std::string refuseAddMacro(ConstByteSpan block) {
    auto layout = macroLayout(block);
    return layout ? refuseAddMacro(*layout, block.size()) : kDamaged;
}

std::string refuseAddParameter(ConstByteSpan block) {
    auto layout = macroLayout(block);
    return layout ? refuseAddParameter(*layout, block.size(), -1) : kDamaged;
}

std::optional<int> addMacro(Block& b) {
    auto layout = macroLayout(b);
    return layout ? addMacro(b, *layout) : std::nullopt;
}

std::optional<int> addMacro(Block& b, const MacroLayout& layout) {
    if (!refuseAddMacro(layout, b.size()).empty()) return std::nullopt;
    const int count = getLE16(ConstByteSpan(b), 0);
    // The table grows by one entry, so every record moves up by 4 bytes.
    b.insert(b.begin() + static_cast<long>(tableEntry(count)), 4, std::uint8_t{0});
    shiftEntries(b, 0, count, 4);
    const std::size_t at = b.size();
    putLE32(ByteSpan(b), tableEntry(count), static_cast<std::uint32_t>(at));
    b.resize(at + kMacroHead, 0);
    ByteSpan s(b);
    putLE16(s, at + kSize, static_cast<std::uint16_t>(kMacroHead));
    put8(s, at + kGroup, 0xFF);
    char name[32];
    std::snprintf(name, sizeof name, "Untitled %d", count + 1);
    putText(s, at + kName, kNameSize, name);
    putLE16(s, 0, static_cast<std::uint16_t>(count + 1));
    return count;
}

std::optional<int> addParameter(Block& b, int macro, int templateIndex) {
    auto layout = macroLayout(b);
    return layout ? addParameter(b, *layout, macro, templateIndex) : std::nullopt;
}

std::optional<int> addParameter(Block& b, const MacroLayout& layoutOfB, int macro,
                                int templateIndex) {
    if (macro < 0 || macro >= static_cast<int>(layoutOfB.macros.size()) ||
        !refuseAddParameter(layoutOfB, b.size(), macro).empty())
        return std::nullopt;
    const MacroLayout::Macro* m = &layoutOfB.macros[static_cast<std::size_t>(macro)];
    const MacroLayout* layout = &layoutOfB;
    const std::size_t at = m->offset + m->size;
    b.insert(b.begin() + static_cast<long>(at), kParamHead, std::uint8_t{0});
    ByteSpan s(b);
    putLE16(s, at + kSize, static_cast<std::uint16_t>(kParamHead));
    putLE16(s, at + kParamTemplate, static_cast<std::uint16_t>(templateIndex));
    shiftEntries(b, macro + 1, static_cast<int>(layout->macros.size()),
                 static_cast<std::int64_t>(kParamHead));
    putLE16(s, m->offset + kSize, static_cast<std::uint16_t>(m->size + kParamHead));
    putLE16(s, m->offset + kParamCount, static_cast<std::uint16_t>(m->paramCount + 1));
    return static_cast<int>(m->paramCount);
}

bool deleteMacro(Block& b, int macro) {
    auto layout = macroLayout(b);
    return layout && deleteMacro(b, *layout, macro);
}

bool deleteMacro(Block& b, const MacroLayout& layoutOfB, int macro) {
    if (macro < 0 || macro >= static_cast<int>(layoutOfB.macros.size())) return false;
    const MacroLayout::Macro* m = &layoutOfB.macros[static_cast<std::size_t>(macro)];
    const MacroLayout* layout = &layoutOfB;
    const int count = static_cast<int>(layout->macros.size());
    b.erase(b.begin() + static_cast<long>(m->offset),
            b.begin() + static_cast<long>(m->offset + m->size));
    b.erase(b.begin() + static_cast<long>(tableEntry(macro)),
            b.begin() + static_cast<long>(tableEntry(macro) + 4));
    shiftEntries(b, 0, count - 1, -4);
    shiftEntries(b, macro, count - 1, -static_cast<std::int64_t>(m->size));
    putLE16(ByteSpan(b), 0, static_cast<std::uint16_t>(count - 1));
    return true;
}

bool deleteParameter(Block& b, int macro, int param) {
    auto layout = macroLayout(b);
    return layout && deleteParameter(b, *layout, macro, param);
}

bool deleteParameter(Block& b, const MacroLayout& layoutOfB, int macro, int param) {
    if (macro < 0 || macro >= static_cast<int>(layoutOfB.macros.size())) return false;
    const MacroLayout::Macro* m = &layoutOfB.macros[static_cast<std::size_t>(macro)];
    const MacroLayout* layout = &layoutOfB;
    if (param < 0 || param >= static_cast<int>(m->paramCount)) return false;
    const MacroLayout::Param p = layout->paramsOf(*m)[static_cast<std::size_t>(param)];
    b.erase(b.begin() + static_cast<long>(p.offset),
            b.begin() + static_cast<long>(p.offset + p.size));
    shiftEntries(b, macro + 1, static_cast<int>(layout->macros.size()),
                 -static_cast<std::int64_t>(p.size));
    ByteSpan s(b);
    putLE16(s, m->offset + kSize, static_cast<std::uint16_t>(m->size - p.size));
    putLE16(s, m->offset + kParamCount, static_cast<std::uint16_t>(m->paramCount - 1));
    return true;
}

MacroView readMacro(ConstByteSpan b, const MacroLayout& layout, int macro) {
    const MacroLayout::Macro& m = layout.macros.at(static_cast<std::size_t>(macro));
    MacroView v;
    v.name = std::string(fieldText(b, m.offset + kName, kNameSize));
    v.from = getLE16s(b, m.offset + kFrom);
    v.to = getLE16s(b, m.offset + kTo);
    v.kind = get8(b, m.offset + kKind);
    v.group = static_cast<std::int8_t>(get8(b, m.offset + kGroup));
    for (const auto& p : layout.paramsOf(m))
        v.params.push_back(
            {getLE16(b, p.offset + kParamTemplate), getLE16(b, p.offset + kParamOffset)});
    return v;
}

std::string macroKindText(std::uint8_t kind) {
    if (kind == 0) return "Linear";
    if (kind == 1) return "Random";
    return "Absolute";
}

std::uint8_t groupFromText(std::string_view text) {
    if (trimBlanks(text).empty()) return 0xFF;
    const auto low = static_cast<std::int8_t>(readTypedNumber(text) & 0xFF);
    return static_cast<std::uint8_t>(std::clamp<int>(low, 0, 95));
}

std::uint16_t parameterOffsetFromText(std::string_view text) {
    const auto v = static_cast<std::int16_t>(readTypedNumber(text) & 0xFFFF);
    return static_cast<std::uint16_t>(std::max<int>(v, 0));
}

bool setMacroText(Block& b, int macro, MacroColumn column, std::string_view text) {
    auto f = macroAt(b, macro);
    if (!f) return false;
    const MacroLayout::Macro* m = &f->macro;
    ByteSpan s(b);
    const auto number = static_cast<std::uint16_t>(readTypedNumber(text) & 0xFFFF);
    switch (column) {
        case MacroColumn::Name:
            putText(s, m->offset + kName, kNameSize, text.substr(0, kNameChars));
            return true;
        case MacroColumn::From:
            putLE16(s, m->offset + kFrom, number);
            return true;
        case MacroColumn::To:
            putLE16(s, m->offset + kTo, number);
            return true;
        case MacroColumn::Group:
            put8(s, m->offset + kGroup, groupFromText(text));
            return true;
        case MacroColumn::Type:
            return false;  // chosen from a menu
    }
    return false;
}

bool setMacroKind(Block& b, int macro, int kind) {
    auto f = macroAt(b, macro);
    if (!f || kind < 0 || kind > 2) return false;
    put8(ByteSpan(b), f->macro.offset + kKind, static_cast<std::uint8_t>(kind));
    return true;
}

bool setParameterOffset(Block& b, int macro, int param, std::string_view text) {
    auto f = macroAt(b, macro);
    if (!f || param < 0 || param >= static_cast<int>(f->macro.paramCount)) return false;
    putLE16(ByteSpan(b),
            f->layout.paramsOf(f->macro)[static_cast<std::size_t>(param)].offset + kParamOffset,
            parameterOffsetFromText(text.substr(0, kParamOffsetChars)));
    return true;
}

bool setParameterTemplate(Block& b, int macro, int param, int templateIndex) {
    auto f = macroAt(b, macro);
    if (!f || param < 0 || param >= static_cast<int>(f->macro.paramCount)) return false;
    putLE16(ByteSpan(b),
            f->layout.paramsOf(f->macro)[static_cast<std::size_t>(param)].offset + kParamTemplate,
            static_cast<std::uint16_t>(templateIndex));
    return true;
}

}  // namespace sf
