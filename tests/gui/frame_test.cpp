// The main window as a user drives it: menus, documents, window commands
// and where the windows go, the context help window and the help viewer;
// commands given with a value still being typed into the tree's edit box,
// "Save as..." onto another driver's file, and a command that fails in a
// way nobody foresaw (the program's own application object runs the tests).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeView>
#include <stdexcept>

#include "app/helpviewer.h"
#include "app/preferencesdialog.h"
#include "app/sourcedocument.h"
#include "editor/docframe.h"
#include "editor/document.h"
#include "editor/preferences.h"
#include "source/sftree.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "support/leak_suppressions.h"
#include "support/modal_driver.h"
#include "sysex/memorydocument.h"
#include "sysex/message.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisystem.h"
#include "ui/guard.h"
#include "ui/help.h"

// The guard test throws through Qt's own frames (the action's activation),
// which are built without unwinding clean-up: the weak reference Qt holds on
// the action while it runs is never given back. That is the thrown test
// command's doing, not the editor's.
SF_LEAK_SUPPRESSIONS("leak:QtSharedPointer::ExternalRefCountData::getAndRef\n")

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

namespace {

// Every window that is neither minimised nor maximised shows its whole
// title bar inside the client.
QString titleBarsOutOfView(SFFrameWindow& frame) {
    QStringList out;
    const QRect area = frame.client()->viewport()->rect();
    for (QMdiSubWindow* w : frame.client()->subWindowList()) {
        if (!w->isVisible() || w->isMinimized() || w->isMaximized()) continue;
        const int bar = w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w);
        const QRect title(w->geometry().topLeft(), QSize(w->width(), bar));
        if (!area.contains(title))
            out << QStringLiteral("%1 at %2,%3 %4x%5")
                       .arg(w->windowTitle())
                       .arg(title.x())
                       .arg(title.y())
                       .arg(title.width())
                       .arg(title.height());
    }
    return out.join(QStringLiteral("; "));
}

// Double-clicks the Value cell of `ref` in the active source window and types
// `text` into the edit box that opens (and keeps the focus), without Enter.
bool typeWithoutEnter(SFFrameWindow& frame, const SettingRef& ref, const QString& text) {
    if (!QTest::qWaitForWindowActive(&frame)) return false;
    SourceView* v = frame.activeSourceView();
    if (!v || !v->selectRef(ref)) return false;
    doubleClick(v->tree(), v->tree()->currentIndex().siblingAtColumn(1));
    auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!box) return false;
    QTest::keyClicks(box, text);
    return true;
}

std::string savedValue(const QString& file, const SettingRef& ref) {
    auto r = readSourceFile(file.toStdString());
    return r ? formatValue(*r, ref) : std::string("(unreadable)");
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT
  private slots:
    // Which commands are enabled is the core's; here: a source window brings the
    // "&Edit" menu, its view's commands first and "Check driver" last.
    void menusCarryEveryCommand() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        auto menus = [&] {
            QStringList out;
            for (QAction* m : w.menuBar()->actions())
                if (m->isVisible()) out << m->text();
            return out;
        };
        QCOMPARE(menus(), (QStringList{"&File", "&Tools", "&Options", "&Window", "&Help"}));
        w.documents().newDocument();
        QCOMPARE(menus(),
                 (QStringList{"&File", "&Edit", "&Tools", "&Options", "&Window", "&Help"}));
        const QList<QAction*> editMenu = w.menuBar()->actions()[1]->menu()->actions();
        const QList<QAction*> viewActions = w.activeSourceView()->editActions();
        QCOMPARE(editMenu.mid(0, viewActions.size()), viewActions);
        QCOMPARE(editMenu.last(), w.commandAction("actionCheckDriver"));
    }

    void controlBarAndPlaceAreKept() {
        AppFixture f;
        f.trigger("actionControlBar");
        QVERIFY(f.frame().findChild<QToolBar*>("ControlBar")->isHidden());

        // The next start keeps the bar hidden, the window where it was.
        f.frame().setGeometry(40, 50, 700, 500);
        const QRect kept = f.frame().geometry();
        QVERIFY(f.frame().close());
        f.restart();
        QVERIFY(f.frame().findChild<QToolBar*>("ControlBar")->isHidden());
        QVERIFY(!f.frame().commandAction("actionControlBar")->isChecked());
        QCOMPARE(f.frame().geometry(), kept);
    }

    void saveAsAddsTheExtensionAndSaveWritesBesideIt() {
        AppFixture f;
        DocumentManager& docs = f.frame().documents();
        QString asked;
        f.answerFileDialogs([&](const QString& folder) {
            asked = folder;
            return f.path("mysynth");
        });
        Document* d = docs.newDocument();
        f.trigger("actionSave");  // never saved: asks for a name
        QVERIFY(asked.endsWith("Untitled1.d"));
        QCOMPARE(d->filePath(), f.path("mysynth.d"));
        QVERIFY(QFile::exists(f.path("mysynth.dev")));
        QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(),
                 QStringLiteral("mysynth.d"));

        // A second window may not take the name of an open file.
        Document* other = docs.newDocument();
        QVERIFY(!docs.saveAs(other, f.path("mysynth.d")));
        QVERIFY(!other->hasFile());
    }

    void windowCommandsFollowTheWindows() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        w.documents().newDocument();
        w.documents().newDocument();
        f.trigger("actionMinimizeAll");
        for (QMdiSubWindow* s : w.client()->subWindowList()) QVERIFY(s->isMinimized());
        f.trigger("actionRestoreAll");
        for (QMdiSubWindow* s : w.client()->subWindowList()) QVERIFY(!s->isMinimized());
        // The menu lists the windows; choosing one activates it.
        QMenu* menu = w.findChild<QMenu*>("menuWindow");
        QTest::mouseClick(w.menuBar(), Qt::LeftButton, {},
                          w.menuBar()->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        QStringList entries;
        for (QAction* a : menu->actions())
            if (a->isCheckable()) entries << a->text();
        QCOMPARE(entries, (QStringList{"&1 Untitled1", "&2 Untitled2"}));
        QAction* first = menu->actions().at(menu->actions().size() - 2);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(first).center());
        QCOMPARE(w.documents().activeDocument()->displayName(), QStringLiteral("Untitled1"));
        f.trigger("actionCloseAll");  // unmodified: no question
        QTRY_COMPARE(w.client()->subWindowList().size(), 0);
        QVERIFY(f.prompter().messages.empty());
    }

    void contextHelpWindow() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        // Selecting settings while it is closed does not open it.
        w.showContextHelp(QStringLiteral("Number of modules"), false);
        QVERIFY(!HelpWindow::isOpen());
        f.trigger("actionContextHelp");
        HelpWindow* h = w.contextHelpWindow();
        QVERIFY(h && h->isVisible());
        w.showContextHelp(QStringLiteral("The first text"), false);

        // Again while open: it stays where it is and keeps its text.
        h->move(h->x() + 40, h->y() + 30);
        const QPoint kept = h->pos();
        f.trigger("actionContextHelp");
        QCOMPARE(w.contextHelpWindow(), h);
        QCOMPARE(h->pos(), kept);
        QCOMPARE(h->text(), QStringLiteral("The first text"));
        QVERIFY(w.commandAction("actionContextHelp")->isChecked());

        // Closed, it is gone with its check mark and opens again where it was.
        h->close();
        QTRY_VERIFY(!w.contextHelpWindow());
        QVERIFY(!w.commandAction("actionContextHelp")->isChecked());
        f.trigger("actionContextHelp");
        QVERIFY(w.contextHelpWindow());
        QCOMPARE(w.contextHelpWindow()->pos(), kept);
        w.contextHelpWindow()->close();
    }

    // The window's title follows edits, the control bar's undo and redo,
    // "Revert to saved..." (after its question) and Save; after a revert the
    // "&Edit" menu and the control bar work on the new view. The frame's
    // title names the active document whatever its window's state.
    void editsShowInTitleRevertAndSave() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openFiles({f.makeSource("a.d")});
        QMdiSubWindow* win = w.client()->currentSubWindow();
        QVERIFY(w.activeSourceView()->editValue(makeRef(107, 0), "Voices"));
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d *"));
        for (auto show : {&QWidget::showMaximized, &QWidget::showMinimized, &QWidget::showNormal}) {
            (win->*show)();
            QCoreApplication::processEvents();
            QCOMPARE(w.windowTitle(), QStringLiteral("a.d[*] - Sysforge"));
            QVERIFY(w.isWindowModified());
        }
        f.trigger("actionUndo");
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d"));
        f.trigger("actionRedo");
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d *"));

        f.prompter().answers = {Answer::No, Answer::Yes};
        f.trigger("actionRevert");
        QCOMPARE(f.prompter().messages.back().text, std::string(kRevertQuestion));
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d *"));
        f.trigger("actionRevert");
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d"));
        SourceView* v = f.frame().activeSourceView();
        QCOMPARE(formatValue(v->document().working(), makeRef(107, 0)), std::string("Module"));
        const QList<QAction*> edit = f.frame().findChild<QMenu*>("menuEdit")->actions();
        QCOMPARE(edit.mid(0, v->editActions().size()), v->editActions());
        QVERIFY(v->editValue(makeRef(107, 0), "Drums"));
        f.trigger("actionUndo");
        QCOMPARE(formatValue(v->document().working(), makeRef(107, 0)), std::string("Module"));
        QVERIFY(v->editValue(makeRef(107, 0), "Drums"));
        f.trigger("actionSave");
        QCOMPARE(win->windowTitle(), QStringLiteral("a.d"));
        f.trigger("actionClose");
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("Sysforge"));
        QCOMPARE(f.prompter().messages.size(), size_t(2));
    }

    void displayOptionsGoToTheActiveViewAndThePreferences() {
        AppFixture f;
        Preferences& p = f.app().preferences();
        f.frame().documents().newDocument();
        SourceView* first = f.frame().activeSourceView();
        const bool wasShown = first->options().showDisabled;
        f.trigger("actionShowDisabled");
        QCOMPARE(first->options().showDisabled, !wasShown);
        QCOMPARE(p.showDisabled, !wasShown);
        QCOMPARE(f.frame().commandAction("actionShowDisabled")->isChecked(), !wasShown);
        // A new view starts from the last toggle; each view keeps its own switches.
        f.frame().documents().newDocument();
        SourceView* second = f.frame().activeSourceView();
        QCOMPARE(second->options().showDisabled, !wasShown);
        f.trigger("actionGridStyle");
        QCOMPARE(second->options().grid, !first->options().grid);
        f.frame().client()->setActiveSubWindow(
            f.frame().client()->subWindowList(QMdiArea::CreationOrder)[0]);
        QCOMPARE(f.frame().commandAction("actionGridStyle")->isChecked(), first->options().grid);
    }

    void droppedFilesOpen() {
        AppFixture f;
        const QString a = f.makeSource("a.d");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a), QUrl("https://example.org/x.d")});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&f.frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f.frame(), &drop);
        QTRY_COMPARE(f.frame().documents().documents().size(), size_t(1));
        QCOMPARE(f.frame().documents().activeDocument()->filePath(), a);
    }

    void windowPlacesAndFoldersAreRemembered() {
        AppFixture f;
        const QString a = f.makeSource("a.d");
        QDir(f.dir()).mkdir("sub");
        const QString b = f.makeSource("sub/b.d");
        DocumentManager& docs = f.frame().documents();
        QStringList folders;
        docs.setFileDialog([&](QWidget*, DocumentManager::DialogMode, const QString&,
                               const QString& folder, const QStringList&, int* filter) {
            folders << folder;
            *filter = 1;
            return folders.size() == 1 ? b : a;
        });
        docs.openWithDialog("DriverSource");
        docs.openWithDialog("DriverSource");
        QCOMPARE(folders[1], f.path("sub"));  // the folder of the last file opened
        const auto& remembered = f.app().preferences().docTypes.at("DriverSource");
        QCOMPARE(QString::fromStdString(remembered.openPath), f.dir());
        QCOMPARE(remembered.openFilter, 1);

        QMdiSubWindow* w = f.frame().client()->currentSubWindow();
        w->setGeometry(30, 20, 420, 310);
        const QRect kept = w->geometry();
        f.trigger("actionClose");
        QTRY_COMPARE(f.frame().documents().documents().size(), size_t(1));
        f.frame().openFiles({a});
        QCOMPARE(f.frame().client()->currentSubWindow()->geometry(), kept);
    }

    // The bundled help: every topic the program can open exists, has content
    // and links only to pages that exist.
    void everyHelpTopicHasContentAndWorkingLinks() {
        AppFixture f;  // registers the resources
        QStringList pages{"index"};
        for (int c = 2001; c <= 2026; ++c) pages << QString::number(c);
        pages << QStringLiteral("2031") << QStringLiteral("2032");  // analysis, instrument
        const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)\""));
        for (const QString& p : pages) {
            QFile file(":/help/" + p + ".html");
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(p));
            const QString html = QString::fromUtf8(file.readAll());
            QTextDocument doc;
            doc.setHtml(html);
            QVERIFY2(!doc.metaInformation(QTextDocument::DocumentTitle).isEmpty(), qPrintable(p));
            QVERIFY2(doc.toPlainText().size() > 500, qPrintable(p));
            for (auto it = link.globalMatch(html); it.hasNext();) {
                const QString target = it.next().captured(1);
                QVERIFY2(QFile::exists(":/help/" + target), qPrintable(p + " -> " + target));
            }
        }
    }

    void helpCommandsOpenTheViewerAtTheirTopic() {
        QIcon::setThemeName(QStringLiteral("no-such-theme"));  // the bundled icons alone
        AppFixture f;
        f.trigger("actionGlossary");
        HelpViewer* v = HelpViewer::instance();
        QVERIFY(v->isVisible());
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/2010.html"));
        QCOMPARE(v->browser()->documentTitle(), QStringLiteral("Glossary"));
        f.trigger("actionHelp");
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/index.html"));
        showHelp(2015);  // a setting's help icon, a dialog's "&Help" button
        QCOMPARE(HelpViewer::instance(), v);
        QCOMPARE(v->browser()->documentTitle(), QStringLiteral("Receive process"));
        showHelp(4711);  // a topic that does not exist falls back to the contents
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/index.html"));
        // Back, Forward and Contents carry icons even without an icon theme.
        auto* bar = v->findChild<QToolBar*>(QStringLiteral("helpBar"));
        QVERIFY(bar);
        QStringList withIcons;
        for (QAction* a : bar->actions())
            if (!a->icon().pixmap(16, 16).isNull()) withIcons << a->text();
        QCOMPARE(withIcons, (QStringList{"Back", "Forward", "Contents"}));
        v->close();
    }

    void windowsInEveryArrangementStayInView() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        w.resize(1000, 720);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        FakeMidiSystem midi;
        midi.inputPorts = {{"Through", "ALSA"}};
        MidiSystem* previous = setMidiSystem(&midi);
        auto check = [&](const char* step) {
            QCoreApplication::processEvents();
            const QString bad = titleBarsOutOfView(w);
            QVERIFY2(bad.isEmpty(), qPrintable(QString::fromLatin1(step) + ": " + bad));
        };

        f.trigger("actionNew");
        f.trigger("actionNew");
        check("new");
        w.openFiles({f.makeSource("a.d"), f.makeSource("b.d"), f.makeSource("c.d")});
        QCOMPARE(w.client()->subWindowList().size(), 5);
        check("open");
        // New windows cascade: no two share a corner.
        QSet<QPair<int, int>> corners;
        for (QMdiSubWindow* s : w.client()->subWindowList()) corners.insert({s->x(), s->y()});
        QCOMPARE(corners.size(), 5);

        for (const char* command :
             {"actionTileVertically", "actionNew", "actionTileHorizontally", "actionCascade"}) {
            f.trigger(command);
            check(command);
        }

        // A captured bulk becomes an untitled, modified document of its bytes.
        const std::vector<std::uint8_t> dump = {0xF0, 0x43, 0x00, 0xF7}, note = {0x90, 60, 100};
        onNextDialog<MidiBulkDialog>([&](MidiBulkDialog* d) {
            QVERIFY(midi.sendFromThread(dump) && midi.sendFromThread(note));
            QTRY_VERIFY(d->showButton()->isEnabled());
            QTest::mouseClick(d->showButton(), Qt::LeftButton);
        });
        f.trigger("actionReceiveMidiBulk");
        QCOMPARE(missedDialogs(), 0);
        QCOMPARE(w.client()->subWindowList().size(), 7);
        auto* captured = qobject_cast<MemoryDocument*>(w.documents().activeDocument());
        QVERIFY(captured && captured->isModified() && !captured->hasFile());
        QVERIFY(captured->memory().data() ==
                (std::vector<std::uint8_t>{0xF0, 0x43, 0x00, 0xF7, 0x90, 60, 100}));
        check("capture shown");

        w.client()->currentSubWindow()->showMaximized();
        f.trigger("actionNew");
        w.client()->currentSubWindow()->showNormal();
        check("maximised and restored");
        for (QMdiSubWindow* s : w.client()->subWindowList()) s->showNormal();
        check("all restored");
        setMidiSystem(previous);
    }

    void closedMaximisedComesBackMaximised() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        w.resize(1000, 720);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString file = f.makeSource("max.d");
        // A window that was never anything but maximised.
        f.trigger("actionNew");
        w.client()->currentSubWindow()->showMaximized();
        w.openFiles({file});
        QVERIFY(w.client()->currentSubWindow()->isMaximized());
        f.trigger("actionCloseAll");
        QTRY_COMPARE(w.client()->subWindowList().size(), 0);

        w.openFiles({file});
        QMdiSubWindow* again = w.client()->currentSubWindow();
        QVERIFY(again->isMaximized());
        again->showNormal();
        const QSize area = w.client()->viewport()->size();
        // Restored, it has the default size, not a sliver in the corner.
        QVERIFY2(again->width() >= area.width() / 2 && again->height() >= area.height() / 2,
                 qPrintable(QStringLiteral("%1x%2").arg(again->width()).arg(again->height())));
        QVERIFY(titleBarsOutOfView(w).isEmpty());
    }

    void treeColumnsShowParameterAndValueWhole() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        // The main window filling a 1280x1024 screen (the offscreen screen is
        // smaller, so it is sized rather than maximised).
        w.setGeometry(0, 0, 1280, 1024);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openFiles({f.makeSource("three.d", 3)});
        w.client()->currentSubWindow()->showMaximized();
        // The widest value a message of hex bytes, which a longer prefix widens.
        QVERIFY(w.activeSourceView()->editValue(
            makeRef(205, 0),
            QStringLiteral("$F0,$43,$10,$4C,$10,$11,$12,$13,$14,$15,$16,$17,$18,$19,$1A,$F7")));
        QTreeView* tree = w.activeSourceView()->tree();
        QAbstractItemModel* m = tree->model();
        // The Parameter and Value cells cut short, measured as the tree draws
        // them (its font, its icon size). The character table's 128 characters
        // never fit: it ends in an ellipsis, whole in its tooltip.
        const QStyleOptionViewItem opt = dynamic_cast<TSftTree*>(tree)->cellOption();
        int rows = 0;
        QStringList cut;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m->rowCount(parent); ++r, ++rows) {
                const QModelIndex i = m->index(r, 0, parent);
                const bool table = i.data().toString() == QStringLiteral("Characters (0 to 127)");
                for (const QModelIndex& c : {i, i.siblingAtColumn(1)})
                    if (tree->itemDelegate()->sizeHint(opt, c).width() >
                            tree->visualRect(c).width() &&
                        !(table && c.column() == 1))
                        cut << c.data().toString();
                if (tree->isExpanded(i)) walk(i);
            }
        };
        // As the window opens, with every row expanded, and with the values
        // shown with a longer hex prefix ("&H" rather than "$").
        for (int phase : {0, 1, 2}) {
            if (phase == 1) tree->expandAll();
            if (phase == 2) {
                onNextDialog<PreferencesDialog>([](PreferencesDialog* d) {
                    d->prefixButton(2)->click();
                    d->accept();
                });
                f.trigger("actionPreferences");
            }
            QCoreApplication::processEvents();
            rows = 0;
            walk({});
            setHexPrefixIndex(1);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
        }
        QVERIFY(rows > 500);
        QVERIFY(!tree->horizontalScrollBar()->isVisible());
        // Comment reaches the right edge and a click there scrolls nothing.
        QHeaderView* h = tree->header();
        QCOMPARE(h->sectionViewportPosition(2) + h->sectionSize(2), tree->viewport()->width());
        const QModelIndex comment = m->index(0, 2);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(comment).center());
        QCOMPARE(tree->horizontalScrollBar()->value(), 0);
    }

    void saveCommitsTheOpenEditBox() {
        AppFixture f;
        const QString a = f.makeSource("a.d");
        f.frame().openFiles({a});
        QVERIFY(typeWithoutEnter(f.frame(), makeRef(103), "3"));
        QTest::keyClick(&f.frame(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(savedValue(a, makeRef(103)), std::string("3"));
        QVERIFY(!f.frame().activeSourceDocument()->isModified());
        QVERIFY(!f.frame().client()->currentSubWindow()->windowTitle().endsWith('*'));

        // A text that is no number is taken as Enter takes it: read up to the
        // first foreign character.
        QVERIFY(typeWithoutEnter(f.frame(), makeRef(9), "250x9"));
        QTest::keyClick(&f.frame(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(savedValue(a, makeRef(9))), QStringLiteral("250"));
    }

    // File > Close while the box is open, and Yes,
    // saves the source and its driver; Ctrl+W and Cancel keeps the window,
    // No drops the typed value.
    void closeAsksAboutTheValueBeingTyped() {
        AppFixture f;
        const QString a = f.makeSource("a.d");
        f.frame().openFiles({a});
        QVERIFY(typeWithoutEnter(f.frame(), makeRef(107, 0), "Voices"));
        f.prompter().answers = {Answer::Yes};
        f.trigger("actionClose");
        QTRY_COMPARE(f.frame().client()->subWindowList().size(), 0);
        QCOMPARE(f.prompter().messages.size(), std::size_t{1});
        QCOMPARE(f.prompter().messages[0].text,
                 std::string("a.d\nDo you want to save this document before closing?"));
        QCOMPARE(savedValue(a, makeRef(107, 0)), std::string("Voices"));
        QVERIFY(QFile::exists(f.path("a.dev")));

        f.frame().openFiles({a});
        QVERIFY(typeWithoutEnter(f.frame(), makeRef(107, 0), "Pads"));
        f.prompter().answers = {Answer::Cancel, Answer::No};
        QTest::keyClick(&f.frame(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(f.frame().client()->subWindowList().size(), 1);
        QTest::keyClick(&f.frame(), Qt::Key_W, Qt::ControlModifier);
        QTRY_COMPARE(f.frame().client()->subWindowList().size(), 0);
        QCOMPARE(f.prompter().messages.size(), std::size_t{3});
        QCOMPARE(savedValue(a, makeRef(107, 0)), std::string("Voices"));
    }

    // A command that only reads the driver sees the value being typed too.
    void exportReadsTheValueBeingTyped() {
        AppFixture f;
        f.frame().openFiles({f.makeSource("a.d")});
        const QString out = f.path("a.txt");
        f.answerFileDialogs(out);
        QVERIFY(typeWithoutEnter(f.frame(), makeRef(4), "Typed"));
        f.trigger("actionExportText");
        QVERIFY(bytesOf(out).contains("\"Typed\""));
        QVERIFY(f.frame().activeSourceDocument()->isModified());
    }

    void saveAsAsksBeforeReplacingAnotherFile() {
        AppFixture f;
        const QString a = f.makeSource("a.d"), b = f.makeSource("b.d");
        const QByteArray bBefore = bytesOf(b);
        f.frame().openFiles({a});
        QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 0), "Lead"));
        QStringList answers = {f.path("b"), f.path("c"), f.path("b"), f.path("a.d")};
        int asked = 0;
        f.answerFileDialogs([&](const QString&) { return answers.value(asked++); });

        // "b" becomes b.d, which exists: No returns to the dialog, and c is new.
        f.prompter().answers = {Answer::No};
        f.trigger("actionSaveAs");
        QCOMPARE(asked, 2);
        QCOMPARE(f.prompter().messages.size(), std::size_t{1});
        QCOMPARE(f.prompter().messages[0].text,
                 std::string("b.d already exists. Do you want to replace it?"));
        QCOMPARE(bytesOf(b), bBefore);
        QVERIFY(!QFile::exists(f.path("b.bak")));
        QCOMPARE(savedValue(f.path("c.d"), makeRef(107, 0)), std::string("Lead"));

        // Yes replaces it, the older file kept as its backup.
        f.prompter().answers = {Answer::Yes};
        f.trigger("actionSaveAs");
        QCOMPARE(savedValue(b, makeRef(107, 0)), std::string("Lead"));
        QCOMPARE(bytesOf(f.path("b.bak")), bBefore);

        // The document's own file asks nothing.
        f.prompter().messages.clear();
        f.answerFileDialogs(b);
        f.trigger("actionSaveAs");
        QVERIFY(f.prompter().messages.empty());
    }

    void anUnexpectedFailureKeepsTheProgramAndItsDocuments() {
        AppFixture f;
        f.frame().openFiles({f.makeSource("a.d")});
        QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 0), "Kept"));
        QVERIFY(QTest::qWaitForWindowActive(&f.frame()));
        auto* failing = new QAction(&f.frame());
        failing->setShortcut(QKeySequence(Qt::Key_F12));
        f.frame().addAction(failing);
        int thrown = 0;
        connect(failing, &QAction::triggered, [&] {
            if (thrown++ == 0) throw std::runtime_error("index out of range");
            throw std::string("plain text");
        });

        QTest::keyClick(&f.frame(), Qt::Key_F12);
        QCOMPARE(thrown, 1);
        QCOMPARE(f.prompter().messages.size(), std::size_t{1});
        QCOMPARE(f.prompter().messages[0].text, unexpectedFailureText("index out of range"));
        QCOMPARE(f.prompter().messages[0].icon, MessageIcon::Stop);
        QTest::keyClick(&f.frame(), Qt::Key_F12);
        QCOMPARE(f.prompter().messages.back().text, unexpectedFailureText("plain text"));

        QVERIFY(f.frame().isVisible());
        QCOMPARE(f.frame().documents().documents().size(), std::size_t{1});
        SourceDocument* doc = f.frame().activeSourceDocument();
        QVERIFY(doc && doc->isModified());
        QCOMPARE(formatValue(doc->source().working(), makeRef(107, 0)), std::string("Kept"));
    }
};

// The program's own application object, which holds the last-resort guard.
int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    FrameTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "frame_test.moc"
