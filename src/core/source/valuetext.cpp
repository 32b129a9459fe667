#include "source/valuetext.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "framework/blanks.h"
#include "sysex/message.h"
#include "source/message_record.h"
#include "sysex/roland.h"

namespace sf {

namespace {

// Settings that the generic editors do not cover.
constexpr int kManufacturerId = 10;
constexpr int kManufacturerLongId = 11;
constexpr int kModuleCountSetting = 103;
constexpr int kModuleRow = 105;
constexpr int kModuleName = 107;
constexpr int kModuleType = 108;
constexpr int kRealPacketSize = 128;
constexpr int kVirtualPacketSize = 129;
constexpr int kSumRealSizes = 131;
constexpr int kSumVirtualSizes = 132;
constexpr int kConverterGroup = 304;
constexpr int kMacroGroup = 306;

constexpr std::size_t kManufacturerIdOffset = 174;  // signed: negative = long ID
constexpr int kPackets = 10;
constexpr std::size_t kPacketStride = 8;
constexpr std::size_t kPacketCount = rec::kModPacketArea + 0;
constexpr std::size_t kPacketRealSize = rec::kModPacketArea + 2;
constexpr std::size_t kPacketVirtualSize = rec::kModPacketArea + 4;

constexpr int kCommandYes = 61;   // "Yes" of the yes/no list
constexpr int kCommandSecond = 71;  // second entry of the other lists

// Choices stored as a bit pattern inside a shared flag word rather than as
// a value of their own.
struct BitOption {
    std::uint16_t bits;
    int command;
    const char* text;
};
struct BitChoice {
    int id;
    bool inModule;
    std::size_t offset;  // record offset (global) or module offset
    std::uint16_t mask;
    BitOption options[3];
};
constexpr BitChoice kBitChoices[] = {
    {100, false, rec::kInstrumentFlags, 0x0300,
     {{0x0100, 70, "Use Midi Bank Select"}, {0x0200, 71, "Use Program change"}, {0x0000, 72, "Use Custom Message"}}},
    {kModuleType, true, rec::kModFlags, 0x0048,
     {{0x0008, 70, "Dump memory and display patch names"},
      {0x0000, 71, "Only dump memory (no name to display)"},
      {0x0048, 72, "Only display names (no memory dump)"}}},
    {109, true, rec::kModFlags, 0x0120,
     {{0x0100, 70, "Program Change"}, {0x0020, 71, "MIDI Bank Select"}, {0x0000, 72, "Special"}}},
};

const BitChoice* findBitChoice(int id) {
    for (const BitChoice& c : kBitChoices)
        if (c.id == id) return &c;
    return nullptr;
}

bool validModule(int m) { return m >= 0 && m < rec::kModules; }

// The item of a ref, or null when the ref cannot address a value: unknown id,
// or a module setting without a valid module index.
const SettingItem* itemOf(const SettingRef& ref) {
    const SettingItem* item = findSettingItem(ref.id);
    if (item == nullptr) return nullptr;
    if (isModuleSetting(ref.id) && !validModule(ref.index1)) return nullptr;
    return item;
}

std::size_t bitChoiceOffset(const BitChoice& c, const SettingRef& ref) {
    return c.inModule ? rec::moduleBase(ref.index1) + c.offset : c.offset;
}

// ---- numeric fields ---------------------------------------------------

struct NumberField {
    std::size_t offset;
    int width;  // 1, 2 or 4 bytes
};

std::optional<NumberField> numberField(const SourceRecord& r, const SettingRef& ref, Kind kind) {
    std::optional<std::size_t> off;
    int width = 0;
    switch (kind) {
        case Kind::Byte:
            off = byteField(r, ref);
            width = 1;
            break;
        case Kind::Word:
            off = wordField(r, ref);
            width = 2;
            break;
        case Kind::Long:
            off = longField(r, ref);
            width = 4;
            break;
        default:
            return std::nullopt;
    }
    if (!off || !rangeFits(rec::kRecordSize, *off, static_cast<std::size_t>(width))) return std::nullopt;
    return NumberField{*off, width};
}

std::uint32_t readRaw(const SourceRecord& r, const NumberField& f) {
    switch (f.width) {
        case 1: return r.u8(f.offset);
        case 2: return r.u16(f.offset);
        default: return r.u32(f.offset);
    }
}

void writeRaw(SourceRecord& r, const NumberField& f, std::uint32_t v) {
    switch (f.width) {
        case 1: r.setU8(f.offset, static_cast<std::uint8_t>(v)); break;
        case 2: r.setU16(f.offset, static_cast<std::uint16_t>(v)); break;
        default: r.setU32(f.offset, v); break;
    }
}

// 8-bit fields are unsigned; 16- and 32-bit fields are signed for display as
// a decimal number and for matching choice values.
std::int64_t signedValue(std::uint32_t raw, int width) {
    switch (width) {
        case 1: return raw;
        case 2: return static_cast<std::int16_t>(raw);
        default: return static_cast<std::int32_t>(raw);
    }
}

// ---- number entry -----------------------------------------------------

constexpr bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Digits of `base` after optional white space and sign, saturated at
// 0xFFFFFFFF so that a long string of digits reads as "very large" and is
// then clamped to the maximum rather than wrapping to a small number.
struct Digits {
    bool negative;
    std::uint64_t magnitude;
};
Digits readDigits(std::string_view s, int base) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const int d = digitValue(s[i]);
        if (d >= base) break;
        v = std::min<std::uint64_t>(v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d),
                                    0xFFFFFFFFull);
    }
    return {negative, v};
}

// Unsigned reading: a minus sign negates modulo 2^32.
std::int64_t readUnsignedEntry(std::string_view s, int base) {
    const Digits d = readDigits(s, base);
    const auto u = static_cast<std::uint32_t>(d.magnitude);
    return d.negative ? static_cast<std::uint32_t>(0u - u) : u;
}

// Signed decimal reading, saturated to the 32-bit range.
std::int64_t readSignedEntry(std::string_view s) {
    const Digits d = readDigits(s, 10);
    const std::int64_t v = d.negative ? -static_cast<std::int64_t>(d.magnitude)
                                      : static_cast<std::int64_t>(d.magnitude);
    return std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

std::int64_t readNumberEntry(std::string_view t) {
    if (t.starts_with('$')) return readUnsignedEntry(t.substr(1), 16);
    if (t.starts_with("0x") || t.starts_with("&h") || t.starts_with("&H")) return readUnsignedEntry(t.substr(2), 16);
    if (t.starts_with('-')) return readSignedEntry(t);
    return readUnsignedEntry(t, 10);
}

// The value a typed number stores: one-based correction, then the range,
// compared as signed numbers for decimal fields and as unsigned otherwise.
std::uint32_t numberEntry(std::string_view text, const SettingItem& item, std::int32_t min, std::int32_t max) {
    std::int64_t v = readNumberEntry(text);
    if (item.has(setting_flag::OneBased)) v -= 1;
    if (item.editor == Editor::Decimal) {
        if (min <= max) v = std::clamp<std::int64_t>(v, min, max);
        return static_cast<std::uint32_t>(v);
    }
    auto u = static_cast<std::uint32_t>(v);
    const auto lo = static_cast<std::uint32_t>(min);
    const auto hi = static_cast<std::uint32_t>(max);
    if (lo <= hi) u = std::clamp(u, lo, hi);
    return u;
}

// ---- showing ----------------------------------------------------------

std::string decimalText(std::int64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    return buf;
}

const ChoiceEntry* choiceByValue(const ChoiceEntry* list, std::int64_t value) {
    for (const ChoiceEntry* e = list; e != nullptr && e->text != nullptr; ++e)
        if (e->value == value) return e;
    return nullptr;
}

const ChoiceEntry* choiceByCommand(const ChoiceEntry* list, int command) {
    for (const ChoiceEntry* e = list; e != nullptr && e->text != nullptr; ++e)
        if (e->command == command) return e;
    return nullptr;
}

// Text of entry 0 or 1 of a flag's list.
std::string flagText(const ChoiceEntry* list, bool set) {
    if (list == nullptr || list[0].text == nullptr) return {};
    if (!set) return list[0].text;
    return list[1].text != nullptr ? list[1].text : std::string();
}

std::string formatNumber(const SourceRecord& r, const SettingRef& ref, const SettingItem& item) {
    const auto field = numberField(r, ref, item.kind);
    if (!field) return {};
    std::uint32_t raw = readRaw(r, *field);
    switch (item.editor) {
        case Editor::Decimal: {
            std::int64_t v = signedValue(raw, field->width);
            if (item.has(setting_flag::OneBased)) v += 1;
            return decimalText(v);
        }
        case Editor::Unsigned: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(raw));
            return buf;
        }
        case Editor::Hex:
            // The manufacturer ID keeps the long-ID choice in its sign.
            if (ref.id == kManufacturerId && signedValue(raw, field->width) < 0)
                raw = static_cast<std::uint32_t>(-signedValue(raw, field->width));
            return formatHex(raw);
        case Editor::YesNo:
            return raw != 0 ? "Yes" : "No";
        case Editor::Choice: {
            const ChoiceEntry* e = choiceByValue(item.choices, signedValue(raw, field->width));
            return e != nullptr ? e->text : "";
        }
        case Editor::Flag:
            return flagText(item.choices, (raw & item.mask) != 0);
        case Editor::Roland7:
            return formatRoland(raw);
        case Editor::HandshakeCode:
            return (raw & 0xFF) == 0xFF ? std::string() : formatHex(raw);
        default:
            return {};
    }
}

std::string formatText(const SourceRecord& r, const SettingRef& ref, const SettingItem& item) {
    const auto f = textField(r, ref);
    if (!f || !rangeFits(rec::kRecordSize, f->offset, f->size)) return {};
    if (item.kind == Kind::Text) return std::string(r.text(f->offset, f->size));
    // Character table: every position shown, a zero byte as a blank.
    std::string s;
    const std::size_t n = std::min<std::size_t>(f->size, rec::kAsciiTableSize);
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<char>(r.u8(f->offset + i));
        s += c == '\0' ? ' ' : c;
    }
    return s;
}

// Sum over the ten packets of the module of count x size.
std::int64_t packetSum(const SourceRecord& r, int module, bool virtualSize) {
    std::int64_t sum = 0;
    for (int p = 0; p < kPackets; ++p) {
        const std::size_t step = kPacketStride * static_cast<std::size_t>(p);
        const std::int64_t count = r.modS16(module, kPacketCount + step);
        const std::int64_t size = virtualSize ? std::int64_t{r.modU16(module, kPacketVirtualSize + step)}
                                              : std::int64_t{r.modS16(module, kPacketRealSize + step)};
        sum += count * size;
    }
    return sum;
}

// ---- storing ----------------------------------------------------------

ParseResult storeModuleCount(SourceRecord& r, std::string_view text) {
    const auto typed = static_cast<std::int32_t>(readUnsignedEntry(text, 10));
    const std::int16_t count = static_cast<std::int16_t>(std::clamp<std::int32_t>(typed, 1, rec::kModules));
    const bool changed = count != r.s16(rec::kModuleCount);
    r.setU16(rec::kModuleCount, static_cast<std::uint16_t>(count));
    if (!changed) return ParseResult::Stored;
    // Slots in use need a name (an empty name marks a free slot); slots given
    // up lose their name only, so raising the count again brings back their
    // data under the name "Module".
    for (int m = 0; m < rec::kModules; ++m) {
        const std::size_t name = rec::moduleBase(m) + rec::kModName;
        if (m < count) {
            if (r.text(name, rec::kModNameSize).empty()) r.setText(name, rec::kModNameSize, "Module");
        } else {
            r.setText(name, rec::kModNameSize, "");
        }
    }
    return ParseResult::StoredRebuildTree;
}

ParseResult storeText(SourceRecord& r, const SettingRef& ref, const SettingItem& item, std::string_view text) {
    const auto f = textField(r, ref);
    if (!f || f->size == 0 || !rangeFits(rec::kRecordSize, f->offset, f->size)) return ParseResult::NotStored;
    // A zero byte would end the stored text anyway.
    text = text.substr(0, text.find('\0'));
    if (item.kind == Kind::Text) {
        text = text.substr(0, f->size - 1);
        if (text.empty() && item.has(setting_flag::NoEmptyName)) text = "?";
        r.setText(f->offset, f->size, text);
        return ParseResult::Stored;
    }
    // Character table: the text over the table, zeros after its end.
    const std::size_t n = std::min<std::size_t>(f->size, rec::kAsciiTableSize);
    for (std::size_t i = 0; i < n; ++i)
        r.setU8(f->offset + i, i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    return ParseResult::Stored;
}

ParseResult storeNumber(SourceRecord& r, const SettingRef& ref, const SettingItem& item, std::string_view text) {
    const auto field = numberField(r, ref, item.kind);
    if (!field) return ParseResult::NotStored;
    switch (item.editor) {
        case Editor::Decimal:
        case Editor::Unsigned:
        case Editor::Hex: {
            std::uint32_t v = numberEntry(text, item, item.min, item.max);
            if (ref.id == kManufacturerId && signedValue(readRaw(r, *field), field->width) < 0)
                v = static_cast<std::uint32_t>(-static_cast<std::int64_t>(v));  // keep the long ID
            writeRaw(r, *field, v);
            return ParseResult::Stored;
        }
        case Editor::HandshakeCode:
            // No code at all is stored as 0xFFFF, shown as an empty text.
            writeRaw(r, *field, text.empty() ? 0xFFFFu : numberEntry(text, item, 0, 127) & 0x7F);
            return ParseResult::Stored;
        case Editor::Roland7:
            writeRaw(r, *field, parseRoland(text));
            return ParseResult::Stored;
        default:
            return ParseResult::NotStored;  // chosen from a menu, not typed
    }
}

ParseResult storeMessage(SourceRecord& r, const SettingRef& ref, const SettingItem& item, std::string_view text) {
    auto field = messageField(r, ref);
    if (!field) return ParseResult::NotStored;
    if (item.max > 0) field->capacity = std::min(field->capacity, item.max);
    parseMessageField(r, *field, text);
    return ParseResult::Stored;
}

}  // namespace

bool isFilledGroup(const SourceRecord& r, const SettingRef& ref) {
    if (ref.index1 < 0 || ref.index1 >= rec::kModules) return false;
    if (ref.id == kConverterGroup) return r.block(ref.index1, rec::kSlotConverter).has_value();
    if (ref.id == kMacroGroup) return r.block(ref.index1, rec::kSlotMacros).has_value();
    return false;
}

std::string filledGroupNote(const SourceRecord& r, const SettingRef& ref) {
    if (!isFilledGroup(r, ref)) return {};
    return ref.id == kConverterGroup ? "This module holds a patch format converter program."
                                     : "This module holds a macro list.";
}

std::string formatValue(const SourceRecord& r, const SettingRef& ref) {
    const SettingItem* item = itemOf(ref);
    if (item == nullptr) return {};
    if (ref.id == kModuleRow) return std::string(r.text(rec::moduleBase(ref.index1) + rec::kModName, rec::kModNameSize));
    if (item->kind == Kind::Group || item->kind == Kind::DialogItem) return {};
    if (const BitChoice* c = findBitChoice(ref.id)) {
        auto bits = static_cast<std::uint16_t>(r.u16(bitChoiceOffset(*c, ref)) & c->mask);
        // Without 0x08 a module dumps memory only, whatever 0x40 holds.
        if (ref.id == kModuleType && (bits & 0x0008) == 0) bits = 0;
        for (const BitOption& o : c->options)
            if (o.bits == bits) return o.text;
        return {};
    }
    if (ref.id == kManufacturerLongId) return r.s16(kManufacturerIdOffset) < 0 ? "Yes" : "No";
    if (ref.id == kSumRealSizes) return decimalText(packetSum(r, ref.index1, false));
    if (ref.id == kSumVirtualSizes) return formatRoland(static_cast<std::uint32_t>(packetSum(r, ref.index1, true)));
    switch (item->kind) {
        case Kind::Text:
        case Kind::CharTable:
            return formatText(r, ref, *item);
        case Kind::Message: {
            const auto field = messageField(r, ref);
            return field ? formatMessageField(r, *field) : std::string();
        }
        case Kind::Byte:
        case Kind::Word:
        case Kind::Long:
            return formatNumber(r, ref, *item);
        default:
            return {};
    }
}

ParseResult parseValue(SourceRecord& r, const SettingRef& ref, std::string_view text) {
    const SettingItem* item = itemOf(ref);
    if (item == nullptr || item->has(setting_flag::ReadOnly) || item->editor == Editor::None ||
        ref.id == kModuleRow || ref.id == kSumRealSizes || ref.id == kSumVirtualSizes)
        return ParseResult::NotStored;
    if (!item->has(setting_flag::KeepSpaces)) text = trimBlanks(text);
    if (text == formatValue(r, ref)) return ParseResult::NotStored;

    if (ref.id == kModuleCountSetting) return storeModuleCount(r, text);
    switch (item->kind) {
        case Kind::Text:
        case Kind::CharTable:
            return storeText(r, ref, *item, text);
        case Kind::Byte:
        case Kind::Word:
        case Kind::Long:
            return storeNumber(r, ref, *item, text);
        case Kind::Message:
            return storeMessage(r, ref, *item, text);
        default:
            return ParseResult::NotStored;
    }
}

bool applyChoice(SourceRecord& r, const SettingRef& ref, int command) {
    const SettingItem* item = itemOf(ref);
    if (item == nullptr || item->has(setting_flag::ReadOnly)) return false;

    if (ref.id == kManufacturerLongId) {
        std::int32_t v = r.s16(kManufacturerIdOffset);
        if (command == kCommandYes) {
            if (v > 0) v = -v;  // 0 has no sign to carry: it stays 0 and shows "No"
        } else if (v < 0) {
            v = v == -32768 ? 32767 : -v;  // -32768 has no positive counterpart in 16 bits
        }
        r.setU16(kManufacturerIdOffset, static_cast<std::uint16_t>(v));
        return true;
    }
    if (const BitChoice* c = findBitChoice(ref.id)) {
        const BitOption* chosen = nullptr;
        for (const BitOption& o : c->options)
            if (o.command == command) chosen = &o;
        if (chosen == nullptr) return false;
        const std::size_t off = bitChoiceOffset(*c, ref);
        r.setU16(off, static_cast<std::uint16_t>((r.u16(off) & ~c->mask) | chosen->bits));
        return true;
    }

    const auto field = numberField(r, ref, item->kind);
    if (!field) return false;
    const bool yes = command == kCommandYes || command == kCommandSecond;
    switch (item->editor) {
        case Editor::YesNo:
            writeRaw(r, *field, yes ? 1u : 0u);
            return true;
        case Editor::Choice: {
            const ChoiceEntry* e = choiceByCommand(item->choices, command);
            if (e == nullptr) return false;
            writeRaw(r, *field, static_cast<std::uint32_t>(e->value));
            return true;
        }
        case Editor::Flag: {
            const std::uint32_t raw = readRaw(r, *field);
            writeRaw(r, *field, yes ? (raw | item->mask) : (raw & ~item->mask));
            return true;
        }
        default:
            return false;
    }
}

std::vector<SettingRef> rowsToRedrawAfter(const SettingRef& changed) {
    switch (changed.id) {
        case kModuleName: return {makeRef(kModuleRow, changed.index1)};
        case kRealPacketSize: return {makeRef(kSumRealSizes, changed.index1)};
        case kVirtualPacketSize: return {makeRef(kSumVirtualSizes, changed.index1)};
        default: return {};
    }
}

}  // namespace sf
