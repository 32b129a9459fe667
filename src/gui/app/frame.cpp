#include "app/frame.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDataStream>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/helpviewer.h"
#include "app/icons.h"
#include "app/preferencesdialog.h"
#include "app/sourcedocument.h"
#include "app/sysforgeapp.h"
#include "driver/install.h"
#include "editor/document.h"
#include "editor/preferences.h"
#include "editor/session.h"
#include "editor/windowplacement.h"
#include "source/sourceview.h"
#include "sysex/message.h"
#include "ui/help.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

#ifndef SF_VERSION
#define SF_VERSION "0"
#endif

namespace sf::gui {

namespace {
SFFrameWindow* theFrame = nullptr;

// Commands whose features arrive with later parts of the program: present,
// disabled until connected.
const char* const kLaterCommands[] = {
    "actionOpenBinaryFile",      "actionReceiveMidiBulk", "actionNumericConverter",
    "actionListDriverGenerator", "actionMidiSettings",    "actionDriverSelectionList",
    "actionCheckDriver",         "actionCompareWith",     "actionExportText",
    "actionImportText",          "actionAnalyseDump",
};

// The commands that read or save documents: before them an open edit box is
// committed. The searches of the source windows do the same (viewCreated),
// and so does closing the main window (closeEvent).
const char* const kDocumentCommands[] = {
    "actionSave",        "actionSaveAs",     "actionSaveAndRun",  "actionClose",
    "actionCloseAll",    "actionExit",       "actionRevert",      "actionCheckDriver",
    "actionCompareWith", "actionExportText", "actionAnalyseDump",
};

bool readsDocuments(const QString& command) {
    return std::any_of(std::begin(kDocumentCommands), std::end(kDocumentCommands),
                       [&](const char* c) { return command == QLatin1String(c); });
}
}  // namespace

// --- SysforgeMDIClient ---

SysforgeMDIClient::SysforgeMDIClient(QWidget* parent) : QMdiArea(parent) {
    setObjectName(QStringLiteral("SysforgeMDIClient"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void SysforgeMDIClient::minimizeAll() {
    for (QMdiSubWindow* w : subWindowList())
        if (!w->isMinimized() && (w->windowFlags() & Qt::WindowMinimizeButtonHint))
            w->showMinimized();
}

void SysforgeMDIClient::restoreAll() {
    for (QMdiSubWindow* w : subWindowList())
        if (w->isMinimized()) w->showNormal();
}

namespace {
std::vector<QMdiSubWindow*> normalWindows(const QMdiArea& area) {
    std::vector<QMdiSubWindow*> out;
    for (QMdiSubWindow* w : area.subWindowList(QMdiArea::CreationOrder))
        if (w->isVisible() && !w->isMinimized()) out.push_back(w);
    return out;
}
}  // namespace

void SysforgeMDIClient::tileVertically() {
    auto wins = normalWindows(*this);
    if (wins.empty()) return;
    const QRect area = viewport()->rect();
    const int n = static_cast<int>(wins.size());
    for (int i = 0; i < n; ++i) {
        if (wins[i]->isMaximized()) wins[i]->showNormal();
        const int x0 = area.width() * i / n, x1 = area.width() * (i + 1) / n;
        wins[i]->setGeometry(x0, 0, x1 - x0, area.height());
    }
}

void SysforgeMDIClient::tileHorizontally() {
    auto wins = normalWindows(*this);
    if (wins.empty()) return;
    const QRect area = viewport()->rect();
    const int n = static_cast<int>(wins.size());
    for (int i = 0; i < n; ++i) {
        if (wins[i]->isMaximized()) wins[i]->showNormal();
        const int y0 = area.height() * i / n, y1 = area.height() * (i + 1) / n;
        wins[i]->setGeometry(0, y0, area.width(), y1 - y0);
    }
}

void SysforgeMDIClient::arrangeMinimized() {
    const QRect area = viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* w : subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized()) continue;
        const QSize s = w->size();
        w->move(x, area.height() - s.height());
        x += s.width();
    }
}

// --- SFFrameWindow ---

SFFrameWindow::SFFrameWindow(Preferences& prefs, WindowLayout* layout, QWidget* parent)
    : QMainWindow(parent), prefs_(prefs), layout_(layout) {
    theFrame = this;
    setObjectName(QStringLiteral("SysforgeFrame"));
    setWindowTitle(QStringLiteral("Sysforge"));
    setWindowIcon(appIcon());
    setAcceptDrops(true);

    client_ = new SysforgeMDIClient(this);
    setCentralWidget(client_);
    docs_ = new DocumentManager(*client_, prefs_, layout_, this);
    auto type = std::make_unique<SourceDocType>([this] {
        return ViewOptions{prefs_.showGrid, prefs_.showCopyable, prefs_.showDisabled};
    });
    sourceType_ = type.get();
    docs_->registerType(std::move(type));

    buildMenus();
    buildControlBar();
    statusText_ = new QLabel(this);
    statusBar()->addWidget(statusText_, 1);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusText_->setText(tr("Ready"));

    connect(client_, &QMdiArea::subWindowActivated, this, &SFFrameWindow::subWindowActivated);
    connect(docs_, &DocumentManager::viewCreated, this, &SFFrameWindow::viewCreated);
    connect(docs_, &DocumentManager::documentsChanged, this, &SFFrameWindow::updateCommands);
    connect(docs_, &DocumentManager::documentStateChanged, this, &SFFrameWindow::updateCommands);
    updateCommands();
    resize(900, 650);
}

SFFrameWindow::~SFFrameWindow() {
    // Windows go before the document manager they report to.
    for (QMdiSubWindow* w : client_->subWindowList()) delete w;
    if (theFrame == this) theFrame = nullptr;
}

SFFrameWindow* SFFrameWindow::instance() {
    return theFrame;
}

QAction* SFFrameWindow::commandAction(const QString& objectName) const {
    return commands_.value(objectName, nullptr);
}

QStringList SFFrameWindow::commandNames() const {
    return commands_.keys();
}

QAction* SFFrameWindow::addCommand(QMenu* menu, const QString& objectName, const QString& text,
                                   const QKeySequence& key, const QString& icon) {
    auto* a = new QAction(text, this);
    a->setObjectName(objectName);
    if (!key.isEmpty()) a->setShortcut(key);
    if (!icon.isEmpty()) a->setIcon(themedIcon(icon));
    if (menu) menu->addAction(a);
    addAction(a);  // shortcuts work while the menu bar is hidden too
    commands_.insert(objectName, a);
    // Connected before the command itself, so it runs first.
    if (readsDocuments(objectName))
        connect(a, &QAction::triggered, this, &SFFrameWindow::commitPendingEdits);
    return a;
}

void SFFrameWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    connect(addCommand(file, "actionNew", "New", {}, "new"), &QAction::triggered, this,
            [this] { docs_->newDocument(); });
    connect(addCommand(file, "actionOpenDriver", "Open driver...\tCtrl+O", QKeySequence("Ctrl+O"),
                       "open"),
            &QAction::triggered, this,
            [this] { docs_->openWithDialog(QStringLiteral("DriverSource")); });
    addCommand(file, "actionOpenBinaryFile", "Open binary file...");
    file->addSeparator();
    connect(addCommand(file, "actionRevert", "&Revert to saved..."), &QAction::triggered, this,
            [this] { docs_->revert(docs_->activeDocument()); });
    connect(addCommand(file, "actionClose", "&Close\tCtrl+W", QKeySequence("Ctrl+W")),
            &QAction::triggered, this, [this] { docs_->close(docs_->activeDocument()); });
    file->addSeparator();
    connect(addCommand(file, "actionSave", "Save\tCtrl+S", QKeySequence("Ctrl+S"), "save"),
            &QAction::triggered, this, [this] { docs_->save(docs_->activeDocument()); });
    connect(addCommand(file, "actionSaveAs", "Save as..."), &QAction::triggered, this,
            [this] { docs_->saveAs(docs_->activeDocument()); });
    connect(addCommand(file, "actionSaveAndRun", "Save and run Arranta\tCtrl+F8",
                       QKeySequence("F8"), "run"),
            &QAction::triggered, this, &SFFrameWindow::saveAndRun);
    file->addSeparator();
    addCommand(file, "actionExportText", "Export as text...");
    addCommand(file, "actionImportText", "Import text...");
    file->addSeparator();
    QAction* exit = addCommand(file, "actionExit", "Exit\tAlt+F4", QKeySequence("Alt+F4"));
    exit->setMenuRole(QAction::QuitRole);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    editMenu_ = bar->addMenu(tr("&Edit"));
    editMenu_->setObjectName(QStringLiteral("menuEdit"));
    editMenu_->menuAction()->setVisible(false);

    QMenu* tools = bar->addMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("menuTools"));
    addCommand(tools, "actionReceiveMidiBulk", "Receive MIDI bulk...\tF9", QKeySequence("F9"));
    addCommand(tools, "actionRequestDump", "Request dump...\tShift+F9", QKeySequence("Shift+F9"));
    addCommand(tools, "actionSendToMidi", "Send to MIDI output");
    addCommand(tools, "actionNumericConverter", "Numeric converter...\tF5", QKeySequence("F5"));
    addCommand(tools, "actionListDriverGenerator", "List driver generator...");
    tools->addSeparator();
    addCommand(tools, "actionCheckDriver", "Check driver\tF7", QKeySequence("F7"));
    addCommand(tools, "actionCompareWith", "Compare with...");
    tools->addSeparator();
    addCommand(tools, "actionAnalyseDump", "Analyse with driver...");

    QMenu* options = bar->addMenu(tr("&Options"));
    options->setObjectName(QStringLiteral("menuOptions"));
    connect(addCommand(options, "actionPreferences", "Preferences..."), &QAction::triggered, this,
            &SFFrameWindow::runPreferences);
    addCommand(options, "actionMidiSettings", "MIDI Settings...");
    options->addSeparator();
    QAction* bar2 = addCommand(options, "actionControlBar", "&Control bar");
    bar2->setCheckable(true);
    QAction* help = addCommand(options, "actionContextHelp", "&Context help");
    help->setCheckable(true);
    connect(help, &QAction::triggered, this, [this] { showContextHelp({}, true); });
    addCommand(options, "actionDriverSelectionList", "&Driver selection list")->setCheckable(true);
    options->addSeparator();
    const char* toggles[3][2] = {{"actionGridStyle", "&Grid style"},
                                 {"actionShowCopyable", "&Show drag-and-drop possibilities"},
                                 {"actionShowDisabled", "&Show disabled values"}};
    for (int i = 0; i < 3; ++i) {
        QAction* t = addCommand(options, toggles[i][0], toggles[i][1]);
        t->setCheckable(true);
        connect(t, &QAction::triggered, this, [this, i] { toggleViewOption(i); });
    }
    connect(options, &QMenu::aboutToShow, this, &SFFrameWindow::updateOptionChecks);

    windowMenu_ = bar->addMenu(tr("&Window"));
    windowMenu_->setObjectName(QStringLiteral("menuWindow"));
    connect(addCommand(windowMenu_, "actionCascade", "&Cascade", {}, "cascade"),
            &QAction::triggered, client_, &QMdiArea::cascadeSubWindows);
    connect(
        addCommand(windowMenu_, "actionTileVertically", "&Tile Vertically", {}, "tile-vertical"),
        &QAction::triggered, client_, &SysforgeMDIClient::tileVertically);
    connect(addCommand(windowMenu_, "actionTileHorizontally", "Tile &Horizontally", {},
                       "tile-horizontal"),
            &QAction::triggered, client_, &SysforgeMDIClient::tileHorizontally);
    connect(addCommand(windowMenu_, "actionArrangeMinimized", "Arrange m&inimized windows"),
            &QAction::triggered, client_, &SysforgeMDIClient::arrangeMinimized);
    windowMenu_->addSeparator();
    connect(addCommand(windowMenu_, "actionCloseAll", "Close &all"), &QAction::triggered, this,
            [this] { docs_->closeAll(); });
    connect(addCommand(windowMenu_, "actionMinimizeAll", "&Minimize all", {}, "minimize-all"),
            &QAction::triggered, this, [this] {
                client_->minimizeAll();
                updateCommands();
            });
    connect(addCommand(windowMenu_, "actionRestoreAll", "&Restore all"), &QAction::triggered, this,
            [this] {
                client_->restoreAll();
                updateCommands();
            });
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] {
        updateWindowMenu();
        fillWindowList();
    });
    windowList_ = new QActionGroup(this);

    QMenu* helpMenu = bar->addMenu(tr("&Help"));
    helpMenu->setObjectName(QStringLiteral("menuHelp"));
    connect(addCommand(helpMenu, "actionHelp", "Help...", {}, "help"), &QAction::triggered, this,
            [] { showHelp(0); });
    connect(addCommand(helpMenu, "actionGlossary", "Glossary..."), &QAction::triggered, this,
            [] { showHelp(2010); });
    helpMenu->addSeparator();
    QAction* about = addCommand(helpMenu, "actionAbout", "About...");
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &SFFrameWindow::showAbout);

    // The control bar's undo and redo act on the active source view.
    connect(addCommand(nullptr, "actionUndo", tr("Undo"), {}, "undo"), &QAction::triggered, this,
            [this] { undoRedo(false); });
    connect(addCommand(nullptr, "actionRedo", tr("Redo"), {}, "redo"), &QAction::triggered, this,
            [this] { undoRedo(true); });

    for (const char* name : kLaterCommands) commandAction(name)->setEnabled(false);
}

void SFFrameWindow::buildControlBar() {
    controlBar_ = addToolBar(QStringLiteral("Control Bar"));
    controlBar_->setObjectName(QStringLiteral("ControlBar"));
    controlBar_->setMovable(false);
    const char* order[] = {"actionNew",
                           "actionOpenDriver",
                           "actionSave",
                           nullptr,
                           "actionSaveAndRun",
                           nullptr,
                           "actionUndo",
                           "actionRedo",
                           nullptr,
                           "actionCascade",
                           "actionTileVertically",
                           "actionTileHorizontally",
                           "actionMinimizeAll"};
    for (const char* name : order) {
        if (!name) {
            controlBar_->addSeparator();
            continue;
        }
        QAction* a = commandAction(name);
        controlBar_->addAction(a);
    }
    // The buttons show the label without the key and the ellipsis.
    for (QAction* a : controlBar_->actions()) {
        if (a->isSeparator()) continue;
        QString tip = a->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        tip.remove(QStringLiteral("..."));
        a->setIconText(tip);
        a->setToolTip(tip);
    }
    QAction* toggle = commandAction("actionControlBar");
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, controlBar_, &QToolBar::setVisible);
    connect(controlBar_, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

SourceDocument* SFFrameWindow::activeSourceDocument() const {
    return qobject_cast<SourceDocument*>(docs_->activeDocument());
}

SourceView* SFFrameWindow::activeSourceView() const {
    SourceDocument* d = activeSourceDocument();
    return d ? d->view() : nullptr;
}

std::vector<SourceView*> SFFrameWindow::sourceViews() const {
    std::vector<SourceView*> out;
    for (Document* d : docs_->documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->view()) out.push_back(s->view());
    return out;
}

void SFFrameWindow::openFiles(const QStringList& paths) {
    for (const QString& p : paths) docs_->open(p);
}

void SFFrameWindow::viewCreated(Document*, QWidget* view) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(view->parentWidget()))
        connect(sub, &QMdiSubWindow::windowStateChanged, this, &SFFrameWindow::updateCommands,
                Qt::UniqueConnection);
    auto* sv = qobject_cast<SourceView*>(view);
    if (!sv) return;
    // Connected before the searches are (installFrameExtensions comes after
    // the frame), so the search reads the committed value.
    connect(sv, &SourceView::searchRequested, this, &SFFrameWindow::commitPendingEdits);
    connect(sv, &SourceView::helpTextChanged, this, [this](const QString& text) {
        statusText_->setText(text.isEmpty()
                                 ? tr("Ready")
                                 : QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        showContextHelp(text, false);
    });
    connect(sv, &SourceView::contextHelpRequested, this,
            [this](const QString& text) { showContextHelp(text, true); });
    connect(sv, &SourceView::optionsChanged, this, [this](const ViewOptions& o) {
        prefs_.showGrid = o.grid;
        prefs_.showCopyable = o.showCopyable;
        prefs_.showDisabled = o.showDisabled;
        updateOptionChecks();
    });
    for (QAction* a : {sv->undoAction(), sv->redoAction()})
        connect(a, &QAction::changed, this, &SFFrameWindow::updateCommands);
    // A reverted document gets a new view in the same, still active window.
    subWindowActivated();
}

void SFFrameWindow::subWindowActivated() {
    SourceView* v = activeSourceView();
    if (v != lastEditView_) {
        editMenu_->clear();
        if (v) editMenu_->addActions(v->editActions());
        lastEditView_ = v;
    }
    editMenu_->menuAction()->setVisible(v != nullptr);
    updateCommands();
    emit activeDocumentChanged(docs_->activeDocument());
}

void SFFrameWindow::updateCommands() {
    Document* doc = docs_->activeDocument();
    SourceView* v = activeSourceView();
    // The task bar names the document being worked on.
    wantedTitle_ = fromUtf8(frameTitle(doc ? doc->displayName().toStdString() : std::string()));
    setWindowTitle(wantedTitle_);
    setWindowModified(doc && doc->isModified());
    commandAction("actionRevert")->setEnabled(doc && doc->hasFile());
    commandAction("actionClose")->setEnabled(doc);
    commandAction("actionSave")->setEnabled(doc);
    commandAction("actionSaveAs")->setEnabled(doc);
    commandAction("actionSaveAndRun")->setEnabled(v != nullptr);
    commandAction("actionUndo")->setEnabled(v && v->undoAction()->isEnabled());
    commandAction("actionRedo")->setEnabled(v && v->redoAction()->isEnabled());
    for (const char* t : {"actionGridStyle", "actionShowCopyable", "actionShowDisabled"})
        commandAction(t)->setEnabled(v != nullptr);
    updateWindowMenu();
    updateOptionChecks();
}

void SFFrameWindow::updateWindowMenu() {
    std::vector<ChildWindowState> states;
    for (QMdiSubWindow* w : client_->subWindowList())
        if (w->isVisible() || w->isMinimized())
            states.push_back(
                {w->isMinimized(), bool(w->windowFlags() & Qt::WindowMinimizeButtonHint)});
    const WindowCommandState s = windowCommandState(states);
    commandAction("actionCloseAll")->setEnabled(s.closeAll);
    commandAction("actionMinimizeAll")->setEnabled(s.minimizeAll);
    commandAction("actionRestoreAll")->setEnabled(s.restoreAll);
    for (const char* n : {"actionCascade", "actionTileVertically", "actionTileHorizontally",
                          "actionArrangeMinimized"})
        commandAction(n)->setEnabled(s.closeAll);
}

// The open document windows at the end of the "&Window" menu, the active one checked.
void SFFrameWindow::fillWindowList() {
    for (QAction* a : windowList_->actions()) {
        windowMenu_->removeAction(a);
        delete a;
    }
    const auto wins = client_->subWindowList(QMdiArea::CreationOrder);
    if (wins.isEmpty()) return;
    windowList_->addAction(windowMenu_->addSeparator());
    int n = 0;
    for (QMdiSubWindow* w : wins) {
        ++n;
        QString label = w->windowTitle();
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a =
            windowMenu_->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(label) : label);
        a->setCheckable(true);
        a->setChecked(w == client_->currentSubWindow());
        windowList_->addAction(a);
        connect(a, &QAction::triggered, this, [this, w = QPointer<QMdiSubWindow>(w)] {
            if (!w) return;
            if (w->isMinimized()) w->showNormal();
            client_->setActiveSubWindow(w);
        });
    }
}

void SFFrameWindow::updateOptionChecks() {
    commandAction("actionContextHelp")->setChecked(HelpWindow::isOpen());
    commandAction("actionControlBar")->setChecked(controlBar_ && !controlBar_->isHidden());
    SourceView* v = activeSourceView();
    const ViewOptions o =
        v ? v->options() : ViewOptions{prefs_.showGrid, prefs_.showCopyable, prefs_.showDisabled};
    commandAction("actionGridStyle")->setChecked(o.grid);
    commandAction("actionShowCopyable")->setChecked(o.showCopyable);
    commandAction("actionShowDisabled")->setChecked(o.showDisabled);
}

void SFFrameWindow::toggleViewOption(int which) {
    SourceView* v = activeSourceView();
    if (!v) {
        updateOptionChecks();
        return;
    }
    ViewOptions o = v->options();
    bool& flag = which == 0 ? o.grid : which == 1 ? o.showCopyable : o.showDisabled;
    flag = !flag;
    v->setOptions(o);
    // The last toggle is what new views start with.
    prefs_.showGrid = o.grid;
    prefs_.showCopyable = o.showCopyable;
    prefs_.showDisabled = o.showDisabled;
    updateOptionChecks();
}

void SFFrameWindow::undoRedo(bool redo) {
    if (SourceView* v = activeSourceView()) {
        QAction* a = redo ? v->redoAction() : v->undoAction();
        if (a->isEnabled()) a->trigger();
    }
    updateCommands();
}

void SFFrameWindow::showContextHelp(const QString& text, bool force) {
    if (!HelpWindow::isOpen() && !force) return;
    auto* w = findChild<HelpWindow*>(QStringLiteral("HelpWindow"), Qt::FindDirectChildrenOnly);
    if (!w) {
        w = new HelpWindow(this);
        connect(w, &HelpWindow::openChanged, this, &SFFrameWindow::updateOptionChecks);
    }
    w->showKept();
    if (!text.isEmpty()) w->setText(text);
    updateOptionChecks();
}

HelpWindow* SFFrameWindow::contextHelpWindow() const {
    return findChild<HelpWindow*>(QStringLiteral("HelpWindow"), Qt::FindDirectChildrenOnly);
}

void SFFrameWindow::refreshAllValues() {
    for (SourceView* v : sourceViews()) v->refreshAllValues();
}

void SFFrameWindow::runPreferences() {
    PreferencesDialog dlg(prefs_, this);
    if (dlg.exec() != QDialog::Accepted) return;
    if (SysforgeApp* app = SysforgeApp::instance())
        app->applyPreferences();
    else {
        setHexPrefixIndex(prefs_.hexType);
        refreshAllValues();
    }
}

void SFFrameWindow::saveAndRun() {
    SourceDocument* doc = activeSourceDocument();
    if (!doc) return;
    InstallRequest r;
    r.hostPath = prefs_.hostPath;
    r.record = &doc->source().working();
    r.sourcePath = doc->filePath().toStdString();
    r.everSaved = doc->hasFile();
    r.modified = doc->isModified();
    r.save = [this, doc] { return docs_->save(doc); };
    DetachedProcessLauncher launcher;
    const InstallResult result = installAndRunHost(r, prompter(), launcher);
    switch (result.outcome) {
        case InstallOutcome::OpenPreferences:
            runPreferences();
            break;
        case InstallOutcome::RunSaveCommand:
            docs_->save(doc);
            break;
        case InstallOutcome::HostStarted:
            statusText_->setText(tr("Driver written to %1; Arranta started.")
                                     .arg(QString::fromStdString(result.driverPath.string())));
            break;
        case InstallOutcome::SaveFailed:
        case InstallOutcome::WriteFailed:
            break;
    }
    updateCommands();
}

void SFFrameWindow::showAbout() {
    auto* dlg = new QDialog(this);
    dlg->setObjectName(QStringLiteral("AboutBox"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(QStringLiteral("Sysforge"));
    auto* layout = new QVBoxLayout(dlg);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(dlg);
    icon->setPixmap(appIcon().pixmap(64, 64));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(dlg);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setTextFormat(Qt::RichText);
    text->setText(QStringLiteral("<h2>Sysforge</h2><p>Version %1</p>"
                                 "<p>An editor for MIDI instrument drivers.</p>")
                      .arg(QStringLiteral(SF_VERSION)));
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dlg);
    connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    layout->addWidget(buttons);
    dlg->open();
}

void SFFrameWindow::restoreBars(const QByteArray& state) {
    restoreState(state);
    updateOptionChecks();
}

void SFFrameWindow::raiseToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void SFFrameWindow::commitPendingEdits() {
    for (Document* d : docs_->documents()) d->commitPendingEdit();
}

void SFFrameWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // A maximised document window writes its own name into the frame's
    // title ("Sysforge - [name]"); the frame keeps the one it chose.
    if (event->type() == QEvent::WindowTitleChange && !wantedTitle_.isEmpty() &&
        windowTitle() != wantedTitle_)
        setWindowTitle(wantedTitle_);
}

void SFFrameWindow::closeEvent(QCloseEvent* event) {
    commitPendingEdits();
    if (!docs_->closeAll()) {
        event->ignore();
        return;
    }
    if (layout_) {
        const QRect g = isMaximized() || isMinimized() ? normalGeometry() : geometry();
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << qint32(1) << g;
        layout_->mainGeometry.assign(bytes.begin(), bytes.end());
        layout_->mainMaximized = isMaximized();
        const QByteArray bars = saveState();
        layout_->mainBars.assign(bars.begin(), bars.end());
    }
    if (HelpWindow* h = contextHelpWindow()) h->close();
    event->accept();
    emit closed();
}

void SFFrameWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& u : event->mimeData()->urls())
            if (u.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
    }
}

void SFFrameWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& u : event->mimeData()->urls())
        if (u.isLocalFile()) files << u.toLocalFile();
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // Opening may ask questions; not from inside the drop.
    QMetaObject::invokeMethod(
        this, [this, files] { openFiles(files); }, Qt::QueuedConnection);
}

}  // namespace sf::gui
