// The read-only hex view of a binary document: decimal offsets, 16 bytes in
// hexadecimal and their ASCII column, in the system's fixed-width font. Only
// the rows in sight are painted; both scroll bars follow the core layout.
#pragma once

#include <QAbstractScrollArea>
#include <memory>

#include "sysex/hexdump.h"

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

    const MemoryDoc& doc_;
    HexLayout layout_;
    int charWidth_ = 8;
    int charHeight_ = 12;
    int ascent_ = 10;
    bool updatingBars_ = false;
};

}  // namespace sf::gui
