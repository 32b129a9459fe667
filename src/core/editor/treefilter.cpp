#include "editor/treefilter.h"

#include <algorithm>
#include <cstdint>

#include "source/valuetext.h"

namespace sf {

namespace {

unsigned char foldChar(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    // Windows-1252: À..Þ (but ×) and the three upper-case letters of 0x8A..0x9F.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
        case 0x8A:
            return 0x9A;  // Š
        case 0x8C:
            return 0x9C;  // Œ
        case 0x8E:
            return 0x9E;  // Ž
        case 0x9F:
            return 0xFF;  // Ÿ
        default:
            return c;
    }
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(foldChar(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> filterWords(std::string_view query) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < query.size()) {
        while (i < query.size() && isSeparator(query[i])) ++i;
        std::size_t end = i;
        while (end < query.size() && !isSeparator(query[end])) ++end;
        if (end > i) words.push_back(foldCase(query.substr(i, end - i)));
        i = end;
    }
    return words;
}

bool rowMatches(std::string_view label, std::string_view value, std::string_view help,
                const std::vector<std::string>& words) {
    if (words.empty()) return true;
    // One haystack; the separator cannot occur in a typed word.
    std::string all;
    all.reserve(label.size() + value.size() + help.size() + 2);
    all.append(label).push_back('\n');
    all.append(value).push_back('\n');
    all.append(help);
    all = foldCase(all);
    for (const std::string& w : words)
        if (all.find(w) == std::string::npos) return false;
    return true;
}

std::vector<bool> filterTreeRows(const SourceRecord& r, const std::vector<TreeRow>& rows,
                                 std::string_view query) {
    const std::vector<std::string> words = filterWords(query);
    std::vector<bool> shown(rows.size(), words.empty());
    if (words.empty()) return shown;
    // The open ancestors of the current row: positions, by depth; and the
    // depth of the outermost matching one (its whole subtree is shown).
    std::vector<std::size_t> ancestors;
    std::size_t matchedDepth = SIZE_MAX;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int depth = rows[i].depth < 0 ? 0 : rows[i].depth;
        ancestors.resize(std::min(ancestors.size(), static_cast<std::size_t>(depth)));
        if (matchedDepth >= ancestors.size() + 1) matchedDepth = SIZE_MAX;
        const SettingRef& ref = rows[i].ref;
        const SettingItem* item = ref.item != nullptr ? ref.item : findSettingItem(ref.id);
        const char* help = item != nullptr && item->help != nullptr ? item->help : "";
        if (matchedDepth != SIZE_MAX) {
            shown[i] = true;
        } else if (rowMatches(rowLabel(ref), formatValue(r, ref), help, words)) {
            shown[i] = true;
            matchedDepth = ancestors.size();
            // Walk up until an ancestor that is already shown.
            for (auto it = ancestors.rbegin(); it != ancestors.rend() && !shown[*it]; ++it)
                shown[*it] = true;
        }
        ancestors.push_back(i);
    }
    return shown;
}

}  // namespace sf
