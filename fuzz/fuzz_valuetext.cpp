// Typed values and message texts.
//
// First byte 'M': the rest is a message text, parsed into a unit array whose
// capacity and prefill the next two bytes choose; the one-line text of what
// was read must read back to the same codes.
//
// Otherwise the input is a list of edits separated by zero bytes, applied to
// a new source with two modules. Each edit: two bytes choose a row of the
// settings tree (every editor kind is reached), one byte chooses typing or a
// choice-menu pick, the rest is the text. After each edit, typing the text
// again changes nothing, typing what the row shows changes nothing, and the
// source still builds the same file after a save and a read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "source/message_record.h"
#include "source/sourcefile.h"
#include "source/valuetext.h"
#include "sysex/message.h"

namespace {

using namespace sf;

std::vector<std::uint8_t> codes(std::span<const MessageUnit> units) {
    std::vector<std::uint8_t> out;
    for (MessageUnit u : units)
        if ((u & 0xFF) != kEmptyCode) out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    return out;
}

void messageText(std::string_view in) {
    if (in.size() < 2) return;
    std::vector<MessageUnit> units(static_cast<std::uint8_t>(in[0]) % 70);
    const int prefill = static_cast<std::uint8_t>(in[1]) % 80;
    in.remove_prefix(2);
    const int n = parseMessage(in, units, prefill);
    if (n < 0 || static_cast<std::size_t>(n) > units.size()) std::abort();
    const std::string shown = formatMessage(units, n);
    std::vector<MessageUnit> again(units.size());
    const int m = parseMessage(shown, again, static_cast<int>(again.size()));
    if (codes(std::span(units).first(static_cast<std::size_t>(n))) !=
        codes(std::span(again).first(static_cast<std::size_t>(m)))) {
        std::fprintf(stderr, "message text does not read back: %s\n", shown.c_str());
        std::abort();
    }
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void edit(SourceRecord& r, std::string_view in) {
    if (in.size() < 3) return;
    const auto rows = buildTreeRows(r);
    const std::size_t pick =
        (static_cast<std::uint8_t>(in[0]) | (static_cast<std::uint8_t>(in[1]) << 8)) % rows.size();
    const SettingRef ref = rows[pick].ref;
    const auto how = static_cast<std::uint8_t>(in[2]);
    in.remove_prefix(3);
    if (how < 64) {  // menu commands are numbered from 60 up
        (void)applyChoice(r, ref, 50 + how);
        return;
    }
    (void)parseValue(r, ref, in);
    const auto after = copyRecord(r);
    (void)parseValue(r, ref, in);
    if (!sameRecord(r, *after)) {
        std::fprintf(stderr, "typing the same text twice changed row %d:%d:%d\n", ref.id,
                     ref.index1, ref.index2);
        std::abort();
    }
    if (hasTreeRow(r, ref)) {
        const std::string shown = formatValue(r, ref);
        (void)parseValue(r, ref, shown);
        // A text cut to its field may end in a blank that typing trims: the
        // value may lose it, nothing else.
        if (!sameRecord(r, *after) && trimmed(formatValue(r, ref)) != trimmed(shown)) {
            std::fprintf(stderr, "typing the shown text '%s' changed row %d:%d:%d\n", shown.c_str(),
                         ref.id, ref.index1, ref.index2);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    if (!in.empty() && in[0] == 'M') {
        messageText(in.substr(1));
        return 0;
    }
    auto r = newSource();
    (void)parseValue(*r, makeRef(103), "2");
    std::size_t pos = 0;
    for (int k = 0; k < 16 && pos <= in.size(); ++k) {
        std::size_t end = in.find('\0', pos);
        if (end == std::string_view::npos) end = in.size();
        edit(*r, in.substr(pos, end - pos));
        pos = end + 1;
    }
    const auto image = buildFileImage(*r);
    if (!image) return 0;
    auto back = readSourceImage(*image);
    if (!back) std::abort();
    const auto again = buildFileImage(*back);
    if (!again || *again != *image) std::abort();
    return 0;
}
