// The read-only hex view of a binary document: decimal offsets, 16 bytes in
// hexadecimal and their ASCII column, in the system's fixed-width font. Only
// the rows in sight are painted; both scroll bars follow the core layout.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <memory>
#include <vector>

#include "sysex/hexdump.h"

class QPainter;

namespace sf {
class MemoryDoc;
}

namespace sf::gui {

class MemoryView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // The view shows `doc`, which must outlive it (the document framework
    // owns both and closes the view first).
    explicit MemoryView(const MemoryDoc& doc, QWidget* parent = nullptr);
    ~MemoryView() override;

    const MemoryDoc& document() const { return doc_; }
    // The document's bytes changed (revert): lay out and paint again.
    void reload();

    const HexLayout& layout() const { return layout_; }
    int charWidth() const { return charWidth_; }
    int charHeight() const { return charHeight_; }

    // Scrolls as the scroll bar actions do.
    void scrollRows(ScrollAction action, int thumb = 0);
    void scrollColumns(ScrollAction action, int thumb = 0);

    QSize sizeHint() const override;

    // Background colours of byte ranges (an analysis shows what each byte
    // is), in offset order and not overlapping; an empty list clears them.
    struct ByteBackground {
        std::size_t offset = 0;
        std::size_t size = 0;
        QColor colour;
    };
    void setBackgrounds(std::vector<ByteBackground> spans);
    const std::vector<ByteBackground>& backgrounds() const { return backgrounds_; }
    // Highlights `size` bytes from `offset` and scrolls them into view.
    void selectBytes(std::size_t offset, std::size_t size);
    std::size_t selectionOffset() const { return selectionOffset_; }
    std::size_t selectionSize() const { return selectionSize_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int, int) override {}

  private:
    void relayout();
    void updateBars();
    void onBarAction(bool vertical, int action);
    void paintBackgrounds(QPainter& p, std::int64_t row, int y, int x);

    const MemoryDoc& doc_;
    HexLayout layout_;
    int charWidth_ = 8;
    int charHeight_ = 12;
    int ascent_ = 10;
    bool updatingBars_ = false;
    std::vector<ByteBackground> backgrounds_;
    std::size_t selectionOffset_ = 0;
    std::size_t selectionSize_ = 0;
};

}  // namespace sf::gui
