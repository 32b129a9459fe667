#include "sysex/memoryview.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "sysex/memorydoc.h"

namespace sf::gui {

MemoryView::MemoryView(const MemoryDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), layout_(doc.bytes()) {
    setObjectName("MemoryView");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    viewport()->setFont(font);
    setFont(font);
    // The cell is measured once, with the text "0".
    const QFontMetrics fm(font);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    charHeight_ = std::max(1, fm.height());
    ascent_ = fm.ascent();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(true, action); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onBarAction(false, action); });
    // A value set from outside (a test, an accessibility tool) scrolls too.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!updatingBars_ && v != layout_.verticalBar().pos) scrollRows(ScrollAction::Thumb, v);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!updatingBars_ && v != layout_.horizontalBar().pos)
            scrollColumns(ScrollAction::Thumb, v);
    });
    relayout();
}

MemoryView::~MemoryView() = default;

QSize MemoryView::sizeHint() const {
    return {charWidth_ * layout_.lineWidth() + verticalScrollBar()->sizeHint().width() + 4,
            charHeight_ * 24};
}

void MemoryView::reload() {
    layout_.setData(doc_.bytes());
    relayout();
    viewport()->update();
}

void MemoryView::relayout() {
    layout_.layout(viewport()->width(), viewport()->height(), charWidth_, charHeight_);
    // A larger window may leave the first row past the last one it allows.
    if (layout_.firstRow() > layout_.rows().lastFirst())
        layout_.scrollVertical(ScrollAction::Bottom);
    if (layout_.firstColumn() > layout_.columns().lastFirst())
        layout_.scrollHorizontal(ScrollAction::Bottom);
    updateBars();
}

void MemoryView::updateBars() {
    updatingBars_ = true;
    // The core answers a Windows-style bar (range, page, position); a Qt bar
    // counts its maximum without the page.
    auto apply = [](QScrollBar* bar, const ScrollBarInfo& info) {
        const int max = info.page > 0 ? std::max(info.min, info.max - info.page + 1) : info.max;
        bar->setRange(info.min, max);
        bar->setPageStep(std::max(info.page, 1));
        bar->setSingleStep(1);
        bar->setValue(info.pos);
        bar->setEnabled(max > info.min);
    };
    apply(verticalScrollBar(), layout_.verticalBar());
    apply(horizontalScrollBar(), layout_.horizontalBar());
    updatingBars_ = false;
}

void MemoryView::scrollRows(ScrollAction action, int thumb) {
    const bool changed = layout_.scrollVertical(action, thumb);
    updateBars();  // the thumb returns to the row it stands for
    if (changed) viewport()->update();
}

void MemoryView::scrollColumns(ScrollAction action, int thumb) {
    const bool changed = layout_.scrollHorizontal(action, thumb);
    updateBars();
    if (changed) viewport()->update();
}

void MemoryView::onBarAction(bool vertical, int action) {
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    ScrollAction a;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            a = ScrollAction::LineDown;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            a = ScrollAction::LineUp;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            a = ScrollAction::PageDown;
            break;
        case QAbstractSlider::SliderPageStepSub:
            a = ScrollAction::PageUp;
            break;
        case QAbstractSlider::SliderToMinimum:
            a = ScrollAction::Top;
            break;
        case QAbstractSlider::SliderToMaximum:
            a = ScrollAction::Bottom;
            break;
        case QAbstractSlider::SliderMove:
            a = ScrollAction::Thumb;
            break;
        default:
            return;
    }
    const int thumb = bar->sliderPosition();
    // The bar moves its own slider after this signal; keep ours instead.
    updatingBars_ = true;
    vertical ? layout_.scrollVertical(a, thumb) : layout_.scrollHorizontal(a, thumb);
    const ScrollBarInfo info = vertical ? layout_.verticalBar() : layout_.horizontalBar();
    bar->setSliderPosition(info.pos);
    updatingBars_ = false;
    updateBars();
    viewport()->update();
}

void MemoryView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void MemoryView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 40;  // three rows a notch
    for (int i = 0; i < std::abs(steps); ++i)
        layout_.scrollVertical(steps > 0 ? ScrollAction::LineUp : ScrollAction::LineDown);
    updateBars();
    viewport()->update();
    event->accept();
}

void MemoryView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            scrollRows(ScrollAction::LineUp);
            break;
        case Qt::Key_Down:
            scrollRows(ScrollAction::LineDown);
            break;
        case Qt::Key_PageUp:
            scrollRows(ScrollAction::PageUp);
            break;
        case Qt::Key_PageDown:
            scrollRows(ScrollAction::PageDown);
            break;
        case Qt::Key_Home:
            event->modifiers() & Qt::ControlModifier ? scrollRows(ScrollAction::Top)
                                                     : scrollColumns(ScrollAction::Top);
            break;
        case Qt::Key_End:
            event->modifiers() & Qt::ControlModifier ? scrollRows(ScrollAction::Bottom)
                                                     : scrollColumns(ScrollAction::Bottom);
            break;
        case Qt::Key_Left:
            scrollColumns(ScrollAction::LineUp);
            break;
        case Qt::Key_Right:
            scrollColumns(ScrollAction::LineDown);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
}

void MemoryView::setBackgrounds(std::vector<ByteBackground> spans) {
    backgrounds_ = std::move(spans);
    viewport()->update();
}

void MemoryView::selectBytes(std::size_t offset, std::size_t size) {
    selectionOffset_ = offset;
    selectionSize_ = size;
    if (size > 0 && offset < doc_.bytes().size()) {
        // The end of a long selection first, then its start: the start stays in sight.
        layout_.showRow(static_cast<std::int64_t>((offset + size - 1) / HexLayout::kBytesPerRow));
        layout_.showRow(static_cast<std::int64_t>(offset / HexLayout::kBytesPerRow));
        layout_.scrollHorizontal(ScrollAction::Top);
        updateBars();
    }
    viewport()->update();
}

// The cells of the bytes of `row` in their background colour, and the
// selection in the highlight colour.
void MemoryView::paintBackgrounds(QPainter& p, std::int64_t row, int y, int x) {
    const std::size_t size = doc_.bytes().size();
    const auto rowStart = static_cast<std::size_t>(row) * HexLayout::kBytesPerRow;
    const std::size_t rowEnd = std::min(size, rowStart + HexLayout::kBytesPerRow);
    auto fill = [&](std::size_t from, std::size_t to, const QColor& colour) {
        for (std::size_t o = std::max(from, rowStart); o < std::min(to, rowEnd); ++o) {
            const int j = static_cast<int>(o - rowStart);
            p.fillRect(x + layout_.hexColumn(j) * charWidth_, y, 2 * charWidth_, charHeight_,
                       colour);
            p.fillRect(x + layout_.asciiColumn(j) * charWidth_, y, charWidth_, charHeight_, colour);
        }
    };
    auto it = std::lower_bound(
        backgrounds_.begin(), backgrounds_.end(), rowStart,
        [](const ByteBackground& b, std::size_t at) { return b.offset + b.size <= at; });
    for (; it != backgrounds_.end() && it->offset < rowEnd; ++it)
        fill(it->offset, it->offset + it->size, it->colour);
    if (selectionSize_ > 0) {
        QColor selected = palette().highlight().color();
        selected.setAlpha(150);  // over the base: light enough to read the bytes
        fill(selectionOffset_, selectionOffset_ + selectionSize_, selected);
    }
}

void MemoryView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().base());
    p.setPen(palette().text().color());
    p.setFont(viewport()->font());
    const int x = static_cast<int>(layout_.paintX(charWidth_));
    const std::int64_t rows = layout_.paintRowCount();
    const std::int64_t first = layout_.firstRow();
    const bool coloured = !backgrounds_.empty() || selectionSize_ > 0;
    for (std::int64_t i = 0; i < rows; ++i) {
        if (coloured) paintBackgrounds(p, first + i, static_cast<int>(i) * charHeight_, x);
        const std::string line = layout_.line(first + i);
        p.drawText(x, static_cast<int>(i) * charHeight_ + ascent_,
                   QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    }
}

}  // namespace sf::gui
