#include "patchtools/macrodata.h"

#include <algorithm>

#include "framework/bytes.h"
#include "sysex/message.h"

namespace sf {

namespace {

constexpr std::array<int, 5> kSlots{rec::kSlotTemplates, rec::kSlotMacros, rec::kSlotPatchInfo,
                                    rec::kSlotValueLists, rec::kSlotReserved};
constexpr std::size_t kTemplateSize = 28;
constexpr std::size_t kTemplateName = 10;
constexpr std::size_t kTemplateNameSize = 18;

}  // namespace

MacroData MacroData::fromModule(const SourceRecord& r, int module) {
    MacroData d;
    const std::size_t base = rec::moduleBase(module) + rec::kModMacroData;
    auto src = slice(r.data(), base, rec::kMacroDataSize);
    std::copy(src.begin(), src.end(), d.fixed.begin());
    std::optional<Block>* mine[] = {&d.templates, &d.macros, &d.patchInfo, &d.valueLists,
                                    &d.reserved};
    for (std::size_t i = 0; i < kSlots.size(); ++i) *mine[i] = r.block(module, kSlots[i]);
    return d;
}

void MacroData::storeInto(SourceRecord& r, int module) const {
    const std::size_t base = rec::moduleBase(module) + rec::kModMacroData;
    auto dst = slice(r.data(), base, rec::kMacroDataSize);
    std::copy(fixed.begin(), fixed.end(), dst.begin());
    const std::optional<Block>* mine[] = {&templates, &macros, &patchInfo, &valueLists, &reserved};
    for (std::size_t i = 0; i < kSlots.size(); ++i) r.block(module, kSlots[i]) = *mine[i];
}

std::uint16_t MacroData::u16(std::size_t off) const {
    return getLE16(ConstByteSpan(fixed), off);
}
void MacroData::setU16(std::size_t off, std::uint16_t v) {
    putLE16(ByteSpan(fixed), off, v);
}

int MacroData::usableTemplateCount() const {
    if (!templates) return 0;
    return std::min(templateCount(), static_cast<int>(templates->size() / kTemplateSize));
}

std::string MacroData::templateName(int index) const {
    if (index < 0 || index >= usableTemplateCount()) return {};
    return std::string(fieldText(ConstByteSpan(*templates),
                                 static_cast<std::size_t>(index) * kTemplateSize + kTemplateName,
                                 kTemplateNameSize));
}

std::int32_t readTypedNumber(std::string_view text) {
    return static_cast<std::int32_t>(readMessageNumber(text, 10));
}

}  // namespace sf
