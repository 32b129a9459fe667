// Where document windows go and what the main window shows: windows in every
// arrangement keep their title bars in view, a window closed maximised comes
// back maximised, the frame's title in every window state, and the settings
// tree's columns in a maximised window.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include "editor/document.h"
#include "source/sftree.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisystem.h"

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

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
  private slots:
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

        f.trigger("actionTileVertically");
        check("tile vertically");
        f.trigger("actionNew");
        check("new after tiling");
        f.trigger("actionTileHorizontally");
        check("tile horizontally");
        f.trigger("actionCascade");
        check("cascade");

        onNextDialog<MidiBulkDialog>([&](MidiBulkDialog* d) {
            const std::vector<std::uint8_t> dump = {0xF0, 0x43, 0x00, 0xF7};
            QVERIFY(midi.sendFromThread(dump));
            QTRY_VERIFY(d->showButton()->isEnabled());
            QTest::mouseClick(d->showButton(), Qt::LeftButton);
            d->reject();
        });
        f.trigger("actionReceiveMidiBulk");
        QCOMPARE(missedDialogs(), 0);
        QCOMPARE(w.client()->subWindowList().size(), 7);
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

    // The frame's title names the active document whatever its window's
    // state (the text is the core's).
    void titleNamesTheActiveDocumentInEveryState() {
        AppFixture f;
        SFFrameWindow& w = f.frame();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openFiles({f.makeSource("synth.d")});
        QMdiSubWindow* sub = w.client()->currentSubWindow();
        QVERIFY(w.activeSourceView()->editValue(makeRef(107, 0), "Voices"));
        for (auto show : {&QWidget::showMaximized, &QWidget::showMinimized, &QWidget::showNormal}) {
            (sub->*show)();
            QCoreApplication::processEvents();
            QCOMPARE(w.windowTitle(), QStringLiteral("synth.d[*] - Sysforge"));
            QVERIFY(w.isWindowModified());
        }
        f.prompter().answers.push_back(Answer::No);
        f.trigger("actionClose");
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("Sysforge"));
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
        QTreeView* tree = w.activeSourceView()->tree();
        QAbstractItemModel* m = tree->model();
        // The rows the tree shows, Parameter and Value cells cut short.
        int rows = 0;
        QStringList cut;
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m->rowCount(parent); ++r) {
                for (int c : {0, 1}) {
                    const QModelIndex i = m->index(r, c, parent);
                    // As the tree draws it: its font, its icon size.
                    const QStyleOptionViewItem opt = dynamic_cast<TSftTree*>(tree)->cellOption();
                    const int need = tree->itemDelegate()->sizeHint(opt, i).width();
                    // The character table's 128 characters never fit: it
                    // ends in an ellipsis, whole in its tooltip.
                    const bool table = c == 1 && m->index(r, 0, parent).data().toString() ==
                                                     QStringLiteral("Characters (0 to 127)");
                    if (need > tree->visualRect(i).width() && !table) cut << i.data().toString();
                }
                ++rows;
                if (tree->isExpanded(m->index(r, 0, parent))) walk(m->index(r, 0, parent));
            }
        };
        // As the window opens, and with every row expanded.
        walk({});
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
        tree->expandAll();
        QCoreApplication::processEvents();
        QVERIFY(!tree->horizontalScrollBar()->isVisible());
        rows = 0;
        walk({});
        QVERIFY(rows > 500);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
        // Comment reaches the right edge and a click there scrolls nothing.
        QHeaderView* h = tree->header();
        QCOMPARE(h->sectionViewportPosition(2) + h->sectionSize(2), tree->viewport()->width());
        const QModelIndex comment = m->index(0, 2);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(comment).center());
        QCOMPARE(tree->horizontalScrollBar()->value(), 0);
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
