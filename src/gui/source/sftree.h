// TSftTree: the multi-column tree control of the source windows. It reports
// clicks, double clicks, edit keys, the context menu and drag and drop to its
// owner and leaves every decision to it.
#pragma once

#include <QStyledItemDelegate>
#include <QTreeView>
#include <functional>

class QMimeData;

namespace sf::gui {

class TSftTree : public QTreeView {
  public:
    struct Handlers {
        std::function<void(const QModelIndex&)> click;
        std::function<void(const QModelIndex&, bool ctrl)> doubleClick;
        std::function<void(const QModelIndex&)> editKey;  // F2, Enter
        std::function<void(const QModelIndex&, const QPoint& globalPos)> contextMenu;
        std::function<void(const QModelIndex&)> startDrag;
        // Answers whether a drop on the index is accepted (and highlights it).
        std::function<bool(const QMimeData*, const QModelIndex&)> dragOver;
        std::function<void()> dragLeft;
        std::function<bool(const QMimeData*, const QModelIndex&)> drop;
    };

    explicit TSftTree(QWidget* parent = nullptr);
    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
    void setGrid(bool on);
    bool grid() const { return grid_; }
    bool editing() const { return state() == EditingState; }
    // Closes an open edit box without storing its text.
    void cancelEdit();
    // Stores the text of an open edit box and closes it, as Enter in the box
    // does; answers whether one was open.
    bool commitEdit();
    // The style options the tree draws a cell with (font, icon size), for
    // measuring what a cell needs.
    QStyleOptionViewItem cellOption() const;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    Handlers handlers_;
    bool grid_ = false;
    // The button goes up after a double click: that is no click of its own.
    bool afterDoubleClick_ = false;
    bool swallowClick_ = false;
};

// Draws the cells (grid lines when asked) and provides the in-place edit box
// of the Value column.
class SftDelegate : public QStyledItemDelegate {
  public:
    // Limit of typed characters for an index; commit of the edited text.
    std::function<int(const QModelIndex&)> lengthLimit;
    std::function<void(const QModelIndex&, const QString&)> commit;

    explicit SftDelegate(TSftTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    // A cell cut short shows its whole text as a tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  private:
    TSftTree* tree_;
};

}  // namespace sf::gui
