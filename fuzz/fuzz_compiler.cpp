// Compiles sources built from arbitrary bytes, and runs the byte-order pass
// over arbitrary images. Nothing may crash or read out of bounds; a compiled
// image must be consistent with its own size field and references.
//
// Input forms, chosen by the first bytes:
// - "DEV_SRCE...": a whole source file, read as the editor reads it;
// - first byte 'I': the rest is taken as a little-endian driver image and
//   handed to the byte-order pass;
// - anything else: a list of edits applied to a new source. Each edit starts
//   with a tag byte: even tags patch the record (3-byte offset, 1-byte length,
//   bytes), odd tags set a block (module byte, slot byte, 2-byte length,
//   bytes). Edits can plant any count, flag or size a damaged file may hold.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/compiler.h"
#include "source/sourcefile.h"

namespace {

using namespace sf;

std::unique_ptr<SourceRecord> editedSource(ConstByteSpan in) {
    auto r = newSource();
    std::size_t p = 0;
    auto left = [&] { return in.size() - p; };
    while (left() > 0) {
        const std::uint8_t tag = in[p++];
        if (tag % 2 == 0) {
            if (left() < 4) break;
            const std::size_t off =
                (in[p] | (in[p + 1] << 8) | (static_cast<std::size_t>(in[p + 2]) << 16)) % rec::kRecordSize;
            std::size_t n = in[p + 3];
            p += 4;
            n = std::min<std::size_t>({n, left(), rec::kRecordSize - off});
            std::memcpy(r->bytes.data() + off, in.data() + p, n);
            p += n;
        } else {
            if (left() < 4) break;
            const int module = in[p] % rec::kModules;
            const int slot = in[p + 1] % rec::kSlotsPerModule;
            std::size_t n = static_cast<std::size_t>(in[p + 2] | (in[p + 3] << 8));
            p += 4;
            Block b(n, 0);  // a block may be longer than the input provides
            const std::size_t take = std::min(n, left());
            if (take > 0) std::memcpy(b.data(), in.data() + p, take);  // an empty block has no data
            p += take;
            r->block(module, slot) = std::move(b);
        }
    }
    return r;
}

void checkImage(const std::vector<std::uint8_t>& img) {
    if (img.size() < drv::kHeaderSize) std::abort();
    if (getBE32(img, drv::kHFileSize) != img.size()) std::abort();
    const std::size_t n = getBE16(img, drv::kHModuleCount);
    if (n == 0 || n > drv::kMaxModules || img.size() < drv::moduleRecord(n)) std::abort();
    // Every header reference leads to a whole block inside the image.
    std::vector<std::size_t> refs = {drv::kHHelpRef, drv::kHAsciiRef, drv::kHChildSubBankRef,
                                     drv::kHChildPatchRef};
    for (int k = 0; k < drv::kModeMessages; ++k) refs.push_back(drv::kHModeRefs + 2 * static_cast<std::size_t>(k));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t f = 0x34; f < drv::kModuleRecordSize; f += 2)
            if (f == drv::kMTemplateRef || f == drv::kMPacketAreaRef || f == drv::kMPattern1Ref ||
                (f >= drv::kMSubBankRefs && f < drv::kMPatchProtocolFlags) || f == drv::kMMacroFilterRef)
                refs.push_back(drv::moduleRecord(i) + f);
    for (std::size_t ref : refs) {
        const std::size_t at = getBE16(img, ref);
        if (at == 0) continue;
        if (at % 2 != 0 || at < drv::moduleRecord(n) || at + 2 > img.size()) std::abort();
        const std::size_t len = getBE16(img, at);
        if (len == 0 || at + 2 + len + (len & 1) > img.size()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ConstByteSpan in(data, size);
    if (size >= 8 && std::memcmp(data, "DEV_SRCE", 8) == 0) {
        auto r = readSourceImage(in);
        if (!r) return 0;
        auto res = compileDriver(*r);
        if (res.ok()) checkImage(res.image);
        return 0;
    }
    if (size >= 1 && data[0] == 'I') {
        std::vector<std::uint8_t> image(data + 1, data + size);
        swapDriverByteOrder(image);
        return 0;
    }
    auto r = editedSource(in);
    RecordingPrompter p;
    auto res = compileDriver(*r, &p);
    if (res.ok()) {
        checkImage(res.image);
        if (!p.messages.empty()) std::abort();
    } else if (!res.image.empty() || p.messages.size() != 1) {
        std::abort();
    }
    return 0;
}
