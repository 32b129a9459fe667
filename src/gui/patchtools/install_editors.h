// Connects the value editors (message editor, ROM patch names, converter,
// macros) to their rows of the settings tree. Called once at start-up.
#pragma once

#include <functional>
#include <vector>

#include "source/schema.h"
#include "sysex/message.h"

class QWidget;

namespace sf::gui {
void installValueEditors();

// What the message editor's "Send..." does with the message of `ref` as
// edited so far; without a handler the editor has no such button.
using MessageSendHandler =
    std::function<void(QWidget* parent, const SourceRecord& record, const SettingRef& ref,
                       std::vector<MessageUnit> units)>;
void setMessageSendHandler(MessageSendHandler handler);
MessageSendHandler& messageSendHandler();
}  // namespace sf::gui
