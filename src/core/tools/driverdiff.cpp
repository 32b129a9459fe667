#include "tools/driverdiff.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "tools/settingbytes.h"
#include "source/romnames.h"
#include "source/sourcefile.h"
#include "source/valuetext.h"

namespace sf {

namespace {

constexpr std::size_t kOpSize = 10;
constexpr std::size_t kTemplateSize = 28;
constexpr const char* kNoModule = "(no module)";

// What the file keeps of a record: modules after the named ones and blocks
// outside the walk are not part of it.
std::unique_ptr<SourceRecord> asStored(const SourceRecord& r) {
    if (const auto image = buildFileImage(r))
        if (auto back = readSourceImage(*image)) return back.take();
    return copyRecord(r);
}

std::string plural(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

bool sameBytes(const SourceRecord& a, const SourceRecord& b, std::size_t offset, std::size_t size) {
    return std::equal(a.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      a.bytes.begin() + static_cast<std::ptrdiff_t>(offset + size),
                      b.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string hexBytes(const SourceRecord& r, std::size_t offset, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        if (i) s += ' ';
        s += kDigits[r.bytes[offset + i] >> 4];
        s += kDigits[r.bytes[offset + i] & 15];
    }
    return s;
}

class Differ {
  public:
    Differ(const SourceRecord& a, const SourceRecord& b) : a_(asStored(a)), b_(asStored(b)) {}
    std::vector<DiffRow> run();

  private:
    void add(const SettingRef& ref, const std::string& path, std::string va, std::string vb) {
        out_.push_back({ref, refText(ref), path, std::move(va), std::move(vb)});
    }
    void blocks(const SettingRef& ref, const std::function<std::string()>& path);
    void block(const SettingRef& ref, const std::function<std::string()>& path, int slot,
               std::size_t fixed, std::size_t fixedSize,
               const std::function<std::string(const SourceRecord&)>& describe);
    void residual(int module);
    int modulesOf(const SourceRecord& r) const { return walkedModuleCount(r); }

    std::unique_ptr<SourceRecord> a_, b_;
    std::vector<DiffRow> out_;
};

std::vector<DiffRow> Differ::run() {
    const int ma = modulesOf(*a_), mb = modulesOf(*b_);
    // The tree of the source with more modules, so that every module shows.
    const SourceRecord& wider = ma >= mb ? *a_ : *b_;
    const auto rows = buildTreeRows(wider);
    // Label paths are made only for the rows that differ.
    std::vector<const TreeRow*> ancestors;
    auto pathOf = [&ancestors] {
        std::string p;
        for (std::size_t d = 1; d < ancestors.size(); ++d) {
            if (!p.empty()) p += " / ";
            p += rowLabel(ancestors[d]->ref);
        }
        return p;
    };
    int part = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRef& ref = rows[i].ref;
        const auto depth = static_cast<std::size_t>(std::max(rows[i].depth, 0));
        ancestors.resize(depth + 1);
        ancestors[depth] = &rows[i];
        const int module = isModuleSetting(ref.id) ? ref.index1 : -1;
        if (module != part) {
            residual(part);
            part = module;
        }
        if (module >= 0 && (module >= ma || module >= mb)) {
            // A module only one source has: one line for it.
            if (ref.id == 105)
                add(ref, pathOf(), module < ma ? formatValue(*a_, ref) : kNoModule,
                    module < mb ? formatValue(*b_, ref) : kNoModule);
            continue;
        }
        if (ref.item->kind == Kind::DialogItem) {
            blocks(ref, pathOf);
            continue;
        }
        const auto bytes = rowBytes(ref);
        if (!bytes || sameRowValue(*a_, *b_, *bytes)) continue;
        add(ref, pathOf(), formatValue(*a_, ref), formatValue(*b_, ref));
    }
    residual(part);
    return std::move(out_);
}

void Differ::block(const SettingRef& ref, const std::function<std::string()>& path, int slot,
                   std::size_t fixed, std::size_t fixedSize,
                   const std::function<std::string(const SourceRecord&)>& describe) {
    const int m = ref.index1;
    const bool sameFixed =
        fixedSize == 0 || sameBytes(*a_, *b_, rec::moduleBase(m) + fixed, fixedSize);
    if (slot >= 0 && a_->block(m, slot) == b_->block(m, slot) && sameFixed) return;
    if (slot < 0 && sameFixed) return;
    std::string va = describe(*a_), vb = describe(*b_);
    if (va == vb) vb += " (other content)";
    add(ref, path(), std::move(va), std::move(vb));
}

void Differ::blocks(const SettingRef& ref, const std::function<std::string()>& path) {
    const int m = ref.index1;
    auto size = [&](const SourceRecord& r, int slot) {
        return r.block(m, slot) ? r.block(m, slot)->size() : 0;
    };
    if (ref.id == 265) {
        const int k = ref.index2;
        block(ref, path, rec::kSlotRomNames0 + k, 0, 0, [&](const SourceRecord& r) -> std::string {
            const std::size_t bytes = size(r, rec::kSlotRomNames0 + k);
            const RomNamesShape shape = romNamesShape(r, m);
            if (bytes == 0) return "no names";
            if (shape.recordSize() > 0 && bytes % shape.recordSize() == 0)
                return plural(bytes / shape.recordSize(), "name");
            return plural(bytes, "byte");
        });
        return;
    }
    if (ref.id == 305) {
        block(ref, path, rec::kSlotConverter, rec::kModConverter, kConverterFieldsSize,
              [&](const SourceRecord& r) {
                  return plural(size(r, rec::kSlotConverter) / kOpSize, "operation") +
                         ", final size " + std::to_string(r.modS16(m, rec::kModConverterFinalSize));
              });
        return;
    }
    if (ref.id != 307) return;
    block(
        ref, [&] { return path() + " / Templates"; }, rec::kSlotTemplates, rec::kModTemplateCount,
        kTemplateCountSize,
        [&](const SourceRecord& r) {
            return plural(size(r, rec::kSlotTemplates) / kTemplateSize, "template");
        });
    block(
        ref, [&] { return path() + " / Macros"; }, rec::kSlotMacros, 0, 0,
        [&](const SourceRecord& r) {
            const auto& b = r.block(m, rec::kSlotMacros);
            return b && b->size() >= 2 ? plural(getLE16(*b, 0), "macro") : std::string("no macros");
        });
    auto presence = [&](int slot) {
        return [&, slot](const SourceRecord& r) {
            return r.block(m, slot) ? plural(size(r, slot), "byte") : "none";
        };
    };
    block(
        ref, [&] { return path() + " / Patch information"; }, rec::kSlotPatchInfo, 0, 0,
        presence(rec::kSlotPatchInfo));
    block(
        ref, [&] { return path() + " / Value lists"; }, rec::kSlotValueLists, 0, 0,
        presence(rec::kSlotValueLists));
    block(
        ref, [&] { return path() + " / Reserved block"; }, rec::kSlotReserved, 0, 0,
        presence(rec::kSlotReserved));
    block(
        ref, [&] { return path() + " / Filter"; }, -1, rec::kModMacroFilter, rec::kMacroFilterSize,
        [&](const SourceRecord& r) {
            return "reference " + std::to_string(r.modS16(m, rec::kModMacroFilter) + 1) +
                   ", offset " + std::to_string(r.modS16(m, rec::kModMacroFilter + 2));
        });
}

void Differ::residual(int module) {
    if (module >= 0 && (module >= modulesOf(*a_) || module >= modulesOf(*b_))) return;
    const std::size_t first = module < 0 ? 0 : rec::moduleBase(module);
    const auto& owned = module < 0 ? headerOwnedBits() : moduleOwnedBits();
    const std::string name = module < 0 ? "@G+" : "@M" + std::to_string(module) + "+";
    const std::string path =
        module < 0 ? "Bytes without a setting"
                   : "Module " + std::to_string(module + 1) + " / Bytes without a setting";
    for (std::size_t i = 0; i < owned.size();) {
        auto differs = [&](std::size_t k) {
            return ((a_->bytes[first + k] ^ b_->bytes[first + k]) & ~owned[k]) != 0;
        };
        if (!differs(i)) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < owned.size() && end - i < 16 && differs(end)) ++end;
        out_.push_back({SettingRef{}, name + std::to_string(i), path,
                        hexBytes(*a_, first + i, end - i), hexBytes(*b_, first + i, end - i)});
        i = end;
    }
}

}  // namespace

std::vector<DiffRow> diffSources(const SourceRecord& a, const SourceRecord& b) {
    return Differ(a, b).run();
}

}  // namespace sf
