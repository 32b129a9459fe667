// The item model of the settings tree: one node per row of buildTreeRows,
// with parent links; every cell is computed from the working record when it
// is drawn, so an edit only signals the rows it changed.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "source/schema.h"

namespace sf {
class SourceDoc;
}

namespace sf::gui {

// The MIME type of a setting dragged from a settings tree.
inline constexpr char kSettingMimeType[] = "application/x-sysforge-setting";

class SourceTreeModel : public QAbstractItemModel {
  public:
    enum Column { ParameterColumn = 0, ValueColumn = 1, CommentColumn = 2, ColumnCount = 3 };

    explicit SourceTreeModel(SourceDoc& doc, QObject* parent = nullptr);

    // Rows again from the working record (model reset); the filter mask, if
    // any, is dropped.
    void rebuild();
    // Shows only the nodes marked in `shown` (indexed like the nodes; with
    // their parents already marked); null shows every node. Model reset.
    void setShown(const std::vector<bool>* shown);
    bool filtered() const { return filtered_; }

    int nodeCount() const { return static_cast<int>(nodes_.size()); }
    const SettingRef& ref(int node) const { return rows_[static_cast<std::size_t>(node)].ref; }
    const std::vector<TreeRow>& rows() const { return rows_; }
    bool isEnabled(int node) const;
    // The node of an index, or -1.
    int nodeOf(const QModelIndex& index) const;
    // The index of a node (invalid when the filter hides it).
    QModelIndex indexOf(int node, int column = ParameterColumn) const;
    // The node of a row by id and indices, or -1.
    int findNode(const SettingRef& ref) const;
    int findNode(int id, int index1, int index2) const;

    // Evaluates every row's enabled state again; signals the rows that changed.
    void evaluateEnabled();
    // The same after a change of one value: the rules of a module's rows
    // read that module and the global part only, so a change inside module
    // `module` (0..15) leaves the other modules' rows as they are; -1
    // evaluates every row.
    void evaluateEnabledAfter(int module);
    // Signals that the values of these rows changed.
    void valueChanged(int node);
    void allValuesChanged();

    // Display switches.
    void setShowDisabled(bool on);
    void setShowCopyable(bool on);
    // The row under a drag that accepts the drop (-1 for none).
    void setDropHighlight(int node);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    // The drag data of SourceView (the view itself performs the drop).
    QStringList mimeTypes() const override;

  private:
    // Node i is row i of rows_.
    struct Node {
        int parent;    // node, -1 for a top-level row
        int position;  // row among the parent's shown children
    };
    void link(const std::vector<bool>* shown);
    // The shown children of `node` (-1: the top-level rows), in order.
    std::span<const int> children(int node) const;
    void evaluateRange(std::size_t first, std::size_t last);
    void emitRowChanged(int node);
    QVariant decoration(const SettingRef& r, int column) const;

    SourceDoc& doc_;
    std::vector<TreeRow> rows_;
    std::vector<Node> nodes_;
    std::vector<int> top_;  // shown top-level nodes
    // The shown children of node i are shownChildren_[childStart_[i] .. childStart_[i + 1]).
    std::vector<int> childStart_;
    std::vector<int> shownChildren_;
    // Each node's enabled state, found out when first asked for: most rows of
    // a large source are never shown.
    static constexpr char kUnknown = 2;
    mutable std::vector<char> enabled_;
    // Rows of each module: [first, last) node positions (empty for absent modules).
    std::vector<std::pair<std::size_t, std::size_t>> moduleRows_;
    std::unordered_map<std::uint64_t, int> byRef_;
    bool filtered_ = false;
    bool showDisabled_ = true;
    bool showCopyable_ = false;
    int dropHighlight_ = -1;
};

}  // namespace sf::gui
