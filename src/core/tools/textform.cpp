#include "tools/textform.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "framework/cp1252.h"
#include "source/message_record.h"
#include "source/romnames.h"
#include "source/schema.h"
#include "source/sourcefile.h"
#include "source/valuetext.h"
#include "sysex/message.h"
#include "sysex/roland.h"
#include "tools/settingbytes.h"

namespace sf {

SourceTextError::SourceTextError(int line, const std::string& message)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + message : message),
      line_(line),
      message_(message) {}

namespace {

// ---------------------------------------------------------------------------
// Small text helpers.

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string hexByte(std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[b >> 4], kDigits[b & 15]};
}

std::string dollarHex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%X", static_cast<unsigned>(v));
    return buf;
}

// A whole number: decimal with an optional sign, or hexadecimal after "$",
// "0x" or "&H" (any case).
std::optional<std::int64_t> parseNumber(std::string_view s) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && (s.substr(0, 2) == "0x" || s.substr(0, 2) == "0X" ||
                                s.substr(0, 2) == "&h" || s.substr(0, 2) == "&H")) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s.size() > 12) return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size() || v < 0) return std::nullopt;
    return negative ? -v : v;
}

// Two hexadecimal digits.
std::optional<std::uint8_t> hexPair(std::string_view s) {
    if (s.size() != 2) return std::nullopt;
    unsigned v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + 2, v, 16);
    if (ec != std::errc() || ptr != s.data() + 2) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

// Texts of driver fields: Windows-1252 bytes shown as UTF-8 between quotes;
// the quote, the backslash, the zero byte, control bytes and the bytes the
// character set leaves undefined are escaped, so that every byte of the field
// (trailing zeros aside) is written.
std::string quoteBytes(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
    std::string out = "\"";
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 0) {
            out += "\\0";
        } else if (b == '"' || b == '\\') {
            out += '\\';
            out += ch;
        } else if (b < 0x20 || b == 0x7F || cp1252Undefined(b)) {
            out += "\\x" + hexByte(b);
        } else {
            out += cp1252ToUtf8(std::string_view(&ch, 1));
        }
    }
    out += '"';
    return out;
}

std::string quoteField(ConstByteSpan field) {
    return quoteBytes(std::string_view(reinterpret_cast<const char*>(field.data()), field.size()));
}

// Decodes a quoted text starting at s[pos] (the opening quote); answers the
// bytes and moves pos behind the closing quote. Throws a plain message.
std::string unquote(std::string_view s, std::size_t& pos) {
    std::string out, run;
    auto flush = [&] {
        out += utf8ToCp1252(run);
        run.clear();
    };
    ++pos;
    while (pos < s.size()) {
        const char ch = s[pos++];
        if (ch == '"') {
            flush();
            return out;
        }
        if (ch != '\\') {
            run += ch;
            continue;
        }
        flush();
        if (pos >= s.size()) break;
        const char e = s[pos++];
        if (e == '0') {
            out += '\0';
        } else if (e == '"' || e == '\\') {
            out += e;
        } else if (e == 'x' && pos + 2 <= s.size()) {
            const auto v = hexPair(s.substr(pos, 2));
            if (!v) throw std::string("bad escape \\x" + std::string(s.substr(pos, 2)));
            out += static_cast<char>(*v);
            pos += 2;
        } else {
            throw std::string("bad escape \\") + e;
        }
    }
    throw std::string("text without its closing quote");
}

// One word of a line form: `word`, `key=value`, `"text"` or `key="text"`.
// Views into the line it was read from, except a quoted text, which is kept
// decoded.
struct Token {
    std::string_view key;
    std::string_view text;
    std::string decoded;
    bool hasValue = false;
    bool quoted = false;
    std::string_view value() const { return quoted ? std::string_view(decoded) : text; }
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    while (true) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
        if (pos >= s.size()) break;
        Token t;
        if (s[pos] == '"') {
            t.decoded = unquote(s, pos);
            t.hasValue = t.quoted = true;
        } else {
            const std::size_t start = pos;
            while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '=' &&
                   s[pos] != '"')
                ++pos;
            t.key = s.substr(start, pos - start);
            if (pos < s.size() && s[pos] == '=') {
                ++pos;
                t.hasValue = true;
                if (pos < s.size() && s[pos] == '"') {
                    t.decoded = unquote(s, pos);
                    t.quoted = true;
                } else {
                    const std::size_t vs = pos;
                    while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t') ++pos;
                    t.text = s.substr(vs, pos - vs);
                }
            } else if (pos < s.size() && s[pos] == '"') {
                throw std::string("unexpected quote after \"" + std::string(t.key) + "\"");
            }
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

std::int64_t numberIn(std::string_view text, std::int64_t min, std::int64_t max,
                      std::string_view what) {
    const auto v = parseNumber(text);
    if (!v)
        throw std::string("\"" + std::string(text) + "\" is not a number (" + std::string(what) +
                          ")");
    if (*v < min || *v > max)
        throw std::string("value out of range: " + std::string(text) + " (" + std::string(what) +
                          " takes " + std::to_string(min) + " to " + std::to_string(max) + ")");
    return *v;
}

void putText(ByteSpan field, std::string_view bytes, std::string_view what) {
    if (bytes.size() > field.size())
        throw std::string("text too long for " + std::string(what) + " (" +
                          std::to_string(field.size()) + " bytes at most)");
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    std::copy(bytes.begin(), bytes.end(), field.begin());
}

// ---------------------------------------------------------------------------
// Values of the settings.

const ChoiceEntry kYesNo[] = {{0, "No", 62}, {1, "Yes", 61}, {0, nullptr, 0}};

const ChoiceEntry* choicesOf(const SettingItem& item) {
    if (item.choices) return item.choices;
    if (item.editor == Editor::YesNo || item.id == 11) return kYesNo;
    return nullptr;
}

// Choices kept as a group of bits of a shared word: the menu command of the
// entry that the bits stand for.
std::optional<int> bitChoiceCommand(int id, std::uint16_t bits) {
    struct Pattern {
        int id;
        std::uint16_t bits;
        int command;
    };
    static constexpr Pattern kPatterns[] = {
        {100, 0x0100, 70}, {100, 0x0200, 71}, {100, 0x0000, 72},
        {108, 0x0008, 70}, {108, 0x0000, 71}, {108, 0x0048, 72},
        {109, 0x0100, 70}, {109, 0x0020, 71}, {109, 0x0000, 72},
    };
    for (const auto& p : kPatterns)
        if (p.id == id && p.bits == bits) return p.command;
    return std::nullopt;
}

const char* entryText(const ChoiceEntry* list, int command) {
    for (const ChoiceEntry* e = list; e && e->text; ++e)
        if (e->command == command) return e->text;
    return nullptr;
}

std::uint32_t rawNumber(const SourceRecord& r, const RowBytes& b) {
    switch (b.size) {
        case 1:
            return r.u8(b.offset);
        case 2:
            return r.u16(b.offset);
        default:
            return r.u32(b.offset);
    }
}

void putRawNumber(SourceRecord& r, const RowBytes& b, std::uint32_t v) {
    switch (b.size) {
        case 1:
            r.setU8(b.offset, static_cast<std::uint8_t>(v));
            break;
        case 2:
            r.setU16(b.offset, static_cast<std::uint16_t>(v));
            break;
        default:
            r.setU32(b.offset, v);
            break;
    }
}

std::int64_t signedNumber(std::uint32_t raw, std::size_t width) {
    if (width == 1) return raw;
    if (width == 2) return static_cast<std::int16_t>(raw);
    return static_cast<std::int32_t>(raw);
}

bool isDecimal(Editor e) {
    return e == Editor::Decimal;
}

// A message as the message editor reads it back unit for unit: each unit in
// the form it was typed in (hexadecimal, decimal, a quoted character, a tag);
// a unit that no typed form gives is written as its whole 16-bit number.
std::string messageText(const std::vector<MessageUnit>& units) {
    std::string out;
    for (const MessageUnit u : units) {
        if (!out.empty()) out += ", ";
        const auto high = static_cast<std::uint8_t>(u >> 8);
        const auto code = static_cast<std::uint8_t>(u & 0xFF);
        const MessageTag* tag = high == 0 ? findTagByCode(code) : nullptr;
        const bool plainChar = code > 0x20 && code != 0x7F && code != ',' && code != ';' &&
                               code != '\'' && !cp1252Undefined(code);
        if (tag) {
            out += tag->name;
        } else if (high == 0x40) {
            out += std::to_string(code);
        } else if (plainChar && ((high == 0x80 && code < 0x80) || (high == 0xFF && code >= 0x80))) {
            out += '\'';
            out += cp1252ToUtf8(std::string(1, static_cast<char>(code)));
            out += '\'';
        } else {
            out += dollarHex(u);
        }
    }
    return out;
}

// The text of a row's value, or nothing when its notation cannot hold the
// stored value exactly (the bytes are then written as bytes without meaning).
std::optional<std::string> formatRow(const SourceRecord& r, const SettingRef& ref,
                                     const RowBytes& b) {
    const SettingItem& item = *ref.item;
    switch (item.kind) {
        case Kind::Text:
        case Kind::CharTable:
            return quoteField(slice(r.data(), b.offset, b.size));
        case Kind::Message: {
            const auto f = messageField(r, ref);
            if (!f) return std::nullopt;
            return messageText(readMessage(r, *f));
        }
        default:
            break;
    }
    const std::uint32_t raw = rawNumber(r, b);
    if (ref.id == 10) {
        const auto v = static_cast<std::int16_t>(raw);
        return dollarHex(static_cast<std::uint32_t>(v < 0 ? -static_cast<int>(v) : v));
    }
    if (ref.id == 11) return static_cast<std::int16_t>(raw) < 0 ? "Yes" : "No";
    if (b.mask != 0 && item.editor != Editor::Flag) {
        const auto command = bitChoiceCommand(ref.id, static_cast<std::uint16_t>(raw & b.mask));
        if (!command) return std::nullopt;
        const char* t = entryText(item.choices, *command);
        return t ? std::optional<std::string>(t) : std::nullopt;
    }
    switch (item.editor) {
        case Editor::Flag: {
            const ChoiceEntry* list = choicesOf(item);
            if (!list || !list[0].text || !list[1].text) return std::nullopt;
            return std::string((raw & b.mask) ? list[1].text : list[0].text);
        }
        case Editor::YesNo:
            if (raw > 1) return std::nullopt;
            return std::string(raw ? "Yes" : "No");
        case Editor::Choice: {
            const auto v = signedNumber(raw, b.size);
            for (const ChoiceEntry* e = item.choices; e && e->text; ++e)
                if (e->value == v) return std::string(e->text);
            return std::nullopt;
        }
        case Editor::Roland7:
            return formatRoland(raw);
        case Editor::HandshakeCode:
            if (raw == 0xFFFF) return std::string("none");
            if (raw > 127) return std::nullopt;
            return dollarHex(raw);
        case Editor::Decimal:
        case Editor::Unsigned:
        case Editor::Hex: {
            const std::int64_t v =
                isDecimal(item.editor) ? signedNumber(raw, b.size) : std::int64_t{raw};
            if (v < item.min || v > item.max) return std::nullopt;
            if (item.editor == Editor::Hex) return dollarHex(raw);
            const bool oneBased = item.has(setting_flag::OneBased);
            return std::to_string(v + (oneBased ? 1 : 0));
        }
        default:
            return std::nullopt;
    }
}

int choiceCommand(const SettingItem& item, const std::string& text) {
    const ChoiceEntry* list = choicesOf(item);
    for (const ChoiceEntry* e = list; e && e->text; ++e)
        if (equalsNoCase(text, e->text)) return e->command;
    std::string known;
    for (const ChoiceEntry* e = list; e && e->text; ++e) {
        known += known.empty() ? "" : ", ";
        known += e->text;
    }
    // The Value column writes setting 100's first entry with "Midi".
    throw std::string("\"" + text + "\" is not a choice of " + rowLabel(makeRef(item.id)) + " (" +
                      known + ")");
}

// Stores a row's text; throws a plain message and changes nothing when the
// text is wrong.
void applyRow(SourceRecord& r, const SettingRef& ref, const RowBytes& b,
              const std::string& valueText) {
    const SettingItem& item = *ref.item;
    const std::string_view what = item.name ? item.name : "";
    switch (item.kind) {
        case Kind::Text:
        case Kind::CharTable: {
            std::string bytes;
            if (!valueText.empty() && valueText.front() == '"') {
                std::size_t pos = 0;
                bytes = unquote(valueText, pos);
                if (!trim(std::string_view(valueText).substr(pos)).empty())
                    throw std::string("text after the closing quote");
            } else {
                bytes = utf8ToCp1252(valueText);
            }
            putText(slice(r.data(), b.offset, b.size), bytes, what);
            return;
        }
        case Kind::Message: {
            const auto f = messageField(r, ref);
            if (f) parseMessageField(r, *f, utf8ToCp1252(valueText));
            return;
        }
        default:
            break;
    }
    if (ref.id == 10) {
        const auto m = numberIn(valueText, 0, 32768, what);
        const bool negative = r.s16(b.offset) < 0;
        r.setU16(b.offset, static_cast<std::uint16_t>(negative ? -m : m));
        return;
    }
    if (ref.id == 11) {
        const bool yes = choiceCommand(item, valueText) == 61;
        const auto v = r.s16(b.offset);
        if ((v < 0) != yes && v != 0) r.setU16(b.offset, static_cast<std::uint16_t>(-v));
        return;
    }
    if ((b.mask != 0 && item.editor != Editor::Flag) || item.editor == Editor::Flag ||
        item.editor == Editor::Choice || item.editor == Editor::YesNo) {
        const int command = choiceCommand(item, valueText);
        if (item.editor == Editor::YesNo) {
            putRawNumber(r, b, command == 61 ? 1 : 0);
            return;
        }
        applyChoice(r, ref, command);
        return;
    }
    const std::int64_t widthMax = b.size == 1 ? 0xFF : b.size == 2 ? 0xFFFF : 0xFFFFFFFFLL;
    switch (item.editor) {
        case Editor::Roland7: {
            std::int64_t v = 0;
            std::string piece;
            auto take = [&] {
                if (piece.empty()) return;
                const auto g = piece.size() <= 2 ? hexPair(piece.size() == 1 ? "0" + piece : piece)
                                                 : std::nullopt;
                if (!g || *g > 0x7F)
                    throw std::string("\"" + piece + "\" is not a 7-bit group (00 to 7F)");
                v = v * 128 + *g;
                if (v > widthMax)
                    throw std::string("value out of range: " + valueText + " (" +
                                      std::string(what) + ")");
                piece.clear();
            };
            for (char ch : valueText) {
                if (ch == ' ' || ch == ',' || ch == ';' || ch == '\t')
                    take();
                else
                    piece += ch;
            }
            take();
            putRawNumber(r, b, static_cast<std::uint32_t>(v));
            return;
        }
        case Editor::HandshakeCode:
            if (valueText.empty() || equalsNoCase(valueText, "none")) {
                putRawNumber(r, b, 0xFFFF);
                return;
            }
            putRawNumber(r, b, static_cast<std::uint32_t>(numberIn(valueText, 0, 127, what)));
            return;
        case Editor::Decimal:
        case Editor::Unsigned:
        case Editor::Hex: {
            const bool oneBased = item.has(setting_flag::OneBased);
            const std::int64_t shift = oneBased ? 1 : 0;
            const auto v = numberIn(valueText, item.min + shift, item.max + shift, what) - shift;
            putRawNumber(r, b, static_cast<std::uint32_t>(v));
            return;
        }
        default:
            throw std::string("setting " + std::to_string(ref.id) + " has no value to set");
    }
}

// ---------------------------------------------------------------------------
// Block sections.

enum class SectionKind {
    RomNames,
    Converter,
    Templates,
    Macros,
    PatchInfo,
    ValueLists,
    Reserved,
    Filter
};

struct SectionName {
    SectionKind kind;
    const char* word;
};
constexpr SectionName kSectionNames[] = {
    {SectionKind::RomNames, "rom-names"},   {SectionKind::Converter, "converter"},
    {SectionKind::Templates, "templates"},  {SectionKind::Macros, "macros"},
    {SectionKind::PatchInfo, "patch-info"}, {SectionKind::ValueLists, "value-lists"},
    {SectionKind::Reserved, "reserved"},    {SectionKind::Filter, "filter"},
};

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

constexpr std::size_t kOpSize = 10;
constexpr std::size_t kTemplateSize = 28;
constexpr std::size_t kPatchInfoSize = 1040;
constexpr std::size_t kValueListsSize = 1632;

// A section as read: its header words and its content lines.
struct Section {
    SectionKind kind{};
    SettingRef ref;
    std::vector<Token> attributes;
    std::vector<std::string> lines;  // content, right-trimmed
    std::vector<int> lineNumbers;
    int line = 0;
};

const Token* findAttr(const std::vector<Token>& attrs, std::string_view key) {
    for (const Token& t : attrs)
        if (t.key == key) return &t;
    return nullptr;
}

std::string hexLines(ConstByteSpan bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += hexByte(bytes[i]);
        out += (i % 16 == 15 || i + 1 == bytes.size()) ? '\n' : ' ';
    }
    return out;
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

std::int16_t s16at(ConstByteSpan b, std::size_t off) {
    return getLE16s(b, off);
}
std::int8_t s8at(ConstByteSpan b, std::size_t off) {
    return static_cast<std::int8_t>(get8(b, off));
}

void addNumber(std::string& line, const char* key, std::int64_t v, bool always = false) {
    if (v == 0 && !always) return;
    line += ' ';
    line += key;
    line += '=';
    line += std::to_string(v);
}

// ---- converter operations ----

struct OpKey {
    const char* key;
    std::size_t offset;
    int width;  // 1 signed byte, 2 signed word, 3 unsigned byte
};
constexpr OpKey kOpGeneric[] = {{"arg1", 4, 2},       {"arg2", 6, 2},     {"arg3", 8, 2},
                                {"source-bit", 1, 1}, {"dest-bit", 2, 1}, {"reserved", 3, 3}};

struct OpType {
    int type;
    const char* word;
    OpKey keys[5];
};
constexpr OpType kOpTypes[] = {
    {1,
     "copy-bytes",
     {{"from", 4, 2}, {"to", 6, 2}, {"count", 8, 2}, {nullptr, 0, 0}, {nullptr, 0, 0}}},
    {2,
     "copy-bits",
     {{"from", 4, 2}, {"from-bit", 1, 1}, {"to", 6, 2}, {"to-bit", 2, 1}, {"bits", 8, 2}}},
    {3,
     "loop",
     {{"loops", 4, 2},
      {"source-step", 6, 2},
      {"dest-step", 8, 2},
      {nullptr, 0, 0},
      {nullptr, 0, 0}}},
    {4,
     "end-loop",
     {{nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}}},
};

std::int64_t opField(ConstByteSpan op, const OpKey& k) {
    if (k.width == 2) return s16at(op, k.offset);
    if (k.width == 1) return s8at(op, k.offset);
    return get8(op, k.offset);
}

std::string formatOp(ConstByteSpan op) {
    const int type = get8(op, 0);
    const OpType* t = nullptr;
    for (const auto& ot : kOpTypes)
        if (ot.type == type) t = &ot;
    std::string line = t ? t->word : "op type=" + std::to_string(type);
    std::set<std::size_t> shown;
    if (t) {
        for (const OpKey& k : t->keys) {
            if (!k.key) continue;
            addNumber(line, k.key, opField(op, k), true);
            shown.insert(k.offset);
        }
    }
    for (const OpKey& k : kOpGeneric)
        if (!shown.count(k.offset)) addNumber(line, k.key, opField(op, k));
    return line;
}

void parseOp(const std::vector<Token>& tokens, ByteSpan op) {
    if (tokens.empty() || tokens[0].hasValue) throw std::string("operation expected");
    const OpType* t = nullptr;
    for (const auto& ot : kOpTypes)
        if (tokens[0].key == ot.word) t = &ot;
    if (!t && tokens[0].key != "op")
        throw std::string("unknown operation \"" + std::string(tokens[0].key) + "\"");
    std::fill(op.begin(), op.end(), std::uint8_t{0});
    if (t) put8(op, 0, static_cast<std::uint8_t>(t->type));
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& tok = tokens[i];
        if (!t && tok.key == "type") {
            put8(op, 0, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, "type")));
            continue;
        }
        const OpKey* k = nullptr;
        if (t)
            for (const OpKey& ok : t->keys)
                if (ok.key && tok.key == ok.key) k = &ok;
        for (const OpKey& ok : kOpGeneric)
            if (!k && tok.key == ok.key) k = &ok;
        if (!k || !tok.hasValue) throw std::string("unknown word \"" + std::string(tok.key) + "\"");
        if (k->width == 2)
            putLE16(op, k->offset,
                    static_cast<std::uint16_t>(numberIn(tok.value(), -32768, 65535, tok.key)));
        else if (k->width == 1)
            put8(op, k->offset,
                 static_cast<std::uint8_t>(numberIn(tok.value(), -128, 255, tok.key)));
        else
            put8(op, k->offset, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, tok.key)));
    }
}

// ---- parameter templates ----

std::string formatTemplate(ConstByteSpan t) {
    std::string line = "template " + quoteField(slice(t, 10, 18));
    const int type = get8(t, 0);
    line += type == 1   ? " byte"
            : type == 2 ? " word"
            : type == 3 ? " bits"
                        : " type=" + std::to_string(type);
    addNumber(line, "bit-start", s8at(t, 1));
    addNumber(line, "bit-count", s8at(t, 2));
    const std::uint8_t flags = get8(t, 3);
    if (flags & 0x01) line += " signed";
    if (flags & 0x04) line += " little-endian";
    if (flags & ~0x05) line += " flags=" + dollarHex(flags & ~0x05u);
    addNumber(line, "min", s16at(t, 4), true);
    addNumber(line, "max", s16at(t, 6), true);
    addNumber(line, "def", s16at(t, 8), true);
    return line;
}

void parseTemplate(const std::vector<Token>& tokens, ByteSpan t) {
    if (tokens.empty() || tokens[0].key != "template") throw std::string("template expected");
    std::fill(t.begin(), t.end(), std::uint8_t{0});
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& tok = tokens[i];
        if (tok.quoted && tok.key.empty()) {
            putText(slice(t, 10, 18), tok.value(), "template name");
        } else if (!tok.hasValue && (tok.key == "byte" || tok.key == "word" || tok.key == "bits")) {
            put8(t, 0, tok.key == "byte" ? 1 : tok.key == "word" ? 2 : 3);
        } else if (!tok.hasValue && tok.key == "signed") {
            put8(t, 3, get8(t, 3) | 0x01);
        } else if (!tok.hasValue && tok.key == "little-endian") {
            put8(t, 3, get8(t, 3) | 0x04);
        } else if (tok.key == "type" && tok.hasValue) {
            put8(t, 0, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, "type")));
        } else if (tok.key == "flags" && tok.hasValue) {
            put8(t, 3,
                 static_cast<std::uint8_t>(get8(t, 3) | numberIn(tok.value(), 0, 255, "flags")));
        } else if ((tok.key == "bit-start" || tok.key == "bit-count") && tok.hasValue) {
            put8(t, tok.key == "bit-start" ? 1 : 2,
                 static_cast<std::uint8_t>(numberIn(tok.value(), -128, 127, tok.key)));
        } else if ((tok.key == "min" || tok.key == "max" || tok.key == "def") && tok.hasValue) {
            const std::size_t off = tok.key == "min" ? 4 : tok.key == "max" ? 6 : 8;
            putLE16(t, off,
                    static_cast<std::uint16_t>(numberIn(tok.value(), -32768, 32767, tok.key)));
        } else {
            throw std::string("unknown word \"" + std::string(tok.key) + "\"");
        }
    }
}

// ---- macro list ----

struct MacroField {
    const char* key;
    std::size_t offset;
    int width;  // 1 unsigned byte, 2 unsigned word
};
constexpr MacroField kMacroReserved[] = {
    {"res2", 2, 2}, {"res4", 4, 2}, {"res7", 7, 1}, {"res8", 8, 1}, {"res10", 10, 1}};
constexpr const char* kMacroKinds[] = {"linear", "random", "absolute"};

// Whether the list is packed as the editor keeps it: the offset table exact,
// every size consistent, nothing after the last macro.
bool wellFormedMacros(ConstByteSpan b) {
    if (b.size() < 2) return false;
    const std::size_t count = getLE16(b, 0);
    std::size_t at = 2 + 4 * count;
    if (at > b.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (getLE32(b, 2 + 4 * i) != at || !rangeFits(b.size(), at, 36)) return false;
        const std::size_t size = getLE16(b, at);
        const std::size_t params = getLE16(b, at + 34);
        std::size_t p = at + 36;
        for (std::size_t j = 0; j < params; ++j) {
            if (!rangeFits(b.size(), p, 8)) return false;
            const std::size_t psize = getLE16(b, p);
            if (psize != 8 + 10 * std::size_t{getLE16(b, p + 6)} || !rangeFits(b.size(), p, psize))
                return false;
            p += psize;
        }
        if (p - at != size) return false;
        at = p;
    }
    return at == b.size();
}

std::string formatMacros(ConstByteSpan b) {
    std::string out;
    const std::size_t count = getLE16(b, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = getLE32(b, 2 + 4 * i);
        std::string line = "macro " + quoteField(slice(b, at + 11, 19));
        addNumber(line, "from", s16at(b, at + 30), true);
        addNumber(line, "to", s16at(b, at + 32), true);
        const int kind = get8(b, at + 9);
        line += kind <= 2 ? std::string(" ") + kMacroKinds[kind] : " kind=" + std::to_string(kind);
        if (get8(b, at + 6) != 0xFF) addNumber(line, "group", get8(b, at + 6), true);
        for (const auto& f : kMacroReserved)
            addNumber(line, f.key,
                      f.width == 2 ? getLE16(b, at + f.offset) : get8(b, at + f.offset));
        out += line + '\n';
        std::size_t p = at + 36;
        for (std::size_t j = 0, params = getLE16(b, at + 34); j < params; ++j) {
            out += "param template=" + std::to_string(getLE16(b, p + 2)) +
                   " offset=" + std::to_string(getLE16(b, p + 4)) + '\n';
            for (std::size_t k = 0, points = getLE16(b, p + 6); k < points; ++k) {
                const std::size_t q = p + 8 + 10 * k;
                out += "point " + std::to_string(getLE16(b, q)) + ' ' +
                       std::to_string(getLE16(b, q + 2)) + ' ' + std::to_string(get8(b, q + 4)) +
                       ' ' + std::to_string(get8(b, q + 5)) + ' ' +
                       std::to_string(getLE16(b, q + 6)) + ' ' + std::to_string(getLE16(b, q + 8)) +
                       '\n';
            }
            p += 8 + 10 * getLE16(b, p + 6);
        }
    }
    return out;
}

// Macros are built into records first and packed at the end.
struct MacroDraft {
    Block head = Block(36, 0);
    std::vector<Block> params;
};

Block packMacros(const std::vector<MacroDraft>& macros) {
    Block b(2 + 4 * macros.size(), 0);
    putLE16(b, 0, static_cast<std::uint16_t>(macros.size()));
    for (std::size_t i = 0; i < macros.size(); ++i) {
        putLE32(b, 2 + 4 * i, static_cast<std::uint32_t>(b.size()));
        Block head = macros[i].head;
        std::size_t size = 36;
        for (const auto& p : macros[i].params) size += p.size();
        if (size > 0xFFFF) throw std::string("macro too large");
        putLE16(head, 0, static_cast<std::uint16_t>(size));
        putLE16(head, 34, static_cast<std::uint16_t>(macros[i].params.size()));
        b.insert(b.end(), head.begin(), head.end());
        for (const auto& p : macros[i].params) b.insert(b.end(), p.begin(), p.end());
    }
    return b;
}

void parseMacroLine(const std::vector<Token>& tokens, std::vector<MacroDraft>& macros) {
    if (tokens.empty()) return;
    const std::string_view word = tokens[0].key;
    if (word == "macro") {
        MacroDraft m;
        put8(m.head, 6, 0xFF);
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.quoted && t.key.empty()) {
                putText(slice(ByteSpan(m.head), 11, 19), t.value(), "macro name");
                continue;
            }
            bool done = false;
            for (int k = 0; k < 3; ++k)
                if (!t.hasValue && t.key == kMacroKinds[k]) {
                    put8(m.head, 9, static_cast<std::uint8_t>(k));
                    done = true;
                }
            for (const auto& f : kMacroReserved)
                if (t.hasValue && t.key == f.key) {
                    if (f.width == 2)
                        putLE16(m.head, f.offset,
                                static_cast<std::uint16_t>(numberIn(t.value(), 0, 65535, f.key)));
                    else
                        put8(m.head, f.offset,
                             static_cast<std::uint8_t>(numberIn(t.value(), 0, 255, f.key)));
                    done = true;
                }
            if (done) continue;
            if (t.hasValue && (t.key == "from" || t.key == "to")) {
                putLE16(m.head, t.key == "from" ? 30 : 32,
                        static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
            } else if (t.hasValue && t.key == "kind") {
                put8(m.head, 9, static_cast<std::uint8_t>(numberIn(t.value(), 0, 255, "kind")));
            } else if (t.hasValue && t.key == "group") {
                put8(m.head, 6, static_cast<std::uint8_t>(numberIn(t.value(), 0, 254, "group")));
            } else {
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            }
        }
        macros.push_back(std::move(m));
        return;
    }
    if (macros.empty()) throw std::string("\"" + std::string(word) + "\" before the first macro");
    if (word == "param") {
        Block p(8, 0);
        putLE16(p, 0, 8);
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (!t.hasValue || (t.key != "template" && t.key != "offset"))
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            putLE16(p, t.key == "template" ? 2 : 4,
                    static_cast<std::uint16_t>(numberIn(t.value(), 0, 65535, t.key)));
        }
        macros.back().params.push_back(std::move(p));
        return;
    }
    if (word == "point") {
        auto& params = macros.back().params;
        if (params.empty()) throw std::string("point before the first param");
        if (tokens.size() != 7) throw std::string("a point has six numbers");
        Block& p = params.back();
        const std::size_t q = p.size();
        p.resize(q + 10, 0);
        static constexpr std::size_t kOff[6] = {0, 2, 4, 5, 6, 8};
        for (int k = 0; k < 6; ++k) {
            const Token& t = tokens[static_cast<std::size_t>(k) + 1];
            if (t.hasValue) throw std::string("a point has six numbers");
            const bool byte = k == 2 || k == 3;
            const auto v = numberIn(t.key, 0, byte ? 255 : 65535, "point");
            if (byte)
                put8(p, q + kOff[k], static_cast<std::uint8_t>(v));
            else
                putLE16(p, q + kOff[k], static_cast<std::uint16_t>(v));
        }
        const std::size_t points = (p.size() - 8) / 10;
        putLE16(p, 0, static_cast<std::uint16_t>(p.size()));
        putLE16(p, 6, static_cast<std::uint16_t>(points));
        return;
    }
    throw std::string("unknown word \"" + std::string(word) + "\"");
}

// ---- patch information ----

std::string formatPatchInfo(ConstByteSpan b) {
    std::string out;
    for (std::size_t d = 0; d < 4; ++d) {
        std::string line = "descriptor " + std::to_string(d + 1);
        addNumber(line, "reference", s16at(b, 2 * d), true);
        addNumber(line, "offset", s16at(b, 8 + 2 * d), true);
        out += line + '\n';
        for (std::size_t row = 0; row < 16; ++row) {
            const std::size_t v = 16 + 16 * d + row;
            const auto tag = slice(b, 80 + 15 * (16 * d + row), 15);
            const bool tagEmpty =
                std::all_of(tag.begin(), tag.end(), [](std::uint8_t x) { return x == 0; });
            if (get8(b, v) == 0 && tagEmpty) continue;
            out += "row " + std::to_string(row + 1) + " value=" + std::to_string(s8at(b, v)) +
                   " tag=" + quoteField(tag) + '\n';
        }
    }
    return out;
}

void parsePatchInfoLine(const std::vector<Token>& tokens, ByteSpan b, int& descriptor) {
    if (tokens.empty()) return;
    if (tokens[0].key == "descriptor") {
        if (tokens.size() < 2 || tokens[1].hasValue)
            throw std::string("descriptor number expected");
        descriptor = static_cast<int>(numberIn(tokens[1].key, 1, 4, "descriptor")) - 1;
        const auto d = static_cast<std::size_t>(descriptor);
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (!t.hasValue || (t.key != "reference" && t.key != "offset"))
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            putLE16(b, (t.key == "reference" ? 0 : 8) + 2 * d,
                    static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
        }
        return;
    }
    if (tokens[0].key == "row") {
        if (descriptor < 0) throw std::string("row before the first descriptor");
        if (tokens.size() < 2 || tokens[1].hasValue) throw std::string("row number expected");
        const auto row = static_cast<std::size_t>(numberIn(tokens[1].key, 1, 16, "row")) - 1;
        const std::size_t index = 16 * static_cast<std::size_t>(descriptor) + row;
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.hasValue && t.key == "value")
                put8(b, 16 + index,
                     static_cast<std::uint8_t>(numberIn(t.value(), -128, 127, "value")));
            else if (t.hasValue && t.key == "tag" && t.quoted)
                putText(slice(b, 80 + 15 * index, 15), t.value(), "tag");
            else
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
        }
        return;
    }
    throw std::string("unknown word \"" + std::string(tokens[0].key) + "\"");
}

// ---- value lists ----

std::string formatValueLists(ConstByteSpan b) {
    std::string out = "counts";
    for (std::size_t k = 0; k < 8; ++k) out += ' ' + std::to_string(getLE16(b, 2 * k));
    out += '\n';
    bool extra = false;
    for (std::size_t k = 8; k < 16; ++k) extra = extra || getLE16(b, 2 * k) != 0;
    if (extra) {
        out += "extra";
        for (std::size_t k = 8; k < 16; ++k) out += ' ' + std::to_string(getLE16(b, 2 * k));
        out += '\n';
    }
    for (std::size_t k = 0; k < 8; ++k) {
        std::size_t last = 0;
        for (std::size_t j = 0; j < 100; ++j)
            if (getLE16(b, 32 + 200 * k + 2 * j) != 0) last = j + 1;
        if (last == 0) continue;
        out += "list " + std::to_string(k + 1) + ':';
        for (std::size_t j = 0; j < last; ++j)
            out += ' ' + std::to_string(getLE16(b, 32 + 200 * k + 2 * j));
        out += '\n';
    }
    return out;
}

void parseValueListsLine(std::string_view line, ByteSpan b) {
    std::vector<std::string> words;
    for (std::size_t pos = 0; pos < line.size();) {
        const auto end = line.find_first_of(" \t", pos);
        const auto w =
            line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!w.empty()) words.emplace_back(w);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    if (words.empty()) return;
    std::size_t first = 0, max = 0;
    if (words[0] == "counts" || words[0] == "extra") {
        first = words[0] == "counts" ? 0 : 8;
        max = 8;
    } else if (words[0] == "list" && words.size() >= 2 && words[1].size() >= 2 &&
               words[1].back() == ':') {
        const auto k = static_cast<std::size_t>(
            numberIn(words[1].substr(0, words[1].size() - 1), 1, 8, "list"));
        first = 16 + 100 * (k - 1);
        max = 100;
        words.erase(words.begin());
    } else {
        throw std::string("unknown word \"" + words[0] + "\"");
    }
    if (words.size() - 1 > max) throw std::string("too many values");
    for (std::size_t i = 1; i < words.size(); ++i)
        putLE16(b, 2 * (first + i - 1),
                static_cast<std::uint16_t>(numberIn(words[i], 0, 65535, "value")));
}

// ---- macro filter ----

std::string formatFilterHeader(ConstByteSpan f) {
    std::string line;
    addNumber(line, "reference", s16at(f, 0), true);
    addNumber(line, "offset", s16at(f, 2), true);
    const std::uint16_t flags = getLE16(f, 4);
    if (flags & 1) line += " and-mode";
    if (flags & ~1u) line += " flags=" + dollarHex(flags & ~1u);
    return line;
}

std::string formatFilterGroups(ConstByteSpan f) {
    std::string out, line;
    int n = 0;
    for (std::size_t v = 0; v < 96; ++v) {
        const auto g = s8at(f, 6 + v);
        if (g == 0) continue;
        if (n % 12 != 0) line += ' ';
        line += std::to_string(v);
        line += '=';
        line += std::to_string(g);
        if (++n % 12 == 0) {
            out += "groups " + line + '\n';
            line.clear();
        }
    }
    if (!line.empty()) out += "groups " + line + '\n';
    return out;
}

void parseFilter(const Section& s, ByteSpan f) {
    std::fill(f.begin(), f.end(), std::uint8_t{0});
    for (const Token& t : s.attributes) {
        if (t.hasValue && (t.key == "reference" || t.key == "offset"))
            putLE16(f, t.key == "reference" ? 0 : 2,
                    static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
        else if (!t.hasValue && t.key == "and-mode")
            putLE16(f, 4, getLE16(f, 4) | 1);
        else if (t.hasValue && t.key == "flags")
            putLE16(
                f, 4,
                static_cast<std::uint16_t>(getLE16(f, 4) | numberIn(t.value(), 0, 65535, "flags")));
        else
            throw SourceTextError(s.line, "unknown word \"" + std::string(t.key) + "\"");
    }
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        try {
            const auto tokens = tokenize(s.lines[i]);
            if (tokens.empty()) continue;
            if (tokens[0].key != "groups" || tokens[0].hasValue)
                throw std::string("\"groups\" expected");
            for (std::size_t k = 1; k < tokens.size(); ++k) {
                if (!tokens[k].hasValue) throw std::string("VALUE=GROUP expected");
                const auto v = numberIn(tokens[k].key, 0, 95, "value");
                put8(f, 6 + static_cast<std::size_t>(v),
                     static_cast<std::uint8_t>(numberIn(tokens[k].value(), -128, 127, "group")));
            }
        } catch (const std::string& m) {
            throw SourceTextError(s.lineNumbers[i], m);
        }
    }
}

// ---------------------------------------------------------------------------
// Reading a section into the record.

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

// The block a section describes, for the record `r` whose fixed fields are
// already final (the ROM names' shape depends on them). Fixed fields owned by
// the section (counts, final size, filter) are stored into `r`.
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

// ---------------------------------------------------------------------------
// Writing.

// "$" for every hexadecimal number of the text, whatever the preference.
class HexPrefixGuard {
  public:
    HexPrefixGuard() : saved_(hexPrefixIndex()) { setHexPrefixIndex(1); }
    ~HexPrefixGuard() { setHexPrefixIndex(saved_); }
    HexPrefixGuard(const HexPrefixGuard&) = delete;
    HexPrefixGuard& operator=(const HexPrefixGuard&) = delete;

  private:
    int saved_;
};

class Writer {
  public:
    explicit Writer(const SourceRecord& c)
        : c_(c), r_(newSource()), scratch_(std::make_unique<SourceRecord>()) {
        scratch_->bytes = c.bytes;
    }

    std::string run();

  private:
    void row(const TreeRow& row);
    void sections(const SettingRef& ref);
    // Emits a section in its line form when reading it back gives the same
    // bytes, else as hex.
    void emitSection(SectionKind kind, const SettingRef& ref, std::string attributes,
                     const std::optional<Block>& block, std::optional<std::string> lines);
    void residual(int module);

    const SourceRecord& c_;
    std::unique_ptr<SourceRecord> r_;
    // The fixed bytes of the source, on which a section's line form is read
    // back (the shape of ROM names depends on them).
    std::unique_ptr<SourceRecord> scratch_;
    std::function<std::string()> path_;  // label path of the current row
    std::string out_;
};

std::string Writer::run() {
    out_ = std::string(kSourceTextHeader) + '\n';
    out_.reserve(1 << 16);
    const auto rows = buildTreeRows(c_);
    // The label path is made only for the rows that are written.
    std::vector<const TreeRow*> ancestors;
    int part = -1;  // -1 the global rows, else the module of the rows
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int module = isModuleSetting(rows[i].ref.id) ? rows[i].ref.index1 : -1;
        if (module != part) {
            residual(part);
            part = module;
        }
        const auto depth = static_cast<std::size_t>(std::max(rows[i].depth, 0));
        ancestors.resize(depth + 1);
        ancestors[depth] = &rows[i];
        path_ = [&ancestors] {
            std::string p;
            for (std::size_t d = 1; d < ancestors.size(); ++d) {
                if (!p.empty()) p += " / ";
                p += rowLabel(ancestors[d]->ref);
            }
            return p;
        };
        row(rows[i]);
    }
    residual(part);
    return std::move(out_);
}

void Writer::row(const TreeRow& row) {
    const SettingRef& ref = row.ref;
    if (ref.item->kind == Kind::DialogItem) {
        sections(ref);
        return;
    }
    const auto b = rowBytes(ref);
    if (!b || sameRowValue(*r_, c_, *b)) return;
    // Only the layout that "Use complex loop" selects is written as values.
    if (isModuleSetting(ref.id) &&
        ((ref.id >= 127 && ref.id <= 130) || (ref.id >= 163 && ref.id <= 173))) {
        const bool complexLoop = c_.modU16(ref.index1, rec::kModPacketFlags) & 0x0002;
        if (complexLoop != (ref.id >= 163)) return;
    }
    const auto text = formatRow(c_, ref, *b);
    if (!text) return;
    if (ref.item->kind == Kind::Message || ref.id == 10 || ref.id == 11) {
        // Reading these back depends on more than the text (the units after
        // the message, the sign kept by the manufacturer ID): store them as
        // the reader will.
        try {
            applyRow(*r_, ref, *b, *text);  // checks the text before it stores anything
        } catch (const std::string&) {
            return;
        }
    } else {
        // Every other notation gives back exactly the value it shows.
        copyRowValue(*r_, c_, *b);
    }
    out_ += "# ";
    out_ += path_();
    out_ += '\n';
    out_ += refText(ref);
    out_ += " = ";
    out_ += *text;
    out_ += '\n';
}

void Writer::sections(const SettingRef& ref) {
    const int m = ref.index1;
    const std::size_t base = rec::moduleBase(m);
    auto block = [&](int slot) -> const std::optional<Block>& { return c_.block(m, slot); };
    if (ref.id == 265) {
        const int k = ref.index2;
        const auto& b = block(rec::kSlotRomNames0 + k);
        if (!b || k >= walkedSubBankCount(c_, m)) return;
        std::optional<std::string> lines;
        const RomNamesShape shape = romNamesShape(c_, m);
        const std::string text = romNamesText(*b, shape);
        if (!text.empty()) {
            lines = std::string();
            for (std::size_t pos = 0; pos < text.size();) {
                const auto end = text.find("\r\n", pos);
                const std::string line = text.substr(pos, end - pos);
                pos = end == std::string::npos ? text.size() : end + 2;
                const std::string utf8 = cp1252ToUtf8(line);
                const bool plain = std::none_of(line.begin(), line.end(), [](char ch) {
                    const auto u = static_cast<unsigned char>(ch);
                    return u < 0x20 || u == 0x7F || cp1252Undefined(u);
                });
                if (!plain || utf8ToCp1252(utf8) != line) {
                    lines.reset();
                    break;
                }
                *lines += (line.empty() ? "|" : "| " + utf8) + '\n';
            }
        }
        emitSection(SectionKind::RomNames, ref, "", b, lines);
        return;
    }
    if (ref.id == 305) {
        const auto& b = block(rec::kSlotConverter);
        const auto count = c_.u16(base + rec::kModConverterCount);
        const auto finalSize = c_.s16(base + rec::kModConverterFinalSize);
        if (!b && count == r_->u16(base + rec::kModConverterCount) &&
            finalSize == r_->s16(base + rec::kModConverterFinalSize))
            return;
        std::string attributes;
        addNumber(attributes, "final-size", finalSize);
        std::optional<std::string> lines = std::string();
        std::size_t records = 0;
        if (b) {
            if (b->size() % kOpSize != 0) {
                lines.reset();
            } else {
                records = b->size() / kOpSize;
                for (std::size_t i = 0; i < records; ++i)
                    *lines += formatOp(ConstByteSpan(*b).subspan(i * kOpSize, kOpSize)) + '\n';
            }
        }
        if (!lines || count != records) addNumber(attributes, "count", count, true);
        emitSection(SectionKind::Converter, ref, attributes, b, lines);
        return;
    }
    if (ref.id != 307) return;
    {
        const auto& b = block(rec::kSlotTemplates);
        const auto count = c_.u16(base + rec::kModTemplateCount);
        if (b || count != r_->u16(base + rec::kModTemplateCount)) {
            std::optional<std::string> lines = std::string();
            std::size_t records = 0;
            if (b) {
                if (b->size() % kTemplateSize != 0) {
                    lines.reset();
                } else {
                    records = b->size() / kTemplateSize;
                    for (std::size_t i = 0; i < records; ++i)
                        *lines += formatTemplate(
                                      ConstByteSpan(*b).subspan(i * kTemplateSize, kTemplateSize)) +
                                  '\n';
                }
            }
            std::string attributes;
            if (!lines || count != records) addNumber(attributes, "count", count, true);
            emitSection(SectionKind::Templates, ref, attributes, b, lines);
        }
    }
    if (const auto& b = block(rec::kSlotMacros))
        emitSection(
            SectionKind::Macros, ref, "", b,
            wellFormedMacros(*b) ? std::optional<std::string>(formatMacros(*b)) : std::nullopt);
    if (const auto& b = block(rec::kSlotPatchInfo))
        emitSection(SectionKind::PatchInfo, ref, "", b,
                    b->size() == kPatchInfoSize ? std::optional<std::string>(formatPatchInfo(*b))
                                                : std::nullopt);
    if (const auto& b = block(rec::kSlotValueLists))
        emitSection(SectionKind::ValueLists, ref, "", b,
                    b->size() == kValueListsSize ? std::optional<std::string>(formatValueLists(*b))
                                                 : std::nullopt);
    if (const auto& b = block(rec::kSlotReserved))
        emitSection(SectionKind::Reserved, ref, "", b, std::nullopt);

    const ConstByteSpan filter =
        slice(c_.data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
    const ConstByteSpan was = slice(r_->data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
    if (!std::equal(filter.begin(), filter.end(), was.begin())) {
        const std::string text = refText(ref) + " = filter" + formatFilterHeader(filter) + " {\n" +
                                 formatFilterGroups(filter) + "}\n";
        auto f = slice(r_->data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
        std::copy(filter.begin(), filter.end(), f.begin());
        out_ += "# " + path_() + " / Filter\n" + text;
    }
}

// Splits a section's text into a Section, as the reader does.
Section sectionOf(SectionKind kind, const SettingRef& ref, const std::string& attributes,
                  const std::string& lines) {
    Section s;
    s.kind = kind;
    s.ref = ref;
    s.attributes = tokenize(attributes);
    for (std::size_t pos = 0; pos < lines.size();) {
        const auto end = lines.find('\n', pos);
        s.lines.push_back(lines.substr(pos, end - pos));
        s.lineNumbers.push_back(0);
        pos = end == std::string::npos ? lines.size() : end + 1;
    }
    return s;
}

void Writer::emitSection(SectionKind kind, const SettingRef& ref, std::string attributes,
                         const std::optional<Block>& block, std::optional<std::string> lines) {
    const int slot = slotOf(kind, ref.index2);
    const std::size_t base = rec::moduleBase(ref.index1);
    // The fixed fields a section carries besides its block.
    FieldRef fixed{0, 0};
    if (kind == SectionKind::Converter) fixed = {base + rec::kModConverter, kConverterFieldsSize};
    if (kind == SectionKind::Templates) fixed = {base + rec::kModTemplateCount, kTemplateCountSize};
    auto sameFixed = [&](const SourceRecord& a) {
        return std::equal(a.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset),
                          a.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset + fixed.size),
                          c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    };
    // Every line form but the ROM names' writes each byte of its block; the
    // names are read back to make sure they give the block exactly.
    if (lines && kind == SectionKind::RomNames) {
        try {
            const auto got = readSection(sectionOf(kind, ref, attributes, *lines), *scratch_);
            if (got != block || !sameFixed(*scratch_)) lines.reset();
        } catch (const SourceTextError&) {
            lines.reset();
        } catch (const std::string&) {
            lines.reset();
        }
        std::copy_n(c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset), fixed.size,
                    scratch_->bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    }
    if (!lines) {
        attributes += " hex size=" + std::to_string(block ? block->size() : 0);
        lines = block ? hexLines(*block) : std::string();
    }
    std::copy_n(c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset), fixed.size,
                r_->bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    if (slot >= 0) r_->block(ref.index1, slot) = block;
    const char* suffix = "";
    switch (kind) {
        case SectionKind::Templates:
            suffix = " / Templates";
            break;
        case SectionKind::Macros:
            suffix = " / Macros";
            break;
        case SectionKind::PatchInfo:
            suffix = " / Patch information";
            break;
        case SectionKind::ValueLists:
            suffix = " / Value lists";
            break;
        case SectionKind::Reserved:
            suffix = " / Reserved block";
            break;
        default:
            break;
    }
    out_ += "# " + path_() + suffix + '\n' + refText(ref) + " = " + sectionWord(kind) + attributes +
            " {\n" + *lines + "}\n";
}

void Writer::residual(int module) {
    const std::size_t first = module < 0 ? 0 : rec::moduleBase(module);
    const std::size_t size = module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    const std::string name = module < 0 ? "@G+" : "@M" + std::to_string(module) + "+";
    bool header = false;
    for (std::size_t i = 0; i < size;) {
        if (c_.bytes[first + i] == r_->bytes[first + i]) {
            ++i;
            continue;
        }
        // A run of differing bytes (short equal gaps included), 16 at most.
        std::size_t end = i + 1, last = i;
        while (end < size && end - i < 16) {
            if (c_.bytes[first + end] != r_->bytes[first + end])
                last = end;
            else if (end - last > 2)
                break;
            ++end;
        }
        if (!header) {
            out_ += module < 0
                        ? "# Bytes without a setting\n"
                        : "# Module " + std::to_string(module + 1) + " / Bytes without a setting\n";
            header = true;
        }
        out_ += name + std::to_string(i) + " =";
        for (std::size_t k = i; k <= last; ++k) {
            out_ += ' ' + hexByte(c_.bytes[first + k]);
            r_->bytes[first + k] = c_.bytes[first + k];
        }
        out_ += '\n';
        i = last + 1;
    }
}

// ---------------------------------------------------------------------------
// Reading.

struct RawTarget {
    int module = -1;
    std::size_t offset = 0;
};

RawTarget parseRawTarget(std::string_view s) {
    RawTarget t;
    if (s.substr(0, 3) == "@G+") {
        s.remove_prefix(3);
    } else if (s.substr(0, 2) == "@M") {
        const auto plus = s.find('+');
        if (plus == std::string_view::npos)
            throw std::string("@G+OFFSET or @M<module>+OFFSET expected");
        t.module = static_cast<int>(
            numberIn(std::string(s.substr(2, plus - 2)), 0, rec::kModules - 1, "module"));
        s.remove_prefix(plus + 1);
    } else {
        throw std::string("@G+OFFSET or @M<module>+OFFSET expected");
    }
    const std::int64_t size = t.module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    t.offset = static_cast<std::size_t>(numberIn(std::string(s), 0, size - 1, "offset"));
    return t;
}

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text), r_(newSource()) {}
    std::unique_ptr<SourceRecord> run();

  private:
    bool nextLine(std::string_view& line);
    void settingLine(std::string_view line);
    void rawLine(std::string_view line);
    void sectionLine(const SettingRef& ref, std::string_view value);
    void useModule(int module) {
        if (module >= 0 && !moduleLine_.count(module)) moduleLine_[module] = lineNo_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    std::unique_ptr<SourceRecord> r_;
    std::vector<Section> sections_;
    std::map<int, int> moduleLine_;  // first line that uses each module
    int moduleCountLine_ = 0;
};

bool Reader::nextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const auto end = text_.find('\n', pos_);
    line = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++lineNo_;
    // Trailing blanks and the CR of CR LF line ends carry nothing.
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return true;
}

std::unique_ptr<SourceRecord> Reader::run() {
    std::string_view line;
    // The first line names the form; a byte order mark before it is allowed.
    bool header = false;
    while (!header && nextLine(line)) {
        if (lineNo_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (trim(line).empty()) continue;
        if (trim(line) != kSourceTextHeader)
            throw SourceTextError(lineNo_, "not a driver source text (the first line must be \"" +
                                               std::string(kSourceTextHeader) + "\")");
        header = true;
    }
    if (!header) throw SourceTextError(0, "the text is empty");

    while (nextLine(line)) {
        const std::string_view t = trim(line);
        if (t.empty() || t.front() == '#') continue;
        try {
            if (t.front() == '@')
                rawLine(t);
            else
                settingLine(t);
        } catch (const std::string& m) {
            throw SourceTextError(lineNo_, m);
        }
    }

    // Everything must lie in the modules and sub-banks in use: the file keeps
    // nothing else.
    const int modules = r_->s16(rec::kModuleCount);
    for (const auto& [module, at] : moduleLine_)
        if (module >= modules)
            throw SourceTextError(at, "Module " + std::to_string(module + 1) +
                                          " is not in use (Number of modules is " +
                                          std::to_string(modules) + ")");
    if (validModuleCount(*r_) != modules)
        throw SourceTextError(moduleCountLine_, "Module " +
                                                    std::to_string(validModuleCount(*r_) + 1) +
                                                    " has no name; every module in use needs one");

    std::set<std::tuple<int, int, int, int>> seen;
    for (const Section& s : sections_) {
        if (!seen.insert({static_cast<int>(s.kind), s.ref.id, s.ref.index1, s.ref.index2}).second)
            throw SourceTextError(
                s.line, std::string("the ") + sectionWord(s.kind) + " block is given twice");
        const int m = s.ref.index1;
        if (s.kind == SectionKind::RomNames && s.ref.index2 >= walkedSubBankCount(*r_, m))
            throw SourceTextError(s.line, "Sub-bank #" + std::to_string(s.ref.index2 + 1) +
                                              " is not in use (see \"Number of sub-banks\")");
        auto data = readSection(s, *r_);
        const int slot = slotOf(s.kind, s.ref.index2);
        if (slot < 0) continue;
        if (data && slot >= rec::kSlotTemplates && !hasMacroEditor(*r_, m))
            throw SourceTextError(
                s.line, "Module " + std::to_string(m + 1) +
                            " keeps no macro editor blocks (\"Has a Macro editor\" is not Yes)");
        r_->block(m, slot) = std::move(data);
    }
    if (!buildFileImage(*r_))
        throw SourceTextError(0, "the source cannot be stored: a block is too large");
    return std::move(r_);
}

void Reader::rawLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) throw std::string("expected @PLACE = BYTES");
    const RawTarget t = parseRawTarget(trim(line.substr(0, eq)));
    useModule(t.module);
    const std::size_t base = t.module < 0 ? 0 : rec::moduleBase(t.module);
    const std::size_t size = t.module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    std::size_t at = t.offset;
    std::string_view rest = trim(line.substr(eq + 1));
    while (!rest.empty()) {
        const auto sp = rest.find_first_of(" \t");
        const std::string piece(rest.substr(0, sp));
        const auto v = hexPair(piece);
        if (!v) throw std::string("\"" + piece + "\" is not a hex byte");
        if (at >= size) throw std::string("the bytes run past the end of the record part");
        r_->bytes[base + at++] = static_cast<std::uint8_t>(*v);
        rest = sp == std::string_view::npos ? std::string_view() : trim(rest.substr(sp));
    }
}

void Reader::settingLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) throw std::string("expected REF = VALUE");
    const std::string refPart(trim(line.substr(0, eq)));
    const auto ref = parseRefText(refPart);
    if (!ref)
        throw std::string("\"" + refPart +
                          "\" is not a setting of the tree (REF is ID[:INDEX1[:INDEX2]])");
    if (isModuleSetting(ref->id)) useModule(ref->index1);
    const std::string_view value = trim(line.substr(eq + 1));
    if (ref->item->kind == Kind::DialogItem) {
        sectionLine(*ref, value);
        return;
    }
    const auto b = rowBytes(*ref);
    if (!b)
        throw std::string("setting " + std::to_string(ref->id) + " (" + rowLabel(*ref) +
                          ") has no value to set");
    if (ref->id == 103) moduleCountLine_ = lineNo_;
    applyRow(*r_, *ref, *b, std::string(value));
}

void Reader::sectionLine(const SettingRef& ref, std::string_view value) {
    if (value.empty() || value.back() != '{') throw std::string("a block line ends with \"{\"");
    value = trim(value.substr(0, value.size() - 1));
    const auto sp = value.find_first_of(" \t");
    const std::string word(value.substr(0, sp));
    Section s;
    s.ref = ref;
    s.line = lineNo_;
    bool known = false;
    for (const auto& n : kSectionNames)
        if (word == n.word) {
            s.kind = n.kind;
            known = true;
        }
    const bool fits = known && ((ref.id == 265) == (s.kind == SectionKind::RomNames)) &&
                      ((ref.id == 305) == (s.kind == SectionKind::Converter));
    if (!fits)
        throw std::string("\"" + word + "\" is not a block of setting " + std::to_string(ref.id));
    s.attributes = tokenize(sp == std::string_view::npos ? std::string_view() : value.substr(sp));
    std::string_view line;
    while (nextLine(line)) {
        if (trim(line) == "}") {
            sections_.push_back(std::move(s));
            return;
        }
        s.lines.emplace_back(line);
        s.lineNumbers.push_back(lineNo_);
    }
    throw SourceTextError(s.line, "block not closed: the line \"}\" is missing");
}

}  // namespace

std::optional<std::string> exportSourceText(const SourceRecord& record, std::string* why) {
    // The text describes what the file keeps: build the file image and read
    // it back.
    const auto image = buildFileImage(record);
    if (!image) {
        if (why)
            *why = validModuleCount(record) == 0 ? kMsgNoValidModule
                                                 : "A block is too large to be stored.";
        return std::nullopt;
    }
    auto canonical = readSourceImage(*image);
    if (!canonical) {
        if (why) *why = canonical.error().text;
        return std::nullopt;
    }
    HexPrefixGuard prefix;
    return Writer(*canonical).run();
}

std::unique_ptr<SourceRecord> importSourceText(std::string_view text) {
    HexPrefixGuard prefix;
    return Reader(text).run();
}

}  // namespace sf
