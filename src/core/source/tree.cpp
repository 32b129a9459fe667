// The rows of the settings tree: the table in its order, with the repeated
// groups (help lines, packets, loop sets, sub-banks) expanded and the module
// part repeated once per module.
#include <algorithm>

#include "source/schema.h"
#include "source/schema_detail.h"

namespace sf {

std::string rowLabel(const SettingRef& ref) {
    const SettingItem* item = ref.item != nullptr ? ref.item : findSettingItem(ref.id);
    if (item == nullptr || item->name == nullptr) return {};
    std::string label = item->name;
    if (!item->has(setting_flag::NumberedName)) return label;
    const int index = ref.index2 >= 0 ? ref.index2 : ref.index1;
    const auto pos = label.find("%d");
    if (pos != std::string::npos) label.replace(pos, 2, std::to_string(index + 1));
    return label;
}

namespace {

using Items = std::span<const SettingItem>;

// End (exclusive) of the subtree that starts at position `first`.
std::size_t subtreeEnd(Items items, std::size_t first) {
    std::size_t end = first + 1;
    while (end < items.size() && items[end].depth > items[first].depth) ++end;
    return end;
}

// Hands every row to `visit` in tree order.
template <typename Visit>
struct Builder {
    Items items;
    Visit& visit;

    void add(const SettingItem& item, int index1, int index2) {
        SettingRef ref;
        ref.id = item.id;
        ref.index1 = index1;
        ref.index2 = index2;
        ref.item = &item;
        visit(TreeRow{item.depth, ref});
    }

    // Emits the rows [first, last). `module` is -1 in the global part;
    // `index` is the instance of the repeated group being expanded, or -1.
    void emit(std::size_t first, std::size_t last, int module, int index) {
        for (std::size_t i = first; i < last;) {
            const SettingItem& item = items[i];
            // Module repetition is driven by buildTreeRows.
            if (item.repeat == Repeat::None || item.repeat == Repeat::PerModule) {
                add(item, module, index);
                ++i;
                continue;
            }
            const std::size_t end = subtreeEnd(items, i);
            for (int k = 0; k < schema_detail::repeatCount(item.repeat); ++k)
                emitInstance(i, end, module, k);
            i = end;
        }
    }

    // One instance of a repeated group, its head row and its descendants.
    // Outside the modules (the global help lines) the instance is index1.
    void emitInstance(std::size_t first, std::size_t last, int module, int k) {
        if (module < 0) {
            for (std::size_t i = first; i < last; ++i) add(items[i], k, -1);
            return;
        }
        add(items[first], module, k);
        emit(first + 1, last, module, k);
    }
};

// `onlyModule`: the module part of that module alone (none when it is not
// one in use); every module's when negative.
template <typename Visit>
void forEachTreeRow(const SourceRecord& r, Visit&& visit, int onlyModule = -1) {
    const Items items = settingItems();
    Builder<Visit> b{items, visit};

    const auto moduleRow = std::find_if(items.begin(), items.end(), [](const SettingItem& it) {
        return it.repeat == Repeat::PerModule;
    });
    const auto moduleFirst = static_cast<std::size_t>(moduleRow - items.begin());
    const std::size_t moduleEnd =
        moduleFirst < items.size() ? subtreeEnd(items, moduleFirst) : items.size();

    // Global rows: everything outside the module subtree, in table order.
    b.emit(0, moduleFirst, -1, -1);
    const int modules = std::clamp<int>(r.s16(rec::kModuleCount), 1, rec::kModules);
    if (moduleFirst < items.size())
        for (int m = 0; m < modules; ++m)
            if (onlyModule < 0 || m == onlyModule) b.emit(moduleFirst, moduleEnd, m, -1);
    b.emit(moduleEnd, items.size(), -1, -1);
}

}  // namespace

std::vector<TreeRow> buildTreeRows(const SourceRecord& r) {
    // Counted first: a 16-module source has over 8,000 rows, and a growing
    // array would copy them several times over.
    std::size_t count = 0;
    forEachTreeRow(r, [&count](const TreeRow&) { ++count; });
    std::vector<TreeRow> rows;
    rows.reserve(count);
    forEachTreeRow(r, [&rows](const TreeRow& row) { rows.push_back(row); });
    return rows;
}

bool hasTreeRow(const SourceRecord& r, const SettingRef& ref) {
    // Without building the rows: a command asks this for a single ref. Every
    // row of a module's part carries the module as index1, so only the
    // part of the module the ref names can hold it (a 16-module source has
    // over 8,000 rows, a module's part about 500).
    bool found = false;
    forEachTreeRow(
        r,
        [&](const TreeRow& row) {
            found = found || (row.ref.id == ref.id && row.ref.index1 == ref.index1 &&
                              row.ref.index2 == ref.index2);
        },
        ref.index1 >= 0 ? ref.index1 : rec::kModules);
    return found;
}

}  // namespace sf
