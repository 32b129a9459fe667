#include "tools/drivercheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "tools/settingbytes.h"
#include "driver/compiler.h"
#include "driver/compiler_limits.h"
#include "framework/cp1252.h"
#include "source/message_record.h"
#include "source/romnames.h"
#include "source/sourcefile.h"
#include "source/valuetext.h"
#include "sysex/message.h"

namespace sf {

const char* severityName(Severity s) {
    return s == Severity::Error ? "error" : "warning";
}

namespace {

// Module record places read by the rules.
constexpr std::size_t kMX1Start = 172, kMX1Last = 174, kMX1Step = 176;
constexpr std::size_t kMX2Start = 178, kMX2Last = 180, kMX2Step = 182;
constexpr std::size_t kMPatchSize = 346;  // 32-bit, negative = variable up to the magnitude
constexpr std::size_t kMRows = 2736, kMColumns = 2738;
constexpr std::size_t kMDataSize1 = 3678, kMDataSize2 = 3680, kMMaxBuffer = 3682;
constexpr std::uint16_t kFlagDisplaysNames = 0x0008;
constexpr std::uint16_t kFlagNamesOnly = 0x0040;
constexpr std::uint16_t kNoNameFlag = 0x0001;  // "Patches have a name" = No
constexpr int kStructureRaw = 7;
constexpr int kSubBankRam = 0;
constexpr int kSubBankRom = 2;
constexpr std::uint16_t kJokerUnit = 0x00FE;
constexpr std::size_t kTemplateSize = 28;

// Texts of the driver in a finding: control bytes escaped, so that a finding
// stays one line and no control byte reaches a terminal.
std::string inQuotes(std::string_view s) {
    std::string out(1, '"');
    out += cp1252ToEscapedUtf8(s);
    out += '"';
    return out;
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (auto& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return u;
}

// Position of a row in the tree of a source with sixteen modules.
std::size_t treePosition(const SettingRef& ref) {
    constexpr int kIds = 310, kIndexes = 18;
    static const std::vector<std::size_t> positions = [] {
        std::vector<std::size_t> p(kIds * kIndexes * kIndexes, SIZE_MAX);
        auto all = newSource();
        all->setU16(rec::kModuleCount, rec::kModules);
        const auto rows = buildTreeRows(*all);
        for (std::size_t i = 0; i < rows.size(); ++i)
            p[static_cast<std::size_t>((rows[i].ref.id * kIndexes + rows[i].ref.index1 + 1) *
                                           kIndexes +
                                       rows[i].ref.index2 + 1)] = i;
        return p;
    }();
    if (ref.id <= 0 || ref.id >= kIds || ref.index1 < -1 || ref.index1 >= kIndexes - 1 ||
        ref.index2 < -1 || ref.index2 >= kIndexes - 1)
        return SIZE_MAX;
    return positions[static_cast<std::size_t>((ref.id * kIndexes + ref.index1 + 1) * kIndexes +
                                              ref.index2 + 1)];
}

class Checker {
  public:
    explicit Checker(const SourceRecord& r) : r_(r), named_(validModuleCount(r)) {}
    std::vector<Finding> run();

  private:
    void add(Severity s, const SettingRef& ref, std::string text) {
        out_.push_back({s, ref, std::move(text)});
    }
    bool enabled(int id, int module = -1, int index2 = -1) const {
        return isEnabled(r_, makeRef(id, module, index2));
    }
    std::size_t mod(int m, std::size_t off) const { return rec::moduleBase(m) + off; }
    std::int64_t patchSize(int m) const {
        return std::llabs(static_cast<std::int64_t>(r_.s32(mod(m, kMPatchSize))));
    }

    void names();
    void blockLimits();
    void module(int m);
    void bankStyle(int m);
    void bufferSize(int m);
    void subBanks(int m);
    void loops(int m);
    void templateMessage(int m);
    void macros(int m);
    void moduleIds();
    void ranges();
    void staleValues();

    const SourceRecord& r_;
    const int named_;
    std::vector<std::uint32_t> touched_;
    std::vector<Finding> out_;
};

void Checker::names() {
    if (named_ == 0) {
        add(Severity::Error, makeRef(107, 0),
            "Module 1 has no name, so the driver can be neither saved nor compiled: type a name.");
    } else if (named_ < walkedModuleCount(r_)) {
        add(Severity::Error, makeRef(107, named_),
            "Module " + std::to_string(named_ + 1) +
                " has no name, so it and the modules after it are neither saved nor compiled: type "
                "a name.");
    }
    if (r_.text(16, 17).empty())
        add(Severity::Warning, makeRef(4),
            "The driver has no name: type the name the host shows for it.");
    const std::string_view file = r_.text(33, 17);
    if (file.empty()) {
        add(Severity::Warning, makeRef(6),
            "The driver has no file name: the host tells drivers apart by it; type one.");
    } else {
        const std::string u = upper(file);
        if (u == "GENERIC" || u == "ANY_DUMP" || u.rfind("LIST", 0) == 0)
            add(Severity::Error, makeRef(6),
                "The file name " + inQuotes(file) +
                    " is reserved by the host (GENERIC, ANY_DUMP, LIST...): choose another.");
        if (file.find(' ') != std::string_view::npos)
            add(Severity::Warning, makeRef(6),
                "The file name " + inQuotes(file) + " contains a space: remove it.");
    }
    if (r_.text(88, 4).empty())
        add(Severity::Warning, makeRef(8),
            "The bank file name extension is empty: type 1 to 3 characters.");
}

void Checker::blockLimits() {
    // A cheap bound first: most drivers are far below the limit.
    std::size_t bound = 4096;
    for (int m = 0; m < named_; ++m) {
        bound += 8192;
        forEachWalkedSlot(r_, [&](int mm, int slot) {
            if (mm == m && r_.block(mm, slot)) bound += r_.block(mm, slot)->size() + 2;
        });
    }
    const std::size_t warnAt = drv::kBlockStartLimit - drv::kBlockStartLimit / 10;
    if (bound < warnAt) return;

    bool startReported = false, nearReported = false;
    for (const BlockPlacement& b : driverBlockLayout(r_)) {
        int m = -1;
        const SettingRef ref = blockSetting(b.refField, m);
        const std::string where =
            (m >= 0 ? "Module " + std::to_string(m + 1) + ", " : std::string()) + "block " +
            inQuotes(rowLabel(ref));
        if (b.length > drv::kMaxBlockLength) {
            add(Severity::Error, ref,
                where + " is " + std::to_string(b.length) + " bytes, " +
                    std::to_string(b.length - drv::kMaxBlockLength) +
                    " over the 65535 a block can hold: shorten it.");
        } else if (b.length >= drv::kMaxBlockLength - drv::kMaxBlockLength / 10) {
            add(Severity::Warning, ref,
                where + " is " + std::to_string(b.length) +
                    " bytes, within 10% of the 65535 a block can hold.");
        }
        if (b.start >= drv::kBlockStartLimit && !startReported) {
            startReported = true;
            add(Severity::Error, ref,
                where + " would start at byte " + std::to_string(b.start) + ", " +
                    std::to_string(b.start - drv::kBlockStartLimit + 1) +
                    " bytes beyond the 64 KB the driver can address: the compiler refuses it; "
                    "shorten blocks.");
        } else if (b.start >= warnAt && b.start < drv::kBlockStartLimit && !nearReported) {
            nearReported = true;
            add(Severity::Warning, ref,
                where + " starts at byte " + std::to_string(b.start) +
                    ", within 10% of the 64 KB the driver can address.");
        }
    }
}

// Each rule looks at the values first and asks whether its row is enabled
// only when they break it: a library check runs them on thousands of files.

void Checker::bankStyle(int m) {
    const std::uint16_t flags = r_.modU16(m, rec::kModFlags);
    std::int64_t total = r_.modS16(m, rec::kModTotalPatches);
    if (flags & kFlagNamesOnly) {
        // The compiled driver counts the RAM sub-banks for these modules.
        total = 0;
        for (int k = 0; k < walkedSubBankCount(r_, m); ++k)
            if (r_.modU16(m, rec::subBankBase(k) + rec::kSbType) == kSubBankRam)
                total += r_.modS16(m, rec::kModPatchesPerSubBank);
    }
    const std::int64_t cells = std::int64_t{r_.modS16(m, kMRows)} * r_.modS16(m, kMColumns);
    if (total > 0 && cells < total && enabled(233, m))
        add(Severity::Error, makeRef(232, m),
            "Bank style: " + std::to_string(r_.modS16(m, kMRows)) + " rows x " +
                std::to_string(r_.modS16(m, kMColumns)) + " columns give " + std::to_string(cells) +
                " places for the " + std::to_string(total) +
                " patches of a bank: raise the rows or columns.");
}

void Checker::bufferSize(int m) {
    const std::int64_t buffer = r_.modS16(m, kMMaxBuffer);
    if (buffer >= 0x7FFF) return;
    std::int64_t data = r_.modS16(m, kMDataSize1);
    if (data > 0) {
        if (enabled(290, m)) data += std::max<std::int16_t>(r_.modS16(m, kMDataSize2), 0);
    } else {
        if (r_.modS16(m, rec::kModStructure) == kStructureRaw) return;
        data = patchSize(m);
    }
    if (data <= 0 || buffer >= data + 80 || !enabled(291, m))
        return;  // a header is far below 80 bytes
    std::int64_t header = 0;
    if (enabled(292, m)) {
        const auto f = messageField(r_, makeRef(292, m));
        for (MessageUnit u : readMessage(r_, *f))
            if (codeClass(static_cast<std::uint8_t>(u)) == CodeClass::Literal) ++header;
    }
    if (buffer < data + header)
        add(Severity::Error, makeRef(291, m),
            "Maximum buffer size " + std::to_string(buffer) + " cannot hold a single patch dump (" +
                std::to_string(data) + " data bytes" +
                (header ? " and " + std::to_string(header) + " header bytes" : std::string()) +
                "): set at least " + std::to_string(data + header) + ".");
}

void Checker::subBanks(int m) {
    const int count = walkedSubBankCount(r_, m);
    const int perSubBank = r_.modS16(m, rec::kModPatchesPerSubBank);
    std::int64_t held = 0;
    for (int k = 0; k < count; ++k) {
        const int unused = r_.modS16(m, rec::subBankBase(k) + rec::kSbUnused);
        held += perSubBank - std::clamp(unused, 0, perSubBank);
        if (unused > perSubBank && enabled(256, m))
            add(Severity::Warning, makeRef(263, m, k),
                "Sub-bank #" + std::to_string(k + 1) + " has " + std::to_string(unused) +
                    " unused locations but only " + std::to_string(perSubBank) +
                    " patches: lower it.");
    }
    if (held != r_.modS16(m, rec::kModTotalPatches) && count > 0 && enabled(256, m) &&
        enabled(181, m))
        add(Severity::Warning, makeRef(181, m),
            "Total number of patches is " + std::to_string(r_.modS16(m, rec::kModTotalPatches)) +
                ", but " + std::to_string(count) + " sub-banks of " + std::to_string(perSubBank) +
                " patches hold " + std::to_string(held) +
                " (unused locations left out): make them agree.");

    // ROM names, only where the module displays names (its sub-bank rows are
    // then enabled).
    const std::uint16_t flags = r_.modU16(m, rec::kModFlags);
    if (!(flags & kFlagDisplaysNames)) return;
    const RomNamesShape shape = romNamesShape(r_, m);
    const bool named = !(r_.modU16(m, rec::kModDisplayBlock) & kNoNameFlag);
    for (int k = 0; k < count; ++k) {
        if (r_.modU16(m, rec::subBankBase(k) + rec::kSbType) != kSubBankRom) continue;
        const auto& block = r_.block(m, rec::kSlotRomNames0 + k);
        const SettingRef ref = makeRef(265, m, k);
        if (!block) {
            if (named && shape.patches > 0)
                add(Severity::Warning, ref,
                    "ROM sub-bank #" + std::to_string(k + 1) +
                        " has no patch names: type them in \"ROM patch names\".");
            continue;
        }
        if (block->size() == shape.blockSize()) continue;
        const std::size_t record = shape.recordSize();
        const std::string held = record > 0 && block->size() % record == 0
                                     ? std::to_string(block->size() / record) + " names"
                                     : std::to_string(block->size()) + " bytes";
        add(Severity::Error, ref,
            "The ROM patch names of sub-bank #" + std::to_string(k + 1) + " hold " + held +
                " where " + std::to_string(shape.patches) + " names of " +
                std::to_string(shape.chars) + " characters are expected (" +
                (block->size() > shape.blockSize() ? "longer" : "shorter") +
                " than the sub-bank): type them again.");
    }
}

void Checker::loops(int m) {
    struct Loop {
        int id;
        std::size_t start, last, step;
        const char* name;
    };
    static constexpr Loop kLoops[] = {{151, kMX1Start, kMX1Last, kMX1Step, "X1"},
                                      {156, kMX2Start, kMX2Last, kMX2Step, "X2"}};
    for (const auto& l : kLoops) {
        if (r_.modS16(m, l.step) == 0 && r_.modS16(m, l.start) != r_.modS16(m, l.last) &&
            enabled(l.id, m))
            add(Severity::Error, makeRef(l.id, m),
                std::string(l.name) + " never gets from its start value " +
                    std::to_string(r_.modS16(m, l.start)) + " to its last value " +
                    std::to_string(r_.modS16(m, l.last)) +
                    ": the change at each iteration must not be 0.");
    }
}

void Checker::templateMessage(int m) {
    const auto f = messageField(r_, makeRef(134, m));
    const auto units = readMessage(r_, *f);
    if (!units.empty() && std::find(units.begin(), units.end(), kJokerUnit) == units.end() &&
        enabled(134, m))
        add(Severity::Error, makeRef(134, m),
            "The template message has no \"Joker\" tag: mark the variable code in it with "
            "\"Joker\".");
}

void Checker::macros(int m) {
    if (!hasMacroEditor(r_, m)) return;
    const SettingRef ref = makeRef(307, m);
    const auto& templates = r_.block(m, rec::kSlotTemplates);
    const std::size_t count = std::min<std::size_t>(
        r_.modU16(m, rec::kModTemplateCount), templates ? templates->size() / kTemplateSize : 0);
    const std::int64_t patch = enabled(182, m) ? patchSize(m) : 0;
    std::vector<int> widths(count, 1);
    for (std::size_t i = 0; i < count; ++i) {
        const ConstByteSpan t = ConstByteSpan(*templates).subspan(i * kTemplateSize, kTemplateSize);
        const int type = get8(t, 0);
        const int start = static_cast<std::int8_t>(get8(t, 1));
        const int bits = static_cast<std::int8_t>(get8(t, 2));
        widths[i] = type == 2 ? 2 : 1;
        if (type == 3) {
            widths[i] = start + bits > 8 ? 2 : 1;
            if (start < 0 || bits < 1 || start + bits > 16)
                add(Severity::Error, ref,
                    "Template " + std::to_string(i + 1) + " (" + inQuotes(fieldText(t, 10, 18)) +
                        ") takes bits " + std::to_string(start) + " to " +
                        std::to_string(start + bits - 1) +
                        ", outside the 16 bits of a parameter: correct its bit range.");
        }
    }
    auto missing = [&](std::int64_t index) { return index >= static_cast<std::int64_t>(count); };
    const auto& list = r_.block(m, rec::kSlotMacros);
    if (list && list->size() >= 2) {
        const ConstByteSpan b(*list);
        const std::size_t macros = getLE16(b, 0);
        for (std::size_t i = 0; i < macros && rangeFits(b.size(), 2 + 4 * i, 4); ++i) {
            const std::size_t at = getLE32(b, 2 + 4 * i);
            if (!rangeFits(b.size(), at, 36)) break;
            const std::string name = inQuotes(fieldText(b, at + 11, 19));
            const int from = getLE16s(b, at + 30), to = getLE16s(b, at + 32);
            if (from > to)
                add(Severity::Warning, ref,
                    "Macro " + std::to_string(i + 1) + " (" + name + "): From " +
                        std::to_string(from) + " is above To " + std::to_string(to) +
                        ": swap them.");
            std::size_t p = at + 36;
            for (std::size_t j = 0, n = getLE16(b, at + 34); j < n && rangeFits(b.size(), p, 8);
                 ++j) {
                const std::size_t templ = getLE16(b, p + 2);
                const std::size_t offset = getLE16(b, p + 4);
                const std::string which = "Macro " + std::to_string(i + 1) + " (" + name +
                                          "), parameter " + std::to_string(j + 1);
                if (missing(static_cast<std::int64_t>(templ)))
                    add(Severity::Error, ref,
                        which + " uses template " + std::to_string(templ + 1) +
                            ", but the module has " + std::to_string(count) +
                            " templates: choose an existing one.");
                else if (patch > 0 && static_cast<std::int64_t>(offset) + widths[templ] > patch)
                    add(Severity::Error, ref,
                        which + " lies at offset " + std::to_string(offset) + ", beyond the " +
                            std::to_string(patch) + "-byte patch: correct its offset.");
                const std::size_t size = getLE16(b, p);
                if (size < 8) break;
                p += size;
            }
        }
    }
    const std::int16_t filterRef = r_.modS16(m, rec::kModMacroFilter);
    if (filterRef >= 0 && missing(filterRef))
        add(Severity::Error, ref,
            "The macro filter's reference parameter uses template " +
                std::to_string(filterRef + 1) + ", but the module has " + std::to_string(count) +
                " templates: choose an existing one.");
    if (const auto& info = r_.block(m, rec::kSlotPatchInfo); info && info->size() >= 8) {
        for (std::size_t d = 0; d < 4; ++d) {
            const std::int16_t t = getLE16s(*info, 2 * d);
            if (t >= 0 && missing(t))
                add(Severity::Error, ref,
                    "Patch information descriptor " + std::to_string(d + 1) + " uses template " +
                        std::to_string(t + 1) + ", but the module has " + std::to_string(count) +
                        " templates: choose an existing one.");
        }
    }
}

void Checker::moduleIds() {
    struct Id {
        int id;
        bool global;
    };
    static constexpr Id kIds[] = {{49, true}, {56, true}, {63, true}, {69, true}, {112, false}};
    for (const auto& k : kIds) {
        const int modules = k.global ? 1 : named_;
        for (int m = 0; m < modules; ++m) {
            const SettingRef ref = makeRef(k.id, k.global ? -1 : m);
            const auto off = wordField(r_, ref);
            const int value = r_.s16(*off);
            if ((value >= 0 && value < named_) || !isEnabled(r_, ref)) continue;
            add(Severity::Error, ref,
                rowLabel(ref) + " " + std::to_string(value + 1) +
                    " names no module of this driver, which has " + std::to_string(named_) +
                    ": choose 1 to " + std::to_string(std::max(named_, 1)) + ".");
        }
    }
}

// The rows with a value of their own, in tree order for a source with
// sixteen modules, with the rows that keep their value in the same bits.
struct RowInfo {
    SettingRef ref;
    RowBytes bytes;
    int module = -1;                   // -1 for the global rows
    std::vector<std::size_t> sharing;  // indexes of rows over the same bits
};

std::uint8_t maskByte(const RowBytes& b, std::size_t i) {
    if (b.mask == 0) return 0xFF;
    return static_cast<std::uint8_t>(i == 0 ? b.mask & 0xFF : b.mask >> 8);
}

// For every byte of a record, the rows whose value lies in it.
std::vector<std::vector<std::uint32_t>>& rowsByByte() {
    static std::vector<std::vector<std::uint32_t>> byByte(rec::kRecordSize);
    return byByte;
}

const std::vector<RowInfo>& valueRows() {
    static const std::vector<RowInfo> rows = [] {
        std::vector<RowInfo> out;
        auto all = newSource();
        all->setU16(rec::kModuleCount, rec::kModules);
        for (const TreeRow& row : buildTreeRows(*all))
            if (const auto b = rowBytes(row.ref))
                out.push_back({row.ref, *b, isModuleSetting(row.ref.id) ? row.ref.index1 : -1, {}});
        auto& byByte = rowsByByte();
        for (std::size_t i = 0; i < out.size(); ++i)
            for (std::size_t k = 0; k < out[i].bytes.size; ++k)
                byByte[out[i].bytes.offset + k].push_back(static_cast<std::uint32_t>(i));
        for (std::size_t i = 0; i < out.size(); ++i) {
            const RowBytes& b = out[i].bytes;
            for (std::size_t k = 0; k < b.size; ++k)
                for (std::size_t j : byByte[b.offset + k]) {
                    const RowBytes& o = out[j].bytes;
                    const std::size_t at = b.offset + k - o.offset;
                    if (j != i && (maskByte(b, k) & maskByte(o, at)) &&
                        std::find(out[i].sharing.begin(), out[i].sharing.end(), j) ==
                            out[i].sharing.end())
                        out[i].sharing.push_back(j);
                }
        }
        return out;
    }();
    return rows;
}

// Indexes into valueRows() of the rows a rule looks at.
template <typename Keep>
std::vector<std::size_t> rowsWhere(Keep keep) {
    std::vector<std::size_t> out;
    const auto& rows = valueRows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (keep(rows[i])) out.push_back(i);
    return out;
}

bool rangeChecked(const RowInfo& row) {
    const SettingItem& item = *row.ref.item;
    return (item.editor == Editor::Decimal || item.editor == Editor::Unsigned ||
            item.editor == Editor::Hex) &&
           row.ref.id != 10 && row.ref.id != 103 && item.min < item.max;
}

bool inRange(const SourceRecord& r, const RowInfo& row) {
    const SettingItem& item = *row.ref.item;
    const RowBytes& b = row.bytes;
    std::int64_t v = b.size == 1 ? r.u8(b.offset) : b.size == 2 ? r.u16(b.offset) : r.u32(b.offset);
    if (item.editor == Editor::Decimal)
        v = b.size == 2   ? std::int64_t{static_cast<std::int16_t>(v)}
            : b.size == 4 ? std::int64_t{static_cast<std::int32_t>(v)}
                          : v;
    return v >= item.min && v <= item.max;
}

const SourceRecord& freshSource() {
    static const auto fresh = newSource();
    return *fresh;
}

// The rows whose bytes differ from a new source's, in tree order. Only these
// can break a rule that a new source keeps; the rest is answered once.
std::vector<std::uint32_t> touchedRows(const SourceRecord& r, int modules) {
    const auto& fresh = freshSource();
    valueRows();  // fills the map from bytes to rows
    const auto& byByte = rowsByByte();
    std::vector<std::uint32_t> out;
    auto scan = [&](std::size_t first, std::size_t last) {
        constexpr std::size_t kChunk = 64;  // most of a record equals a new source's
        for (std::size_t at = first; at < last; at += kChunk) {
            const std::size_t n = std::min(kChunk, last - at);
            if (std::memcmp(r.bytes.data() + at, fresh.bytes.data() + at, n) == 0) continue;
            for (std::size_t i = at; i < at + n; ++i)
                if (r.bytes[i] != fresh.bytes[i])
                    out.insert(out.end(), byByte[i].begin(), byByte[i].end());
        }
    };
    scan(0, rec::kHeaderSize);
    scan(rec::moduleBase(0), rec::moduleBase(modules));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void Checker::ranges() {
    // Rows a new source already holds out of range (a count of 0 where 1 is
    // the least) matter again only where they are enabled.
    static const std::vector<std::size_t> freshOut = rowsWhere(
        [](const RowInfo& row) { return rangeChecked(row) && !inRange(freshSource(), row); });
    std::vector<std::size_t> rowsToTry(freshOut.begin(), freshOut.end());
    for (std::uint32_t i : touched_) rowsToTry.push_back(i);
    std::sort(rowsToTry.begin(), rowsToTry.end());
    rowsToTry.erase(std::unique(rowsToTry.begin(), rowsToTry.end()), rowsToTry.end());
    const auto& rows = valueRows();
    for (std::size_t index : rowsToTry) {
        const RowInfo& row = rows[index];
        const SettingItem& item = *row.ref.item;
        if (row.module >= named_ || !rangeChecked(row)) continue;
        const RowBytes& b = row.bytes;
        std::int64_t v = b.size == 1   ? r_.u8(b.offset)
                         : b.size == 2 ? r_.u16(b.offset)
                                       : r_.u32(b.offset);
        if (item.editor == Editor::Decimal)
            v = b.size == 2   ? std::int64_t{static_cast<std::int16_t>(v)}
                : b.size == 4 ? std::int64_t{static_cast<std::int32_t>(v)}
                              : v;
        if ((v >= item.min && v <= item.max) || !isEnabled(r_, row.ref)) continue;
        const int shift = item.has(setting_flag::OneBased) ? 1 : 0;
        add(Severity::Warning, row.ref,
            formatValue(r_, row.ref) + " is outside the range " + std::to_string(item.min + shift) +
                " to " + std::to_string(item.max + shift) + " of this setting: correct it.");
    }
}

// Whether the compiler can write the value of a row into the driver at all:
// the module rows from "Display" on only for modules that display names (and
// sub-bank rows only for the sub-banks in use), the write requests not in
// write mode "Not possible", the packet area only with complex loops or
// packets of variable size; "Number of modules" never.
bool compiled(const SourceRecord& r, const SettingRef& ref) {
    if (ref.id == 103) return false;
    if (!isModuleSetting(ref.id)) return true;
    const int m = ref.index1;
    if (ref.id >= 231) {
        if (!(r.modU16(m, rec::kModFlags) & kFlagDisplaysNames)) return false;
        if (ref.id >= 260 && ref.id <= 271 && ref.index2 >= walkedSubBankCount(r, m)) return false;
        if ((ref.id == 297 || ref.id == 298) && r.modU16(m, 3850) == 2) return false;
    }
    if ((ref.id >= 127 && ref.id <= 130) || (ref.id >= 163 && ref.id <= 173))
        return (r.modU16(m, rec::kModPacketFlags) & 0x0006) != 0;
    return true;
}

void Checker::staleValues() {
    // Values a disabled row still holds (other than a new source's) that the
    // compiled driver nevertheless carries. Rows whose bits an enabled row
    // also shows (the packet area, the shared patch size field) and the
    // counts the data-structure rules keep equal to others (183, 187) hold
    // nothing stale.
    const SourceRecord* fresh = &freshSource();
    const auto& rows = valueRows();
    std::vector<std::pair<SettingRef, RowBytes>> candidates;
    for (std::size_t index : touched_) {
        const RowInfo& row = rows[index];
        const SettingRef& ref = row.ref;
        if (!ref.item->has(setting_flag::Conditional) || ref.id == 183 || ref.id == 187) continue;
        if (row.module >= named_) continue;
        if (sameRowValue(r_, *fresh, row.bytes) || !compiled(r_, ref) || isEnabled(r_, ref))
            continue;
        const bool shown = std::any_of(row.sharing.begin(), row.sharing.end(),
                                       [&](std::size_t j) { return isEnabled(r_, rows[j].ref); });
        if (!shown) candidates.emplace_back(ref, row.bytes);
    }
    if (candidates.empty()) return;

    // The compiler decides: a value is carried when putting the new source's
    // value back changes the driver. Groups of rows are tried at once and
    // split only where the driver changes.
    const auto base = compileDriver(r_);
    if (!base.ok()) return;
    auto work = copyRecord(r_);
    std::vector<bool> carried(candidates.size(), false);
    std::function<void(std::size_t, std::size_t)> test = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            copyRowValue(*work, *fresh, candidates[i].second);
        const bool changed = compileDriver(*work).image != base.image;
        for (std::size_t i = first; i < last; ++i) copyRowValue(*work, r_, candidates[i].second);
        if (!changed) return;
        if (last - first == 1) {
            carried[first] = true;
            return;
        }
        const std::size_t mid = first + (last - first) / 2;
        test(first, mid);
        test(mid, last);
    };
    test(0, candidates.size());
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        if (!carried[k]) continue;
        const SettingRef& ref = candidates[k].first;
        std::string value = cp1252ToEscapedUtf8(formatValue(r_, ref));
        if (value.size() > 40) value = value.substr(0, 37) + "...";
        add(Severity::Warning, ref,
            "This row is disabled but still holds \"" + value +
                "\", which the compiled driver carries: clear it or enable the row.");
    }
}

void Checker::module(int m) {
    bankStyle(m);
    bufferSize(m);
    subBanks(m);
    loops(m);
    templateMessage(m);
    macros(m);
}

std::vector<Finding> Checker::run() {
    names();
    if (named_ > 0) {
        touched_ = touchedRows(r_, named_);
        blockLimits();
        for (int m = 0; m < named_; ++m) module(m);
        moduleIds();
        ranges();
        staleValues();
    }
    // Tree order of the rows, then the order of the rules.
    std::stable_sort(out_.begin(), out_.end(), [](const Finding& a, const Finding& b) {
        return treePosition(a.ref) < treePosition(b.ref);
    });
    return std::move(out_);
}

std::string stemKey(const std::filesystem::path& p) {
    return upper(p.stem().string());
}

}  // namespace

std::vector<Finding> checkDriver(const SourceRecord& record) {
    return Checker(record).run();
}

std::string saveDespiteErrorsQuestion(const std::vector<Finding>& findings) {
    const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::Error;
    });
    if (errors == 0) return {};
    const auto first = std::find_if(findings.begin(), findings.end(),
                                    [](const Finding& f) { return f.severity == Severity::Error; });
    return "The driver has " + std::to_string(errors) + (errors == 1 ? " error" : " errors") +
           " (\"Check driver\" lists them), the first: " + first->text + "\n\nSave anyway?";
}

bool confirmSaveDespiteErrors(const SourceRecord& record, Prompter& prompter) {
    const std::string question = saveDespiteErrorsQuestion(checkDriver(record));
    return question.empty() || prompter.ask(question, Buttons::YesNo) == Answer::Yes;
}

std::string driverFileName(const SourceRecord& record) {
    return std::string(record.text(33, 17));
}

void DriverNameIndex::add(const std::filesystem::path& path, std::string_view fileName) {
    if (!fileName.empty()) byFileName_.emplace(upper(fileName), path);
    byStem_.emplace(stemKey(path), path);
}

std::vector<Finding> DriverNameIndex::collisions(const std::filesystem::path& path,
                                                 std::string_view fileName) const {
    std::vector<Finding> out;
    std::error_code ec;
    auto same = [&](const std::filesystem::path& other) {
        return other == path || std::filesystem::equivalent(other, path, ec);
    };
    if (!fileName.empty()) {
        const auto [first, last] = byFileName_.equal_range(upper(fileName));
        for (auto it = first; it != last; ++it)
            if (!same(it->second))
                out.push_back({Severity::Warning, makeRef(6),
                               "Another driver, " + it->second.string() +
                                   ", has the same file name " + inQuotes(fileName) +
                                   ": the host cannot tell them apart; rename one."});
    }
    const auto [first, last] = byStem_.equal_range(stemKey(path));
    for (auto it = first; it != last; ++it)
        if (!same(it->second))
            out.push_back({Severity::Warning, makeRef(6),
                           "Another driver source, " + it->second.string() +
                               ", compiles to the same \".dev\" in the host's driver folder: "
                               "rename one file."});
    return out;
}

namespace {

// Reads a whole file into `buffer`, reused from file to file.
bool readFileInto(const std::filesystem::path& path, std::vector<std::uint8_t>& buffer) {
    constexpr std::uintmax_t kLargest = 16u << 20;  // far beyond any source file
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<std::uintmax_t>(st.st_size) <= kLargest;
    if (ok) {
        buffer.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        buffer.resize(got);
    }
    ::close(fd);
    return ok;
}

}  // namespace

std::vector<FileFindings> checkDriverFiles(const std::vector<std::filesystem::path>& files,
                                           const std::vector<std::filesystem::path>& library) {
    std::vector<FileFindings> out;
    out.reserve(files.size());
    std::vector<std::string> fileNames;
    DriverNameIndex names;
    SourceImageReader reader;
    std::vector<std::uint8_t> buffer;
    for (const auto& path : files) {
        FileFindings f;
        f.path = path;
        const SourceRecord* r = readFileInto(path, buffer) ? reader.read(buffer) : nullptr;
        if (r) {
            f.readable = true;
            f.findings = checkDriver(*r);
            fileNames.push_back(driverFileName(*r));
            names.add(path, fileNames.back());
        } else {
            // Read again the usual way for the reason the user is shown.
            auto result = readSourceFile(path);
            f.unreadable = result ? kMsgWrongOrDamaged : result.error().text;
            fileNames.emplace_back();
        }
        out.push_back(std::move(f));
    }
    if (!library.empty()) {
        std::set<std::filesystem::path> given;
        std::error_code ec;
        for (const auto& path : files) given.insert(std::filesystem::weakly_canonical(path, ec));
        for (const auto& path : library) {
            if (given.count(std::filesystem::weakly_canonical(path, ec))) continue;
            if (const SourceRecord* r = readFileInto(path, buffer) ? reader.read(buffer) : nullptr)
                names.add(path, driverFileName(*r));
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!out[i].readable) continue;
        for (auto& f : names.collisions(out[i].path, fileNames[i]))
            out[i].findings.push_back(std::move(f));
    }
    return out;
}

}  // namespace sf
