#include "source/sourcefile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "framework/fileio.h"
#include "framework/prompter.h"

namespace sf {

namespace fs = std::filesystem;

namespace {

// One run of consecutive numeric fields of the same width.
struct FieldRun {
    std::uint16_t offset;
    std::uint16_t count;
    std::uint8_t width;  // 2 or 4
};

constexpr FieldRun w16(std::uint16_t off, std::uint16_t n = 1) { return {off, n, 2}; }
constexpr FieldRun w32(std::uint16_t off) { return {off, 1, 4}; }
// A message of `units` 16-bit units followed by its 16-bit count.
constexpr FieldRun msg(std::uint16_t off, std::uint16_t units) {
    return {off, static_cast<std::uint16_t>(units + 1), 2};
}

// Numeric fields of the header (record offsets). Texts, single bytes, the
// ASCII table and the reserved bytes (among them the words at 906 and 2096)
// are stored as they lie.
constexpr FieldRun kHeaderFields[] = {
    w16(8, 4),     // format version, driver version, number of modules, ID flag word
    w16(174, 2),   // manufacturer ID, device model ID
    w16(180, 6),   // default/min/max sysex ID, string offset, ID offset, ID bit mask
    w16(192, 9),   // "Common header": count, then 8 units
    w16(210, 5),   // values over 127, checksum type, checksum start, time out, checksum init
    msg(908, 40), msg(990, 40), msg(1072, 40), msg(1154, 40), msg(1236, 40),  // mode messages
    msg(1318, 40), msg(1400, 40), msg(1482, 40), msg(1564, 40),
    w16(2056, 2),  // instrument flag words
    w16(2072, 3),  // single: number, module ID, track message code
    w16(2094, 1),  // number of parts
    w16(2098, 3),  // parent module ID, child module ID, parent track message code
    w16(2110, 11), // child information in parent
    w16(2134, 7),
    msg(2176, 40), msg(2258, 40),  // child selection messages
    w16(2352, 1),  // second single module ID
};

// Numeric fields of a module record (module offsets), except the packet /
// loop-set area and MacroEditorData, whose layout depends on flags.
constexpr FieldRun kModuleFields[] = {
    w16(18, 1), w16(22, 2), w16(28, 2),  // flag word, macro editor, data conversion, drum
    w16(58, 3), msg(64, 40),             // dump protocol, packet flags, packet size, template
    w16(146, 5), w16(158, 7),            // handshake codes
    w16(172, 6), w32(184), w16(188, 4),  // loop variables, start address, offsets, precounts
    w16(322, 2), w16(326, 1), w16(330, 1), w16(342, 2), w32(346), w16(350, 5),  // data structure
    w16(568, 1), msg(1080, 60), w16(1202, 1), msg(1204, 40), w16(1286, 1),      // receive
    msg(1288, 40), msg(1370, 40), w16(1452, 2), w32(1456), msg(1460, 60), w16(1582, 1),
    w16(1612, 1), msg(2124, 60), w16(2246, 1), msg(2248, 40), w16(2330, 1),  // send
    msg(2332, 40), msg(2414, 40), msg(2496, 40), w16(2578, 2), msg(2582, 60), w16(2704, 1),
    w16(2734, 7), w16(2748, 5), w16(2762, 3),        // display
    w16(2788, 2), msg(2792, 40), msg(2874, 40),      // sub-bank definitions
    w16(3618, 3), w32(3624), w16(3628, 4), w16(3638, 1), w32(3640),  // patch sysex protocol
    w16(3676, 4), msg(3684, 40), msg(3766, 40), w16(3848, 2),        // send/write
    msg(3852, 40), msg(3934, 40), w16(4016, 1), w32(4018), w16(4022, 2),
    w16(4038, 3), w16(4048, 1), w32(4050),  // converter: count, final size, reserved, slot
};

// Numeric fields of a sub-bank record (offsets inside its 40 bytes).
constexpr FieldRun kSubBankFields[] = {
    w16(10, 5),  // flags, type, bank code, extra bank code, patch start
    w16(24, 1), w32(26),  // ROM names slot: stored size and offset
    w16(30, 1),  // unused locations
};

// MacroEditorData (module offsets), only when "Has a Macro editor" is 1.
constexpr FieldRun kMacroFields[] = {
    w16(4054, 2),              // reserved, template count
    w16(4062, 1), w32(4064),   // templates slot
    w16(4072, 1), w32(4074),   // macros slot
    w16(4082, 1), w32(4084),   // patch information slot
    w16(4092, 1), w32(4094),   // value-list slot
    w16(4098, 3),              // macro filter: reference, offset, flags
    w16(4204, 1), w32(4206),   // reserved block slot
};

template <std::size_t N>
constexpr bool runsOrdered(const FieldRun (&runs)[N], std::size_t limit) {
    std::size_t end = 0;
    for (const auto& r : runs) {
        if (r.offset < end) return false;
        end = r.offset + static_cast<std::size_t>(r.count) * r.width;
    }
    return end <= limit;
}
template <std::size_t N>
constexpr bool runsAvoid(const FieldRun (&runs)[N], std::size_t from, std::size_t to) {
    for (const auto& r : runs)
        if (r.offset < to && from < r.offset + static_cast<std::size_t>(r.count) * r.width) return false;
    return true;
}
static_assert(runsOrdered(kHeaderFields, rec::kHeaderSize));
static_assert(runsOrdered(kModuleFields, rec::kModuleSize));
// The packet area, the sub-bank records and MacroEditorData have their own passes.
static_assert(runsAvoid(kModuleFields, rec::kModPacketArea, rec::kModPacketArea + rec::kModPacketAreaSize));
static_assert(runsAvoid(kModuleFields, rec::kModSubBanks, rec::subBankBase(rec::kSubBanks)));
static_assert(runsAvoid(kModuleFields, rec::kModMacroData, rec::kModMacroData + rec::kMacroDataSize));
// Slot pointers are never swapped: they are zero in files.
static_assert(runsAvoid(kModuleFields, rec::kModConverter + 6, rec::kModConverter + 10));
static_assert(runsAvoid(kMacroFields, 4058, 4062) && runsAvoid(kMacroFields, 4068, 4072) &&
              runsAvoid(kMacroFields, 4078, 4082) && runsAvoid(kMacroFields, 4088, 4092) &&
              runsAvoid(kMacroFields, 4200, 4204));
static_assert(runsAvoid(kSubBankFields, rec::kSbRomNamesSlot, rec::kSbRomNamesSlot + 4));
static_assert(runsOrdered(kSubBankFields, rec::kSubBankSize));
static_assert(runsOrdered(kMacroFields, rec::kModuleSize));

void swapRuns(ByteSpan b, std::size_t base, const FieldRun* runs, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        // A local copy: the byte writes below may alias the table, which would
        // make the compiler reload the run on every field.
        const FieldRun r = runs[i];
        const std::size_t start = base + r.offset;
        const std::size_t width = r.width;
        auto run = slice(b, start, width * r.count);  // one bounds check per run
        std::uint8_t* p = run.data();
        if (width == 2) {
            for (std::size_t k = 0; k < r.count; ++k, p += 2) {
                std::uint16_t v;
                std::memcpy(&v, p, 2);
                v = __builtin_bswap16(v);
                std::memcpy(p, &v, 2);
            }
        } else {
            for (std::size_t k = 0; k < r.count; ++k, p += 4) {
                std::uint32_t v;
                std::memcpy(&v, p, 4);
                v = __builtin_bswap32(v);
                std::memcpy(p, &v, 4);
            }
        }
    }
}
template <std::size_t N>
void swapRuns(ByteSpan b, std::size_t base, const FieldRun (&runs)[N]) {
    swapRuns(b, base, runs, N);
}

constexpr std::uint16_t kComplexLoop = 0x2;

// The 80 bytes at module offset 212: ten packets (16-bit fields at 0, 2 and
// 4 of every 8 bytes) or, with "Use complex loop", eight loop sets (16-bit
// fields at 4, 6 and 8 of every 10 bytes).
void swapPacketArea(ByteSpan b, std::size_t module, bool complexLoop) {
    const std::size_t area = module + rec::kModPacketArea;
    if (complexLoop) {
        for (std::size_t t = 0; t < 8; ++t)
            for (std::size_t f : {4, 6, 8}) swap16(b, area + 10 * t + f);
    } else {
        for (std::size_t p = 0; p < 10; ++p)
            for (std::size_t f : {0, 2, 4}) swap16(b, area + 8 * p + f);
    }
}

std::size_t imageSize(int modules) {
    return rec::kHeaderSize + rec::kModuleSize * static_cast<std::size_t>(modules);
}

void report(Prompter* prompter, std::string_view text) {
    if (prompter) prompter->message(text, MessageIcon::Stop);
}

SourceReadResult damaged(Prompter* prompter) {
    report(prompter, kMsgWrongOrDamaged);
    return SourceReadError{SourceReadError::Kind::Damaged, kMsgWrongOrDamaged, 0, 0};
}

// Exchanges the numbers inside one block. `templateCount` (host order) steers
// the template walk. Answers false when the block's own structure is damaged.
bool swapBlock(ByteSpan block, int slot, int templateCount, SwapDirection dir) {
    switch (slot) {
        case rec::kSlotConverter: swapConverterOps(block, dir); return true;
        case rec::kSlotTemplates: swapTemplates(block, templateCount, dir); return true;
        case rec::kSlotMacros: return swapMacroList(block, dir);
        case rec::kSlotPatchInfo: swapPatchInfo(block); return true;
        case rec::kSlotValueLists: swapValueLists(block); return true;
        default: return true;  // ROM names are text; the reserved block is carried as it lies
    }
}

void clearSlot(ByteSpan b, std::size_t module, int slot) {
    auto f = slice(b, module + rec::slotOffset(slot), rec::kSlotSize);
    std::fill(f.begin(), f.end(), std::uint8_t{0});
}

}  // namespace

void swapImageFields(ByteSpan image, int modules, SwapDirection dir) {
    swapRuns(image, 0, kHeaderFields);
    for (int m = 0; m < modules; ++m) {
        const std::size_t base = rec::moduleBase(m);
        // The flags that choose a layout are read in host order: before the
        // exchange when writing, after it when reading.
        std::uint16_t packetFlags = 0, macroFlag = 0;
        if (dir == SwapDirection::ToBigEndian) {
            packetFlags = getLE16(image, base + rec::kModPacketFlags);
            macroFlag = getLE16(image, base + rec::kModHasMacro);
        }
        swapRuns(image, base, kModuleFields);
        for (int s = 0; s < rec::kSubBanks; ++s) swapRuns(image, base + rec::subBankBase(s), kSubBankFields);
        if (dir == SwapDirection::FromBigEndian) {
            packetFlags = getLE16(image, base + rec::kModPacketFlags);
            macroFlag = getLE16(image, base + rec::kModHasMacro);
        }
        swapPacketArea(image, base, (packetFlags & kComplexLoop) != 0);
        if (macroFlag == 1) swapRuns(image, base, kMacroFields);
    }
}

std::optional<std::vector<std::uint8_t>> buildFileImage(const SourceRecord& record, Prompter* prompter) {
    const int n = validModuleCount(record);
    if (n == 0) {
        report(prompter, kMsgNoValidModule);
        return std::nullopt;
    }
    std::vector<std::uint8_t> image(record.bytes.begin(), record.bytes.begin() + imageSize(n));
    std::memcpy(image.data(), "DEV_SRCE", rec::kMagicSize);
    putLE16(image, rec::kFormatVersion, 100);
    putLE16(image, rec::kModuleCount, static_cast<std::uint16_t>(n));

    for (int m = 0; m < n; ++m) {
        const std::size_t base = rec::moduleBase(m);
        for (int s = 0; s < rec::kSlotsPerModule; ++s) clearSlot(image, base, s);
        const int subBanks = walkedSubBankCount(record, m);
        const bool macro = hasMacroEditor(record, m);
        const int templateCount = record.modU16(m, rec::kModTemplateCount);
        auto store = [&](int slot) {
            const auto& block = record.block(m, slot);
            if (!block || block->empty()) return true;
            if (block->size() > 0xFFFF) return false;
            const std::size_t at = image.size();
            if (at > 0xFFFFFFFFu) return false;
            image.insert(image.end(), block->begin(), block->end());
            swapBlock(ByteSpan(image).subspan(at), slot, templateCount, SwapDirection::ToBigEndian);
            putLE16(image, base + rec::slotOffset(slot) + rec::kSlotStoredSize,
                    static_cast<std::uint16_t>(block->size()));
            putLE32(image, base + rec::slotOffset(slot) + rec::kSlotStoredOffset,
                    static_cast<std::uint32_t>(at));
            return true;
        };
        bool ok = true;
        for (int s = 0; s < subBanks; ++s) ok = ok && store(rec::kSlotRomNames0 + s);
        ok = ok && store(rec::kSlotConverter);
        if (macro)
            for (int k = rec::kSlotTemplates; k <= rec::kSlotReserved; ++k) ok = ok && store(k);
        if (!ok) return std::nullopt;  // a block too large for its 16-bit stored size
    }
    swapImageFields(ByteSpan(image).first(imageSize(n)), n, SwapDirection::ToBigEndian);
    return image;
}

namespace {

// Parses `file` into `r`. The bytes of `r` from `zeroFrom` on are known to be
// zero already, and none of its blocks is set. Answers false for a damaged
// file, leaving `r` in an unspecified state.
bool parseSourceImage(ConstByteSpan file, SourceRecord& r, std::size_t zeroFrom) {
    if (file.size() < rec::kHeaderSize || std::memcmp(file.data(), "DEV_SRCE", rec::kMagicSize) != 0)
        return false;
    const int n = getBE16(file, rec::kModuleCount);
    if (n < 1 || n > rec::kModules || file.size() < imageSize(n)) return false;

    const std::size_t used = imageSize(n);
    std::copy(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(used), r.bytes.begin());
    if (zeroFrom > used) std::fill(r.bytes.begin() + used, r.bytes.begin() + zeroFrom, std::uint8_t{0});
    swapImageFields(ByteSpan(r.bytes).first(used), n, SwapDirection::FromBigEndian);

    bool ok = true;
    forEachWalkedSlot(r, [&](int m, int slot) {
        if (!ok) return;
        const std::size_t at = rec::moduleBase(m) + rec::slotOffset(slot);
        const std::size_t size = r.u16(at + rec::kSlotStoredSize);
        const std::size_t off = r.u32(at + rec::kSlotStoredOffset);
        if (size == 0 || off == 0) return;  // no block
        if (!rangeFits(file.size(), off, size)) {
            ok = false;
            return;
        }
        auto src = slice(file, off, size);
        Block block(src.begin(), src.end());
        ok = swapBlock(block, slot, r.modU16(m, rec::kModTemplateCount), SwapDirection::FromBigEndian);
        if (ok) r.block(m, slot) = std::move(block);
    });
    if (!ok) return false;
    // The slot bytes only mean something in the file.
    for (int m = 0; m < n; ++m)
        for (int s = 0; s < rec::kSlotsPerModule; ++s) clearSlot(r.data(), rec::moduleBase(m), s);
    return true;
}

}  // namespace

SourceReadResult readSourceImage(ConstByteSpan file, Prompter* prompter) {
    auto r = std::make_unique<SourceRecord>();
    if (!parseSourceImage(file, *r, 0)) return damaged(prompter);
    return r;
}

const SourceRecord* SourceImageReader::read(ConstByteSpan file) {
    if (!record_) {
        record_ = std::make_unique<SourceRecord>();
        zeroFrom_ = 0;
    }
    for (auto& b : record_->blocks) b.reset();
    if (!parseSourceImage(file, *record_, zeroFrom_)) {
        record_.reset();  // contents unknown now: start afresh next time
        return nullptr;
    }
    zeroFrom_ = imageSize(getBE16(file, rec::kModuleCount));
    return record_.get();
}

SourceReadResult readSourceFile(const std::filesystem::path& path, Prompter* prompter) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readWholeFile(path);
    } catch (const Exception& e) {
        report(prompter, e.text());
        return SourceReadError{SourceReadError::Kind::FileAccess, e.text(), e.messageNumber(), e.errorCode()};
    }
    return readSourceImage(bytes, prompter);
}

namespace {

// One file to be replaced: its new content waits in `temp` until every new
// file is on disk; the previous content is kept under `aside` until the save
// is known to have succeeded.
struct Replacement {
    fs::path target;
    fs::path temp;
    fs::path aside;
    bool asideMoved = false;  // the previous file was renamed, not linked
    bool committed = false;

    void prepare(ConstByteSpan bytes) { temp = writeTempFile(target, bytes); }
    void setAside() {
        if (fileExists(target)) aside = keepAside(target, &asideMoved);
    }
    void commit() {
        commitTempFile(temp, target);
        temp.clear();
        committed = true;
    }
    // Puts everything back as it was before the save.
    void rollback() noexcept {
        discardFile(temp);
        if (!aside.empty()) {
            if (committed || asideMoved) {
                try {
                    renameFile(aside, target);
                } catch (...) {
                }
            }
            discardFile(aside);  // a link to a file still in place
        } else if (committed) {
            discardFile(target);  // there was no previous file
        }
    }
};

fs::path withExtension(const fs::path& path, const char* ext) {
    fs::path p = path;
    p.replace_extension(ext);
    return p;
}

}  // namespace

fs::path sourceFilePath(const fs::path& path) {
    return withExtension(path, ".d");
}

bool saveSourceFile(const fs::path& path, const SourceRecord& record,
                    const std::vector<std::uint8_t>* driverImage, Prompter* prompter) {
    const auto image = buildFileImage(record, prompter);
    if (!image) {
        report(prompter, kMsgErrorWhileSaving);
        return false;
    }
    // Whatever name was given, the source goes to the ".d" name: the driver
    // written beside it could otherwise land on the source itself.
    const fs::path sourcePath = sourceFilePath(path);
    Replacement source{{}, {}, {}, false, false};
    Replacement driver{{}, {}, {}, false, false};
    fs::path backup;
    try {
        // A linked file is replaced where it lies, with its backup beside it;
        // the links stay.
        source.target = resolveLinks(sourcePath);
        driver.target = resolveLinks(withExtension(sourcePath, ".dev"));
        backup = withExtension(source.target, ".bak");
        // 1. All new content on disk first; a write-protected file or a full
        // disk stops the save here.
        source.prepare(*image);
        if (driverImage) driver.prepare(*driverImage);
        // 2. Keep the previous files reachable, then put the new ones in place.
        source.setAside();
        if (driverImage) driver.setAside();
        source.commit();
        if (driverImage) driver.commit();
        // 3. The previous source becomes the backup, replacing an older one.
        if (!source.aside.empty() && backup != source.target) {
            renameFile(source.aside, backup);
            source.aside.clear();
        }
    } catch (const Exception& e) {
        driver.rollback();
        source.rollback();
        report(prompter, e.text());
        report(prompter, kMsgErrorWhileSaving);
        return false;
    }
    discardFile(source.aside);
    discardFile(driver.aside);
    return true;
}

}  // namespace sf
