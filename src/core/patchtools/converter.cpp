#include "patchtools/converter.h"

#include <algorithm>
#include <cstdio>

#include "patchtools/macrodata.h"

namespace sf {

using namespace converter_op;

namespace {

int s16(ConstByteSpan op, std::size_t off) {
    return getLE16s(op, off);
}
int s8(ConstByteSpan op, std::size_t off) {
    return static_cast<std::int8_t>(get8(op, off));
}

struct Box {
    int id;
    std::size_t field;
    bool bit;  // an 8-bit bit number
};
const std::vector<Box>& boxList(int type) {
    static const std::vector<Box> none;
    static const std::vector<Box> bytes{
        {201, kArg1, false}, {203, kArg2, false}, {205, kArg3, false}};
    static const std::vector<Box> bits{{207, kArg1, false},
                                       {208, kSourceBit, true},
                                       {210, kArg2, false},
                                       {211, kDestBit, true},
                                       {213, kArg3, false}};
    static const std::vector<Box> loop{
        {219, kArg1, false}, {215, kArg2, false}, {217, kArg3, false}};
    switch (type) {
        case 1:
            return bytes;
        case 2:
            return bits;
        case 3:
            return loop;
        default:
            return none;
    }
}

std::string boxText(const std::map<int, std::string>& boxes, int id) {
    auto it = boxes.find(id);
    return it == boxes.end() ? std::string() : it->second;
}

}  // namespace

std::string operationText(ConstByteSpan op) {
    char text[160];
    switch (get8(op, kType)) {
        case 1:
            std::snprintf(text, sizeof text,
                          "Copy %d bytes from source position %d to destination position %d",
                          s16(op, kArg3), s16(op, kArg1), s16(op, kArg2));
            return text;
        case 2:
            std::snprintf(
                text, sizeof text,
                "Copy %d bits from source position %d - bit %d to destination position %d - bit %d",
                s16(op, kArg3), s16(op, kArg1), s8(op, kSourceBit), s16(op, kArg2),
                s8(op, kDestBit));
            return text;
        case 3:
            std::snprintf(text, sizeof text,
                          "Start loop - Do %d loops; add %d to source position; add %d to "
                          "destination position",
                          s16(op, kArg1), s16(op, kArg2), s16(op, kArg3));
            return text;
        case 4:
            return "End loop";
        default:
            return {};
    }
}

ConverterEditor::ConverterEditor(const SourceRecord& r, int module) {
    if (const auto& b = r.block(module, rec::kSlotConverter)) block_ = *b;
    // A count beyond the block (a damaged file) is cut to the whole records
    // present, so that every edit stays inside the block; bytes after the
    // counted records are carried along untouched.
    count_ = std::min<int>(r.modU16(module, rec::kModConverterCount),
                           static_cast<int>(block_.size() / kSize));
    finalSizeText = std::to_string(r.modS16(module, rec::kModConverterFinalSize));
}

std::vector<std::string> ConverterEditor::listing() const {
    std::vector<std::string> texts;
    for (int i = 0; i < count_; ++i) {
        auto op = ConstByteSpan(block_).subspan(static_cast<std::size_t>(i) * kSize, kSize);
        if (op[kType] == 0) break;
        texts.push_back(operationText(op));
    }
    return texts;
}

int ConverterEditor::listedCount() const {
    int n = 0;
    while (n < count_ && block_[static_cast<std::size_t>(n) * kSize + kType] != 0) ++n;
    return n;
}

bool ConverterEditor::canDelete(std::optional<int> selected) const {
    return selected && *selected >= 0 && *selected < listedCount();
}

std::string ConverterEditor::insertRefusal() const {
    if (count_ >= kMaxOperations || block_.size() + kSize > 0xFFFF)
        return "The converter program is full: a block of more than 6553 operations cannot be "
               "stored.";
    return {};
}

bool ConverterEditor::canInsert(std::optional<int> selected) const {
    return insertRefusal().empty() && (canDelete(selected) || listedCount() == 0);
}

std::optional<int> ConverterEditor::insert(std::optional<int> selected) {
    if (!canInsert(selected)) return std::nullopt;
    const int at = canDelete(selected) ? *selected : 0;
    Block op(kSize, 0);
    op[kType] = 1;
    block_.insert(block_.begin() + static_cast<long>(at) * static_cast<long>(kSize), op.begin(),
                  op.end());
    ++count_;
    return at;
}

std::optional<int> ConverterEditor::remove(int index) {
    if (!canDelete(index)) return std::nullopt;
    const auto at = block_.begin() + static_cast<long>(index) * static_cast<long>(kSize);
    block_.erase(at, at + static_cast<long>(kSize));
    --count_;
    const int rows = listedCount();
    if (rows == 0) return std::nullopt;
    return std::min(index, rows - 1);
}

ByteSpan ConverterEditor::operation(int index) {
    return slice(ByteSpan(block_), static_cast<std::size_t>(index) * kSize, kSize);
}

void ConverterEditor::apply(SourceRecord& r, int module) const {
    r.setModU16(module, rec::kModConverterCount, static_cast<std::uint16_t>(count_));
    r.setModU16(module, rec::kModConverterFinalSize,
                static_cast<std::uint16_t>(readTypedNumber(finalSizeText)));
    auto& slot = r.block(module, rec::kSlotConverter);
    if (count_ == 0)
        slot.reset();
    else
        slot = block_;
}

OperationForm OperationForm::load(ConstByteSpan op) {
    OperationForm f;
    const int type = get8(op, kType);
    f.type = type >= 1 && type <= 4 ? type : 0;
    for (int t = 1; t <= 3; ++t)
        for (const Box& b : boxList(t)) f.boxes[b.id] = "";
    for (const Box& b : boxList(f.type))
        f.boxes[b.id] = std::to_string(b.bit ? s8(op, b.field) : s16(op, b.field));
    return f;
}

std::vector<int> OperationForm::boxesOf(int type) {
    std::vector<int> ids;
    for (const Box& b : boxList(type)) ids.push_back(b.id);
    return ids;
}

void OperationForm::apply(ByteSpan op) const {
    const int t = type >= 1 && type <= 4 ? type : 1;  // no radio checked reads as the first
    put8(op, kType, static_cast<std::uint8_t>(t));
    for (const Box& b : boxList(t)) {
        const std::int32_t v = readTypedNumber(boxText(boxes, b.id));
        if (b.bit) {
            put8(op, b.field,
                 static_cast<std::uint8_t>(
                     std::clamp<int>(static_cast<std::int8_t>(v & 0xFF), 0, 7)));
        } else if (t == 2 && b.field == kArg3) {
            const int bits = static_cast<std::int16_t>(v & 0xFFFF);
            putLE16(op, b.field, static_cast<std::uint16_t>(std::clamp(bits, 1, 8)));
        } else {
            putLE16(op, b.field, static_cast<std::uint16_t>(v & 0xFFFF));
        }
    }
}

}  // namespace sf
