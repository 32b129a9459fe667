// The commands that talk to the instrument, plugged into the main window:
// "Send..." in the row menu of every message setting and in the message
// editor, "Request dump..." in the row menu of "Module %d" and in the Tools
// menu (for the module of the selected row), "Send to MIDI output" in the
// Tools menu and the hex view's menu.
#pragma once

#include <vector>

#include "source/schema.h"
#include "sysex/message.h"

class QWidget;

namespace sf::gui {

class SFFrameWindow;
class SourceView;

void installInstrument(SFFrameWindow& frame);

// "Send..." for the message `units` of the setting `ref` of `record`.
void sendMessage(QWidget* parent, const SourceRecord& record, const SettingRef& ref,
                 std::vector<MessageUnit> units);
// "Request dump..." for `module` of the source shown by `view`.
void requestDump(SFFrameWindow& frame, SourceView& view, int module);

}  // namespace sf::gui
