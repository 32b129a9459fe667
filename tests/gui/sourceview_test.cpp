// The settings tree as a user drives it, in a window of the program and on
// its own: every menu key, the focus, editing through the tree, choice menus,
// disabled rows, the module count, undo, drops between two views, the filter
// field, the row menu and a value editor opened from its row.
#include "source/sourceview.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <memory>

#include "app/helpviewer.h"
#include "editor/document.h"
#include "patchtools/install_editors.h"
#include "patchtools/macrodialog.h"
#include "source/message_record.h"
#include "source/search.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/numericconverter.h"
#include "ui/help.h"
#include "ui/text.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

namespace {

std::unique_ptr<SourceDoc> docWithModules(int modules) {
    auto r = newSource();
    parseValue(*r, makeRef(103), std::to_string(modules));
    return std::make_unique<SourceDoc>(std::move(r));
}

class Window {
  public:
    explicit Window(SourceDoc& doc) : view(doc, {}) {
        view.resize(1000, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    QTreeView* tree() { return view.tree(); }
    QModelIndex cell(const SettingRef& ref, int column) {
        if (!view.selectRef(ref)) return {};
        return tree()->currentIndex().siblingAtColumn(column);
    }
    QPoint at(const SettingRef& ref, int column = 1) {
        const QModelIndex i = cell(ref, column);
        tree()->scrollTo(i);
        return tree()->visualRect(i).center();
    }
    void click(const SettingRef& ref) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at(ref));
    }
    void doubleClick(const SettingRef& ref, int column = 1, Qt::KeyboardModifiers mods = {}) {
        sf::testsupport::doubleClick(tree()->viewport(), at(ref, column), mods);
    }
    QLineEdit* editor() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    // Double-clicks the value and types `text` into the edit box.
    void type(const SettingRef& ref, const QString& text) {
        doubleClick(ref);
        QLineEdit* e = editor();
        QVERIFY2(e && e != view.filterField(), "no edit box");
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
        // The edit box commits from the event loop.
        QCoreApplication::processEvents();
    }
    QString value(const SettingRef& ref) { return cell(ref, 1).data().toString(); }

    SourceView view;
};

QStringList ambiguous;
QtMessageHandler previousHandler = nullptr;

void recordAmbiguous(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QStringLiteral("Ambiguous shortcut"))) ambiguous << text;
    if (previousHandler) previousHandler(type, context, text);
}

// A key as the user presses it: it goes to whatever has the focus.
void press(QKeyCombination key) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    QVERIFY(target);
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
}

// Closes every dialog and pop-up menu that opens while it lives; counts them.
class Closer {
  public:
    Closer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                ++closed;
                m->close();
            } else if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++closed;
                d->reject();
            }
        });
        timer_.start(10);
    }
    int closed = 0;

  private:
    QTimer timer_;
};

void collectKeys(QMenu* menu, QMap<QString, QAction*>& keys) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) collectKeys(a->menu(), keys);
        for (const QKeySequence& k : a->shortcuts()) keys.insert(k.toString(), a);
    }
}

QString value(SourceView* v, const SettingRef& ref) {
    return QString::fromStdString(formatValue(v->document().working(), ref));
}

// Whether the icon draws the green tick.
bool ticked(const QIcon& icon) {
    const QImage img = icon.pixmap(16, 16).toImage();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.alpha() > 100 && c.green() > c.red() + 40 && c.green() > c.blue() + 40)
                return true;
        }
    return false;
}

}  // namespace

class SourceViewTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(recordAmbiguous); }

    // Every menu key pressed with the focus where the program puts it.
    void everyMenuKeyActsOnceFromTheTree() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        int fileDialogs = 0;
        f.answerFileDialogs([&](const QString&) {
            ++fileDialogs;
            return QString();
        });
        const QString file = f.makeSource("keys.d");
        w.openFiles({file});
        SourceView* v = w.activeSourceView();
        QTRY_COMPARE(QApplication::focusWidget(), v->tree());
        const SettingRef header = makeRef(15);
        QVERIFY(v->editValue(header, "$F0,$F7"));
        QVERIFY(v->selectRef(header));

        QMap<QString, QAction*> keys;
        for (QAction* m : w.menuBar()->actions())
            if (m->menu()) collectKeys(m->menu(), keys);
        const QStringList order = {
            "Ctrl+Backspace", "Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+F", "F7",     "F5",    "F9",
            "Shift+F9",       "F8",     "Ctrl+O",       "Ctrl+S", "Ctrl+W", "Alt+F4"};
        QStringList sorted = order;
        sorted.sort();
        QCOMPARE(keys.keys(), sorted);  // a new key needs its place here

        for (const QString& k : order) {
            QAction* action = keys.value(k);
            QVERIFY2(action->isEnabled(), qPrintable(k));
            if (k == "Alt+F4") {  // the document is gone: back into a tree first
                w.openFiles({file});
                QTRY_COMPARE(QApplication::focusWidget(), w.activeSourceView()->tree());
            }
            QTRY_VERIFY2(QApplication::focusWidget() == w.activeSourceView()->tree(),
                         qPrintable(k));
            QSignalSpy triggered(action, &QAction::triggered);
            {
                Closer closer;
                press(QKeySequence(k)[0]);
                QCoreApplication::processEvents();
            }
            // A window manager gives the activation back after a dialog.
            if (!QApplication::focusWidget() && w.isVisible()) w.activateWindow();
            QVERIFY2(ambiguous.isEmpty(), qPrintable(ambiguous.join('\n')));
            QVERIFY2(triggered.count() == 1, qPrintable(k));
            if (k == "Ctrl+Backspace") QCOMPARE(value(v, header), QString());
            if (k == "Ctrl+Z") QVERIFY(!value(v, header).isEmpty());
            if (k == "Ctrl+Shift+Z") QCOMPARE(value(v, header), QString());
            if (k == "Ctrl+F") {
                QCOMPARE(QApplication::focusWidget(), v->filterField());
                press(QKeyCombination(Qt::Key_Escape));  // empty: back to the tree
            }
            if (k == "F5") {
                QTRY_VERIFY(gui::NumericConverter::instance());
                gui::NumericConverter::instance()->close();
                QTRY_VERIFY(!gui::NumericConverter::instance());
                w.activateWindow();  // the user comes back to the main window
                QTRY_COMPARE(QApplication::focusWidget(), v->tree());
            }
            if (k == "Ctrl+O") QCOMPARE(fileDialogs, 1);
            if (k == "Ctrl+S") QVERIFY(!w.documents().activeDocument()->isModified());
            if (k == "Ctrl+W") QTRY_VERIFY(w.documents().documents().empty());
            if (k == "Alt+F4") QTRY_VERIFY(!w.isVisible());
        }
    }

    // The filter field (which rows match is the core's): the document's undo
    // from it, its text kept; no match selects nothing and Escape clears and
    // brings a selection back, a second Escape goes back to the tree; a match
    // shows its whole group expanded; a row asked for by name (a search
    // result, a finding) clears a filter that hides it. In an edit box Ctrl+Z
    // is the box's own; a window coming to the front has its tree focused.
    void filterFocusAndUndoInsideTheWindow() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.openFiles({f.makeSource("a.d", 2)});
        SourceView* a = w.activeSourceView();
        QTRY_COMPARE(QApplication::focusWidget(), a->tree());
        const int first = a->currentRef()->id;
        press(QKeyCombination(Qt::Key_Down));
        QVERIFY(a->currentRef()->id != first);

        const SettingRef name = makeRef(107, 1);
        const QString before = value(a, name);
        QVERIFY(a->editValue(name, "Zyxwv"));
        QTest::mouseClick(a->filterField(), Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), "nothing");
        QTRY_VERIFY(!a->currentRef());
        press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QCOMPARE(value(a, name), before);
        QCOMPARE(a->filterField()->text(), QStringLiteral("nothing"));
        press(QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z));
        QCOMPARE(value(a, name), QStringLiteral("Zyxwv"));
        press(QKeyCombination(Qt::Key_Escape));
        QCOMPARE(a->filterField()->text(), QString());
        QTRY_VERIFY(a->currentRef());
        QCOMPARE(QApplication::focusWidget(), a->filterField());

        QTest::keyClicks(QApplication::focusWidget(), "zyxwv");
        QAbstractItemModel* m = a->tree()->model();
        QTRY_COMPARE(m->rowCount(m->index(0, 0)), 1);  // the module alone under the root
        int shown = 0;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m->rowCount(parent); ++r, ++shown) {
                const QModelIndex i = m->index(r, 0, parent);
                if (m->rowCount(i) > 0)
                    QVERIFY2(a->tree()->isExpanded(i), qPrintable(i.data().toString()));
                walk(i);
            }
        };
        walk({});
        QVERIFY2(shown > 100, qPrintable(QString::number(shown)));
        // The clear button over the text empties the filter.
        auto* clear = a->filterField()->findChild<QToolButton*>();
        QVERIFY(clear);
        QTRY_VERIFY(clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        QTRY_VERIFY(a->filterField()->text().isEmpty());
        QVERIFY(a->selectRef(makeRef(9)));
        QVERIFY(a->filterField()->text().isEmpty());
        QCOMPARE(a->currentRef()->id, 9);
        QTest::mouseClick(a->filterField(), Qt::LeftButton);
        press(QKeyCombination(Qt::Key_Escape));  // empty: back to the tree
        QCOMPARE(QApplication::focusWidget(), a->tree());

        QVERIFY(a->selectRef(name));
        press(QKeyCombination(Qt::Key_F2));
        auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(box && box != a->filterField());
        QTest::keyClicks(box, "X");
        press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QCOMPARE(box->text(), QStringLiteral("Zyxwv"));
        QCOMPARE(value(a, name), QStringLiteral("Zyxwv"));
        press(QKeyCombination(Qt::Key_Escape));

        // Even when its filter field had the focus before.
        w.openFiles({f.makeSource("b.d")});
        SourceView* b = w.activeSourceView();
        QTRY_COMPARE(QApplication::focusWidget(), b->tree());
        press(QKeyCombination(Qt::CTRL, Qt::Key_F));
        QCOMPARE(QApplication::focusWidget(), b->filterField());
        w.client()->activatePreviousSubWindow();
        QTRY_COMPARE(QApplication::focusWidget(), a->tree());
        w.client()->activateNextSubWindow();
        QTRY_COMPARE(QApplication::focusWidget(), b->tree());
    }

    void mouseOnCells() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        w.openFiles({f.makeSource("m.d")});
        SourceView* v = w.activeSourceView();
        QTreeView* tree = v->tree();
        auto cell = [&](const SettingRef& ref, int column) {
            v->selectRef(ref);
            return tree->currentIndex().siblingAtColumn(column);
        };

        // A double click on a yes/no value pops its menu once.
        {
            Closer closer;
            testsupport::doubleClick(tree, cell(makeRef(11), 1));
            QTRY_COMPARE(closer.closed, 1);
            QTest::qWait(50);
            QCOMPARE(closer.closed, 1);
        }

        // A flag that is set is a ticked box, one that is clear an empty one.
        const QPersistentModelIndex flag = cell(makeRef(19), 1);
        const ChoiceEntry* entries = findSettingItem(19)->choices;
        for (int set : {1, 0}) {
            const QString text = QString::fromLatin1(entries[set].text);
            testsupport::onNextMenu(text);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(flag).center());
            QTRY_COMPARE(flag.data().toString(), text);
            QCOMPARE(ticked(flag.data(Qt::DecorationRole).value<QIcon>()), set == 1);
        }

        // A Comment without a help topic opens the closed help window.
        QVERIFY(!HelpWindow::isOpen());
        testsupport::doubleClick(tree, cell(makeRef(9), 2));
        QTRY_VERIFY(HelpWindow::isOpen());
        QCOMPARE(w.contextHelpWindow()->text(), fromDriverText(findSettingItem(9)->help));
        w.contextHelpWindow()->close();
    }

    // A number and a text typed into their cells, and Ctrl+double-click
    // editing in the small "Edit" dialog instead of the cell.
    void editsThroughTheTreeAndTheEditDialog() {
        auto doc = docWithModules(1);
        Window w(*doc);
        w.type(makeRef(9), QStringLiteral("250"));
        QCOMPARE(doc->working().s16(rec::kDriverVersion), 250);
        w.type(makeRef(4), QStringLiteral("Drum Machine X-1 and more"));
        QCOMPARE(w.value(makeRef(4)), QStringLiteral("Drum Machine X-1"));  // 16 characters fit
        QCOMPARE(doc->undoList().size(), std::size_t{2});

        testsupport::onNextDialog<QDialog>([](QDialog* box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Edit"));
            QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("321"));
            QTest::keyClick(box->findChild<QLineEdit*>(), Qt::Key_Return);
        });
        w.doubleClick(makeRef(9), 1, Qt::ControlModifier);
        QCOMPARE(doc->working().s16(rec::kDriverVersion), 321);
    }

    void disabledRowIgnoresClicksUntilEnabled() {
        auto doc = docWithModules(1);
        Window w(*doc);
        const SettingRef has = makeRef(46), usedInMulti = makeRef(51);
        testsupport::onNextMenu(QStringLiteral("No"));
        w.click(has);
        QTRY_VERIFY(!isEnabled(doc->working(), usedInMulti));
        const auto before = doc->working().u16(rec::kInstrumentFlags);
        {
            Closer closer;  // no menu comes
            w.click(usedInMulti);
            w.doubleClick(makeRef(47));  // a disabled number: no edit box
            QTest::qWait(50);
            QCOMPARE(closer.closed, 0);
        }
        QVERIFY(w.editor() == nullptr || w.editor() == w.view.filterField());
        QCOMPARE(doc->working().u16(rec::kInstrumentFlags), before);

        testsupport::onNextMenu(QStringLiteral("Yes"));
        w.click(has);
        QTRY_VERIFY(isEnabled(doc->working(), usedInMulti));
        testsupport::onNextMenu(QStringLiteral("Yes"));
        w.click(usedInMulti);
        QTRY_COMPARE(w.value(usedInMulti), QStringLiteral("Yes"));
        QVERIFY(doc->working().u16(rec::kInstrumentFlags) & 0x4000);
    }

    // A value being typed when the tree is built again (after a drop, a
    // dialog, the filter) is stored as Enter would store it, never dropped.
    void rebuildStoresTheValueBeingTyped() {
        auto doc = docWithModules(1);
        Window w(*doc);
        w.doubleClick(makeRef(9));
        QLineEdit* e = w.editor();
        QVERIFY(e != nullptr && e != w.view.filterField());
        e->selectAll();
        QTest::keyClicks(e, QStringLiteral("250"));
        w.view.build(makeRef(9));
        QCOMPARE(doc->working().s16(rec::kDriverVersion), 250);
        QCOMPARE(w.value(makeRef(9)), QStringLiteral("250"));
        QCOMPARE(doc->undoList().size(), std::size_t{1});
    }

    // A smaller module count rebuilds the tree with the selection kept on the
    // count; undo brings the module back and keeps the row, and undoing to
    // the saved state clears the modified mark.
    void moduleCountRebuildsTheTreeAndUndoKeepsTheRow() {
        auto doc = docWithModules(2);
        Window w(*doc);
        w.type(makeRef(107, 1), QStringLiteral("Strings"));
        w.type(makeRef(103), QStringLiteral("1"));
        QTRY_VERIFY(!w.view.selectRef(makeRef(105, 1)));
        QCOMPARE(w.view.currentRef()->id, 103);
        QTest::keyClick(w.tree(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.view.currentRef()->id, 103);
        QVERIFY(w.view.selectRef(makeRef(262, 1, 15)));  // the whole module is back
        QVERIFY(w.view.selectRef(makeRef(107, 1)));
        QTest::keyClick(w.tree(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.view.currentRef()->id, 107);
        QCOMPARE(w.view.currentRef()->index1, 1);
        QCOMPARE(w.value(makeRef(107, 1)), QStringLiteral("Module"));
        QVERIFY(!doc->isModified());
        QSignalSpy modified(&w.view, &SourceView::modifiedChanged);
        QTest::keyClick(w.tree(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.value(makeRef(105, 1)), QStringLiteral("Strings"));
        QCOMPARE(modified.last().at(0).toBool(), true);
    }

    // What a drop copies is the core's; here: the drag events highlight the
    // row under the mouse, the drop is one undo step of the target only, and
    // data of a closed view is refused.
    void dragEventsHighlightAndDropOnTheRowUnderTheMouse() {
        auto source = docWithModules(2);
        auto target = docWithModules(2);
        parseValue(source->working(), makeRef(107, 1), "Pads");
        Window a(*source), b(*target);
        std::unique_ptr<QMimeData> module2(a.view.dragData(makeRef(105, 1)));
        QWidget* viewport = b.tree()->viewport();

        auto move = [&](const SettingRef& over) {
            QDragMoveEvent e(b.at(over, 0), Qt::CopyAction, module2.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &e);
            return e.isAccepted();
        };
        // A drag enters the window first: moves and drops go to the widget it entered.
        QDragEnterEvent enter(b.at(makeRef(103), 0), Qt::CopyAction, module2.get(), Qt::LeftButton,
                              {});
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(!move(makeRef(107, 0)));
        QVERIFY(move(makeRef(105, 0)));
        const QModelIndex over = b.cell(makeRef(105, 0), 0);
        QVERIFY(over.data(Qt::BackgroundRole).isValid());  // highlighted while over it

        QDropEvent drop(b.at(makeRef(105, 0), 0), Qt::CopyAction, module2.get(), Qt::LeftButton,
                        {});
        QCoreApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(b.value(makeRef(105, 0)), QStringLiteral("Pads"));
        QVERIFY(!b.cell(makeRef(105, 0), 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(target->undoList().size(), std::size_t{1});
        QVERIFY(!source->isModified());

        auto* gone = new SourceView(*docWithModules(1).release(), {});
        std::unique_ptr<QMimeData> stale(gone->dragData(makeRef(105, 0)));
        SourceDoc* goneDoc = &gone->document();
        delete gone;
        delete goneDoc;
        QVERIFY(!b.view.dropOn(stale.get(), makeRef(105, 0)));
    }

    void displayOptionsAndHelp() {
        auto doc = docWithModules(1);
        applyChoice(doc->working(), makeRef(108, 0), 72);  // only names: receiving is disabled
        Window w(*doc);
        const SettingRef receiving = makeRef(196, 0);
        QVERIFY(!w.value(receiving).isEmpty());
        QVERIFY(!w.cell(makeRef(105, 0), 0).data(Qt::DecorationRole).isValid());
        const QList<QAction*> toggles = w.view.optionActions();
        toggles[2]->trigger();  // "&Show disabled values" off
        QCOMPARE(w.value(receiving), QString());
        QVERIFY(!w.value(makeRef(107, 0)).isEmpty());
        toggles[1]->trigger();  // "&Show drag-and-drop possibilities" on
        QVERIFY(w.cell(makeRef(105, 0), 0).data(Qt::DecorationRole).isValid());
        QVERIFY(!w.cell(makeRef(107, 0), 0).data(Qt::DecorationRole).isValid());

        // The Comment of a row with a help topic opens it (one without: the
        // mouse test).
        int topic = 0;
        auto previous = gui::setHelpHandler([&topic](int context) { topic = context; });
        w.doubleClick(makeRef(16), 2);
        QCOMPARE(topic, 2001);
        gui::setHelpHandler(previous);
    }

    void contextMenuKeyOffersClearAndSearches() {
        auto doc = docWithModules(1);
        Window w(*doc);
        QSignalSpy searches(&w.view, &SourceView::searchRequested);
        QVERIFY(w.view.selectRef(makeRef(4)));
        QStringList entries;
        bool clearEnabled = true;
        testsupport::onNextMenu(QStringLiteral("Search all drivers for the same value"),
                                [&](QMenu* menu) {
                                    for (QAction* a : menu->actions())
                                        if (!a->isSeparator()) entries << a->text();
                                    clearEnabled = menu->actions().at(0)->isEnabled();
                                });
        QTest::keyClick(w.tree(), Qt::Key_Menu);
        QCOMPARE(entries,
                 (QStringList{QStringLiteral("&Clear"),
                              QStringLiteral("Search all drivers for the same value"),
                              QStringLiteral("Search all drivers for a different value"),
                              QStringLiteral("Search all drivers for a non-empty field")}));
        QVERIFY(!clearEnabled);
        QCOMPARE(searches.size(), 1);
        QCOMPARE(searches.first().at(0).toInt(), static_cast<int>(SearchMode::SameValue));
        QCOMPARE(searches.first().at(1).value<SettingRef>().id, 4);
    }

    // A double click on "Macros / Parameters" opens the macro editor; after
    // OK the group's tool tip tells it holds macros, and undo takes it back.
    void doubleClickOpensTheMacroEditor() {
        gui::installValueEditors();
        auto doc = docWithModules(1);
        SourceRecord& r = doc->working();
        r.setModU16(0, rec::kModFlags, static_cast<std::uint16_t>(r.modU16(0, rec::kModFlags) | 8));
        r.setModU16(0, rec::kModHasMacro, 1);
        Window w(*doc);
        testsupport::onNextDialog<gui::MacroEditorDialog>([](gui::MacroEditorDialog* d) {
            testsupport::click(d, "addMacroButton");
            testsupport::click(d, "okButton");
        });
        w.doubleClick(makeRef(307, 0));
        QCOMPARE(testsupport::missedDialogs(), 0);
        QCOMPARE(doc->undoList().size(), std::size_t{1});
        const auto tip = [&] { return w.cell(makeRef(306, 0), 1).data(Qt::ToolTipRole); };
        QCOMPARE(w.value(makeRef(306, 0)), QString());
        QCOMPARE(tip().toString(), QStringLiteral("This module holds a macro list."));
        w.view.activateWindow();  // back from the dialog
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        QTest::keyClick(w.tree(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!doc->working().block(0, rec::kSlotMacros).has_value());
        QTRY_COMPARE(tip(), QVariant());
    }
};

QTEST_MAIN(SourceViewTest)
#include "sourceview_test.moc"
