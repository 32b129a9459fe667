// Setting values as text: the Value column of the settings tree, typed
// entries and choice-menu picks.
//
// These operations only read and write the record. After a successful
// parseValue or applyChoice the CALLER (document, view, command line) is
// responsible for the follow-up: normalising the module's data structure
// (normaliseStructure, after a change of settings 175..192), taking the undo
// checkpoint, redrawing the row and its dependants (rowsToRedrawAfter) and
// evaluating the enabled states again; after StoredRebuildTree the tree is
// built again.
//
// No ref can make these operations touch memory outside the record: unknown
// ids, module or repeat indices out of range, and settings that are not
// editable give "" / NotStored / false.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

enum class ParseResult {
    NotStored,          // nothing changed: same text as shown, or not editable
    Stored,             // the value was stored
    StoredRebuildTree,  // "Number of modules" changed: the tree must be built again
};

// The text of the Value column for one value.
std::string formatValue(const SourceRecord& r, const SettingRef& ref);

// The groups "Patch format converter" (304) and "Macro editor" (306) are
// filled while their module holds a converter program or a macro list. Like
// every group their Value cell stays empty (scripts read it); the tree tells
// the state in the cell's tool tip, filledGroupNote (empty when not filled).
bool isFilledGroup(const SourceRecord& r, const SettingRef& ref);
std::string filledGroupNote(const SourceRecord& r, const SettingRef& ref);

// Stores a typed text. Blanks and tabs around the text are removed unless the
// setting keeps spaces; a text equal to the one shown stores nothing.
// Numbers never fail: they are read up to the first foreign character and
// clamped to the setting's range.
ParseResult parseValue(SourceRecord& r, const SettingRef& ref, std::string_view text);

// Stores the value of the choice-menu entry with menu command `command`.
// Answers whether something was stored.
bool applyChoice(SourceRecord& r, const SettingRef& ref, int command);

// Rows whose text depends on the given value and must be redrawn after it
// changes: a module name (107) is also the value of the row "Module %d"
// (105), and the packet sizes (128, 129) feed the sums 131 and 132.
std::vector<SettingRef> rowsToRedrawAfter(const SettingRef& changed);

}  // namespace sf
