// Undo and redo lists of a driver source.
//
// Every memento stands for a whole SourceRecord state, and the lists behave
// exactly as lists of whole-record copies would. To keep thousands of steps
// cheap, only the most recent memento of a list holds its record in full;
// every memento below it is stored as the exact difference (changed byte runs
// and changed block slots) from the state just above it. Popping rebuilds the
// next state from the one being removed, so every state comes back byte for
// byte, including blocks that the record's counts currently hide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "source/record.h"

namespace sf {

// What turns one record into another: the changed runs of the fixed bytes and
// the changed block slots, holding the target's values. Exact: applying
// between(a, b) to a copy of a gives a record identical to b in every byte and
// every block slot, walked or not.
class RecordDelta {
public:
    static RecordDelta between(const SourceRecord& from, const SourceRecord& to);
    void applyTo(SourceRecord& r) const;
    bool empty() const { return runs_.empty() && blocks_.empty(); }
    // Heap and object bytes held by this delta.
    std::size_t memoryUsage() const;

private:
    struct Run {
        std::uint32_t offset;  // in the record
        std::uint32_t length;  // bytes taken from data_, in run order
    };
    std::vector<Run> runs_;
    std::vector<std::uint8_t> data_;
    std::vector<std::pair<std::uint16_t, std::optional<Block>>> blocks_;
};

// One undo or redo list: a stack of record states, most recent on top.
class UndoList {
public:
    static constexpr std::size_t kDefaultCapacity = 0x7FFFFFFF;
    explicit UndoList(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    bool empty() const { return top_ == nullptr; }
    std::size_t size() const { return top_ ? 1 + below_.size() : 0; }

    // Pushes a memento of `state` (taking ownership). A state equal to the
    // top's (sameRecord) is discarded instead and false answered. Beyond the
    // capacity the oldest memento is dropped.
    bool push(std::unique_ptr<SourceRecord> state);
    // Removes the top memento and answers its state; null when empty.
    std::unique_ptr<SourceRecord> pop();
    // The top memento's state; null when empty.
    const SourceRecord* top() const { return top_.get(); }
    // The state of the memento `depth` places below the top (0 = top), rebuilt.
    std::unique_ptr<SourceRecord> stateAt(std::size_t depth) const;
    void clear();

    // Bytes held by the list: the top record with its blocks and every delta.
    std::size_t memoryUsage() const;

private:
    void dropBeyondCapacity();

    std::unique_ptr<SourceRecord> top_;
    // back() turns the top state into the one below it, and so on down to
    // front(), which gives the oldest state.
    std::deque<RecordDelta> below_;
    std::size_t capacity_;
};

// Heap and object bytes of a record with its blocks.
std::size_t recordMemoryUsage(const SourceRecord& r);

}  // namespace sf
