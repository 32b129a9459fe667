// The main window as a user drives it: menus, documents, window commands,
// the context help window and the help viewer.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "app/helpviewer.h"
#include "app/sourcedocument.h"
#include "editor/docframe.h"
#include "editor/document.h"
#include "editor/preferences.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "ui/help.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

class FrameTest : public QObject {
    Q_OBJECT
  private slots:
    void menusCarryEveryCommand();
    void controlBarAndPlaceAreKept();
    void openReusesTheWindowOfAnOpenFile();
    void closeQuestionOfAModifiedDocument();
    void saveAsAddsTheExtensionAndSaveWritesBesideIt();
    void windowCommandsFollowTheWindows();
    void contextHelpWindow();
    void editsShowInTitleAndControlBar();
    void displayOptionsGoToTheActiveViewAndThePreferences();
    void droppedFilesOpen();
    void windowPlacesAndFoldersAreRemembered();
    void revertToSaved();
    // The bundled help: every topic the program can open exists, has content
    // and links only to pages that exist.
    void everyHelpTopicHasContentAndWorkingLinks();
    void helpCommandsOpenTheViewerAtTheirTopic();
};

// Which commands are enabled is the core's; here: a source window brings the
// "&Edit" menu, its view's commands first and "Check driver" last.
void FrameTest::menusCarryEveryCommand() {
    AppFixture f;
    SFFrameWindow& w = f.frame();
    auto menus = [&] {
        QStringList out;
        for (QAction* m : w.menuBar()->actions())
            if (m->isVisible()) out << m->text();
        return out;
    };
    QCOMPARE(menus(), (QStringList{"&File", "&Tools", "&Options", "&Window", "&Help"}));
    QVERIFY(!w.commandAction("actionSave")->isEnabled());
    w.documents().newDocument();
    QVERIFY(w.commandAction("actionSave")->isEnabled());
    QCOMPARE(menus(), (QStringList{"&File", "&Edit", "&Tools", "&Options", "&Window", "&Help"}));
    const QList<QAction*> editMenu = w.menuBar()->actions()[1]->menu()->actions();
    const QList<QAction*> viewActions = w.activeSourceView()->editActions();
    QCOMPARE(editMenu.mid(0, viewActions.size()), viewActions);
    QCOMPARE(editMenu.last(), w.commandAction("actionCheckDriver"));
}

void FrameTest::controlBarAndPlaceAreKept() {
    AppFixture f;
    auto* bar = f.frame().findChild<QToolBar*>("ControlBar");
    QVERIFY(bar);
    f.trigger("actionControlBar");
    QVERIFY(bar->isHidden());
    QVERIFY(!f.frame().commandAction("actionControlBar")->isChecked());

    // The next start keeps the bar hidden, the window where it was.
    f.frame().setGeometry(40, 50, 700, 500);
    const QRect kept = f.frame().geometry();
    QVERIFY(f.frame().close());
    f.restart();
    QVERIFY(f.frame().findChild<QToolBar*>("ControlBar")->isHidden());
    QVERIFY(!f.frame().commandAction("actionControlBar")->isChecked());
    QCOMPARE(f.frame().geometry(), kept);
}

void FrameTest::openReusesTheWindowOfAnOpenFile() {
    AppFixture f;
    const QString a = f.makeSource("a.d"), b = f.makeSource("b.d", 3);
    f.frame().openFiles({a, b, f.dir() + "/./a.d"});
    QCOMPARE(f.frame().client()->subWindowList().size(), 2);
    QCOMPARE(f.frame().documents().activeDocument()->filePath(), a);
    QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(), QStringLiteral("a.d"));
    QVERIFY(f.prompter().messages.empty());
}

void FrameTest::closeQuestionOfAModifiedDocument() {
    AppFixture f;
    const QString a = f.makeSource("a.d");
    f.frame().openFiles({a});
    QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 0), "Voices"));
    QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(), QStringLiteral("a.d *"));

    // Cancel keeps the window (Yes and No: the commands test); closing the
    // program asks too, and Yes saves the source and its driver.
    f.prompter().answers = {Answer::Cancel};
    f.trigger("actionClose");
    QCOMPARE(f.frame().documents().documents().size(), size_t(1));
    f.prompter().answers = {Answer::Yes};
    QVERIFY(f.frame().close());  // closing the program asks too
    QTRY_COMPARE(f.frame().client()->subWindowList().size(), 0);
    QVERIFY(QFile::exists(f.path("a.bak")));
    QVERIFY(QFile::exists(f.path("a.dev")));
}

void FrameTest::saveAsAddsTheExtensionAndSaveWritesBesideIt() {
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
    QVERIFY(QFile::exists(f.path("mysynth.d")));
    QVERIFY(QFile::exists(f.path("mysynth.dev")));
    QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(), QStringLiteral("mysynth.d"));
    QVERIFY(f.frame().commandAction("actionRevert")->isEnabled());

    // A second window may not take the name of an open file.
    Document* other = docs.newDocument();
    QVERIFY(!docs.saveAs(other, f.path("mysynth.d")));
    QVERIFY(!other->hasFile());
}

void FrameTest::windowCommandsFollowTheWindows() {
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
    emit menu->aboutToShow();
    QStringList entries;
    for (QAction* a : menu->actions())
        if (a->isCheckable()) entries << a->text();
    QCOMPARE(entries, (QStringList{"&1 Untitled1", "&2 Untitled2"}));
    menu->actions().at(menu->actions().size() - 2)->trigger();
    QCOMPARE(w.documents().activeDocument()->displayName(), QStringLiteral("Untitled1"));
    f.trigger("actionTileVertically");
    auto wins = w.client()->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(wins[0]->height(), w.client()->viewport()->height());
    QCOMPARE(wins[0]->width() + wins[1]->width(), w.client()->viewport()->width());
    f.trigger("actionCloseAll");  // unmodified: no question
    QTRY_COMPARE(w.client()->subWindowList().size(), 0);
    QVERIFY(f.prompter().messages.empty());
}

void FrameTest::contextHelpWindow() {
    AppFixture f;
    SFFrameWindow& w = f.frame();
    // Selecting settings while it is closed does not open it.
    w.showContextHelp(QStringLiteral("Number of modules"), false);
    QVERIFY(!w.contextHelpWindow());
    QVERIFY(!HelpWindow::isOpen());

    f.trigger("actionContextHelp");
    HelpWindow* h = w.contextHelpWindow();
    QVERIFY(h && h->isVisible());
    QCOMPARE(h->windowTitle(), QStringLiteral("Help"));
    QVERIFY(w.commandAction("actionContextHelp")->isChecked());
    w.showContextHelp(QStringLiteral("The first text"), false);
    QCOMPARE(h->text(), QStringLiteral("The first text"));

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
    w.showContextHelp(QStringLiteral("ignored"), false);
    QVERIFY(!w.contextHelpWindow());
    f.trigger("actionContextHelp");
    QVERIFY(w.contextHelpWindow());
    QCOMPARE(w.contextHelpWindow()->pos(), kept);
    w.contextHelpWindow()->close();
}

void FrameTest::editsShowInTitleAndControlBar() {
    AppFixture f;
    f.frame().openFiles({f.makeSource("a.d")});
    SourceView* v = f.frame().activeSourceView();
    QMdiSubWindow* win = f.frame().client()->currentSubWindow();
    QAction* undo = f.frame().commandAction("actionUndo");
    QVERIFY(!undo->isEnabled());
    QVERIFY(v->editValue(makeRef(107, 0), "Voices"));
    QCOMPARE(win->windowTitle(), QStringLiteral("a.d *"));
    QVERIFY(undo->isEnabled());
    undo->trigger();  // the control bar's button undoes in the active view
    QCOMPARE(win->windowTitle(), QStringLiteral("a.d"));
    QVERIFY(!undo->isEnabled());
    QVERIFY(f.frame().commandAction("actionRedo")->isEnabled());
    f.trigger("actionRedo");
    QCOMPARE(win->windowTitle(), QStringLiteral("a.d *"));
    f.trigger("actionSave");
    QCOMPARE(win->windowTitle(), QStringLiteral("a.d"));
    QVERIFY(f.prompter().messages.empty());
}

void FrameTest::displayOptionsGoToTheActiveViewAndThePreferences() {
    AppFixture f;
    Preferences& p = f.app().preferences();
    f.frame().documents().newDocument();
    SourceView* first = f.frame().activeSourceView();
    QCOMPARE(first->options().grid, p.showGrid);
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

void FrameTest::droppedFilesOpen() {
    AppFixture f;
    const QString a = f.makeSource("a.d");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl("https://example.org/x.d")});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.frame(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.frame(), &drop);
    QTRY_COMPARE(f.frame().documents().documents().size(), size_t(1));
    QCOMPARE(f.frame().documents().activeDocument()->filePath(), a);
}

void FrameTest::windowPlacesAndFoldersAreRemembered() {
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

void FrameTest::revertToSaved() {
    AppFixture f;
    f.frame().openFiles({f.makeSource("a.d")});
    QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 0), "Voices"));
    f.prompter().answers = {Answer::No};
    f.trigger("actionRevert");
    QCOMPARE(f.prompter().messages.back().text, std::string(kRevertQuestion));
    QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(), QStringLiteral("a.d *"));

    f.prompter().answers = {Answer::Yes};
    f.trigger("actionRevert");
    QCOMPARE(f.frame().client()->currentSubWindow()->windowTitle(), QStringLiteral("a.d"));
    SourceView* v = f.frame().activeSourceView();
    QCOMPARE(formatValue(v->document().working(), makeRef(107, 0)), std::string("Module"));
    // The "&Edit" menu and the control bar now work on the new view.
    const QList<QAction*> edit = f.frame().findChild<QMenu*>("menuEdit")->actions();
    QCOMPARE(edit.mid(0, v->editActions().size()), v->editActions());
    QVERIFY(v->editValue(makeRef(107, 0), "Drums"));
    QVERIFY(f.frame().commandAction("actionUndo")->isEnabled());
    QCOMPARE(f.prompter().messages.size(), size_t(2));
}

void FrameTest::everyHelpTopicHasContentAndWorkingLinks() {
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

void FrameTest::helpCommandsOpenTheViewerAtTheirTopic() {
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

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
