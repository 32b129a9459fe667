// The blocks of a source in its text form: sections `REF = KIND [WORDS] {`
// ... `}` with a line form of their own for each kind of block, or hex.
// The line readers throw a plain std::string message; readSection throws
// SourceTextError with the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "source/record.h"
#include "source/schema.h"
#include "tools/textform_words.h"

namespace sf::textform {

enum class SectionKind {
    RomNames,
    Converter,
    Templates,
    Macros,
    PatchInfo,
    ValueLists,
    Reserved,
    Filter
};

struct SectionName {
    SectionKind kind;
    const char* word;
};
inline constexpr SectionName kSectionNames[] = {
    {SectionKind::RomNames, "rom-names"},   {SectionKind::Converter, "converter"},
    {SectionKind::Templates, "templates"},  {SectionKind::Macros, "macros"},
    {SectionKind::PatchInfo, "patch-info"}, {SectionKind::ValueLists, "value-lists"},
    {SectionKind::Reserved, "reserved"},    {SectionKind::Filter, "filter"},
};

const char* sectionWord(SectionKind k);
// The block slot of a section (-1: the filter, which lives in the module).
int slotOf(SectionKind k, int subBank);

inline constexpr std::size_t kOpSize = 10;
inline constexpr std::size_t kTemplateSize = 28;
inline constexpr std::size_t kPatchInfoSize = 1040;
inline constexpr std::size_t kValueListsSize = 1632;

// A section as read: its header words and its content lines.
struct Section {
    SectionKind kind{};
    SettingRef ref;
    std::vector<Token> attributes;
    std::vector<std::string> lines;  // content, right-trimmed
    std::vector<int> lineNumbers;
    int line = 0;
};

// Bytes as hex lines of 16.
std::string hexLines(ConstByteSpan bytes);

// The block a section describes, for the record `r` whose fixed fields are
// already final (the ROM names' shape depends on them). Fixed fields owned by
// the section (counts, final size, filter) are stored into `r`.
std::optional<Block> readSection(const Section& s, SourceRecord& r);

inline std::int16_t s16at(ConstByteSpan b, std::size_t off) {
    return getLE16s(b, off);
}
inline std::int8_t s8at(ConstByteSpan b, std::size_t off) {
    return static_cast<std::int8_t>(get8(b, off));
}

// Converter operations, one line each.
std::string formatOp(ConstByteSpan op);
void parseOp(const std::vector<Token>& tokens, ByteSpan op);

// Parameter templates, one line each.
std::string formatTemplate(ConstByteSpan t);
void parseTemplate(const std::vector<Token>& tokens, ByteSpan t);

// The macro list: a `macro` line, its `param` lines, each with its `point`
// lines. Whether the list is packed as the editor keeps it: the offset table
// exact, every size consistent, nothing after the last macro.
bool wellFormedMacros(ConstByteSpan b);
std::string formatMacros(ConstByteSpan b);
// Macros are built into records first and packed at the end.
struct MacroDraft {
    Block head = Block(36, 0);
    std::vector<Block> params;
};
void parseMacroLine(const std::vector<Token>& tokens, std::vector<MacroDraft>& macros);
Block packMacros(const std::vector<MacroDraft>& macros);

// Patch information: four descriptors with their rows.
std::string formatPatchInfo(ConstByteSpan b);
void parsePatchInfoLine(const std::vector<Token>& tokens, ByteSpan b, int& descriptor);

// Value lists: the counts and up to eight lists.
std::string formatValueLists(ConstByteSpan b);
void parseValueListsLine(std::string_view line, ByteSpan b);

// The macro filter: header words and `groups` lines.
std::string formatFilterHeader(ConstByteSpan f);
std::string formatFilterGroups(ConstByteSpan f);
void parseFilter(const Section& s, ByteSpan f);

}  // namespace sf::textform
