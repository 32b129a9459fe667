#include "instrument/instrumentcommands.h"

#include <QAction>
#include <QMenu>

#include "app/frame.h"
#include "app/sourcedocument.h"
#include "app/tools.h"
#include "editor/document.h"
#include "instrument/instrumentdialogs.h"
#include "patchtools/install_editors.h"
#include "source/message_record.h"
#include "source/sourceview.h"
#include "sysex/memorydocument.h"
#include "sysex/midisystem.h"
#include "ui/qtprompter.h"

namespace sf::gui {

namespace {

constexpr int kModuleRow = 105;

SourceDocument* documentOf(SFFrameWindow& frame, const SourceView& view) {
    for (Document* d : frame.documents().documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->view() == &view) return s;
    return nullptr;
}

// The module of the selected row of `view` (0 outside the modules).
int currentModule(const SourceView& view) {
    const auto ref = view.currentRef();
    return ref && isModuleSetting(ref->id) && ref->index1 >= 0 ? ref->index1 : 0;
}

void sendActiveDocument(SFFrameWindow& frame) {
    auto* doc = qobject_cast<MemoryDocument*>(frame.documents().activeDocument());
    if (!doc) return;
    SendDialog dialog(midiSystem(), currentMidiPreferences().output, doc->memory().data(), &frame);
    dialog.exec();
}

}  // namespace

void sendMessage(QWidget* parent, const SourceRecord& record, const SettingRef& ref,
                 std::vector<MessageUnit> units) {
    const int module = isModuleSetting(ref.id) ? ref.index1 : -1;
    SendDialog dialog(midiSystem(), currentMidiPreferences().output, record, module, ref.id,
                      std::move(units), parent);
    dialog.exec();
}

void requestDump(SFFrameWindow& frame, SourceView& view, int module) {
    SourceDocument* doc = documentOf(frame, view);
    const QString path = doc ? doc->filePath() : QString();
    RequestDumpDialog dialog(midiSystem(), currentMidiPreferences(), view.document().working(),
                             module, path, &frame);
    SFFrameWindow* f = &frame;
    QObject::connect(&dialog, &RequestDumpDialog::showRequested, f,
                     [f](const std::vector<std::uint8_t>& bytes, const QString& source, int m) {
                         auto* type = dynamic_cast<MemoryDocType*>(
                             f->documents().type(QString::fromLatin1(MemoryDocFactory::kTypeName)));
                         if (!type) return;
                         std::unique_ptr<MemoryDocument> d = type->fromBytes(bytes);
                         d->setRequestOrigin(source, m);
                         f->documents().addDocument(std::move(d));
                     });
    dialog.exec();
}

void installInstrument(SFFrameWindow& frame) {
    SFFrameWindow* f = &frame;
    if (QAction* a = frame.commandAction(QStringLiteral("actionRequestDump"))) {
        QObject::connect(a, &QAction::triggered, f, [f] {
            SourceView* v = f->activeSourceView();
            if (!v) {
                prompter().message("Open a driver source to request a dump of one of its modules.",
                                   MessageIcon::Exclamation);
                return;
            }
            requestDump(*f, *v, currentModule(*v));
        });
    }
    if (QAction* a = frame.commandAction(QStringLiteral("actionSendToMidi"))) {
        QObject::connect(a, &QAction::triggered, f, [f] { sendActiveDocument(*f); });
        auto update = [f, a] {
            a->setEnabled(qobject_cast<MemoryDocument*>(f->documents().activeDocument()) !=
                          nullptr);
        };
        QObject::connect(f, &SFFrameWindow::activeDocumentChanged, f, update);
        QObject::connect(&frame.documents(), &DocumentManager::viewCreated, f,
                         [a](Document*, QWidget* view) {
                             if (!qobject_cast<MemoryView*>(view)) return;
                             view->setContextMenuPolicy(Qt::ActionsContextMenu);
                             view->addAction(a);
                         });
        update();
    }
    // The row menu of every source view: "Send..." on messages, "Request
    // dump..." on modules.
    SourceView::setRowMenuHook([f](SourceView& view, QMenu& menu, const SettingRef& ref) {
        const SourceRecord& r = view.document().working();
        if (ref.id == kModuleRow) {
            menu.addSeparator();
            QObject::connect(menu.addAction(QStringLiteral("Request dump...")), &QAction::triggered,
                             f, [f, &view, m = ref.index1] { requestDump(*f, view, m); });
        } else if (const auto field = messageField(r, ref)) {
            menu.addSeparator();
            QObject::connect(menu.addAction(QStringLiteral("Send...")), &QAction::triggered, &view,
                             [&view, ref] {
                                 const SourceRecord& rec = view.document().working();
                                 sendMessage(&view, rec, ref,
                                             readMessage(rec, *messageField(rec, ref)));
                             });
        }
    });
    // The message editor's "Send..." sends the message as edited so far.
    setMessageSendHandler(
        [](QWidget* parent, const SourceRecord& r, const SettingRef& ref,
           std::vector<MessageUnit> units) { sendMessage(parent, r, ref, std::move(units)); });
}

}  // namespace sf::gui
