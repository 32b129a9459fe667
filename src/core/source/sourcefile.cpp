#include "source/sourcefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

constexpr FieldRun w16(std::uint16_t off, std::uint16_t n = 1) {
    return {off, n, 2};
}
constexpr FieldRun w32(std::uint16_t off) {
    return {off, 1, 4};
}
// A message of `units` 16-bit units followed by its 16-bit count.
constexpr FieldRun msg(std::uint16_t off, std::uint16_t units) {
    return {off, static_cast<std::uint16_t>(units + 1), 2};
}

// Numeric fields of the header (record offsets). Texts, single bytes, the
// ASCII table and the reserved bytes (among them the words at 906 and 2096)
// are stored as they lie.
constexpr FieldRun kHeaderFields[] = {
    w16(8, 4),    // format version, driver version, number of modules, ID flag word
    w16(174, 2),  // manufacturer ID, device model ID
    w16(180, 6),  // default/min/max sysex ID, string offset, ID offset, ID bit mask
    w16(192, 9),  // "Common header": count, then 8 units
    w16(210, 5),  // values over 127, checksum type, checksum start, time out, checksum init
    msg(908, 40),  msg(990, 40),  msg(1072, 40),
    msg(1154, 40), msg(1236, 40),  // mode messages
    msg(1318, 40), msg(1400, 40), msg(1482, 40),
    msg(1564, 40), w16(2056, 2),  // instrument flag words
    w16(2072, 3),                 // single: number, module ID, track message code
    w16(2094, 1),                 // number of parts
    w16(2098, 3),                 // parent module ID, child module ID, parent track message code
    w16(2110, 11),                // child information in parent
    w16(2134, 7),  msg(2176, 40), msg(2258, 40),  // child selection messages
    w16(2352, 1),                                 // second single module ID
};

// Numeric fields of a module record (module offsets), except the packet /
// loop-set area and MacroEditorData, whose layout depends on flags.
constexpr FieldRun kModuleFields[] = {
    w16(18, 1),    w16(22, 2),    w16(28, 2),  // flag word, macro editor, data conversion, drum
    w16(58, 3),    msg(64, 40),                // dump protocol, packet flags, packet size, template
    w16(146, 5),   w16(158, 7),                // handshake codes
    w16(172, 6),   w32(184),      w16(188, 4),  // loop variables, start address, offsets, precounts
    w16(322, 2),   w16(326, 1),   w16(330, 1),   w16(342, 2),   w32(346),
    w16(350, 5),                                                               // data structure
    w16(568, 1),   msg(1080, 60), w16(1202, 1),  msg(1204, 40), w16(1286, 1),  // receive
    msg(1288, 40), msg(1370, 40), w16(1452, 2),  w32(1456),     msg(1460, 60),
    w16(1582, 1),  w16(1612, 1),  msg(2124, 60), w16(2246, 1),  msg(2248, 40),
    w16(2330, 1),  // send
    msg(2332, 40), msg(2414, 40), msg(2496, 40), w16(2578, 2),  msg(2582, 60),
    w16(2704, 1),  w16(2734, 7),  w16(2748, 5),  w16(2762, 3),              // display
    w16(2788, 2),  msg(2792, 40), msg(2874, 40),                            // sub-bank definitions
    w16(3618, 3),  w32(3624),     w16(3628, 4),  w16(3638, 1),  w32(3640),  // patch sysex protocol
    w16(3676, 4),  msg(3684, 40), msg(3766, 40), w16(3848, 2),              // send/write
    msg(3852, 40), msg(3934, 40), w16(4016, 1),  w32(4018),     w16(4022, 2),
    w16(4038, 3),  w16(4048, 1),  w32(4050),  // converter: count, final size, reserved, slot
};

// Numeric fields of a sub-bank record (offsets inside its 40 bytes).
constexpr FieldRun kSubBankFields[] = {
    w16(10, 5),           // flags, type, bank code, extra bank code, patch start
    w16(24, 1), w32(26),  // ROM names slot: stored size and offset
    w16(30, 1),           // unused locations
};

// MacroEditorData (module offsets), only when "Has a Macro editor" is 1.
constexpr FieldRun kMacroFields[] = {
    w16(4054, 2),             // reserved, template count
    w16(4062, 1), w32(4064),  // templates slot
    w16(4072, 1), w32(4074),  // macros slot
    w16(4082, 1), w32(4084),  // patch information slot
    w16(4092, 1), w32(4094),  // value-list slot
    w16(4098, 3),             // macro filter: reference, offset, flags
    w16(4204, 1), w32(4206),  // reserved block slot
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
        if (r.offset < to && from < r.offset + static_cast<std::size_t>(r.count) * r.width)
            return false;
    return true;
}
static_assert(runsOrdered(kHeaderFields, rec::kHeaderSize));
static_assert(runsOrdered(kModuleFields, rec::kModuleSize));
// The packet area, the sub-bank records and MacroEditorData have their own passes.
static_assert(runsAvoid(kModuleFields, rec::kModPacketArea,
                        rec::kModPacketArea + rec::kModPacketAreaSize));
static_assert(runsAvoid(kModuleFields, rec::kModSubBanks, rec::subBankBase(rec::kSubBanks)));
static_assert(runsAvoid(kModuleFields, rec::kModMacroData,
                        rec::kModMacroData + rec::kMacroDataSize));
// Slot pointers are never swapped: they are zero in files.
static_assert(runsAvoid(kModuleFields, rec::kModConverter + 6, rec::kModConverter + 10));
static_assert(runsAvoid(kMacroFields, 4058, 4062) && runsAvoid(kMacroFields, 4068, 4072) &&
              runsAvoid(kMacroFields, 4078, 4082) && runsAvoid(kMacroFields, 4088, 4092) &&
              runsAvoid(kMacroFields, 4200, 4204));
static_assert(runsAvoid(kSubBankFields, rec::kSbRomNamesSlot, rec::kSbRomNamesSlot + 4));
static_assert(runsOrdered(kSubBankFields, rec::kSubBankSize));
static_assert(runsOrdered(kMacroFields, rec::kModuleSize));

// Exchanges `count` consecutive fields of `width` bytes (2 or 4) at `start`.
void swapRun(ByteSpan b, std::size_t start, std::size_t count, std::size_t width) {
    auto run = slice(b, start, width * count);  // one bounds check per run
    std::uint8_t* p = run.data();
    if (width == 2) {
        for (std::size_t k = 0; k < count; ++k, p += 2) {
            std::uint16_t v;
            std::memcpy(&v, p, 2);
            v = __builtin_bswap16(v);
            std::memcpy(p, &v, 2);
        }
    } else {
        for (std::size_t k = 0; k < count; ++k, p += 4) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            v = __builtin_bswap32(v);
            std::memcpy(p, &v, 4);
        }
    }
}

constexpr std::uint16_t kComplexLoop = 0x2;

// Every run of numeric fields that the byte-order pass exchanges in the
// header, and in one module record given the two flags that choose its
// layout: fn(record offset, field count, field width).
template <typename Fn>
void forEachHeaderRun(Fn&& fn) {
    for (const FieldRun& r : kHeaderFields)
        fn(std::size_t{r.offset}, std::size_t{r.count}, std::size_t{r.width});
}
template <typename Fn>
void forEachModuleRun(std::size_t module, bool complexLoop, bool macroEditor, Fn&& fn) {
    for (const FieldRun& r : kModuleFields)
        fn(module + r.offset, std::size_t{r.count}, std::size_t{r.width});
    for (int s = 0; s < rec::kSubBanks; ++s)
        for (const FieldRun& r : kSubBankFields)
            fn(module + rec::subBankBase(s) + r.offset, std::size_t{r.count}, std::size_t{r.width});
    // The 80 bytes at module offset 212: ten packets (16-bit fields at 0, 2
    // and 4 of every 8 bytes) or, with "Use complex loop", eight loop sets
    // (16-bit fields at 4, 6 and 8 of every 10 bytes).
    const std::size_t area = module + rec::kModPacketArea;
    if (complexLoop) {
        for (std::size_t t = 0; t < 8; ++t) fn(area + 10 * t + 4, std::size_t{3}, std::size_t{2});
    } else {
        for (std::size_t p = 0; p < 10; ++p) fn(area + 8 * p, std::size_t{3}, std::size_t{2});
    }
    if (macroEditor)
        for (const FieldRun& r : kMacroFields)
            fn(module + r.offset, std::size_t{r.count}, std::size_t{r.width});
}

// The flags that choose a module's layout are themselves exchanged fields:
// read from a file image they are big-endian.
template <std::size_t N>
constexpr bool exchanged(const FieldRun (&runs)[N], std::size_t off, std::size_t width) {
    for (const auto& r : runs)
        if (r.width == width && off >= r.offset &&
            off < r.offset + std::size_t{r.count} * r.width && (off - r.offset) % width == 0)
            return true;
    return false;
}
static_assert(exchanged(kModuleFields, rec::kModPacketFlags, 2) &&
              exchanged(kModuleFields, rec::kModHasMacro, 2) &&
              exchanged(kModuleFields, rec::kModSubBankCount, 2));
// So are the stored size and offset of every block slot (the macro slots
// only with a macro editor, which is also when they are walked).
static_assert(exchanged(kSubBankFields, rec::kSbRomNamesSlot + rec::kSlotStoredSize, 2) &&
              exchanged(kSubBankFields, rec::kSbRomNamesSlot + rec::kSlotStoredOffset, 4));
static_assert(exchanged(kModuleFields, rec::slotOffset(rec::kSlotConverter) + rec::kSlotStoredSize,
                        2) &&
              exchanged(kModuleFields,
                        rec::slotOffset(rec::kSlotConverter) + rec::kSlotStoredOffset, 4));
constexpr bool macroSlotsExchanged() {
    for (int k = rec::kSlotTemplates; k <= rec::kSlotReserved; ++k)
        if (!exchanged(kMacroFields, rec::slotOffset(k) + rec::kSlotStoredSize, 2) ||
            !exchanged(kMacroFields, rec::slotOffset(k) + rec::kSlotStoredOffset, 4))
            return false;
    return true;
}
static_assert(macroSlotsExchanged());

bool complexLoopIn(std::uint16_t packetFlags) {
    return (packetFlags & kComplexLoop) != 0;
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
        case rec::kSlotConverter:
            swapConverterOps(block, dir);
            return true;
        case rec::kSlotTemplates:
            swapTemplates(block, templateCount, dir);
            return true;
        case rec::kSlotMacros:
            return swapMacroList(block, dir);
        case rec::kSlotPatchInfo:
            swapPatchInfo(block);
            return true;
        case rec::kSlotValueLists:
            swapValueLists(block);
            return true;
        default:
            return true;  // ROM names are text; the reserved block is carried as it lies
    }
}

void clearSlot(ByteSpan b, std::size_t module, int slot) {
    auto f = slice(b, module + rec::slotOffset(slot), rec::kSlotSize);
    std::fill(f.begin(), f.end(), std::uint8_t{0});
}

}  // namespace

void swapImageFields(ByteSpan image, int modules, SwapDirection dir) {
    forEachHeaderRun([&](std::size_t at, std::size_t count, std::size_t width) {
        swapRun(image, at, count, width);
    });
    for (int m = 0; m < modules; ++m) {
        const std::size_t base = rec::moduleBase(m);
        // The flags that choose a layout, in host order: as they lie when
        // writing, exchanged when reading.
        const bool toFile = dir == SwapDirection::ToBigEndian;
        const std::uint16_t packetFlags = toFile ? getLE16(image, base + rec::kModPacketFlags)
                                                 : getBE16(image, base + rec::kModPacketFlags);
        const std::uint16_t macroFlag = toFile ? getLE16(image, base + rec::kModHasMacro)
                                               : getBE16(image, base + rec::kModHasMacro);
        forEachModuleRun(base, complexLoopIn(packetFlags), macroFlag == 1,
                         [&](std::size_t at, std::size_t count, std::size_t width) {
                             swapRun(image, at, count, width);
                         });
    }
}

std::optional<std::vector<std::uint8_t>> buildFileImage(const SourceRecord& record,
                                                        Prompter* prompter) {
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
    if (file.size() < rec::kHeaderSize ||
        std::memcmp(file.data(), "DEV_SRCE", rec::kMagicSize) != 0)
        return false;
    const int n = getBE16(file, rec::kModuleCount);
    if (n < 1 || n > rec::kModules || file.size() < imageSize(n)) return false;

    const std::size_t used = imageSize(n);
    std::copy(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(used), r.bytes.begin());
    if (zeroFrom > used)
        std::fill(r.bytes.begin() + used, r.bytes.begin() + zeroFrom, std::uint8_t{0});
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
        ok = swapBlock(block, slot, r.modU16(m, rec::kModTemplateCount),
                       SwapDirection::FromBigEndian);
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

namespace {

// Where the byte-order pass takes every byte of the header and of a module
// record (in each of its four layouts) from: the distance to its place in
// the file, -3..3.
struct ByteOrderMaps {
    std::array<std::int8_t, rec::kHeaderSize> header{};
    // Indexed by layout: 1 "Use complex loop", 2 "Has a Macro editor".
    std::array<std::array<std::int8_t, rec::kModuleSize>, 4> module{};
};

const ByteOrderMaps& byteOrderMaps() {
    static const ByteOrderMaps maps = [] {
        auto mark = [](std::int8_t* map) {
            return [map](std::size_t at, std::size_t count, std::size_t width) {
                for (std::size_t k = 0; k < count * width; ++k) {
                    const int i = static_cast<int>(k % width);
                    map[at + k] = static_cast<std::int8_t>(static_cast<int>(width) - 1 - 2 * i);
                }
            };
        };
        ByteOrderMaps m;
        forEachHeaderRun(mark(m.header.data()));
        for (int layout = 0; layout < 4; ++layout)
            forEachModuleRun(0, (layout & 1) != 0, (layout & 2) != 0,
                             mark(m.module[layout].data()));
        return m;
    }();
    return maps;
}

// Reads up to `n` bytes at `at`: the number read, short only at the end of
// the file; -1 on an error.
std::ptrdiff_t readUpTo(int fd, std::uint8_t* to, std::size_t n, std::size_t at) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, to + done, n - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::ptrdiff_t>(done);
}

// Reads exactly `n` bytes at `at`; false on an error or a file shorter than that.
bool readAt(int fd, std::uint8_t* to, std::size_t n, std::size_t at) {
    return readUpTo(fd, to, n, at) == static_cast<std::ptrdiff_t>(n);
}

}  // namespace

// Left uninitialised: only the bytes read from a file (`used_`) are ever
// looked at, and a fresh buffer then costs no page until a file fills it.
SourceFileProbe::SourceFileProbe(Batches batches)
    : image_(std::make_unique_for_overwrite<std::uint8_t[]>(rec::kRecordSize)), batches_(batches) {}

SourceFileProbe::~SourceFileProbe() {
    if (folderFd_ >= 0) ::close(folderFd_);
    FileBatchReader::giveBack(std::move(reader_));
}

// The folder of `name` (the part before `slash`) open for lookups in it, or
// -1. The files of a library come folder by folder: each folder is opened
// once, and each file looked up by its name in it.
int SourceFileProbe::folderOf(const std::string& name, std::size_t slash) {
    const std::string_view folder(name.data(), slash);
    if (folderFd_ < 0 || folder != folder_) {
        if (folderFd_ >= 0) ::close(folderFd_);
        folder_.assign(folder);
        folderFd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return folderFd_;
}

int SourceFileProbe::openFile(const std::string& name) {
    // Not blocking: a pipe named like a source must not hold up the walk.
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos || slash == 0) return ::open(name.c_str(), flags);
    const int folder = folderOf(name, slash);
    if (folder < 0) return ::open(name.c_str(), flags);
    return ::openat(folder, name.c_str() + slash + 1, flags);
}

bool SourceFileProbe::read(const std::string& path) {
    modules_ = 0;
    used_ = 0;
    const int fd = openFile(path);
    if (fd < 0) return false;
    const bool ok = readOpen(fd);  // sets modules_ and used_ only when it accepts
    ::close(fd);
    return ok;
}

namespace {

// A file of the batch that select() reads the ordinary way.
constexpr std::ptrdiff_t kNotRead = -1;
// The batches read the ordinary way before the first one read as one.
constexpr int kOrdinaryBatches = 2;

}  // namespace

void SourceFileProbe::readAhead(std::span<const std::string* const> paths) {
    const std::size_t n = std::min(paths.size(), kBatch);
    batch_.fill(nullptr);
    std::copy_n(paths.begin(), n, batch_.begin());
    got_.fill(kNotRead);
    if (batches_ == Batches::Never || n == 0) return;
    if (!reader_) {
        reader_ = FileBatchReader::spare(kBatchCapacity);
        if (!reader_) {
            if (batches_ == Batches::AfterAFew && ++batchesSeen_ <= kOrdinaryBatches) return;
            reader_ = FileBatchReader::create(kBatchCapacity);
            if (!reader_) {
                batches_ = Batches::Never;  // not offered here: no need to ask again
                return;
            }
        }
    }
    // Each file by its name in its folder. A folder left behind by the batch
    // stays open until the batch has been read.
    std::array<FileBatchReader::File, kBatch> files;
    std::array<std::size_t, kBatch> which;
    std::array<int, kBatch> retired;
    std::size_t count = 0, retiredCount = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& name = *paths[i];
        const std::size_t slash = name.rfind('/');
        int folder = AT_FDCWD;
        const char* rest = name.c_str();
        if (slash != std::string::npos && slash != 0) {
            if (folderFd_ >= 0 && std::string_view(name.data(), slash) != folder_) {
                retired[retiredCount++] = folderFd_;
                folderFd_ = -1;
            }
            folder = folderOf(name, slash);
            if (folder < 0) continue;  // read() tells what became of it
            rest += slash + 1;
        }
        files[count] = {folder, rest};
        which[count++] = i;
    }
    std::array<std::ptrdiff_t, kBatch> got;
    if (reader_->read(std::span(files.data(), count), got))
        for (std::size_t k = 0; k < count; ++k) {
            got_[which[k]] = got[k];
            place_[which[k]] = k;
        }
    for (std::size_t k = 0; k < retiredCount; ++k) ::close(retired[k]);
}

bool SourceFileProbe::select(std::size_t i) {
    if (i >= kBatch || !batch_[i]) return false;
    const std::ptrdiff_t got = got_[i];
    // Whatever the batch cannot vouch for (an error, a read that may have
    // stopped before the end of the file) is read again on its own.
    if (!reader_ || !reader_->endsAtEndOfFile(got)) return read(*batch_[i]);
    modules_ = 0;
    used_ = 0;
    return readBatched(reader_->data(place_[i]), static_cast<std::size_t>(got));
}

namespace {

// The module count of the `size` bytes a file begins with, 1..16; 0 when
// they hold no header and first module record, or not a source's.
int moduleCountOf(const std::uint8_t* bytes, std::size_t size) {
    if (size < imageSize(1) || std::memcmp(bytes, "DEV_SRCE", rec::kMagicSize) != 0) return 0;
    const int n = getBE16(ConstByteSpan(bytes, size), rec::kModuleCount);
    return n >= 1 && n <= rec::kModules ? n : 0;
}

}  // namespace

bool SourceFileProbe::readOpen(int fd) {
    // The checks of readSourceImage, on no more bytes than they look at. A
    // read cut short by the end of the file fails them: a file without a
    // header and one module record is damaged, whatever it holds.
    // The first read takes as many module records as the previous file had:
    // the drivers of a library are much alike, and most files then need no
    // second read.
    const std::ptrdiff_t got = readUpTo(fd, image_.get(), imageSize(expected_), 0);
    if (got < 0) return false;
    const auto have = static_cast<std::size_t>(got);
    const int n = moduleCountOf(image_.get(), have);
    if (n == 0) return false;
    if (have < imageSize(n) &&
        (n <= expected_ || !readAt(fd, image_.get() + have, imageSize(n) - have, have)))
        return false;
    expected_ = n;
    return accept(
        image_.get(), n,
        [fd]() -> std::optional<std::uint64_t> {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
                return std::nullopt;
            return static_cast<std::uint64_t>(st.st_size);
        },
        [fd](std::uint8_t* to, std::size_t size, std::size_t at) {
            return readAt(fd, to, size, at);
        });
}

// The same checks on a whole file that a batch read: `size` bytes at
// `bytes`, the end of the file among them.
bool SourceFileProbe::readBatched(std::uint8_t* bytes, std::size_t size) {
    const int n = moduleCountOf(bytes, size);
    if (n == 0 || size < imageSize(n)) return false;
    expected_ = n;
    return accept(
        bytes, n, [size]() -> std::optional<std::uint64_t> { return size; },
        [bytes](std::uint8_t* to, std::size_t blockSize, std::size_t at) {
            std::memcpy(to, bytes + at, blockSize);  // inside the file: checked before
            return true;
        });
}

// The rest of the checks, once the header and the `modules` module records
// are at `bytes`: the walked blocks must lie inside the file (`fileSize`,
// asked for when a block needs it), and a macro list must hold together
// (`readBlock` fetches it).
template <typename FileSize, typename ReadBlock>
bool SourceFileProbe::accept(std::uint8_t* bytes, int modules, FileSize&& fileSize,
                             ReadBlock&& readBlock) {
    const int n = modules;
    const ByteSpan image(bytes, imageSize(n));
    std::optional<std::optional<std::uint64_t>> size;
    auto blockInFile = [&](std::size_t off, std::size_t blockSize) {
        if (!size) size = fileSize();
        return *size && rangeFits(**size, off, blockSize);
    };
    blocks_.fill(0);
    bool ok = true;
    forEachWalkedSlotOf(
        [&](std::size_t off) { return static_cast<std::int16_t>(getBE16(image, off)); },
        [&](int m, int slot) {
            if (!ok) return;
            const std::size_t at = rec::moduleBase(m) + rec::slotOffset(slot);
            const std::size_t blockSize = getBE16(image, at + rec::kSlotStoredSize);
            const std::size_t off = getBE32(image, at + rec::kSlotStoredOffset);
            if (blockSize == 0 || off == 0) return;  // no block
            ok = blockInFile(off, blockSize);
            if (ok && slot == rec::kSlotMacros) {
                scratch_.resize(blockSize);
                ok = readBlock(scratch_.data(), blockSize, off) &&
                     swapMacroList(scratch_, SwapDirection::FromBigEndian);
            }
            if (ok) blocks_[static_cast<std::size_t>(m)] |= 1u << slot;
        });
    if (!ok) return false;
    for (int m = 0; m < n; ++m) {
        const std::size_t base = rec::moduleBase(m);
        layout_[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(
            (complexLoopIn(getBE16(image, base + rec::kModPacketFlags)) ? 1 : 0) |
            (getBE16(image, base + rec::kModHasMacro) == 1 ? 2 : 0));
        // The slot bytes only mean something in the file.
        for (int s = 0; s < rec::kSlotsPerModule; ++s) clearSlot(image, base, s);
    }
    bytes_ = bytes;
    modules_ = n;
    used_ = imageSize(n);
    return true;
}

std::uint8_t SourceFileProbe::hostByte(std::size_t offset) const {
    if (offset >= used_) return 0;  // modules beyond the file's are zero
    const ByteOrderMaps& maps = byteOrderMaps();
    if (offset < rec::kHeaderSize)
        return bytes_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) +
                                               maps.header[offset])];
    const std::size_t m = (offset - rec::kHeaderSize) / rec::kModuleSize;
    const std::size_t rel = offset - rec::moduleBase(static_cast<int>(m));
    return bytes_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) +
                                           maps.module[layout_[m]][rel])];
}

std::uint32_t SourceFileProbe::number(std::size_t offset, std::size_t width) const {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < width && i < 4; ++i)
        v |= static_cast<std::uint32_t>(hostByte(offset + i)) << (8 * i);
    return v;
}

std::string_view SourceFileProbe::text(std::size_t offset, std::size_t size) const {
    if (offset >= used_ || size == 0) return {};
    // Texts lie as they are stored, unless a field of numbers covers them.
    const ByteOrderMaps& maps = byteOrderMaps();
    const std::int8_t* map = nullptr;
    std::size_t rel = offset, partEnd = rec::kHeaderSize;
    if (offset < rec::kHeaderSize) {
        map = maps.header.data();
    } else {
        const std::size_t m = (offset - rec::kHeaderSize) / rec::kModuleSize;
        rel = offset - rec::moduleBase(static_cast<int>(m));
        partEnd = rec::kModuleSize;
        map = maps.module[layout_[m]].data();
    }
    bool asStored = rel + size <= partEnd && offset + size <= used_;
    for (std::size_t i = 0; asStored && i < size; ++i) asStored = map[rel + i] == 0;
    if (asStored) return fieldText(ConstByteSpan(bytes_, used_), offset, size);
    text_.clear();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = hostByte(offset + i);
        if (c == 0) break;
        text_.push_back(static_cast<char>(c));
    }
    return text_;
}

bool SourceFileProbe::hasBlock(int module, int slot) const {
    return module >= 0 && module < modules_ && slot >= 0 && slot < rec::kSlotsPerModule &&
           ((blocks_[static_cast<std::size_t>(module)] >> slot) & 1u) != 0;
}

SourceReadResult readSourceFile(const std::filesystem::path& path, Prompter* prompter) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readWholeFile(path);
    } catch (const Exception& e) {
        report(prompter, e.text());
        return SourceReadError{SourceReadError::Kind::FileAccess, e.text(), e.messageNumber(),
                               e.errorCode()};
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
