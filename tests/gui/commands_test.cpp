// Commands as the user gives them: with a value still being typed into the
// tree's edit box, "Save as..." onto another driver's file, and a command
// that fails in a way nobody foresaw.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <stdexcept>

#include "app/sourcedocument.h"
#include "editor/docframe.h"
#include "editor/document.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "support/leak_suppressions.h"
#include "support/modal_driver.h"
#include "ui/guard.h"

// The guard test throws through Qt's own frames (the action's activation),
// which are built without unwinding clean-up: the weak reference Qt holds on
// the action while it runs is never given back. That is the thrown test
// command's doing, not the editor's.
SF_LEAK_SUPPRESSIONS("leak:QtSharedPointer::ExternalRefCountData::getAndRef\n")

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

namespace {

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

// Opens a menu of the menu bar and clicks one of its commands, by mouse.
void chooseFromMenu(SFFrameWindow& frame, const char* menu, const char* command) {
    QMenuBar* bar = frame.menuBar();
    auto* m = bar->findChild<QMenu*>(QString::fromLatin1(menu));
    QVERIFY(m);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(m->menuAction()).center());
    QTRY_VERIFY(m->isVisible());
    QTest::mouseClick(
        m, Qt::LeftButton, {},
        m->actionGeometry(frame.commandAction(QString::fromLatin1(command))).center());
}

std::string savedValue(const QString& file, const SettingRef& ref) {
    auto r = readSourceFile(file.toStdString());
    return r ? formatValue(*r, ref) : std::string("(unreadable)");
}

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void saveCommitsTheOpenEditBox();
    void closeAsksAboutTheValueBeingTyped();
    void exportReadsTheValueBeingTyped();
    void saveAsAsksBeforeReplacingAnotherFile();
    void anUnexpectedFailureKeepsTheProgramAndItsDocuments();
};

void CommandsTest::saveCommitsTheOpenEditBox() {
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

// File > Close, chosen with the mouse while the box is open.
void CommandsTest::closeAsksAboutTheValueBeingTyped() {
    AppFixture f;
    const QString a = f.makeSource("a.d");
    f.frame().openFiles({a});
    QVERIFY(typeWithoutEnter(f.frame(), makeRef(107, 0), "Voices"));
    f.prompter().answers = {Answer::Yes};
    chooseFromMenu(f.frame(), "menuFile", "actionClose");
    QTRY_COMPARE(f.frame().client()->subWindowList().size(), 0);
    QCOMPARE(f.prompter().messages.size(), std::size_t{1});
    QCOMPARE(f.prompter().messages[0].text,
             std::string("a.d\nDo you want to save this document before closing?"));
    QCOMPARE(savedValue(a, makeRef(107, 0)), std::string("Voices"));

    // Ctrl+W, and No: the typed value is asked about, then dropped.
    f.frame().openFiles({a});
    QVERIFY(typeWithoutEnter(f.frame(), makeRef(107, 0), "Pads"));
    f.prompter().answers = {Answer::No};
    QTest::keyClick(&f.frame(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(f.frame().client()->subWindowList().size(), 0);
    QCOMPARE(f.prompter().messages.size(), std::size_t{2});
    QCOMPARE(savedValue(a, makeRef(107, 0)), std::string("Voices"));
}

// A command that only reads the driver sees the value being typed too.
void CommandsTest::exportReadsTheValueBeingTyped() {
    AppFixture f;
    f.frame().openFiles({f.makeSource("a.d")});
    const QString out = f.path("a.txt");
    f.answerFileDialogs(out);
    QVERIFY(typeWithoutEnter(f.frame(), makeRef(4), "Typed"));
    chooseFromMenu(f.frame(), "menuFile", "actionExportText");
    QVERIFY(bytesOf(out).contains("\"Typed\""));
    QVERIFY(f.frame().activeSourceDocument()->isModified());
}

void CommandsTest::saveAsAsksBeforeReplacingAnotherFile() {
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

void CommandsTest::anUnexpectedFailureKeepsTheProgramAndItsDocuments() {
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

// The program's own application object, which holds the last-resort guard.
int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    CommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "commands_test.moc"
