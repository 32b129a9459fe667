// Messages stored in a SourceRecord: a unit array of fixed capacity and a
// signed 16-bit count, both little-endian, at the places a MessageFieldRef
// names. The record's bytes may come from a damaged file, so every access is
// bounded by the capacity and by the record itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/record.h"
#include "source/schema.h"
#include "sysex/message.h"

namespace sf {

// The capacity that can actually be addressed: field.capacity clamped to
// 0 .. the units that fit in the record after field.units.
int messageCapacity(const MessageFieldRef& field);

// The stored count clamped to 0 .. messageCapacity(field).
int messageCount(const SourceRecord& r, const MessageFieldRef& field);

// All units of the field (messageCapacity(field) of them).
std::vector<MessageUnit> readMessageUnits(const SourceRecord& r, const MessageFieldRef& field);

// The first messageCount() units.
std::vector<MessageUnit> readMessage(const SourceRecord& r, const MessageFieldRef& field);

// Stores at most messageCapacity(field) units and the count (clamped to the
// units actually stored). Units after the stored ones keep what they held.
void writeMessage(SourceRecord& r, const MessageFieldRef& field, std::span<const MessageUnit> units,
                  int count);

// The one-line text of the stored message.
std::string formatMessageField(const SourceRecord& r, const MessageFieldRef& field);

// Sets every unit of the field to 0x00FF, parses `text` into it (pieces beyond
// the capacity are dropped) and stores the count. Answers the count.
int parseMessageField(SourceRecord& r, const MessageFieldRef& field, std::string_view text);

// What the message editor needs of a message setting: its field, the capacity
// (the setting's maximum, bounded by the field) and the count of the driver's
// "Common header", by which a Head unit advances the row labels.
struct MessageEditTarget {
    MessageFieldRef field;
    int capacity = 0;
    int headerLength = 0;
};
std::optional<MessageEditTarget> messageEditTarget(const SourceRecord& r, const SettingRef& ref);

}  // namespace sf
