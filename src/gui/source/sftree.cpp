#include "source/sftree.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QToolTip>

namespace sf::gui {

namespace {
constexpr int kMinEditWidth = 20;
}

TSftTree::TSftTree(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("RzFlexTree"));
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setAutoExpandDelay(700);
    header()->setStretchLastSection(true);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!swallowClick_ && handlers_.click) handlers_.click(index);
    });
}

void TSftTree::setGrid(bool on) {
    grid_ = on;
    viewport()->update();
}

void TSftTree::cancelEdit() {
    if (state() != EditingState) return;
    for (QLineEdit* edit : viewport()->findChildren<QLineEdit*>())
        closeEditor(edit, QAbstractItemDelegate::RevertModelCache);
}

bool TSftTree::commitEdit() {
    if (state() != EditingState) return false;
    for (QLineEdit* edit : viewport()->findChildren<QLineEdit*>()) {
        if (!edit->isVisible()) continue;  // closed, waiting to be deleted
        // What the delegate does on Enter.
        commitData(edit);
        closeEditor(edit, QAbstractItemDelegate::SubmitModelCache);
        return true;
    }
    return false;
}

QStyleOptionViewItem TSftTree::cellOption() const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return option;
}

void TSftTree::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !at.isValid()) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    setCurrentIndex(at);
    afterDoubleClick_ = true;
    if (handlers_.doubleClick)
        handlers_.doubleClick(at, (event->modifiers() & Qt::ControlModifier) != 0);
    event->accept();
}

void TSftTree::mouseReleaseEvent(QMouseEvent* event) {
    swallowClick_ = afterDoubleClick_;
    afterDoubleClick_ = false;
    QTreeView::mouseReleaseEvent(event);
    swallowClick_ = false;
}

void TSftTree::keyPressEvent(QKeyEvent* event) {
    if (state() != EditingState) {
        switch (event->key()) {
            case Qt::Key_F2:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (currentIndex().isValid() && handlers_.editKey) {
                    handlers_.editKey(currentIndex());
                    event->accept();
                    return;
                }
                break;
            case Qt::Key_Menu:
                // Handled here so that the menu opens at the row, not at the mouse.
                if (currentIndex().isValid() && handlers_.contextMenu) {
                    const QRect r = visualRect(currentIndex().siblingAtColumn(1));
                    handlers_.contextMenu(currentIndex(), viewport()->mapToGlobal(r.bottomLeft()));
                    event->accept();
                    return;
                }
                break;
            default:
                break;
        }
    }
    QTreeView::keyPressEvent(event);
}

void TSftTree::contextMenuEvent(QContextMenuEvent* event) {
    QModelIndex at;
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        at = currentIndex();
        if (at.isValid()) {
            const QRect r = visualRect(at.siblingAtColumn(1));
            global = viewport()->mapToGlobal(r.isValid() ? r.bottomLeft() : QPoint());
        }
    } else {
        at = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        if (at.isValid()) setCurrentIndex(at);
    }
    if (at.isValid() && handlers_.contextMenu) handlers_.contextMenu(at, global);
    event->accept();
}

void TSftTree::startDrag(Qt::DropActions) {
    const QModelIndex at = currentIndex();
    if (at.isValid() && handlers_.startDrag) handlers_.startDrag(at);
}

void TSftTree::dragEnterEvent(QDragEnterEvent* event) {
    QTreeView::dragEnterEvent(event);
    // Whether the drop is accepted is decided row by row while moving.
    event->acceptProposedAction();
}

void TSftTree::dragMoveEvent(QDragMoveEvent* event) {
    QTreeView::dragMoveEvent(event);  // auto-scroll and auto-expand
    const QModelIndex at = indexAt(event->position().toPoint());
    if (handlers_.dragOver && handlers_.dragOver(event->mimeData(), at)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TSftTree::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeView::dragLeaveEvent(event);
    if (handlers_.dragLeft) handlers_.dragLeft();
}

void TSftTree::dropEvent(QDropEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    setState(NoState);
    stopAutoScroll();
    if (handlers_.drop && handlers_.drop(event->mimeData(), at)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    if (handlers_.dragLeft) handlers_.dragLeft();
}

void SftDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (!tree_->grid()) return;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}

QWidget* SftDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                   const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (lengthLimit) edit->setMaxLength(std::max(1, lengthLimit(index)));
    return edit;
}

void SftDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QLineEdit*>(editor);
    edit->setText(index.data(Qt::EditRole).toString());
    edit->selectAll();
}

void SftDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                               const QModelIndex& index) const {
    if (commit) commit(index, static_cast<QLineEdit*>(editor)->text());
}

void SftDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                       const QModelIndex&) const {
    QRect r = option.rect;
    if (r.width() < kMinEditWidth) r.setWidth(kMinEditWidth);
    editor->setGeometry(r);
}

bool SftDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                            const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip && index.isValid() &&
        !index.data(Qt::ToolTipRole).isValid()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (!text.isEmpty() && sizeHint(opt, index).width() > view->visualRect(index).width()) {
            QToolTip::showText(event->globalPos(), text, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

}  // namespace sf::gui
