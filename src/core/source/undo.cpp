#include "source/undo.h"

#include <algorithm>
#include <cstring>

namespace sf {

namespace {

// Differences closer than this are stored as one run: a run costs more than
// a few unchanged bytes.
constexpr std::size_t kMergeGap = 16;
constexpr std::size_t kChunk = 64;

// First index in [from, n) where a and b differ, or n.
std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t from,
                            std::size_t n) {
    std::size_t i = from;
    while (i + kChunk <= n && std::memcmp(a + i, b + i, kChunk) == 0) i += kChunk;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

std::size_t blockUsage(const std::optional<Block>& b) { return b ? b->capacity() : 0; }

}  // namespace

RecordDelta RecordDelta::between(const SourceRecord& from, const SourceRecord& to) {
    RecordDelta d;
    const std::uint8_t* a = from.bytes.data();
    const std::uint8_t* b = to.bytes.data();
    const std::size_t n = rec::kRecordSize;
    std::size_t i = firstDifference(a, b, 0, n);
    while (i < n) {
        // Extend the run while the next difference is near.
        std::size_t end = i + 1;
        for (std::size_t scan = end; scan < n && scan - end < kMergeGap; ++scan)
            if (a[scan] != b[scan]) end = scan + 1;
        d.runs_.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(end - i)});
        d.data_.insert(d.data_.end(), b + i, b + end);
        i = firstDifference(a, b, end, n);
    }
    for (std::size_t s = 0; s < to.blocks.size(); ++s)
        if (from.blocks[s] != to.blocks[s]) d.blocks_.emplace_back(static_cast<std::uint16_t>(s), to.blocks[s]);
    d.runs_.shrink_to_fit();
    d.data_.shrink_to_fit();
    d.blocks_.shrink_to_fit();
    return d;
}

void RecordDelta::applyTo(SourceRecord& r) const {
    std::size_t pos = 0;
    for (const Run& run : runs_) {
        std::memcpy(r.bytes.data() + run.offset, data_.data() + pos, run.length);
        pos += run.length;
    }
    for (const auto& [slot, block] : blocks_) r.blocks[slot] = block;
}

std::size_t RecordDelta::memoryUsage() const {
    std::size_t total = sizeof(*this) + runs_.capacity() * sizeof(Run) + data_.capacity() +
                        blocks_.capacity() * sizeof(blocks_[0]);
    for (const auto& entry : blocks_) total += blockUsage(entry.second);
    return total;
}

std::size_t recordMemoryUsage(const SourceRecord& r) {
    std::size_t total = sizeof(r);
    for (const auto& b : r.blocks) total += blockUsage(b);
    return total;
}

bool UndoList::push(std::unique_ptr<SourceRecord> state) {
    if (!state) return false;
    if (top_ && sameRecord(*state, *top_)) return false;
    if (top_) below_.push_back(RecordDelta::between(*state, *top_));
    top_ = std::move(state);
    dropBeyondCapacity();
    return true;
}

std::unique_ptr<SourceRecord> UndoList::pop() {
    std::unique_ptr<SourceRecord> state = std::move(top_);
    if (state && !below_.empty()) {
        top_ = copyRecord(*state);
        below_.back().applyTo(*top_);
        below_.pop_back();
    }
    return state;
}

std::unique_ptr<SourceRecord> UndoList::stateAt(std::size_t depth) const {
    if (depth >= size()) return nullptr;
    auto r = copyRecord(*top_);
    for (std::size_t k = 0; k < depth; ++k) below_[below_.size() - 1 - k].applyTo(*r);
    return r;
}

void UndoList::clear() {
    top_.reset();
    below_.clear();
}

void UndoList::dropBeyondCapacity() {
    while (size() > capacity_) {
        if (!below_.empty())
            below_.pop_front();
        else
            top_.reset();
    }
}

std::size_t UndoList::memoryUsage() const {
    std::size_t total = sizeof(*this);
    if (top_) total += recordMemoryUsage(*top_);
    for (const RecordDelta& d : below_) total += d.memoryUsage();
    return total;
}

}  // namespace sf
