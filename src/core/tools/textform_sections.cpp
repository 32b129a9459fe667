// Reading a section of the text into its block.
#include <algorithm>
#include <initializer_list>

#include "framework/cp1252.h"
#include "source/romnames.h"
#include "tools/settingbytes.h"
#include "tools/textform.h"
#include "tools/textform_blocks.h"

namespace sf::textform {

const char* sectionWord(SectionKind k) {
    for (const auto& n : kSectionNames)
        if (n.kind == k) return n.word;
    return "";
}

int slotOf(SectionKind k, int subBank) {
    switch (k) {
        case SectionKind::RomNames:
            return rec::kSlotRomNames0 + subBank;
        case SectionKind::Converter:
            return rec::kSlotConverter;
        case SectionKind::Templates:
            return rec::kSlotTemplates;
        case SectionKind::Macros:
            return rec::kSlotMacros;
        case SectionKind::PatchInfo:
            return rec::kSlotPatchInfo;
        case SectionKind::ValueLists:
            return rec::kSlotValueLists;
        case SectionKind::Reserved:
            return rec::kSlotReserved;
        case SectionKind::Filter:
            return -1;
    }
    return -1;
}

std::string hexLines(ConstByteSpan bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += hexByte(bytes[i]);
        out += (i % 16 == 15 || i + 1 == bytes.size()) ? '\n' : ' ';
    }
    return out;
}

namespace {

const Token* findAttr(const std::vector<Token>& attrs, std::string_view key) {
    for (const Token& t : attrs)
        if (t.key == key) return &t;
    return nullptr;
}

Block parseHexLines(const Section& s, std::size_t size) {
    Block out;
    out.reserve(size);
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        std::string_view line = trim(s.lines[i]);
        while (!line.empty()) {
            const auto sp = line.find_first_of(" \t");
            const std::string_view piece = line.substr(0, sp);
            const auto v = hexPair(piece);
            if (!v)
                throw SourceTextError(s.lineNumbers[i],
                                      "\"" + std::string(piece) + "\" is not a hex byte");
            out.push_back(static_cast<std::uint8_t>(*v));
            line = sp == std::string_view::npos ? std::string_view() : trim(line.substr(sp));
        }
    }
    if (out.size() != size)
        throw SourceTextError(s.line, std::string(sectionWord(s.kind)) + " block of " +
                                          std::to_string(size) + " bytes expected, " +
                                          std::to_string(out.size()) + " given");
    return out;
}

std::optional<std::size_t> hexSize(const Section& s) {
    bool hex = false;
    for (const Token& t : s.attributes) hex = hex || (!t.hasValue && t.key == "hex");
    if (!hex) return std::nullopt;
    const Token* size = findAttr(s.attributes, "size");
    if (!size || !size->hasValue) throw SourceTextError(s.line, "a hex block needs size=N");
    try {
        return static_cast<std::size_t>(numberIn(size->value(), 1, 65535, "size"));
    } catch (const std::string& m) {
        throw SourceTextError(s.line, m);
    }
}

void checkAttributes(const Section& s, std::initializer_list<std::string_view> allowed) {
    for (const Token& t : s.attributes) {
        if (std::find(allowed.begin(), allowed.end(), t.key) == allowed.end())
            throw SourceTextError(s.line, "unknown word \"" + std::string(t.key) + "\"");
    }
}

template <typename Fn>
void eachLine(const Section& s, Fn&& fn) {
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        try {
            fn(s.lines[i]);
        } catch (const std::string& m) {
            throw SourceTextError(s.lineNumbers[i], m);
        }
    }
}

}  // namespace

std::optional<Block> readSection(const Section& s, SourceRecord& r) {
    const int m = s.ref.index1;
    const auto hex = hexSize(s);
    auto number = [&](const char* key, std::int64_t min,
                      std::int64_t max) -> std::optional<std::int64_t> {
        const Token* t = findAttr(s.attributes, key);
        if (!t) return std::nullopt;
        try {
            if (!t->hasValue) throw std::string(std::string(key) + "=N expected");
            return numberIn(t->value(), min, max, key);
        } catch (const std::string& msg) {
            throw SourceTextError(s.line, msg);
        }
    };
    switch (s.kind) {
        case SectionKind::RomNames: {
            checkAttributes(s, {"hex", "size"});
            if (hex) return parseHexLines(s, *hex);
            std::string text;
            for (std::size_t i = 0; i < s.lines.size(); ++i) {
                std::string_view l = trim(s.lines[i]);
                if (l.empty() || l.front() != '|')
                    throw SourceTextError(s.lineNumbers[i], "a name line starts with \"|\"");
                l.remove_prefix(1);
                if (!l.empty() && l.front() == ' ') l.remove_prefix(1);
                text += utf8ToCp1252(l) + "\r\n";
            }
            const RomNamesShape shape = romNamesShape(r, m);
            const RomNamesResult checked = parseRomNames(text, shape, true);
            if (!checked.report.empty()) {
                std::string report = checked.report;
                std::replace(report.begin(), report.end(), '\n', ' ');
                throw SourceTextError(s.line, "ROM patch names: " + std::string(trim(report)));
            }
            return parseRomNames(text, shape, false).block;
        }
        case SectionKind::Converter: {
            checkAttributes(s, {"hex", "size", "count", "final-size"});
            const auto base = rec::moduleBase(m);
            Block ops;
            if (hex) {
                ops = parseHexLines(s, *hex);
            } else {
                eachLine(s, [&](const std::string& line) {
                    const auto tokens = tokenize(line);
                    if (tokens.empty()) return;
                    ops.resize(ops.size() + kOpSize);
                    parseOp(tokens, ByteSpan(ops).subspan(ops.size() - kOpSize));
                });
            }
            const auto count =
                number("count", 0, 65535).value_or(static_cast<std::int64_t>(ops.size() / kOpSize));
            r.setU16(base + rec::kModConverterCount, static_cast<std::uint16_t>(count));
            r.setU16(base + rec::kModConverterFinalSize,
                     static_cast<std::uint16_t>(number("final-size", -32768, 65535).value_or(0)));
            if (ops.empty()) return std::nullopt;
            return ops;
        }
        case SectionKind::Templates: {
            checkAttributes(s, {"hex", "size", "count"});
            Block t;
            if (hex) {
                t = parseHexLines(s, *hex);
            } else {
                eachLine(s, [&](const std::string& line) {
                    const auto tokens = tokenize(line);
                    if (tokens.empty()) return;
                    t.resize(t.size() + kTemplateSize);
                    parseTemplate(tokens, ByteSpan(t).subspan(t.size() - kTemplateSize));
                });
            }
            const auto count = number("count", 0, 65535)
                                   .value_or(static_cast<std::int64_t>(t.size() / kTemplateSize));
            r.setU16(rec::moduleBase(m) + rec::kModTemplateCount,
                     static_cast<std::uint16_t>(count));
            if (t.empty()) return std::nullopt;
            return t;
        }
        case SectionKind::Macros: {
            checkAttributes(s, {"hex", "size"});
            if (hex) return parseHexLines(s, *hex);
            std::vector<MacroDraft> macros;
            eachLine(s, [&](const std::string& line) { parseMacroLine(tokenize(line), macros); });
            try {
                return packMacros(macros);
            } catch (const std::string& msg) {
                throw SourceTextError(s.line, msg);
            }
        }
        case SectionKind::PatchInfo: {
            checkAttributes(s, {"hex", "size"});
            if (hex) return parseHexLines(s, *hex);
            Block b(kPatchInfoSize, 0);
            int descriptor = -1;
            eachLine(s, [&](const std::string& line) {
                parsePatchInfoLine(tokenize(line), b, descriptor);
            });
            return b;
        }
        case SectionKind::ValueLists: {
            checkAttributes(s, {"hex", "size"});
            if (hex) return parseHexLines(s, *hex);
            Block b(kValueListsSize, 0);
            eachLine(s, [&](const std::string& line) { parseValueListsLine(trim(line), b); });
            return b;
        }
        case SectionKind::Reserved:
            checkAttributes(s, {"hex", "size"});
            if (!hex) throw SourceTextError(s.line, "the reserved block is written as hex size=N");
            return parseHexLines(s, *hex);
        case SectionKind::Filter:
            parseFilter(s, slice(r.data(), rec::moduleBase(m) + rec::kModMacroFilter,
                                 rec::kMacroFilterSize));
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace sf::textform
