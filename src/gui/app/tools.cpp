#include "app/tools.h"

#include <QAction>
#include <QMdiArea>
#include <QStatusBar>
#include <QTreeView>

#include "app/frame.h"
#include "app/sourcedocument.h"
#include "app/sysforgeapp.h"
#include "driver/driverlistwindow.h"
#include "driver/driversearch.h"
#include "driver/listdriverdialog.h"
#include "editor/document.h"
#include "source/sourceview.h"
#include "sysex/memorydocument.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisettingsdialog.h"
#include "sysex/midisystem.h"
#include "sysex/numericconverter.h"

namespace sf::gui {

namespace fs = std::filesystem;

namespace {

MemoryDocType* memoryType(SFFrameWindow& frame) {
    return dynamic_cast<MemoryDocType*>(
        frame.documents().type(QString::fromLatin1(MemoryDocFactory::kTypeName)));
}

}  // namespace

// The MIDI choices live in the preferences as numbers (MidiIn, MidiOut) and,
// beside them, by the ports' names, so that a port is found again when the
// numbering changed.
MidiPreferences currentMidiPreferences() {
    SysforgeApp* app = SysforgeApp::instance();
    if (!app) return {};
    Config& config = app->config();
    config.selectPath("\\Paths");
    MidiPreferences p{{app->preferences().midiIn, config.readText("MidiInName", 0, "")},
                      {app->preferences().midiOut, config.readText("MidiOutName", 0, "")}};
    config.selectRoot();
    return p;
}

namespace {

void storeMidiPreferences(const MidiPreferences& p) {
    SysforgeApp* app = SysforgeApp::instance();
    if (!app) return;
    app->preferences().midiIn = p.input.number;
    app->preferences().midiOut = p.output.number;
    Config& config = app->config();
    config.selectPath("\\Paths");
    config.writeText("MidiInName", 0, p.input.label);
    config.writeText("MidiOutName", 0, p.output.label);
    config.selectRoot();
}

// Opens a driver from the list and selects the searched setting in its tree.
void openFromList(SFFrameWindow& frame, const fs::path& path,
                  const std::optional<SettingRef>& ref) {
    DocumentManager& docs = frame.documents();
    Document* doc = docs.open(QString::fromStdString(path.string()), frame.sourceType().name());
    auto* source = qobject_cast<SourceDocument*>(doc);
    if (!source || !source->view()) return;
    SourceView* view = source->view();
    if (ref) view->selectRef(*ref);
    if (DocumentWindow* w = docs.windowOf(doc)) {
        if (w->isMinimized()) w->showNormal();
        docs.client().setActiveSubWindow(w);
        w->raise();
    }
    frame.raise();
    frame.activateWindow();
    view->tree()->setFocus();
}

void markDriverList(SFFrameWindow& frame, DriverListWindow* w);

void search(SFFrameWindow& frame, SourceView* view, int mode, const SettingRef& ref) {
    DriverSearchRequest request;
    request.current = copyRecord(view->document().working());
    request.ref = ref;
    request.mode = static_cast<SearchMode>(mode);
    if (SysforgeApp* app = SysforgeApp::instance()) request.root = app->preferences().driversRoot;
    // Drivers open in the editor are compared as they stand there.
    for (Document* d : frame.documents().documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->hasFile())
            request.open[fs::path(s->filePath().toStdString())] = copyRecord(s->source().working());
    SFFrameWindow* f = &frame;
    DriverSearch::start(std::move(request), &frame, frame.statusBar(),
                        [f] { f->runPreferences(); });
    markDriverList(frame, DriverListWindow::instance());
}

// The check mark of "&Driver selection list" follows the window.
void markDriverList(SFFrameWindow& frame, DriverListWindow* w) {
    QAction* check = frame.commandAction("actionDriverSelectionList");
    if (!w || !check) return;
    check->setChecked(true);
    if (w->property("sfMarked").toBool()) return;
    w->setProperty("sfMarked", true);
    QObject::connect(w, &QObject::destroyed, check, [check] { check->setChecked(false); });
}

}  // namespace

void showDriverList(SFFrameWindow& frame) {
    markDriverList(frame, DriverListWindow::showList(&frame));
}

void receiveMidiBulk(SFFrameWindow& frame) {
    MidiBulkDialog dialog(midiSystem(), currentMidiPreferences().input, &frame);
    QObject::connect(&dialog, &MidiBulkDialog::showRequested, &frame,
                     [&frame](const std::vector<std::uint8_t>& bytes) {
                         if (MemoryDocType* type = memoryType(frame))
                             frame.documents().addDocument(type->fromBytes(bytes));
                     });
    dialog.exec();
}

void editMidiSettings(SFFrameWindow& frame) {
    MidiSettingsDialog dialog(midiSystem(), currentMidiPreferences(), &frame);
    if (dialog.exec() == QDialog::Accepted) storeMidiPreferences(dialog.chosen());
}

void generateListDriver(SFFrameWindow& frame) {
    ListDriverDialog dialog(&frame);
    if (dialog.exec() != QDialog::Accepted) return;
    std::unique_ptr<SourceRecord> record = dialog.takeRecord();
    if (!record) return;
    frame.documents().addDocument(
        frame.sourceType().wrap(std::make_unique<SourceDoc>(std::move(record))));
}

void installTools(SFFrameWindow& frame) {
    DocumentManager& docs = frame.documents();
    docs.registerType(std::make_unique<MemoryDocType>());

    auto command = [&frame](const char* name, auto&& run) {
        QAction* a = frame.commandAction(QString::fromLatin1(name));
        if (!a) return;
        QObject::connect(a, &QAction::triggered, &frame, run);
        a->setEnabled(true);
    };
    SFFrameWindow* f = &frame;
    command("actionOpenBinaryFile", [f] {
        f->documents().openWithDialog(QString::fromLatin1(MemoryDocFactory::kTypeName));
    });
    command("actionReceiveMidiBulk", [f] { receiveMidiBulk(*f); });
    command("actionNumericConverter", [f] { NumericConverter::showConverter(f); });
    command("actionListDriverGenerator", [f] { generateListDriver(*f); });
    command("actionMidiSettings", [f] { editMidiSettings(*f); });
    command("actionDriverSelectionList", [f] { showDriverList(*f); });

    DriverListWindow::setOpenHandler(
        [f](const fs::path& path, const std::optional<SettingRef>& ref) {
            openFromList(*f, path, ref);
        });
    QObject::connect(&docs, &DocumentManager::viewCreated, &frame, [f](Document*, QWidget* view) {
        auto* sv = qobject_cast<SourceView*>(view);
        if (!sv) return;
        QObject::connect(sv, &SourceView::searchRequested, f,
                         [f, sv](int mode, const SettingRef& ref) { search(*f, sv, mode, ref); });
    });
    QObject::connect(&frame, &QObject::destroyed, [] { DriverListWindow::setOpenHandler({}); });
}

}  // namespace sf::gui
