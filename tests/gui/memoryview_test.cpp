// The hex view: its lines, its scroll bars over a small and a large
// document, and scrolling to either end.
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
        const QSize frame = v.size() - v.viewport()->size();
        v.resize(frame + QSize(columns * v.charWidth(), rows * v.charHeight()));
        QCoreApplication::processEvents();
    }

  private slots:
    void smallAndEmptyDocumentsCannotScrollVertically() {
        std::vector<std::uint8_t> bytes(20);
        for (int i = 0; i < 20; ++i) bytes[i] = static_cast<std::uint8_t>(0x70 + i);
        MemoryDoc doc(bytes);
        MemoryView v(doc);
        v.show();
        fit(v, 40, 10);
        QCOMPARE(v.layout().rowCount(), 2);
        QCOMPARE(v.verticalScrollBar()->maximum(), 0);
        QVERIFY(!v.verticalScrollBar()->isEnabled());
        v.scrollRows(ScrollAction::PageDown);
        v.scrollRows(ScrollAction::Bottom);
        QCOMPARE(v.layout().firstRow(), 0);
        // The line is wider than 40 characters: across it scrolls.
        QVERIFY(v.horizontalScrollBar()->maximum() > 0);
        v.scrollColumns(ScrollAction::Bottom);
        QCOMPARE(v.layout().firstColumn(), v.layout().lineWidth() - 40);
        QCOMPARE(QString::fromStdString(v.layout().line(1)),
                 QString("016  80 81 82 83") + QString(12 * 3 + 1, ' ') + "  ....");
        QCOMPARE(v.layout().line(0).substr(53), std::string("  pqrstuvwxyz{|}.."));
        // Painting draws without trouble at any position.
        QVERIFY(!v.grab().isNull());

        MemoryDoc empty({});
        MemoryView e(empty);
        e.show();
        fit(e, 80, 10);
        QCOMPARE(e.verticalScrollBar()->maximum(), 0);
        QVERIFY(!e.grab().isNull());
    }

    void largeDocumentScrollsWholeRangeAndBack() {
        MemoryDoc doc(std::vector<std::uint8_t>(1'000'000, 0x41));
        MemoryView v(doc);
        v.show();
        fit(v, 90, 50);
        const std::int64_t rows = 62'500;
        QCOMPARE(v.layout().rowCount(), rows);
        QCOMPARE(v.horizontalScrollBar()->maximum(), 0);  // 90 columns hold a 76-character line

        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(v.layout().firstRow(), rows - 50);
        QCOMPARE(v.layout().line(rows - 1).substr(0, 7), std::string("0999984"));
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(v.layout().firstRow(), rows - 100);
        // Dragging the thumb to the middle shows the middle rows.
        v.verticalScrollBar()->setSliderPosition(5000);
        QVERIFY(qAbs(v.layout().firstRow() - rows / 2) <= rows / 9999 + 1);
        QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(v.layout().firstRow(), 0);
        QCOMPARE(v.verticalScrollBar()->value(), 0);
        // Growing the window past the end pulls the first row back.
        v.scrollRows(ScrollAction::Bottom);
        fit(v, 90, 80);
        QCOMPARE(v.layout().firstRow(), rows - 80);
    }
};

QTEST_MAIN(MemoryViewTest)
#include "memoryview_test.moc"
