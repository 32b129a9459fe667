#include "sysex/msgedit.h"

#include <algorithm>
#include <cctype>

#include "framework/blanks.h"

namespace sf {

namespace {

// The pieces of a message text: split at "," and ";", trimmed, no empty ones.
std::vector<std::string> splitPieces(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",;", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view piece = trimBlanks(text.substr(start, end - start));
        if (!piece.empty()) pieces.emplace_back(piece);
        start = end + 1;
    }
    return pieces;
}

char lowerAscii(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return lowerAscii(x) < lowerAscii(y);
    });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
    return true;
}

}  // namespace

std::string byteComment(std::uint8_t code) {
    switch (code) {
        case 0xB0:
            return "Control change";
        case 0xC0:
            return "Program change";
        case 0xF0:
            return "Start of Sysex";
        case 0xF7:
            return "End of Sysex";
        default:
            return {};
    }
}

std::string tagComment(const MessageTag& tag) {
    std::string_view d = tag.description;
    const std::size_t open = d.find(" (");
    if (open == std::string_view::npos) return {};
    d.remove_prefix(open + 2);
    const std::size_t close = d.rfind(')');
    return std::string(close == std::string_view::npos ? d : d.substr(0, close));
}

MessageEditor::MessageEditor(std::span<const MessageUnit> units, int count, int capacity,
                             int headerLength)
    : capacity_(std::max(0, capacity)),
      headerLength_(headerLength),
      count_(std::clamp(count, 0, capacity_)),
      units_(static_cast<std::size_t>(capacity_), MessageUnit{0x00FF}) {
    std::copy_n(units.begin(), std::min(units.size(), units_.size()), units_.begin());
    original_ = units_;
    originalCount_ = count_;
    fill();
}

void MessageEditor::fill() {
    const std::vector<std::string> pieces = splitPieces(formatMessage(units_, count_));
    rows_.assign(static_cast<std::size_t>(capacity_), MessageRow{});
    int label = 1;
    for (int i = 0; i < capacity_; ++i) {
        MessageRow& row = rows_[static_cast<std::size_t>(i)];
        row.label = label;
        int step = 1;
        if (i >= static_cast<int>(pieces.size())) {
            row.kind = MessageRow::Kind::Free;
            const std::string dash(1, '-');
            row.hexa = row.decimal = row.ascii = dash;
            row.comment = std::string("Free");
        } else if (const MessageTag* tag = findTagByName(pieces[static_cast<std::size_t>(i)])) {
            row.kind = MessageRow::Kind::Tag;
            row.hexa = tag->name;
            row.comment = tagComment(*tag);
            if (tag->code == 0xFD) step = headerLength_;
        } else {
            MessageUnit unit = 0;
            parseMessage(pieces[static_cast<std::size_t>(i)], std::span<MessageUnit>(&unit, 1), 0);
            const auto code = static_cast<std::uint8_t>(unit & 0xFF);
            row.kind = MessageRow::Kind::Byte;
            row.hexa = formatHex(code);
            row.decimal = std::to_string(code);
            row.ascii =
                std::string(1, code >= 0x20 && code <= 0x7E ? static_cast<char>(code) : ' ');
            row.comment = byteComment(code);
        }
        label += step;
    }
}

bool MessageEditor::canDelete(std::optional<int> selected) const {
    return selected && *selected >= 0 && *selected < capacity_;
}

bool MessageEditor::canInsert(std::optional<int> selected) const {
    return canDelete(selected) && count_ < capacity_;
}

void MessageEditor::rebuild(Op op, int row, std::string_view text) {
    std::vector<std::string> texts;
    for (int i = 0; i < capacity_; ++i) {
        std::string own = rows_[static_cast<std::size_t>(i)].hexa;
        if (i == row) {
            if (op == Op::Edit) {
                own = std::string(text.substr(0, text.find(" (")));
            } else if (op == Op::Remove) {
                own.clear();
            } else {
                texts.emplace_back("0");
            }
        }
        if (own.empty() || own.front() == '-') continue;
        texts.push_back(std::move(own));
    }
    std::string joined;
    for (const std::string& t : texts) {
        if (!joined.empty()) joined += ',';
        joined += t;
    }
    // An edited row may hold several pieces; the message keeps the first that
    // fit its capacity and the rest is dropped (and reported to the dialog).
    truncated_ = splitPieces(joined).size() > static_cast<std::size_t>(capacity_);
    count_ = parseMessage(joined, units_, static_cast<int>(texts.size()));
    fill();
}

bool MessageEditor::edit(int row, std::string_view text) {
    if (row < 0 || row >= capacity_) return false;
    text = text.substr(0, 199);
    if (text == rows_[static_cast<std::size_t>(row)].hexa) return false;
    rebuild(Op::Edit, row, text);
    return true;
}

void MessageEditor::remove(int row) {
    if (!canDelete(row)) return;
    rebuild(Op::Remove, row, {});
}

void MessageEditor::insert(int row) {
    if (!canInsert(row)) return;
    rebuild(Op::Insert, row, {});
}

bool MessageEditor::changed() const {
    if (count_ != originalCount_) return true;
    return !std::equal(units_.begin(), units_.begin() + count_, original_.begin());
}

std::vector<std::string> sortedTagDescriptions() {
    std::vector<std::string> list;
    for (const MessageTag& t : messageTags()) list.emplace_back(t.description);
    std::stable_sort(list.begin(), list.end(), lessNoCase);
    return list;
}

std::optional<int> valueDialogSelection(std::string_view initial) {
    if (initial.empty()) return std::nullopt;
    const std::vector<std::string> list = sortedTagDescriptions();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (startsWithNoCase(list[i], initial)) return static_cast<int>(i);
    return std::nullopt;
}

std::string valueDialogResult(std::string_view field) {
    return std::string(field.substr(0, 199));
}

}  // namespace sf
