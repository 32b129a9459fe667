#include "source/dragcopy.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "source/message_record.h"

namespace sf {

namespace {

// A module-level copy: a byte range of the module record and the block slots
// whose blocks belong to it.
struct ModulePart {
    int id;
    std::size_t first;  // module offsets [first, last)
    std::size_t last;
    int firstSlot;  // slots [firstSlot, lastSlot)
    int lastSlot;
};

constexpr ModulePart kModuleParts[] = {
    {105, 0, rec::kModuleSize, 0, rec::kSlotsPerModule},
    {119, rec::kModProtocolBlock, rec::kModPatchProtocolBlock, rec::kSlotRomNames0, rec::kSubBanks},
    {255, rec::kModSubBankBlock, rec::kModPatchProtocolBlock, rec::kSlotRomNames0, rec::kSubBanks},
    {272, rec::kModPatchProtocolBlock, rec::kModMacroData, rec::kSlotConverter,
     rec::kSlotConverter + 1},
    {304, rec::kModConverter, rec::kModMacroData, rec::kSlotConverter, rec::kSlotConverter + 1},
    {305, rec::kModConverter, rec::kModMacroData, rec::kSlotConverter, rec::kSlotConverter + 1},
    {306, rec::kModMacroData, rec::kModMacroData + rec::kMacroDataSize, rec::kSlotTemplates,
     rec::kSlotReserved + 1},
    {307, rec::kModMacroData, rec::kModMacroData + rec::kMacroDataSize, rec::kSlotTemplates,
     rec::kSlotReserved + 1},
};

const ModulePart* modulePart(int id) {
    for (const ModulePart& p : kModuleParts)
        if (p.id == id) return &p;
    return nullptr;
}

bool validModule(int m) {
    return m >= 0 && m < rec::kModules;
}

const SettingItem* itemOf(const SettingRef& ref) {
    return ref.item != nullptr ? ref.item : findSettingItem(ref.id);
}

bool sameRow(const SettingRef& a, const SettingRef& b) {
    return a.id == b.id && a.index1 == b.index1 && a.index2 == b.index2;
}

// The rows that may receive the dragged one, before looking at the values.
bool targetAccepted(const SettingItem& dragged, const SettingItem& target) {
    using namespace setting_flag;
    if (!dragged.has(CopyGlobal) && !dragged.has(CopyModule)) return false;
    if (dragged.kind != target.kind) return false;
    return dragged.id == target.id || dragged.kind == Kind::Message || dragged.has(AnyTextTarget);
}

// Runs the copy when `apply` is set; otherwise only answers whether it would
// store something.
bool copyValue(const SourceRecord& from, const SettingRef& dragged, SourceRecord* to,
               const SourceRecord& toView, const SettingRef& target) {
    const SettingItem& item = *itemOf(dragged);
    if (item.has(setting_flag::CopyModule)) {
        const ModulePart* part = modulePart(item.id);
        if (part == nullptr || target.id != item.id || !validModule(dragged.index1) ||
            !validModule(target.index1))
            return false;
        if (to == nullptr) return true;
        const std::size_t src = rec::moduleBase(dragged.index1);
        const std::size_t dst = rec::moduleBase(target.index1);
        // Through copies: source and target may be modules of one record.
        const std::vector<std::uint8_t> bytes(
            from.bytes.begin() + static_cast<long>(src + part->first),
            from.bytes.begin() + static_cast<long>(src + part->last));
        std::vector<std::optional<Block>> blocks;
        for (int s = part->firstSlot; s < part->lastSlot; ++s)
            blocks.push_back(from.block(dragged.index1, s));
        std::copy(bytes.begin(), bytes.end(),
                  to->bytes.begin() + static_cast<long>(dst + part->first));
        for (int s = part->firstSlot; s < part->lastSlot; ++s)
            to->block(target.index1, s) =
                std::move(blocks[static_cast<std::size_t>(s - part->firstSlot)]);
        return true;
    }

    switch (item.kind) {
        case Kind::Group: {
            const auto src = groupBlock(from, dragged);
            const auto dst = groupBlock(toView, target);
            // Only a block of the same shape: a part of a larger group would
            // land in the middle of unrelated settings.
            if (!src || !dst || src->size != dst->size) return false;
            if (to == nullptr) return true;
            const std::vector<std::uint8_t> bytes(
                from.bytes.begin() + static_cast<long>(src->offset),
                from.bytes.begin() + static_cast<long>(src->offset + src->size));
            std::copy(bytes.begin(), bytes.end(),
                      to->bytes.begin() + static_cast<long>(dst->offset));
            return true;
        }
        case Kind::Text:
        case Kind::CharTable: {
            const auto src = textField(from, dragged);
            const auto dst = textField(toView, target);
            if (!src || !dst || src->size > dst->size) return false;
            if (to == nullptr) return true;
            const std::vector<std::uint8_t> bytes(
                from.bytes.begin() + static_cast<long>(src->offset),
                from.bytes.begin() + static_cast<long>(src->offset + src->size));
            std::fill_n(to->bytes.begin() + static_cast<long>(dst->offset), dst->size,
                        std::uint8_t{0});
            std::copy(bytes.begin(), bytes.end(),
                      to->bytes.begin() + static_cast<long>(dst->offset));
            // A text field always ends with its terminator.
            if (item.kind == Kind::Text) to->bytes[dst->offset + dst->size - 1] = 0;
            return true;
        }
        case Kind::Message: {
            const auto src = messageField(from, dragged);
            const auto dst = messageField(toView, target);
            if (!src || !dst) return false;
            const int count = messageCount(from, *src);
            const int capacity = messageCapacity(*dst);
            if (count > capacity) return false;
            if (to == nullptr) return true;
            std::vector<MessageUnit> units = readMessage(from, *src);
            units.resize(static_cast<std::size_t>(capacity), MessageUnit{kEmptyCode});
            writeMessage(*to, *dst, units, count);
            return true;
        }
        default:
            return false;
    }
}

bool accepted(const SettingRef& dragged, const SettingRef& target, bool sameSource) {
    const SettingItem* d = itemOf(dragged);
    const SettingItem* t = itemOf(target);
    if (d == nullptr || t == nullptr) return false;
    if (sameSource && sameRow(dragged, target)) return false;
    return targetAccepted(*d, *t);
}

}  // namespace

bool canDropSetting(const SourceRecord& from, const SettingRef& dragged, const SourceRecord& to,
                    const SettingRef& target, bool sameSource) {
    return accepted(dragged, target, sameSource) && copyValue(from, dragged, nullptr, to, target);
}

bool copyDroppedSetting(const SourceRecord& from, const SettingRef& dragged, SourceRecord& to,
                        const SettingRef& target, bool sameSource) {
    return accepted(dragged, target, sameSource) && copyValue(from, dragged, &to, to, target);
}

}  // namespace sf
