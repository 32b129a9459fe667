// The filter of the settings tree: the rows whose label, value or help text
// contain every typed word, shown together with their parent rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

// The words of a filter text (Windows-1252), folded to lower case; blanks
// and tabs separate them.
std::vector<std::string> filterWords(std::string_view query);

// Windows-1252 text folded to lower case (ASCII and the accented letters).
std::string foldCase(std::string_view text);

// Whether every word occurs in the label, the value or the help text (each
// word in any of them; case-insensitive). No words match every row.
bool rowMatches(std::string_view label, std::string_view value, std::string_view help,
                const std::vector<std::string>& words);

// For each row of `rows` (tree order, as buildTreeRows gives them): shown or
// not. A row is shown when it matches or when one of its descendants does.
std::vector<bool> filterTreeRows(const SourceRecord& r, const std::vector<TreeRow>& rows,
                                 std::string_view query);

}  // namespace sf
