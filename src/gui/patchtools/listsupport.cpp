#include "patchtools/listsupport.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <utility>

#include "driver/compiler_limits.h"
#include "ui/help.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

ListModel::ListModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {}

void ListModel::refresh() {
    beginResetModel();
    endResetModel();
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows ? 0 : rows();
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::CheckStateRole && checkState) {
        const int state = checkState(index.row(), index.column());
        if (state >= 0) return state ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text ? text(index.row(), index.column()) : QString();
    return {};
}

QVariant ListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < headers_.size())
        return headers_[section];
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (commit && index.column() > 0) f |= Qt::ItemIsEditable;
    return f;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !commit || !index.isValid()) return false;
    return commit(index.row(), index.column(), value.toString());
}

EditControl::EditControl(QWidget* parent, int bufferSize) : QLineEdit(parent) {
    setFrame(true);
    if (bufferSize > 0) setMaxLength(bufferSize - 1);
}

CellDelegate::CellDelegate(std::function<int(const QModelIndex&)> limit, QObject* parent)
    : QStyledItemDelegate(parent), limit_(std::move(limit)) {}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
    const int limit = limit_ ? limit_(index) : 0;
    if (limit < 0) return nullptr;
    auto* edit = new EditControl(parent, limit);
    edit->setObjectName(QStringLiteral("EditControl"));
    return edit;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QLineEdit*>(editor);
    edit->setText(index.data(Qt::EditRole).toString());
    edit->selectAll();
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
}

ListView::ListView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("RzFlexTree"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    // The last column is sized here: as wide as its cells, at least to the
    // right edge (a long text scrolls rather than being cut).
    header()->setStretchLastSection(false);
}

void ListView::setModel(QAbstractItemModel* m) {
    QTreeView::setModel(m);
    if (!m) return;
    auto refit = [this] { fitColumns(); };
    connect(m, &QAbstractItemModel::modelReset, this, refit);
    connect(m, &QAbstractItemModel::layoutChanged, this, refit);
    connect(m, &QAbstractItemModel::rowsInserted, this, refit);
    connect(m, &QAbstractItemModel::dataChanged, this, refit);
    fitColumns();
}

int ListView::contentWidth(int column) const {
    int widest = header()->fontMetrics().horizontalAdvance(
                     model()->headerData(column, Qt::Horizontal).toString()) +
                 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header());
    const int indent = indentation();
    // Every row, collapsed or not, with the indentation of its depth.
    std::vector<std::pair<QModelIndex, int>> pending{{QModelIndex(), 0}};
    while (!pending.empty()) {
        const auto [parent, depth] = pending.back();
        pending.pop_back();
        for (int r = 0; r < model()->rowCount(parent); ++r) {
            const QModelIndex cell = model()->index(r, column, parent);
            int w = sizeHintForIndex(cell).width();
            if (column == 0) w += indent * (depth + (rootIsDecorated() ? 1 : 0));
            widest = std::max(widest, w);
            const QModelIndex first = model()->index(r, 0, parent);
            if (model()->hasChildren(first)) pending.emplace_back(first, depth + 1);
        }
    }
    return widest + 6;
}

void ListView::fitColumns() {
    if (!model()) return;
    const int columns = model()->columnCount();
    fitted_.resize(static_cast<std::size_t>(columns), 0);
    int used = 0;
    for (int c = 0; c < columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        int w = std::max(contentWidth(c), i < least_.size() ? least_[i] : 0);
        // A width the user chose by dragging stays while it is wider.
        if (fitted_[i] != 0 && columnWidth(c) != fitted_[i]) w = std::max(w, columnWidth(c));
        if (c == columns - 1) w = std::max(w, viewport()->width() - used);
        setColumnWidth(c, w);
        fitted_[i] = w;
        used += w;
    }
}

void ListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    fitColumns();
}

int ListView::selectedRow() const {
    const QModelIndexList rows =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListView::selectRow(int row) {
    if (!model()) return;
    if (row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void ListView::setColumnWidths(std::initializer_list<int> widths) {
    least_.assign(widths.begin(), widths.end());
    fitColumns();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F2 && currentIndex().isValid() && state() != EditingState) {
        byKey_ = true;
        emit cellActivated(currentIndex());
        return;
    }
    const QModelIndex at = currentIndex();
    if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && at.isValid() &&
        model()) {
        const int column = at.column() + (event->key() == Qt::Key_Left ? -1 : 1);
        if (column >= 0 && column < model()->columnCount(at.parent())) {
            selectionModel()->setCurrentIndex(at.siblingAtColumn(column),
                                              QItemSelectionModel::NoUpdate);
            scrollTo(currentIndex());
        }
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) {
        byKey_ = false;
        afterDoubleClick_ = true;
        emit cellActivated(index);
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    // The button going up after a double click ends it: no click of its own.
    const bool second = std::exchange(afterDoubleClick_, false);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!second && index.isValid() && event->button() == Qt::LeftButton)
        emit cellClicked(index, event->globalPosition().toPoint());
}

QPushButton* sideButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
}

DialogButtons dialogButtons(QDialog* dialog, int helpTopic) {
    auto* ok = new QPushButton(QStringLiteral("&OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    // The list dialogs grow with their lists.
    dialog->setSizeGripEnabled(true);
    QPushButton* cancel =
        sideButton(QStringLiteral("&Cancel"), QStringLiteral("cancelButton"), dialog);
    QPushButton* help = sideButton(QStringLiteral("&Help"), QStringLiteral("helpButton"), dialog);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(help, &QPushButton::clicked, dialog, [helpTopic] { showHelp(helpTopic); });
    return {ok, cancel, help};
}

QHBoxLayout* okCancelRow(QDialog* dialog) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

QLabel* noteLabel(QWidget* parent) {
    auto* note = new QLabel(parent);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    return note;
}

void showDriverRoom(QLabel* line, const SourceRecord& candidate) {
    line->setObjectName(QStringLiteral("driverRoom"));
    line->setText(fromUtf8(driverRoomText(candidate)));
}

bool confirmDriverRoom(const SourceRecord& candidate) {
    const std::string question = driverRoomQuestion(candidate);
    return question.empty() ||
           prompter().ask(question, Buttons::YesNo, MessageIcon::Exclamation) == Answer::Yes;
}

}  // namespace sf::gui
