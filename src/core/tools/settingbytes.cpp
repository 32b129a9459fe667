#include "tools/settingbytes.h"

#include <algorithm>
#include <charconv>

namespace sf {

namespace {

// Shared flag words whose choice owns a group of bits rather than one mask.
std::uint16_t bitChoiceMask(int id) {
    switch (id) {
        case 100:
            return 0x0300;
        case 108:
            return 0x0048;
        case 109:
            return 0x0120;
        default:
            return 0;
    }
}

// The field lookups only need a record to bound their answers; every
// record has the same layout.
const SourceRecord& layoutRecord() {
    static const SourceRecord r{};
    return r;
}

std::uint16_t readMasked(const SourceRecord& r, const RowBytes& b) {
    const std::uint16_t v = b.size == 1 ? r.u8(b.offset) : r.u16(b.offset);
    return static_cast<std::uint16_t>(v & b.mask);
}

struct RefKey {
    int id, index1, index2;
    auto operator<=>(const RefKey&) const = default;
};

const std::vector<TreeRow>& fullTree() {
    static const std::vector<TreeRow> rows = [] {
        auto r = newSource();
        r->setU16(rec::kModuleCount, rec::kModules);
        return buildTreeRows(*r);
    }();
    return rows;
}

const std::vector<RefKey>& sortedRefs() {
    static const std::vector<RefKey> keys = [] {
        std::vector<RefKey> k;
        for (const TreeRow& row : fullTree())
            k.push_back({row.ref.id, row.ref.index1, row.ref.index2});
        std::sort(k.begin(), k.end());
        return k;
    }();
    return keys;
}

void markBits(std::vector<std::uint8_t>& map, std::size_t offset, std::size_t size,
              std::uint16_t mask) {
    if (offset + size > map.size()) return;
    if (mask == 0) {
        for (std::size_t i = 0; i < size; ++i) map[offset + i] = 0xFF;
        return;
    }
    map[offset] |= static_cast<std::uint8_t>(mask & 0xFF);
    if (size > 1) map[offset + 1] |= static_cast<std::uint8_t>(mask >> 8);
}

struct Ownership {
    std::vector<std::uint8_t> header = std::vector<std::uint8_t>(rec::kHeaderSize, 0);
    std::vector<std::uint8_t> module = std::vector<std::uint8_t>(rec::kModuleSize, 0);
};

const Ownership& ownership() {
    static const Ownership o = [] {
        Ownership w;
        auto r = newSource();
        for (const TreeRow& row : buildTreeRows(*r)) {
            const auto b = rowBytes(row.ref);
            if (!b) continue;
            if (b->offset < rec::kHeaderSize) {
                markBits(w.header, b->offset, b->size, b->mask);
            } else if (row.ref.index1 == 0) {
                markBits(w.module, b->offset - rec::moduleBase(0), b->size, b->mask);
            }
        }
        markBits(w.header, rec::kMagic, rec::kMagicSize + 2, 0);  // magic and format version
        markBits(w.module, rec::kModConverter, kConverterFieldsSize, 0);
        markBits(w.module, rec::kModTemplateCount, kTemplateCountSize, 0);
        markBits(w.module, rec::kModMacroFilter, rec::kMacroFilterSize, 0);
        for (int s = 0; s < rec::kSlotsPerModule; ++s)
            markBits(w.module, rec::slotOffset(s), rec::kSlotSize, 0);
        return w;
    }();
    return o;
}

}  // namespace

const SettingItem* itemById(int id) {
    static const std::vector<const SettingItem*> items = [] {
        std::vector<const SettingItem*> v(400, nullptr);
        for (const SettingItem& it : settingItems())
            if (it.id > 0 && it.id < 400) v[static_cast<std::size_t>(it.id)] = &it;
        return v;
    }();
    return id > 0 && id < 400 ? items[static_cast<std::size_t>(id)] : nullptr;
}

namespace {

std::optional<RowBytes> computeRowBytes(const SettingRef& ref) {
    const SettingItem* item = ref.item ? ref.item : itemById(ref.id);
    if (!item || item->has(setting_flag::ReadOnly)) return std::nullopt;
    const SourceRecord& r = layoutRecord();
    switch (item->kind) {
        case Kind::Text:
        case Kind::CharTable: {
            if (ref.id == 30 || ref.id == 198 || ref.id == 217) return std::nullopt;
            const auto f = textField(r, ref);
            if (!f) return std::nullopt;
            return RowBytes{f->offset, f->size, 0};
        }
        case Kind::Byte: {
            const auto f = byteField(r, ref);
            if (!f) return std::nullopt;
            return RowBytes{
                *f, 1, static_cast<std::uint16_t>(item->editor == Editor::Flag ? item->mask : 0)};
        }
        case Kind::Word: {
            const auto f = wordField(r, ref);
            if (!f) return std::nullopt;
            std::uint16_t mask = bitChoiceMask(ref.id);
            if (item->editor == Editor::Flag) mask = static_cast<std::uint16_t>(item->mask);
            return RowBytes{*f, 2, mask};
        }
        case Kind::Long: {
            const auto f = longField(r, ref);
            if (!f) return std::nullopt;
            return RowBytes{*f, 4, 0};
        }
        case Kind::Message: {
            const auto f = messageField(r, ref);
            if (!f) return std::nullopt;
            const std::size_t units = 2 * static_cast<std::size_t>(f->capacity);
            // The count lies right before or right after the units.
            const std::size_t first = std::min(f->units, f->count);
            return RowBytes{first, units + 2, 0};
        }
        default:
            return std::nullopt;
    }
}

// Every answer, indexed by id, index1 + 1 and index2 + 1 (size 0: none).
constexpr int kIdSlots = 310;
constexpr int kIndexSlots = 18;
const std::vector<RowBytes>& rowBytesTable() {
    static const std::vector<RowBytes> table = [] {
        std::vector<RowBytes> t(static_cast<std::size_t>(kIdSlots * kIndexSlots * kIndexSlots));
        for (const TreeRow& row : fullTree()) {
            const auto b = computeRowBytes(row.ref);
            if (!b) continue;
            t[static_cast<std::size_t>((row.ref.id * kIndexSlots + row.ref.index1 + 1) *
                                           kIndexSlots +
                                       row.ref.index2 + 1)] = *b;
        }
        return t;
    }();
    return table;
}

}  // namespace

std::optional<RowBytes> rowBytes(const SettingRef& ref) {
    if (ref.id <= 0 || ref.id >= kIdSlots || ref.index1 < -1 || ref.index1 >= kIndexSlots - 1 ||
        ref.index2 < -1 || ref.index2 >= kIndexSlots - 1)
        return std::nullopt;
    const RowBytes& b = rowBytesTable()[static_cast<std::size_t>(
        (ref.id * kIndexSlots + ref.index1 + 1) * kIndexSlots + ref.index2 + 1)];
    if (b.size == 0) return std::nullopt;
    return b;
}

bool sameRowValue(const SourceRecord& a, const SourceRecord& b, const RowBytes& bytes) {
    if (bytes.mask != 0) return readMasked(a, bytes) == readMasked(b, bytes);
    return std::equal(a.bytes.begin() + static_cast<std::ptrdiff_t>(bytes.offset),
                      a.bytes.begin() + static_cast<std::ptrdiff_t>(bytes.offset + bytes.size),
                      b.bytes.begin() + static_cast<std::ptrdiff_t>(bytes.offset));
}

void copyRowValue(SourceRecord& dst, const SourceRecord& src, const RowBytes& bytes) {
    if (bytes.mask == 0) {
        std::copy_n(src.bytes.begin() + static_cast<std::ptrdiff_t>(bytes.offset), bytes.size,
                    dst.bytes.begin() + static_cast<std::ptrdiff_t>(bytes.offset));
        return;
    }
    if (bytes.size == 1) {
        const auto v = static_cast<std::uint8_t>((dst.u8(bytes.offset) & ~bytes.mask) |
                                                 (src.u8(bytes.offset) & bytes.mask));
        dst.setU8(bytes.offset, v);
    } else {
        const auto v = static_cast<std::uint16_t>((dst.u16(bytes.offset) & ~bytes.mask) |
                                                  (src.u16(bytes.offset) & bytes.mask));
        dst.setU16(bytes.offset, v);
    }
}

std::string refText(const SettingRef& ref) {
    std::string t = std::to_string(ref.id);
    if (ref.index1 >= 0 || ref.index2 >= 0) t += ':' + std::to_string(ref.index1);
    if (ref.index2 >= 0) t += ':' + std::to_string(ref.index2);
    return t;
}

std::optional<SettingRef> parseRefText(std::string_view text) {
    int parts[3] = {0, -1, -1};
    int n = 0;
    std::size_t start = 0;
    while (true) {
        if (n == 3) return std::nullopt;
        const auto colon = text.find(':', start);
        const std::string_view piece = text.substr(
            start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        int v = 0;
        const auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
        if (piece.empty() || ec != std::errc() || ptr != piece.data() + piece.size())
            return std::nullopt;
        parts[n++] = v;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    const RefKey key{parts[0], parts[1], parts[2]};
    const auto& keys = sortedRefs();
    if (!std::binary_search(keys.begin(), keys.end(), key)) return std::nullopt;
    SettingRef ref;
    ref.id = parts[0];
    ref.index1 = parts[1];
    ref.index2 = parts[2];
    ref.item = itemById(parts[0]);
    return ref;
}

std::vector<std::string> labelPaths(const std::vector<TreeRow>& rows) {
    std::vector<std::string> paths;
    paths.reserve(rows.size());
    std::vector<std::string> stack;  // path of the last row at each depth
    for (const TreeRow& row : rows) {
        const auto depth = static_cast<std::size_t>(std::max(row.depth, 0));
        stack.resize(depth + 1);
        std::string path;
        if (depth >= 1) {
            path = depth >= 2 ? stack[depth - 1] : std::string();
            if (!path.empty()) path += " / ";
            path += rowLabel(row.ref);
        }
        stack[depth] = path;
        paths.push_back(std::move(path));
    }
    return paths;
}

std::string labelPath(const SettingRef& ref) {
    const auto& rows = fullTree();
    static const std::vector<std::string> paths = labelPaths(rows);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].ref.id == ref.id && rows[i].ref.index1 == ref.index1 &&
            rows[i].ref.index2 == ref.index2)
            return paths[i];
    return rowLabel(ref);
}

const std::vector<std::uint8_t>& headerOwnedBits() {
    return ownership().header;
}
const std::vector<std::uint8_t>& moduleOwnedBits() {
    return ownership().module;
}

}  // namespace sf
