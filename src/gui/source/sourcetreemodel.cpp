#include "source/sourcetreemodel.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>

#include "editor/document.h"
#include "editor/treeedit.h"
#include "source/valuetext.h"
#include "source/viewicons.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

std::uint64_t refKey(int id, int index1, int index2) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id)) << 32) |
           (static_cast<std::uint64_t>(static_cast<std::uint16_t>(index1)) << 16) |
           static_cast<std::uint16_t>(index2);
}

bool copyable(const SettingItem& item) {
    return item.has(setting_flag::CopyGlobal) || item.has(setting_flag::CopyModule);
}

}  // namespace

SourceTreeModel::SourceTreeModel(SourceDoc& doc, QObject* parent)
    : QAbstractItemModel(parent), doc_(doc) {}

void SourceTreeModel::rebuild() {
    beginResetModel();
    rows_ = buildTreeRows(doc_.working());
    nodes_.clear();
    nodes_.reserve(rows_.size());
    byRef_.clear();
    byRef_.reserve(rows_.size() * 2);
    // Parents from the depths: the last row seen at each depth.
    std::vector<int> open;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const TreeRow& row = rows_[i];
        const auto depth = static_cast<std::size_t>(row.depth < 0 ? 0 : row.depth);
        if (open.size() > depth) open.resize(depth);
        const int parent = open.empty() ? -1 : open.back();
        nodes_.push_back(Node{parent, 0});
        open.push_back(static_cast<int>(i));
        byRef_.emplace(refKey(row.ref.id, row.ref.index1, row.ref.index2), static_cast<int>(i));
    }
    moduleRows_.assign(rec::kModules, {0, 0});
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const SettingRef& ref = rows_[i].ref;
        if (!isModuleSetting(ref.id) || ref.index1 < 0 || ref.index1 >= rec::kModules) continue;
        auto& range = moduleRows_[static_cast<std::size_t>(ref.index1)];
        if (range.first == range.second) range.first = i;
        range.second = i + 1;
    }
    enabled_.assign(nodes_.size(), kUnknown);
    dropHighlight_ = -1;
    link(nullptr);
    endResetModel();
}

bool SourceTreeModel::isEnabled(int node) const {
    char& enabled = enabled_[static_cast<std::size_t>(node)];
    if (enabled == kUnknown) enabled = sf::isEnabled(doc_.working(), ref(node)) ? 1 : 0;
    return enabled != 0;
}

void SourceTreeModel::setShown(const std::vector<bool>* shown) {
    beginResetModel();
    link(shown != nullptr && shown->size() == nodes_.size() ? shown : nullptr);
    endResetModel();
}

void SourceTreeModel::link(const std::vector<bool>* shown) {
    filtered_ = shown != nullptr;
    top_.clear();
    // Counted first, then placed: one array for all children.
    childStart_.assign(nodes_.size() + 1, 0);
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        if (shown != nullptr && !(*shown)[i]) continue;
        Node& n = nodes_[i];
        if (n.parent < 0) {
            n.position = static_cast<int>(top_.size());
            top_.push_back(static_cast<int>(i));
        } else {
            n.position = childStart_[static_cast<std::size_t>(n.parent) + 1]++;
        }
    }
    for (std::size_t i = 1; i < childStart_.size(); ++i) childStart_[i] += childStart_[i - 1];
    shownChildren_.assign(static_cast<std::size_t>(childStart_.back()), -1);
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        if (shown != nullptr && !(*shown)[i]) continue;
        const Node& n = nodes_[i];
        if (n.parent >= 0)
            shownChildren_[static_cast<std::size_t>(
                childStart_[static_cast<std::size_t>(n.parent)] + n.position)] =
                static_cast<int>(i);
    }
}

std::span<const int> SourceTreeModel::children(int node) const {
    if (node < 0) return top_;
    const auto n = static_cast<std::size_t>(node);
    return std::span<const int>(shownChildren_)
        .subspan(static_cast<std::size_t>(childStart_[n]),
                 static_cast<std::size_t>(childStart_[n + 1] - childStart_[n]));
}

int SourceTreeModel::nodeOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return -1;
    const auto node = static_cast<int>(index.internalId());
    return node >= 0 && node < nodeCount() ? node : -1;
}

QModelIndex SourceTreeModel::indexOf(int node, int column) const {
    if (node < 0 || node >= nodeCount()) return {};
    const Node& n = nodes_[static_cast<std::size_t>(node)];
    const std::span<const int> siblings = children(n.parent);
    const auto pos = static_cast<std::size_t>(n.position);
    if (pos >= siblings.size() || siblings[pos] != node) return {};  // hidden by the filter
    return createIndex(n.position, column, static_cast<quintptr>(node));
}

int SourceTreeModel::findNode(int id, int index1, int index2) const {
    const auto it = byRef_.find(refKey(id, index1, index2));
    return it == byRef_.end() ? -1 : it->second;
}

int SourceTreeModel::findNode(const SettingRef& ref) const {
    return findNode(ref.id, ref.index1, ref.index2);
}

void SourceTreeModel::emitRowChanged(int node) {
    const QModelIndex first = indexOf(node, ParameterColumn);
    if (first.isValid()) emit dataChanged(first, indexOf(node, CommentColumn));
}

void SourceTreeModel::evaluateRange(std::size_t first, std::size_t last) {
    const SourceRecord& r = doc_.working();
    for (std::size_t i = first; i < last && i < nodes_.size(); ++i) {
        const SettingItem* item = rows_[i].ref.item;
        if (item == nullptr || !item->has(setting_flag::Conditional)) continue;
        // Not asked for yet, so not drawn either: found out when it is.
        if (enabled_[i] == kUnknown) continue;
        const char now = sf::isEnabled(r, rows_[i].ref) ? 1 : 0;
        if (now == enabled_[i]) continue;
        enabled_[i] = now;
        emitRowChanged(static_cast<int>(i));
    }
}

void SourceTreeModel::evaluateEnabled() {
    evaluateRange(0, nodes_.size());
}

void SourceTreeModel::evaluateEnabledAfter(int module) {
    if (module < 0 || module >= rec::kModules) {
        evaluateEnabled();
        return;
    }
    // The global rows (before and after the modules), then the module's own.
    std::size_t firstModule = nodes_.size(), lastModule = 0;
    for (const auto& [first, last] : moduleRows_)
        if (first != last) {
            firstModule = std::min(firstModule, first);
            lastModule = std::max(lastModule, last);
        }
    if (firstModule > lastModule) {
        evaluateEnabled();
        return;
    }
    evaluateRange(0, firstModule);
    evaluateRange(lastModule, nodes_.size());
    const auto& own = moduleRows_[static_cast<std::size_t>(module)];
    evaluateRange(own.first, own.second);
}

void SourceTreeModel::valueChanged(int node) {
    const QModelIndex value = indexOf(node, ValueColumn);
    if (value.isValid()) emit dataChanged(value, value);
}

void SourceTreeModel::allValuesChanged() {
    for (int i = 0; i < nodeCount(); ++i) valueChanged(i);
}

void SourceTreeModel::setShowDisabled(bool on) {
    if (on == showDisabled_) return;
    showDisabled_ = on;
    for (int i = 0; i < nodeCount(); ++i)
        if (enabled_[static_cast<std::size_t>(i)] == 0) valueChanged(i);
}

void SourceTreeModel::setShowCopyable(bool on) {
    if (on == showCopyable_) return;
    showCopyable_ = on;
    for (int i = 0; i < nodeCount(); ++i) {
        const SettingItem* item = ref(i).item;
        if (item == nullptr || !copyable(*item)) continue;
        const QModelIndex label = indexOf(i, ParameterColumn);
        if (label.isValid()) emit dataChanged(label, label);
    }
}

void SourceTreeModel::setDropHighlight(int node) {
    if (node == dropHighlight_) return;
    const int old = dropHighlight_;
    dropHighlight_ = node;
    if (old >= 0 && old < nodeCount()) emitRowChanged(old);
    if (node >= 0 && node < nodeCount()) emitRowChanged(node);
}

QModelIndex SourceTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= ColumnCount) return {};
    int p = -1;
    if (parent.isValid()) {
        p = nodeOf(parent);
        if (p < 0) return {};
    }
    const std::span<const int> siblings = children(p);
    if (static_cast<std::size_t>(row) >= siblings.size()) return {};
    return createIndex(row, column, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

QModelIndex SourceTreeModel::parent(const QModelIndex& child) const {
    const int node = nodeOf(child);
    if (node < 0) return {};
    return indexOf(nodes_[static_cast<std::size_t>(node)].parent, ParameterColumn);
}

int SourceTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(top_.size());
    if (parent.column() != ParameterColumn) return 0;
    const int node = nodeOf(parent);
    return node < 0 ? 0 : static_cast<int>(children(node).size());
}

int SourceTreeModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant SourceTreeModel::decoration(const SettingRef& r, int column) const {
    const SettingItem& item = *r.item;
    switch (column) {
        case ParameterColumn:
            if (showCopyable_ && copyable(item)) return icons::copyable();
            return {};
        case ValueColumn:
            if (item.has(setting_flag::DialogIcon)) return icons::dialog();
            switch (item.editor) {
                case Editor::Choice:
                    return icons::choice();
                case Editor::MessageEditor:
                    return icons::message();
                case Editor::Decimal:
                case Editor::Unsigned:
                case Editor::Hex:
                    return icons::number();
                case Editor::YesNo:
                case Editor::Flag:
                    return icons::yesNo(switchIsOn(&item, formatValue(doc_.working(), r)));
                default:
                    return {};
            }
        default:
            if (item.helpContext != 0) return icons::help();
            return {};
    }
}

QVariant SourceTreeModel::data(const QModelIndex& index, int role) const {
    const int node = nodeOf(index);
    if (node < 0) return {};
    const SettingRef& r = ref(node);
    if (r.item == nullptr) return {};
    const SettingItem& item = *r.item;
    const bool enabled = isEnabled(node);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            switch (index.column()) {
                case ParameterColumn:
                    return fromDriverText(rowLabel(r));
                case ValueColumn:
                    if (!enabled && !showDisabled_ && role == Qt::DisplayRole) return QString();
                    return fromDriverText(formatValue(doc_.working(), r));
                default:
                    if (item.helpContext != 0 || item.help == nullptr) return QString();
                    return fromDriverText(item.help);
            }
        case Qt::ToolTipRole:
            if (index.column() == CommentColumn && item.help != nullptr && *item.help != '\0')
                return fromDriverText(item.help);
            if (index.column() == ValueColumn) {
                const std::string note = filledGroupNote(doc_.working(), r);
                if (!note.empty()) return fromUtf8(note);
            }
            return {};
        case Qt::DecorationRole:
            return decoration(r, index.column());
        case Qt::ForegroundRole:
            if (!enabled) return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
            return {};
        case Qt::BackgroundRole:
            if (node == dropHighlight_) {
                QColor c = QApplication::palette().color(QPalette::Highlight);
                c.setAlpha(90);
                return c;
            }
            return {};
        default:
            return {};
    }
}

QVariant SourceTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case ParameterColumn:
            return tr("Parameter");
        case ValueColumn:
            return tr("Value");
        case CommentColumn:
            return tr("Comment");
        default:
            return {};
    }
}

QStringList SourceTreeModel::mimeTypes() const {
    return {QString::fromLatin1(kSettingMimeType)};
}

Qt::ItemFlags SourceTreeModel::flags(const QModelIndex& index) const {
    if (nodeOf(index) < 0) return Qt::ItemIsDropEnabled;
    // Disabled rows stay selectable: they are drawn apart and ignore edits,
    // but still show their help and can be dragged from.
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == ValueColumn) f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace sf::gui
