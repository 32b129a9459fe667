#include "sysex/hexdump.h"

#include <algorithm>
#include <cstdio>

namespace sf {

namespace {

int decimalDigits(std::size_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

char asciiOf(std::uint8_t b) {
    return b >= 0x20 && b <= 0x7D ? static_cast<char>(b) : '.';
}

}  // namespace

std::int64_t ScrollAxis::lastFirst() const { return std::max<std::int64_t>(total - full, 0); }

ScrollBarInfo ScrollAxis::bar() const {
    ScrollBarInfo info;
    if (total < 2) return info;
    const std::int64_t range = HexLayout::kScrollRange;
    info.max = HexLayout::kScrollRange;
    info.page = static_cast<int>(std::min<std::int64_t>(full * range / total + 1, range + 1));
    info.pos = static_cast<int>(std::clamp<std::int64_t>(first * range / total, 0, range));
    return info;
}

bool ScrollAxis::scroll(ScrollAction action, int thumb) {
    std::int64_t next = first;
    switch (action) {
        case ScrollAction::LineUp: next = first - 1; break;
        case ScrollAction::LineDown: next = first + 1; break;
        case ScrollAction::PageUp: next = first - full; break;
        case ScrollAction::PageDown: next = first + full; break;
        case ScrollAction::Thumb:
            next = static_cast<std::int64_t>(std::clamp(thumb, 0, HexLayout::kScrollRange)) * total /
                   HexLayout::kScrollRange;
            break;
        case ScrollAction::Top: next = 0; break;
        case ScrollAction::Bottom: next = lastFirst(); break;
    }
    next = std::clamp<std::int64_t>(next, 0, lastFirst());
    if (next == first) return false;
    first = next;
    return true;
}

void ScrollAxis::fit(int clientExtent, int cellExtent) {
    if (clientExtent <= 0 || cellExtent <= 0) {
        visible = full = 0;
        return;
    }
    visible = (static_cast<std::int64_t>(clientExtent) + cellExtent - 1) / cellExtent;
    full = clientExtent / cellExtent;
}

HexLayout::HexLayout(ConstByteSpan data) { setData(data); }

void HexLayout::setData(ConstByteSpan data) {
    data_ = data;
    rows_.total = static_cast<std::int64_t>((data_.size() + kBytesPerRow - 1) / kBytesPerRow);
    offsetDigits_ = std::max(3, decimalDigits(data_.size()));
    columns_.total = lineWidth();
}

void HexLayout::layout(int clientWidth, int clientHeight, int charWidth, int charHeight) {
    rows_.fit(clientHeight, charHeight);
    columns_.fit(clientWidth, charWidth);
}

std::string HexLayout::line(std::int64_t row) const {
    if (row < 0 || row >= rowCount()) return {};
    const std::size_t start = static_cast<std::size_t>(row) * kBytesPerRow;
    const std::size_t count = std::min<std::size_t>(kBytesPerRow, data_.size() - start);

    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llu", offsetDigits_, static_cast<unsigned long long>(start));
    std::string s = buf;
    for (std::size_t i = 0; i < kBytesPerRow; ++i) {
        if (i == 0 || i == 8) s += ' ';
        if (i < count) {
            std::snprintf(buf, sizeof buf, " %02X", data_[start + i]);
            s += buf;
        } else {
            s += "   ";
        }
    }
    s += "  ";
    for (std::size_t i = 0; i < count; ++i) s += asciiOf(data_[start + i]);
    return s;
}

std::int64_t HexLayout::paintRowCount() const {
    return std::clamp<std::int64_t>(rowCount() - firstRow(), 0, rows_.visible);
}

std::vector<std::string> hexDumpLines(ConstByteSpan data) {
    const HexLayout layout(data);
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(layout.rowCount()));
    for (std::int64_t r = 0; r < layout.rowCount(); ++r) lines.push_back(layout.line(r));
    return lines;
}

bool HexLayout::showRow(std::int64_t row) {
    std::int64_t next = rows_.first;
    if (row < next)
        next = row;
    else if (row >= next + std::max<std::int64_t>(rows_.full, 1))
        next = row - std::max<std::int64_t>(rows_.full, 1) + 1;
    next = std::clamp<std::int64_t>(next, 0, rows_.lastFirst());
    if (next == rows_.first) return false;
    rows_.first = next;
    return true;
}

}  // namespace sf
