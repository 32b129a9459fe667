// Dump analysis: how the host would cut a dump with a module's settings.
//
// The dump is cut into SysEx messages (F0 up to F7); each is recognised by the
// module's receive patterns, laid out (header, data, checksum, F7), its data
// decoded by "Data conversion", and the data of the matched messages cut into
// patches as "Structure" says. Patches are numbered by the module's
// sub-banks and named as the display settings say. Everything that does not
// fit becomes a finding that names the setting to check; what the analysis
// does not model is listed as not analysed, never guessed.
//
// Offsets inside a message count from its F0 (offset 0); offsets of the
// analysis (messages, patches, ranges) count from the start of the dump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/bytes.h"
#include "instrument/checksum.h"
#include "source/record.h"
#include "source/schema.h"

namespace sf {

struct ByteRange {
    std::size_t offset = 0;
    std::size_t size = 0;
    std::size_t end() const { return offset + size; }
    bool operator==(const ByteRange&) const = default;
};

enum class ChecksumStatus {
    None,        // the module uses no checksum
    Ok,          // expected and found agree
    Failed,      // they differ
    NotChecked,  // the message is too short, cut short or not matched
};

struct DumpMessage {
    std::size_t offset = 0;  // the F0
    std::size_t size = 0;    // up to and including the F7
    bool terminated = true;  // false: cut short (no F7 before the next status byte or the end)
    int pattern = 0;         // receive pattern matched: 1 or 2; 0 none
    std::size_t firstDifference = 0;  // not matched: first offset that differs from the pattern
    int deviceId = -1;                // the ID at "Sysex ID offset in header", -1 when none
    std::size_t dataBegin = 0;        // the data, offsets in the message
    std::size_t dataEnd = 0;
    ChecksumStatus checksum = ChecksumStatus::None;
    std::size_t checksumOffset = 0;  // in the message
    ChecksumBytes expected;
    ChecksumBytes found;
    bool matched() const { return pattern != 0; }
};

struct DumpPatch {
    int subBank = -1;        // 0-based; -1 outside the sub-banks (or a dump-only module)
    int position = -1;       // 0-based within the sub-bank
    std::size_t offset = 0;  // first and last dump byte of its data (headers between included)
    std::size_t size = 0;
    std::size_t decodedSize = 0;
    int firstMessage = -1;
    int lastMessage = -1;
    ChecksumStatus checksum = ChecksumStatus::None;  // Failed when one of its messages failed
    bool hasName = false;
    std::string name;  // Windows-1252, as the host shows it
    bool nameIsText = true;
    std::vector<ByteRange> nameBytes;  // where the name's bytes lie in the dump
};

struct DumpFinding {
    SettingRef ref;  // the setting to check; id 0 when the dump itself is at fault
    std::string text;
    bool notAnalysed = false;  // a part the analysis does not model
    ByteRange bytes;           // the first place in the dump it concerns, when it names one
};

struct DumpAnalysis {
    int module = 0;
    std::size_t dumpSize = 0;
    std::vector<DumpMessage> messages;
    std::vector<DumpPatch> patches;
    std::vector<ByteRange> outside;  // bytes outside any SysEx message
    std::vector<ByteRange> queue;    // the queue's bytes, when the module keeps one
    std::size_t queueSize = 0;       // decoded
    std::vector<DumpFinding> findings;
    // Every message matched, every checksum held, nothing left unanalysed.
    bool clean() const { return findings.empty(); }
};

// Analyses `dump` with module `module` of `source` (0-based; the caller keeps
// it below the source's module count).
DumpAnalysis analyseDump(const SourceRecord& source, int module, ConstByteSpan dump);

// What a dump byte is, for colouring a hex view by the analysis.
enum class ByteRole : std::uint8_t {
    Outside,  // outside any matched message
    Header,   // a matched message before its data
    Data,
    Name,  // a patch name's bytes
    Checksum,
    ChecksumFailed,
    Trailer,  // the F7
};
struct RoleSpan {
    ByteRange range;
    ByteRole role = ByteRole::Outside;
    bool operator==(const RoleSpan&) const = default;
};
// The roles of the whole dump as consecutive spans in offset order, covering
// [0, dumpSize) without gaps.
std::vector<RoleSpan> byteRoles(const DumpAnalysis& analysis);

}  // namespace sf
