// Layout of the read-only hex dump of a binary document: 16 bytes per row,
// decimal offsets, hexadecimal bytes and an ASCII column, with the scrolling
// arithmetic of both scroll bars. The view only measures its font and client
// area, hands them in, and draws the lines this class gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/bytes.h"

namespace sf {

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };

// What one scroll bar shows: range min..max, page size and thumb position.
struct ScrollBarInfo {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
};

// One scrolling direction: rows (vertically) or character columns (across).
struct ScrollAxis {
    std::int64_t total = 0;    // rows, or characters of a full line
    std::int64_t visible = 0;  // counting a partial cell
    std::int64_t full = 0;     // not counting it
    std::int64_t first = 0;    // first row or column shown

    std::int64_t lastFirst() const;
    ScrollBarInfo bar() const;
    // Applies a scroll action (`thumb` only for Thumb, in 0..9999); answers
    // whether the first row or column changed.
    bool scroll(ScrollAction action, int thumb = 0);
    // Sets the cell counts for a client extent and a cell extent.
    void fit(int clientExtent, int cellExtent);
};

class HexLayout {
public:
    static constexpr int kBytesPerRow = 16;
    static constexpr int kScrollRange = 9999;

    explicit HexLayout(ConstByteSpan data = {});

    // The bytes shown; the layout keeps a view on them, not a copy.
    void setData(ConstByteSpan data);
    std::size_t size() const { return data_.size(); }

    std::int64_t rowCount() const { return rows_.total; }
    int offsetDigits() const { return offsetDigits_; }
    int lineWidth() const { return offsetDigits_ + 69; }

    // Recomputes the visible and full rows and columns (after creation and on
    // every size change).
    void layout(int clientWidth, int clientHeight, int charWidth, int charHeight);

    const ScrollAxis& rows() const { return rows_; }
    const ScrollAxis& columns() const { return columns_; }
    std::int64_t firstRow() const { return rows_.first; }
    std::int64_t firstColumn() const { return columns_.first; }
    ScrollBarInfo verticalBar() const { return rows_.bar(); }
    ScrollBarInfo horizontalBar() const { return columns_.bar(); }
    bool scrollVertical(ScrollAction action, int thumb = 0) { return rows_.scroll(action, thumb); }
    bool scrollHorizontal(ScrollAction action, int thumb = 0) { return columns_.scroll(action, thumb); }

    // Scrolls the least needed to bring row `row` into the full rows shown;
    // answers whether the first row changed.
    bool showRow(std::int64_t row);
    // The character columns of byte `index` (0..15) of a row: its first
    // hexadecimal digit and its character in the ASCII column.
    int hexColumn(int index) const { return offsetDigits_ + 2 + 3 * index + (index >= 8 ? 1 : 0); }
    int asciiColumn(int index) const { return offsetDigits_ + 52 + index; }

    // The dump text of row `row` (empty for a row outside the data).
    std::string line(std::int64_t row) const;

    // Rows to paint: from the first row, at most the visible rows, never at
    // or beyond the row count. Line i of them is drawn at
    // x = paintX(charWidth), y = i × charHeight.
    std::int64_t paintRowCount() const;
    std::int64_t paintX(int charWidth) const { return -firstColumn() * charWidth; }

private:
    ConstByteSpan data_;
    int offsetDigits_ = 3;
    ScrollAxis rows_;
    ScrollAxis columns_;
};

// Every line of the dump of `data`.
std::vector<std::string> hexDumpLines(ConstByteSpan data);

}  // namespace sf
