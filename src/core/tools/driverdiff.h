// The comparison of two driver sources: every row whose value differs, in
// tree order, with its label path and the two values as the Value column
// shows them; the blocks (ROM names, converter, macro editor data) by their
// group; and bytes that no setting covers, by their place.
#pragma once

#include <string>
#include <vector>

#include "source/record.h"
#include "source/schema.h"

namespace sf {

struct DiffRow {
    SettingRef ref;     // the row (for bytes without a setting: id 0)
    std::string place;  // the REF text, or "@G+OFFSET" / "@M<module>+OFFSET"
    std::string path;   // label path
    std::string valueA;
    std::string valueB;
};

// Both sources are compared as their files keep them. Texts are Windows-1252
// as the Value column holds them.
std::vector<DiffRow> diffSources(const SourceRecord& a, const SourceRecord& b);

}  // namespace sf
