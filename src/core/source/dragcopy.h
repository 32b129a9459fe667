// Drag and drop of values between rows of the settings tree, in one source or
// from one source to another: which rows accept a drop, and the copy that the
// drop makes. The view only finds the two rows.
#pragma once

#include "source/record.h"
#include "source/schema.h"

namespace sf {

// Whether the row `dragged` of `from` may be dropped onto the row `target` of
// `to`: the dragged setting is copyable, both rows hold the same kind of
// value, the target is the same setting (or any message, or any row of the
// same kind for settings that accept any text target), and the copy below
// would store something. A row dropped on itself is refused.
bool canDropSetting(const SourceRecord& from, const SettingRef& dragged, const SourceRecord& to,
                    const SettingRef& target, bool sameSource);

// Copies the dragged value into the target record:
// - a group copies its whole block into the target group's block of the same size;
// - a text copies when its field is not longer than the target's field;
// - a message copies its units and count when the count fits the target;
// - module-level settings copy their part of the module record with the
//   blocks it owns (the whole module for "Module %d", the bank handling, the
//   sub-bank definitions, the patch handling, the converter, the macro data);
//   the target's previous blocks are replaced by copies.
// `from` and `to` may be the same record. Answers false when nothing was
// copied (the drop is refused).
bool copyDroppedSetting(const SourceRecord& from, const SettingRef& dragged, SourceRecord& to,
                        const SettingRef& target, bool sameSource);

}  // namespace sf
