#include "patchtools/install_editors.h"

#include <vector>

#include "editor/document.h"
#include "patchtools/converterdialog.h"
#include "patchtools/macrodialog.h"
#include "source/message_record.h"
#include "source/patchnamedialog.h"
#include "source/value_editors.h"
#include "sysex/messagedialog.h"

namespace sf::gui {

namespace {

constexpr int kRomNames = 265;
constexpr int kConverter = 305;
constexpr int kMacros = 307;

// The message of a row, edited on a copy; written back only after a change.
bool editMessageRow(const ValueEditContext& ctx) {
    SourceRecord& r = ctx.doc.working();
    const auto target = messageEditTarget(r, ctx.ref);
    if (!target || target->capacity <= 0) return false;
    std::vector<MessageUnit> units = readMessageUnits(r, target->field);
    units.resize(static_cast<std::size_t>(target->capacity), MessageUnit{0x00FF});
    int count = messageCount(r, target->field);
    std::function<void(QWidget*, std::vector<MessageUnit>)> send;
    if (messageSendHandler())
        send = [&r, ref = ctx.ref](QWidget* parent, std::vector<MessageUnit> edited) {
            messageSendHandler()(parent, r, ref, std::move(edited));
        };
    if (!editMessage(ctx.parent, units, count, target->capacity, target->headerLength, send))
        return false;
    writeMessage(r, target->field, units, count);
    return true;
}

}  // namespace

MessageSendHandler& messageSendHandler() {
    static MessageSendHandler handler;
    return handler;
}

void setMessageSendHandler(MessageSendHandler handler) {
    messageSendHandler() = std::move(handler);
}

void installValueEditors() {
    setMessageEditor(editMessageRow);
    setValueEditor(kRomNames, [](const ValueEditContext& ctx) {
        return editRomNames(ctx.parent, ctx.doc.working(), ctx.ref.index1, ctx.ref.index2);
    });
    setValueEditor(kConverter, [](const ValueEditContext& ctx) {
        return editConverter(ctx.parent, ctx.doc.working(), ctx.ref.index1);
    });
    setValueEditor(kMacros, [](const ValueEditContext& ctx) {
        return editMacros(ctx.parent, ctx.doc.working(), ctx.ref.index1);
    });
}

}  // namespace sf::gui
