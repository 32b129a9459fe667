// Dump analysis of arbitrary bytes received from an instrument.
//
// The first byte chooses the driver source: bit 7 set, the next two bytes
// give the length of a source text (text form) read first; otherwise one of
// a few fixed sources (a new one, a bank of named patches with a checksum,
// the same nibblized). The second byte chooses the module; the rest is the
// dump. Every range the analysis answers lies inside the dump, and the byte
// roles cover the dump in order without gaps.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "instrument/analysis.h"
#include "source/valuetext.h"
#include "tools/textform.h"

namespace {

using namespace sf;

void type(SourceRecord& r, int id, const char* text, int module = -1, int index2 = -1) {
    (void)parseValue(r, makeRef(id, module, index2), text);
    if (id >= 175 && id <= 192) normaliseStructure(r, module);
}

void choose(SourceRecord& r, int id, std::string_view entry, int module = -1) {
    const SettingRef ref = makeRef(id, module);
    for (const ChoiceEntry* e = ref.item ? ref.item->choices : nullptr; e && e->text; ++e)
        if (entry == e->text) {
            applyChoice(r, ref, e->command);
            if (id >= 175 && id <= 192) normaliseStructure(r, module);
        }
}

std::unique_ptr<SourceRecord> bank(bool nibbles) {
    auto r = newSource();
    type(*r, 15, "$F0,$42,$30,$19");
    type(*r, 20, "2");
    type(*r, 21, "$0F");
    choose(*r, 27, "2nd complement (-sum & 127)");
    choose(*r, 108, "Dump memory and display patch names", 0);
    choose(*r, 116, "Yes", 0);
    type(*r, 224, "Head,$4C,$00,$40", 0);
    choose(*r, 176, "X patches extracted from Y sysex packets", 0);
    type(*r, 177, "7", 0);
    type(*r, 178, "7", 0);
    type(*r, 180, "1", 0);
    type(*r, 181, "4", 0);
    type(*r, 182, "16", 0);
    type(*r, 238, "6", 0);
    type(*r, 239, "8", 0);
    type(*r, 256, "2", 0);
    type(*r, 257, "2", 0);
    if (nibbles) choose(*r, 16, "Nibblize L/H (4 Low bits / 4 High bits)");
    return r;
}

const SourceRecord& fixedSource(int which) {
    static const auto fresh = newSource();
    static const auto plain = bank(false);
    static const auto nibbled = bank(true);
    return which == 0 ? *fresh : which == 1 ? *plain : *nibbled;
}

bool inside(const ByteRange& r, std::size_t size) {
    return r.offset <= size && r.size <= size - r.offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::size_t p = 0;
    const std::uint8_t mode = data[p++];
    std::unique_ptr<SourceRecord> read;
    if (mode & 0x80) {
        if (size - p < 2) return 0;
        std::size_t n = data[p] | (data[p + 1] << 8);
        p += 2;
        n = std::min(n, size - p);
        try {
            read = importSourceText(std::string_view(reinterpret_cast<const char*>(data) + p, n));
        } catch (const SourceTextError&) {
            return 0;
        }
        p += n;
    }
    const SourceRecord& source = read ? *read : fixedSource(mode % 3);
    if (p >= size) return 0;
    const int modules = std::max(1, walkedModuleCount(source));
    const int module = data[p++] % modules;
    const ConstByteSpan dump(data + p, size - p);

    const DumpAnalysis a = analyseDump(source, module, dump);
    if (a.dumpSize != dump.size()) std::abort();
    for (const auto& m : a.messages) {
        if (!inside({m.offset, m.size}, dump.size()) || m.dataBegin > m.dataEnd ||
            m.dataEnd > m.size)
            std::abort();
        if (m.matched() && m.checksum != ChecksumStatus::None &&
            m.checksum != ChecksumStatus::NotChecked && m.checksumOffset > m.size)
            std::abort();
    }
    for (const auto& pt : a.patches) {
        if (!inside({pt.offset, pt.size}, dump.size())) std::abort();
        if (pt.firstMessage > pt.lastMessage ||
            pt.lastMessage >= static_cast<int>(a.messages.size()))
            std::abort();
        for (const auto& r : pt.nameBytes)
            if (!inside(r, dump.size())) std::abort();
    }
    for (const auto& r : a.outside)
        if (!inside(r, dump.size())) std::abort();
    for (const auto& r : a.queue)
        if (!inside(r, dump.size())) std::abort();
    for (const auto& f : a.findings)
        if (f.text.empty()) std::abort();
    std::size_t at = 0;
    for (const auto& span : byteRoles(a)) {
        if (span.range.offset != at || span.range.size == 0) std::abort();
        at = span.range.end();
    }
    if (at != dump.size()) std::abort();
    return 0;
}
