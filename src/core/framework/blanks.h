// Blank handling shared by the readers of typed values and text files: a
// blank is a space or a tab, never a line break.
#pragma once

#include <string_view>

namespace sf {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }

// `s` without the blanks at either end.
constexpr std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace sf
