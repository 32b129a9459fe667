#include "source/message_record.h"

#include <algorithm>

namespace sf {

int messageCapacity(const MessageFieldRef& field) {
    if (field.capacity <= 0 || field.units >= rec::kRecordSize) return 0;
    const std::size_t fits = (rec::kRecordSize - field.units) / 2;
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(field.capacity), fits));
}

int messageCount(const SourceRecord& r, const MessageFieldRef& field) {
    if (!rangeFits(rec::kRecordSize, field.count, 2)) return 0;
    return std::clamp<int>(r.s16(field.count), 0, messageCapacity(field));
}

std::vector<MessageUnit> readMessageUnits(const SourceRecord& r, const MessageFieldRef& field) {
    const int cap = messageCapacity(field);
    std::vector<MessageUnit> units(static_cast<std::size_t>(cap));
    for (int i = 0; i < cap; ++i) units[static_cast<std::size_t>(i)] = r.u16(field.units + 2 * static_cast<std::size_t>(i));
    return units;
}

std::vector<MessageUnit> readMessage(const SourceRecord& r, const MessageFieldRef& field) {
    auto units = readMessageUnits(r, field);
    units.resize(static_cast<std::size_t>(messageCount(r, field)));
    return units;
}

void writeMessage(SourceRecord& r, const MessageFieldRef& field, std::span<const MessageUnit> units,
                  int count) {
    const std::size_t n = std::min(units.size(), static_cast<std::size_t>(messageCapacity(field)));
    for (std::size_t i = 0; i < n; ++i) r.setU16(field.units + 2 * i, units[i]);
    if (rangeFits(rec::kRecordSize, field.count, 2))
        r.setU16(field.count, static_cast<std::uint16_t>(std::clamp<int>(count, 0, static_cast<int>(n))));
}

std::string formatMessageField(const SourceRecord& r, const MessageFieldRef& field) {
    const auto units = readMessage(r, field);
    return formatMessage(units, static_cast<int>(units.size()));
}

int parseMessageField(SourceRecord& r, const MessageFieldRef& field, std::string_view text) {
    std::vector<MessageUnit> units(static_cast<std::size_t>(messageCapacity(field)));
    const int count = parseMessage(text, units, static_cast<int>(units.size()));
    writeMessage(r, field, units, count);
    return count;
}

std::optional<MessageEditTarget> messageEditTarget(const SourceRecord& r, const SettingRef& ref) {
    const SettingItem* item = ref.item ? ref.item : findSettingItem(ref.id);
    if (item == nullptr || item->kind != Kind::Message) return std::nullopt;
    auto field = messageField(r, ref);
    if (!field) return std::nullopt;
    MessageEditTarget t;
    t.field = *field;
    t.capacity = messageCapacity(*field);
    if (item->max > 0) t.capacity = std::min(t.capacity, item->max);
    t.field.capacity = t.capacity;
    constexpr int kCommonHeader = 15;
    if (auto header = messageField(r, makeRef(kCommonHeader))) t.headerLength = messageCount(r, *header);
    return t;
}

}  // namespace sf
