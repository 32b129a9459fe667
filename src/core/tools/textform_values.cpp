#include "tools/textform_values.h"

#include <cstdint>

#include "framework/cp1252.h"
#include "source/message_record.h"
#include "source/valuetext.h"
#include "sysex/roland.h"
#include "tools/textform_words.h"

namespace sf::textform {

namespace {

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

}  // namespace

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

}  // namespace sf::textform
