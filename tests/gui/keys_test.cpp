// Keys and the mouse in a source window as a user meets them: every menu
// key pressed with the focus where the program puts it, the filter field's
// keys, undo from anywhere in the window, double clicks on single-click
// cells, the Comment column's help and the filter's groups.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/helpviewer.h"
#include "editor/document.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/numericconverter.h"
#include "ui/text.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

namespace {

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

class KeysTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(recordAmbiguous); }

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

    void focusFilterAndUndoInsideTheWindow() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.openFiles({f.makeSource("a.d")});
        SourceView* a = w.activeSourceView();
        QTRY_COMPARE(QApplication::focusWidget(), a->tree());
        const int first = a->currentRef()->id;
        press(QKeyCombination(Qt::Key_Down));
        QVERIFY(a->currentRef()->id != first);

        // Undo of the document from the filter field; its text stays.
        const SettingRef name = makeRef(107, 0);
        const QString before = value(a, name);
        QVERIFY(a->editValue(name, "Voices"));
        QTest::mouseClick(a->filterField(), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), a->filterField());
        QTest::keyClicks(QApplication::focusWidget(), "nothing");
        press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QCOMPARE(value(a, name), before);
        QCOMPARE(a->filterField()->text(), QStringLiteral("nothing"));
        press(QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z));
        QCOMPARE(value(a, name), QStringLiteral("Voices"));
        // Escape clears, a second Escape goes back to the tree.
        press(QKeyCombination(Qt::Key_Escape));
        QCOMPARE(a->filterField()->text(), QString());
        QCOMPARE(QApplication::focusWidget(), a->filterField());
        press(QKeyCombination(Qt::Key_Escape));
        QCOMPARE(QApplication::focusWidget(), a->tree());

        // In an open edit box Ctrl+Z is the box's own.
        QVERIFY(a->selectRef(name));
        press(QKeyCombination(Qt::Key_F2));
        auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(box && box != a->filterField());
        QTest::keyClicks(box, "X");
        press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QCOMPARE(box->text(), QStringLiteral("Voices"));
        QCOMPARE(value(a, name), QStringLiteral("Voices"));
        press(QKeyCombination(Qt::Key_Escape));

        // A window that comes to the front has its tree focused, even when
        // its filter field had the focus before.
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
        auto point = [&](const SettingRef& ref, int column) {
            v->selectRef(ref);
            const QModelIndex i = tree->currentIndex().siblingAtColumn(column);
            tree->scrollTo(i);
            return tree->visualRect(i).center();
        };

        // A double click on a yes/no value pops its menu once.
        {
            Closer closer;
            testsupport::doubleClick(tree->viewport(), point(makeRef(11), 1));
            QTRY_COMPARE(closer.closed, 1);
            QTest::qWait(50);
            QCOMPARE(closer.closed, 1);
        }

        // A flag that is set is a ticked box, one that is clear an empty one.
        const QPoint flag = point(makeRef(19), 1);
        auto cell = [&] { return tree->currentIndex().siblingAtColumn(1); };
        const ChoiceEntry* entries = findSettingItem(19)->choices;
        for (int set : {1, 0}) {
            const QString text = QString::fromLatin1(entries[set].text);
            testsupport::onNextMenu(text);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, flag);
            QTRY_COMPARE(cell().data().toString(), text);
            QCOMPARE(ticked(cell().data(Qt::DecorationRole).value<QIcon>()), set == 1);
        }

        // A Comment without a help topic opens the closed help window.
        QVERIFY(!HelpWindow::isOpen());
        testsupport::doubleClick(tree->viewport(), point(makeRef(9), 2));
        QTRY_VERIFY(HelpWindow::isOpen());
        QCOMPARE(w.contextHelpWindow()->text(), fromDriverText(findSettingItem(9)->help));
        w.contextHelpWindow()->close();
    }

    void filterShowsWholeMatchingGroupsExpanded() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.openFiles({f.makeSource("g.d", 2)});
        SourceView* v = w.activeSourceView();
        QVERIFY(v->editValue(makeRef(107, 1), "Zyxwv"));
        QTRY_COMPARE(QApplication::focusWidget(), v->tree());
        press(QKeyCombination(Qt::CTRL, Qt::Key_F));
        QTest::keyClicks(QApplication::focusWidget(), "zyxwv");
        QAbstractItemModel* m = v->tree()->model();
        // The matching module row shows its whole subtree, every row in view.
        QTRY_COMPARE(m->rowCount(m->index(0, 0)), 1);  // the module alone under the root
        int shown = 0;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m->rowCount(parent); ++r) {
                const QModelIndex i = m->index(r, 0, parent);
                ++shown;
                if (m->rowCount(i) > 0)
                    QVERIFY2(v->tree()->isExpanded(i), qPrintable(i.data().toString()));
                walk(i);
            }
        };
        walk({});
        QVERIFY2(shown > 100, qPrintable(QString::number(shown)));
    }
};

QTEST_MAIN(KeysTest)
#include "keys_test.moc"
