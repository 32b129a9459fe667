// The hex view's scroll bars drive the core layout (whose arithmetic has its
// own tests): a small or empty document cannot scroll down, the bar's
// actions and thumb reach every row of a large one, and a grown window pulls
// the first row back.
#include "sysex/memoryview.h"

#include <QScrollBar>
#include <QTest>

#include "sysex/memorydoc.h"

using namespace sf;
using namespace sf::gui;

class MemoryViewTest : public QObject {
    Q_OBJECT

    // A view whose client area holds exactly `rows` rows and `columns` characters.
    static void fit(MemoryView& v, int columns, int rows) {
        v.show();
        const QSize frame = v.size() - v.viewport()->size();
        v.resize(frame + QSize(columns * v.charWidth(), rows * v.charHeight()));
        QCoreApplication::processEvents();
    }

  private slots:
    void smallAndEmptyDocumentsCannotScrollDown() {
        MemoryDoc doc(std::vector<std::uint8_t>(20, 0x70));
        MemoryView v(doc);
        fit(v, 40, 10);
        QVERIFY(!v.verticalScrollBar()->isEnabled());
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(v.layout().firstRow(), 0);
        // The line is wider than 40 characters: across it scrolls.
        v.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(v.layout().firstColumn(), v.layout().lineWidth() - 40);
        QVERIFY(!v.grab().isNull());

        MemoryDoc empty({});
        MemoryView e(empty);
        fit(e, 80, 10);
        QCOMPARE(e.verticalScrollBar()->maximum(), 0);
        QVERIFY(!e.grab().isNull());
    }

    void largeDocumentScrollsWholeRangeAndBack() {
        MemoryDoc doc(std::vector<std::uint8_t>(1'000'000, 0x41));
        MemoryView v(doc);
        fit(v, 90, 50);
        const std::int64_t rows = 62'500;
        QCOMPARE(v.horizontalScrollBar()->maximum(), 0);  // 90 columns hold a 76-character line
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(v.layout().firstRow(), rows - 50);
        // More rows than a bar counts: the thumb in the middle shows the middle rows.
        v.verticalScrollBar()->setSliderPosition(5000);
        QVERIFY(qAbs(v.layout().firstRow() - rows / 2) <= rows / 9999 + 1);
        QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(v.layout().firstRow(), 0);
        QCOMPARE(v.verticalScrollBar()->value(), 0);
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        fit(v, 90, 80);
        QCOMPARE(v.layout().firstRow(), rows - 80);
    }
};

QTEST_MAIN(MemoryViewTest)
#include "memoryview_test.moc"
