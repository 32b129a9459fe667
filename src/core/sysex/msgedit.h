// State and actions of the message editor ("Midi Message"): a working copy of
// a message template shown as one row per unit position, rebuilt from the
// rows' texts after every edit, delete or insert, and handed back on OK only
// when it really changed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sysex/message.h"

namespace sf {

struct MessageRow {
    enum class Kind { Tag, Byte, Free };
    Kind kind = Kind::Free;
    int label = 0;  // 1-based position of the unit in the message as sent
    std::string hexa, decimal, ascii, comment;
};

// The comment of a literal byte (0xB0, 0xC0, 0xF0, 0xF7 have one).
std::string byteComment(std::uint8_t code);
// The part of a tag's description between " (" and ")"; empty for Flush.
std::string tagComment(const MessageTag& tag);

class MessageEditor {
  public:
    // `units` may hold fewer or more than `capacity` units: the copy is cut or
    // padded with 0x00FF to the capacity, and the count clamped to 0..capacity.
    MessageEditor(std::span<const MessageUnit> units, int count, int capacity, int headerLength);

    int capacity() const { return capacity_; }
    int count() const { return count_; }
    const std::vector<MessageUnit>& units() const { return units_; }

    // Always capacity() rows: one per piece of the text form, then free rows.
    const std::vector<MessageRow>& rows() const { return rows_; }

    bool canDelete(std::optional<int> selected) const;
    bool canInsert(std::optional<int> selected) const;

    // Retypes row `row` with `text` (a tag description is cut at " (").
    // Answers false when the text equals the row's own and nothing was done.
    bool edit(int row, std::string_view text);
    void remove(int row);
    // Inserts a decimal 0 before `row` (after the last unit for a free row).
    void insert(int row);

    // True when the last rebuild had more pieces than the capacity: the first
    // pieces that fit were kept, the rest dropped.
    bool lastEditTruncated() const { return truncated_; }

    // Whether the working message differs from the one the editor opened with
    // (count, or any of the first count units).
    bool changed() const;

  private:
    enum class Op { Edit, Remove, Insert };
    void rebuild(Op op, int row, std::string_view text);
    void fill();

    int capacity_;
    int headerLength_;
    int count_;
    std::vector<MessageUnit> units_;
    std::vector<MessageUnit> original_;
    int originalCount_;
    std::vector<MessageRow> rows_;
    bool truncated_ = false;
};

// The "Value" dialog's list: the 27 tag descriptions in ascending text order.
std::vector<std::string> sortedTagDescriptions();
// The entry the "Value" dialog selects for `initial`: the first description
// that begins with it (as the drop-down list matches, without regard to
// case), or nothing.
std::optional<int> valueDialogSelection(std::string_view initial);
// The text the dialog answers: the edit field, at most 199 characters.
std::string valueDialogResult(std::string_view field);

}  // namespace sf
