// Editors that other parts of the program connect to rows of the settings
// tree: the message editor for every Message row, and dialogs for single
// settings (ROM patch names 265, converter 305, macros 307). A double click on
// such a row calls the editor; a row without a connected editor behaves like
// a row that has none.
#pragma once

#include <QWidget>
#include <functional>

#include "source/schema.h"

namespace sf {
class SourceDoc;
}

namespace sf::gui {

struct ValueEditContext {
    QWidget* parent;
    SourceDoc& doc;   // the editor changes doc.working() on OK
    SettingRef ref;   // the double-clicked row
};

// Answers true when the user confirmed and the working record may have
// changed; the view then refreshes the row (and its dependants), takes a
// checkpoint and evaluates the enabled states again.
using ValueEditor = std::function<bool(const ValueEditContext&)>;

// Connects `editor` to every row of setting `id`.
void setValueEditor(int id, ValueEditor editor);
// Connects `editor` to every Message row.
void setMessageEditor(ValueEditor editor);
// The editor for a row, or null.
const ValueEditor* findValueEditor(const SettingRef& ref);

}  // namespace sf::gui
