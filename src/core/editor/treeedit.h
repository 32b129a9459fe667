// What the settings tree does with a click, a double click or an edit key on
// one of its rows, how long a typed value may be, and the follow-up of a
// stored value. The view turns the answers into menus, edit boxes and calls.
#pragma once

#include <cstddef>
#include <string_view>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

enum class TreeColumn { Parameter = 0, Value = 1, Comment = 2 };

enum class RowAction {
    None,
    ChoiceMenu,    // pop up the setting's choice menu
    ToggleExpand,  // expand or collapse the group
    ValueEditor,   // call the editor connected to the row (message, ROM names, converter, macros)
    InPlaceEdit,   // edit box over the Value cell (the small "Edit" dialog with Ctrl)
    HelpTopic,     // open the help topic `helpContext`
    HelpText,      // put the help text into the floating help window
};

// `enabled`: the row's enabled state. `hasEditor`: an editor is connected to
// the row (see the value editor hooks of the GUI).
RowAction clickAction(const SettingItem* item, TreeColumn column, bool enabled);
RowAction doubleClickAction(const SettingItem* item, TreeColumn column, bool enabled,
                            bool hasEditor);
// F2 or Enter on the current row edits its Value cell in the way that fits
// the row: choice menu, edit box, connected editor, or expand/collapse.
RowAction editKeyAction(const SettingItem* item, bool enabled, bool hasEditor);

// Whether a yes/no or flag row whose Value cell reads `valueText` is on
// (its box drawn ticked); false for every other row.
bool switchIsOn(const SettingItem* item, std::string_view valueText);

// Whether the setting offers a choice menu.
bool hasChoiceMenu(const SettingItem* item);

// Most characters the edit box accepts: the field size less the terminator
// for texts, 128 for the character table, 64 otherwise.
int editLengthLimit(const SourceRecord& r, const SettingRef& ref);

// "&Clear" empties a message; it is offered on message rows only.
bool canClear(const SettingItem* item);
// Sets the message's count to 0; answers whether the row held a message.
bool clearValue(SourceRecord& r, const SettingRef& ref);

// What every stored value needs before the checkpoint: the module's data
// structure normalised after a change of one of its structure settings.
void afterValueStored(SourceRecord& r, const SettingRef& ref);

}  // namespace sf
