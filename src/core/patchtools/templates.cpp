#include "patchtools/templates.h"

#include <algorithm>
#include <cstdio>

#include "patchtools/macrolist.h"
#include "patchtools/patchinfo.h"

namespace sf {

using namespace param_template;

namespace {

std::string format2(const char* pattern, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

std::int16_t clamp16(std::string_view text) {
    return static_cast<std::int16_t>(
        std::clamp<std::int32_t>(readTypedNumber(text), -32768, 32767));
}

}  // namespace

const char* templateTypeMenuText(TemplateTypeChoice c) {
    switch (c) {
        case TemplateTypeChoice::Byte:
            return "Byte (8 bits)";
        case TemplateTypeChoice::WordLittle:
            return "Word (16 bits, little endian)";
        case TemplateTypeChoice::WordBig:
            return "Word (16 bits, big endian)";
        case TemplateTypeChoice::BitsLittle:
            return "Bit(s) (<= 16 bits, little endian)";
        case TemplateTypeChoice::BitsBig:
            return "Bit(s) (<= 16 bits, big endian)";
    }
    return "";
}

std::string templateTypeText(const TemplateView& t) {
    const bool little = (t.flags & kLittleEndian) != 0;
    switch (t.type) {
        case 1:
            return "Byte";
        case 2:
            return little ? "Word (little endian)" : "Word (big endian)";
        case 3:
            if (t.bitStart + t.bitCount <= 8) return format2("Bits %d/%d", t.bitStart, t.bitCount);
            return format2(little ? "Bits %d/%d (little endian)" : "Bits %d/%d (big endian)",
                           t.bitStart, t.bitCount);
        default:
            return {};
    }
}

TemplateEditor::TemplateEditor(MacroData data) : data_(std::move(data)) {
    // The list works on whole records only: a count beyond the block (a
    // damaged file) is cut to the records present.
    const int n = data_.usableTemplateCount();
    if (!data_.templates) data_.templates.emplace();
    data_.templates->resize(at(n));
    data_.setTemplateCount(n);
}

int TemplateEditor::count() const {
    return data_.templateCount();
}

TemplateView TemplateEditor::get(int index) const {
    TemplateView t;
    if (index < 0 || index >= count()) return t;
    ConstByteSpan b(*data_.templates);
    const std::size_t o = at(index);
    t.type = get8(b, o + kType);
    t.bitStart = static_cast<std::int8_t>(get8(b, o + kBitStart));
    t.bitCount = static_cast<std::int8_t>(get8(b, o + kBitCount));
    t.flags = get8(b, o + kFlags);
    t.min = getLE16s(b, o + kMin);
    t.max = getLE16s(b, o + kMax);
    t.def = getLE16s(b, o + kDef);
    t.name = std::string(fieldText(b, o + kName, kNameSize));
    return t;
}

std::optional<int> TemplateEditor::add() {
    if (!canAdd()) return std::nullopt;
    const int n = count();
    Block& b = *data_.templates;
    b.resize(at(n + 1), 0);
    ByteSpan s(b);
    put8(s, at(n) + kType, 1);
    put8(s, at(n) + kBitCount, 1);
    char name[32];
    std::snprintf(name, sizeof name, "Untitled %d", n + 1);
    data_.setTemplateCount(n + 1);
    setText(n, TemplateColumn::Name, name);
    return n;
}

std::optional<int> TemplateEditor::remove(int index) {
    const int n = count();
    if (index < 0 || index >= n) return std::nullopt;
    Block& b = *data_.templates;
    b.erase(b.begin() + static_cast<long>(at(index)), b.begin() + static_cast<long>(at(index + 1)));
    data_.setTemplateCount(n - 1);
    if (n - 1 == 0) return std::nullopt;
    return std::min(index, n - 2);
}

void TemplateEditor::toggleSigned(int index) {
    if (index < 0 || index >= count()) return;
    ByteSpan s(*data_.templates);
    put8(s, at(index) + kFlags, get8(s, at(index) + kFlags) ^ kSigned);
}

void TemplateEditor::setType(int index, TemplateTypeChoice choice) {
    if (index < 0 || index >= count()) return;
    ByteSpan s(*data_.templates);
    const std::size_t o = at(index);
    auto flags = static_cast<std::uint8_t>(get8(s, o + kFlags) & ~kLittleEndian);
    switch (choice) {
        case TemplateTypeChoice::Byte:
            put8(s, o + kType, 1);
            break;
        case TemplateTypeChoice::WordLittle:
            put8(s, o + kType, 2);
            flags |= kLittleEndian;
            break;
        case TemplateTypeChoice::WordBig:
            put8(s, o + kType, 2);
            break;
        default:
            return;  // the bit entries go through setBitRange
    }
    put8(s, o + kFlags, flags);
}

void TemplateEditor::setBitRange(int index, std::string_view startText, std::string_view countText,
                                 bool littleEndianEntry) {
    if (index < 0 || index >= count()) return;
    ByteSpan s(*data_.templates);
    const std::size_t o = at(index);
    const int start = std::clamp<std::int32_t>(readTypedNumber(startText), 0, 15);
    const int bits = std::clamp<std::int32_t>(readTypedNumber(countText), 1, 16 - start);
    put8(s, o + kType, 3);
    put8(s, o + kBitStart, static_cast<std::uint8_t>(start));
    put8(s, o + kBitCount, static_cast<std::uint8_t>(bits));
    auto flags = static_cast<std::uint8_t>(get8(s, o + kFlags) & ~kLittleEndian);
    // Byte order only matters when the bits span two bytes.
    if (littleEndianEntry && start + bits > 8) flags |= kLittleEndian;
    put8(s, o + kFlags, flags);
}

bool TemplateEditor::setText(int index, TemplateColumn column, std::string_view text) {
    if (index < 0 || index >= count()) return false;
    ByteSpan s(*data_.templates);
    const std::size_t o = at(index);
    switch (column) {
        case TemplateColumn::Name: {
            auto f = slice(s, o + kName, kNameSize);
            std::fill(f.begin(), f.end(), std::uint8_t{0});
            text = text.substr(0, kNameChars);
            std::copy(text.begin(), text.end(), f.begin());
            return true;
        }
        case TemplateColumn::Min:
            putLE16(s, o + kMin, static_cast<std::uint16_t>(clamp16(text)));
            return true;
        case TemplateColumn::Max:
            putLE16(s, o + kMax, static_cast<std::uint16_t>(clamp16(text)));
            return true;
        case TemplateColumn::Def:
            putLE16(s, o + kDef, static_cast<std::uint16_t>(clamp16(text)));
            return true;
        default:
            return false;
    }
}

void repairTemplateReferences(MacroData& data) {
    const int n = data.usableTemplateCount();
    if (data.macros) {
        Block& b = *data.macros;
        if (auto layout = macroLayout(b)) {
            for (int i = 0; i < static_cast<int>(layout->macros.size()); ++i) {
                // Deleting moves the following parameters, so look again each time.
                for (;;) {
                    auto now = macroLayout(b);
                    const MacroView v = readMacro(b, *now, i);
                    auto bad = std::find_if(
                        v.params.begin(), v.params.end(),
                        [n](const MacroView::Param& p) { return p.templateIndex >= n; });
                    if (bad == v.params.end()) break;
                    deleteParameter(b, i, static_cast<int>(bad - v.params.begin()));
                }
            }
        }
    }
    if (data.s16(macro_data::kFilterReference) >= n)
        data.setU16(macro_data::kFilterReference, 0xFFFF);
    if (data.patchInfo) {
        for (int d = 0; d < patch_info::kDescriptors; ++d)
            if (patchInfoReference(*data.patchInfo, d) >= n)
                setPatchInfoReference(*data.patchInfo, d, -1);
    }
}

int acceptTemplateChoice(MacroData& target, MacroData edited, std::optional<int> selected) {
    target = std::move(edited);
    repairTemplateReferences(target);
    return selected.value_or(-1);
}

}  // namespace sf
