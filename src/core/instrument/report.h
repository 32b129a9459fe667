// The dump analysis as text: one line per message, patch, stretch of bytes
// and finding, or as JSON. Texts are UTF-8 (names are converted from the
// driver's Windows-1252).
#pragma once

#include <string>
#include <vector>

#include "instrument/analysis.h"
#include "source/record.h"

namespace sf {

// "ID[:INDEX1[:INDEX2]]", or "-" for a finding without a setting.
std::string settingRefText(const SettingRef& ref);

// The name of a patch's sub-bank ("Sub-bank #N" when it has none), or "".
std::string subBankLabel(const SourceRecord& source, int module, int subBank);

// The lists of the analysis window: column titles and the cells of one row.
//   messages: #, Offset, Size, Header, Data, Checksum
//   patches:  #, Sub-bank, Position, Offset, Size, Checksum, Name
std::vector<std::string> messageColumns();
std::vector<std::string> messageRow(const DumpAnalysis& analysis, std::size_t index);
std::vector<std::string> patchColumns();
std::vector<std::string> patchRow(const DumpAnalysis& analysis, const SourceRecord& source,
                                  std::size_t index);

// Tab-separated lines, each ending in a newline:
//   message N  OFFSET  SIZE  MATCH  DATA  CHECKSUM
//   patch N    SUB-BANK  POSITION  OFFSET  SIZE  DECODED  CHECKSUM  NAME
//   queue      OFFSET  SIZE  DECODED
//   outside    OFFSET  SIZE
//   finding | not analysed  REF  TEXT
std::string analysisText(const DumpAnalysis& analysis, const SourceRecord& source);

// One JSON object with the arrays "messages", "patches", "outside" and
// "findings" and the object "queue" (keys in the README).
std::string analysisJson(const DumpAnalysis& analysis, const SourceRecord& source);

}  // namespace sf
