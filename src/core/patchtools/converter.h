// The patch format converter program of a module: a list of 10-byte
// operations (copy bytes, copy bits, loop start, loop end) and a final size.
// The editor works on a copy of the operation block and hands it back on OK.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "source/record.h"

namespace sf {

namespace converter_op {
inline constexpr std::size_t kSize = 10;
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kSourceBit = 1;
inline constexpr std::size_t kDestBit = 2;
inline constexpr std::size_t kArg1 = 4;
inline constexpr std::size_t kArg2 = 6;
inline constexpr std::size_t kArg3 = 8;
// A 16-bit stored block length bounds a program to 6553 operations.
inline constexpr int kMaxOperations = 6553;
}  // namespace converter_op

// The listing text of one operation (empty for a type above 4).
std::string operationText(ConstByteSpan op);

// State and actions of "Patch converter".
class ConverterEditor {
  public:
    // Copies the module's operations, count and final size.
    ConverterEditor(const SourceRecord& r, int module);

    int count() const { return count_; }
    const Block& block() const { return block_; }

    // One text per listed operation; a type-0 record ends the listing.
    std::vector<std::string> listing() const;
    // The number of listed operations (those before a type-0 record).
    int listedCount() const;

    bool canDelete(std::optional<int> selected) const;
    bool canInsert(std::optional<int> selected) const;
    // Why "&Insert" is refused at the size limit, else empty.
    std::string insertRefusal() const;
    // A new copy-bytes operation before `selected` (into an empty list:
    // the only one). Answers its index.
    std::optional<int> insert(std::optional<int> selected);
    // Answers the row to select afterwards.
    std::optional<int> remove(int index);

    ByteSpan operation(int index);

    // The "Final size" box.
    std::string finalSizeText;

    // OK: count, final size and block into the module (a null block when
    // there are no operations).
    void apply(SourceRecord& r, int module) const;

  private:
    Block block_;
    int count_ = 0;
};

// "Operation": the chosen type (0 when none of the four radio buttons is
// checked) and the texts of the number boxes by control id.
struct OperationForm {
    int type = 0;
    std::map<int, std::string> boxes;

    // Boxes of the record's own type filled with signed numbers, others empty.
    static OperationForm load(ConstByteSpan op);
    // The boxes enabled with the given radio button.
    static std::vector<int> boxesOf(int type);
    // OK: writes the chosen type and the fields of that type.
    void apply(ByteSpan op) const;
};

}  // namespace sf
