#include "source/sourceview.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <vector>

#include "editor/document.h"
#include "editor/treeedit.h"
#include "editor/treefilter.h"
#include "editor/windowplacement.h"
#include "source/dragcopy.h"
#include "source/search.h"
#include "source/sftree.h"
#include "source/sourcetreemodel.h"
#include "source/value_editors.h"
#include "source/valuetext.h"
#include "ui/help.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

constexpr int kRootSetting = 1;
constexpr int kFirstStructureSetting = 175;
constexpr int kLastStructureSetting = 192;
constexpr int kFilterDelayMs = 150;
// A little room beyond what a cell's text and icon need.
constexpr int kCellSlack = 6;

// Hands the events of a widget to a function (true: eaten).
class EventHook : public QObject {
  public:
    EventHook(QObject* watched, std::function<bool(QEvent*)> fn)
        : QObject(watched), fn_(std::move(fn)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override { return fn_(event); }

  private:
    std::function<bool(QEvent*)> fn_;
};

bool isUndoOrRedoKey(const QKeyEvent* key) {
    const QKeyCombination k = key->keyCombination();
    return k == QKeyCombination(Qt::CTRL, Qt::Key_Z) ||
           k == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
}

// Every live view, so that a drop can tell whether the view named in the
// drag data still exists.
std::vector<SourceView*>& liveViews() {
    static std::vector<SourceView*> views;
    return views;
}

constexpr SearchMode kSearchModes[] = {SearchMode::SameValue, SearchMode::DifferentValue,
                                       SearchMode::NonEmpty};

// What follows the mouse during a drag: the dragged row's label.
QPixmap dragPixmap(const QString& label) {
    const QFontMetrics fm(QApplication::font());
    QPixmap pm(fm.horizontalAdvance(label) + 12, fm.height() + 6);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QPalette pal = QApplication::palette();
    p.setPen(pal.color(QPalette::Highlight));
    p.setBrush(pal.color(QPalette::Base));
    p.drawRoundedRect(pm.rect().adjusted(0, 0, -1, -1), 3, 3);
    p.setPen(pal.color(QPalette::Text));
    p.drawText(pm.rect(), Qt::AlignCenter, label);
    return pm;
}

}  // namespace

namespace {
SourceView::RowMenuHook& rowMenuHook() {
    static SourceView::RowMenuHook hook;
    return hook;
}
}  // namespace

void SourceView::setRowMenuHook(RowMenuHook hook) {
    rowMenuHook() = std::move(hook);
}

struct SourceView::Impl : SourceDocObserver {
    SourceView* q;
    SourceDoc* doc;
    ViewOptions options;
    QLineEdit* filter = nullptr;
    TSftTree* tree = nullptr;
    SourceTreeModel* model = nullptr;
    SftDelegate* delegate = nullptr;
    QTimer* filterTimer = nullptr;
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* clear = nullptr;
    QAction* search[3] = {};
    QAction* searchNonEmptyRow = nullptr;  // the context menu's wording
    QAction* filterAction = nullptr;
    QAction* optGrid = nullptr;
    QAction* optCopyable = nullptr;
    QAction* optDisabled = nullptr;
    QList<QAction*> editActions;
    // Expanded rows before the filter took over, given back when it is cleared.
    std::vector<int> expandedBeforeFilter;
    // The row last selected by the user, kept while the filter hides it.
    std::optional<SettingRef> lastSelected;
    bool pendingRebuild = false;
    // Widths the Parameter and Value texts need (with indentation and icons),
    // and whether the user has sized the columns by hand.
    int parameterContent = 0;
    int valueContent = 0;
    // Rows are being expanded in a batch, measured once at its end.
    bool expanding = false;
    // The rows measured so far (by node) and the widths of the cell texts met.
    std::vector<char> measured;
    QHash<std::pair<QString, qint64>, int> cellWidths;
    bool userSized = false;
    // The user put the focus into the filter field and has not left for the tree.
    bool userInFilter = false;
    bool fitting = false;

    Impl(SourceView* view, SourceDoc& d, const ViewOptions& o) : q(view), doc(&d), options(o) {}

    // SourceDocObserver
    std::optional<SettingRef> currentRow() const override { return q->currentRef(); }
    void recordReplaced(std::optional<SettingRef> row) override {
        tree->cancelEdit();
        q->build(row);
        changed();
    }

    int currentNode() const { return model->nodeOf(tree->currentIndex()); }
    const SettingItem* itemOf(int node) const { return node < 0 ? nullptr : model->ref(node).item; }

    void applyOptions() {
        tree->setGrid(options.grid);
        model->setShowCopyable(options.showCopyable);
        model->setShowDisabled(options.showDisabled);
        for (auto [action, on] :
             {std::pair{optGrid, options.grid}, std::pair{optCopyable, options.showCopyable},
              std::pair{optDisabled, options.showDisabled}}) {
            const QSignalBlocker block(action);
            action->setChecked(on);
        }
        tree->viewport()->update();
    }

    // After every change of the working record: the commands and the
    // modified mark follow.
    void changed() {
        updateActions();
        emit q->modifiedChanged(doc->isModified());
    }

    void updateActions() {
        undo->setEnabled(doc->canUndo());
        redo->setEnabled(doc->canRedo());
        const int node = currentNode();
        const SettingItem* item = itemOf(node);
        clear->setEnabled(item != nullptr && canClear(item) && model->isEnabled(node));
        for (int i = 0; i < 3; ++i) search[i]->setEnabled(searchEnabled(kSearchModes[i], item));
        searchNonEmptyRow->setEnabled(search[2]->isEnabled());
    }

    // A value of `node` was stored: redraw it and what depends on it, take
    // the checkpoint and evaluate the enabled states again.
    void valueChanged(int node) {
        const SettingRef ref = model->ref(node);
        afterValueStored(doc->working(), ref);
        model->valueChanged(node);
        valueMayHaveGrown(node);
        for (const SettingRef& dep : rowsToRedrawAfter(ref))
            model->valueChanged(model->findNode(dep));
        if (ref.id >= kFirstStructureSetting && ref.id <= kLastStructureSetting)
            for (int id = kFirstStructureSetting; id <= kLastStructureSetting; ++id)
                model->valueChanged(model->findNode(id, ref.index1, -1));
        doc->checkpoint();
        model->evaluateEnabledAfter(isModuleSetting(ref.id) ? ref.index1 : -1);
        changed();
    }

    bool commitText(int node, const QString& text) {
        if (node < 0) return false;
        const SettingRef ref = model->ref(node);
        switch (parseValue(doc->working(), ref, toDriverText(text))) {
            case ParseResult::NotStored:
                return false;
            case ParseResult::Stored:
                valueChanged(node);
                return true;
            case ParseResult::StoredRebuildTree:
                doc->checkpoint();
                // Not from inside the edit box's commit: the rows go away.
                if (!pendingRebuild) {
                    pendingRebuild = true;
                    QTimer::singleShot(0, q, [this, ref] {
                        pendingRebuild = false;
                        q->build(ref);
                    });
                }
                changed();
                return true;
        }
        return false;
    }

    void startEdit(int node, bool dialog) {
        const QModelIndex value = model->indexOf(node, SourceTreeModel::ValueColumn);
        if (!value.isValid()) return;
        if (!dialog) {
            tree->setCurrentIndex(value);
            tree->scrollTo(value);
            tree->edit(value);
            return;
        }
        QDialog box(q);
        box.setWindowTitle(tr("Edit"));
        auto* layout = new QVBoxLayout(&box);
        auto* edit = new QLineEdit(&box);
        edit->setMaxLength(std::max(1, editLengthLimit(doc->working(), model->ref(node))));
        edit->setText(fromDriverText(formatValue(doc->working(), model->ref(node))));
        edit->selectAll();
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        box.setMinimumWidth(320);
        if (box.exec() == QDialog::Accepted) commitText(node, edit->text());
    }

    void popChoice(int node, const QPoint& globalPos) {
        const SettingRef ref = model->ref(node);
        const SettingItem* item = ref.item;
        if (!hasChoiceMenu(item)) return;
        const QString current = fromDriverText(formatValue(doc->working(), ref));
        QMenu menu(q);
        for (const ChoiceEntry* e = item->choices; e->text != nullptr; ++e) {
            QAction* a = menu.addAction(fromDriverText(e->text));
            a->setData(e->command);
            a->setCheckable(true);
            a->setChecked(a->text() == current);
        }
        QAction* chosen = menu.exec(globalPos);
        if (chosen == nullptr) return;
        if (applyChoice(doc->working(), ref, chosen->data().toInt())) valueChanged(node);
    }

    void callEditor(int node) {
        const SettingRef ref = model->ref(node);
        const ValueEditor* editor = findValueEditor(ref);
        if (editor == nullptr) return;
        if (!(*editor)(ValueEditContext{q, *doc, ref})) return;
        valueChanged(node);
        // A dialog may have changed more than its own row.
        model->evaluateEnabled();
        tree->viewport()->update();
    }

    void toggle(int node) {
        const QModelIndex index = model->indexOf(node);
        if (index.isValid()) tree->setExpanded(index, !tree->isExpanded(index));
    }

    QString helpText(int node) const {
        const SettingItem* item = itemOf(node);
        return item != nullptr && item->help != nullptr ? fromDriverText(item->help) : QString();
    }
    void showHelpText(int node) { emit q->helpTextChanged(helpText(node)); }

    // ---- column widths ---------------------------------------------------

    // The width a cell's text and icon need, as the tree draws them.
    int cellWidth(const QModelIndex& index, const QStyleOptionViewItem& option) const {
        return tree->itemDelegate()->sizeHint(option, index).width() + kCellSlack;
    }
    int cellWidth(const QModelIndex& index) const { return cellWidth(index, tree->cellOption()); }

    int valueWidth(int node) const {
        const QModelIndex i = model->indexOf(node, SourceTreeModel::ValueColumn);
        return i.isValid() ? cellWidth(i) : 0;
    }

    // What the rows the tree can show need: those whose parents are all
    // expanded. Each row is measured once, when it first becomes one of them,
    // so the rows behind collapsed parents (most of a source of sixteen
    // modules) cost nothing until they are opened, and a column only grows.
    // A cell is laid out once per text and icon, which is all its width
    // depends on (the model gives no font, check state or alignment of its
    // own). The walk starts at the children of `from` (all rows: the root).
    // Answers whether a column needs more room than before.
    bool measureShownRows(const QModelIndex& from = {}) {
        const std::vector<TreeRow>& rows = model->rows();
        if (measured.size() != rows.size()) forgetMeasures();
        const int indent = tree->indentation();
        const int decorated = tree->rootIsDecorated() ? 1 : 0;
        const QStyleOptionViewItem opt = tree->cellOption();
        auto measure = [&](const QModelIndex& index) {
            if (!index.isValid()) return 0;
            const QVariant icon = index.data(Qt::DecorationRole);
            qint64 iconKey = 0;
            if (icon.isValid()) {
                if (icon.metaType().id() != QMetaType::QIcon) return cellWidth(index, opt);
                iconKey = icon.value<QIcon>().cacheKey();
            }
            const std::pair<QString, qint64> key(index.data(Qt::DisplayRole).toString(), iconKey);
            auto it = cellWidths.constFind(key);
            if (it == cellWidths.constEnd()) it = cellWidths.insert(key, cellWidth(index, opt));
            return *it;
        };
        int p = parameterContent, v = valueContent;
        std::vector<QModelIndex> parents{from};
        while (!parents.empty()) {
            const QModelIndex parent = parents.back();
            parents.pop_back();
            const int count = model->rowCount(parent);
            for (int r = 0; r < count; ++r) {
                const QModelIndex label = model->index(r, SourceTreeModel::ParameterColumn, parent);
                const int node = model->nodeOf(label);
                if (node < 0) continue;
                if (model->rowCount(label) > 0 && tree->isExpanded(label)) parents.push_back(label);
                auto& done = measured[static_cast<std::size_t>(node)];
                if (done) continue;
                done = 1;
                const TreeRow& row = rows[static_cast<std::size_t>(node)];
                const int depth = std::max(0, row.depth) + decorated;
                p = std::max(p, depth * indent + measure(label));
                // The character table's 128 characters never fit a column: it
                // ends in an ellipsis rather than push Comment aside.
                if (row.ref.item == nullptr || row.ref.item->kind != Kind::CharTable)
                    v = std::max(v, measure(label.siblingAtColumn(SourceTreeModel::ValueColumn)));
            }
        }
        const bool grew = p > parameterContent || v > valueContent;
        parameterContent = p;
        valueContent = v;
        return grew;
    }

    // The rows were built again or draw differently: measured anew.
    void forgetMeasures() {
        measured.assign(model->rows().size(), 0);
        cellWidths.clear();
        parameterContent = 0;
        valueContent = 0;
    }

    void measureAnew() {
        forgetMeasures();
        measureShownRows();
        fitColumns();
    }

    void fitColumns() {
        if (userSized) return;
        const TreeColumnWidths w =
            fitTreeColumns(parameterContent, valueContent, tree->viewport()->width());
        fitting = true;
        QHeaderView* h = tree->header();
        h->resizeSection(SourceTreeModel::ParameterColumn, w.parameter);
        h->resizeSection(SourceTreeModel::ValueColumn, w.value);
        if (!h->stretchLastSection()) h->resizeSection(SourceTreeModel::CommentColumn, w.comment);
        fitting = false;
    }

    // A stored value may need a wider Value column.
    void valueMayHaveGrown(int node) {
        const int w = valueWidth(node);
        if (w <= valueContent) return;
        valueContent = w;
        fitColumns();
    }

    void run(RowAction action, int node, bool ctrl, const QPoint& menuPos) {
        switch (action) {
            case RowAction::None:
                return;
            case RowAction::ChoiceMenu:
                popChoice(node, menuPos);
                return;
            case RowAction::ToggleExpand:
                toggle(node);
                return;
            case RowAction::ValueEditor:
                callEditor(node);
                return;
            case RowAction::InPlaceEdit:
                startEdit(node, ctrl);
                return;
            case RowAction::HelpTopic:
                showHelp(itemOf(node)->helpContext);
                return;
            case RowAction::HelpText:
                emit q->contextHelpRequested(helpText(node));
                return;
        }
    }

    bool hasEditor(int node) const { return findValueEditor(model->ref(node)) != nullptr; }

    QPoint cellBottomLeft(int node) const {
        const QRect r = tree->visualRect(model->indexOf(node, SourceTreeModel::ValueColumn));
        return tree->viewport()->mapToGlobal(r.bottomLeft());
    }

    void onClick(const QModelIndex& index) {
        const int node = model->nodeOf(index);
        if (node < 0) return;
        run(clickAction(itemOf(node), static_cast<TreeColumn>(index.column()),
                        model->isEnabled(node)),
            node, false, QCursor::pos());
    }

    void onDoubleClick(const QModelIndex& index, bool ctrl) {
        const int node = model->nodeOf(index);
        if (node < 0) return;
        run(doubleClickAction(itemOf(node), static_cast<TreeColumn>(index.column()),
                              model->isEnabled(node), hasEditor(node)),
            node, ctrl, QCursor::pos());
    }

    void onEditKey(const QModelIndex& index) {
        const int node = model->nodeOf(index);
        if (node < 0) return;
        run(editKeyAction(itemOf(node), model->isEnabled(node), hasEditor(node)), node, false,
            cellBottomLeft(node));
    }

    void onContextMenu(const QModelIndex& index, const QPoint& globalPos) {
        if (model->nodeOf(index) < 0) return;
        updateActions();
        QMenu menu(q);
        menu.addAction(clear);
        menu.addSeparator();
        menu.addAction(search[0]);
        menu.addAction(search[1]);
        menu.addAction(searchNonEmptyRow);
        if (rowMenuHook())
            if (const auto ref = q->currentRef()) rowMenuHook()(*q, menu, *ref);
        menu.exec(globalPos);
    }

    void requestSearch(int mode) {
        const auto ref = q->currentRef();
        if (ref) emit q->searchRequested(mode, *ref);
    }

    // ---- filter ----------------------------------------------------------

    void applyFilter() {
        filterTimer->stop();
        const std::string query = toDriverText(filter->text());
        const auto current = lastSelected;
        const bool wanted = !filterWords(query).empty();
        if (!wanted && !model->filtered()) return;
        tree->commitEdit();  // the rows are laid out again
        tree->setUpdatesEnabled(false);
        expanding = true;
        if (!wanted) {
            model->setShown(nullptr);
            for (int node : expandedBeforeFilter) tree->setExpanded(model->indexOf(node), true);
            expandedBeforeFilter.clear();
        } else {
            if (!model->filtered()) {
                expandedBeforeFilter.clear();
                for (int node = 0; node < model->nodeCount(); ++node)
                    if (model->rowCount(model->indexOf(node)) > 0 &&
                        tree->isExpanded(model->indexOf(node)))
                        expandedBeforeFilter.push_back(node);
            }
            const std::vector<bool> shown = filterTreeRows(doc->working(), model->rows(), query);
            model->setShown(&shown);
            tree->expandAll();
        }
        if (current) selectShown(*current);
        expanding = false;
        if (measureShownRows()) fitColumns();
        tree->setUpdatesEnabled(true);
    }

    // Selects a row the filter shows; answers false for a hidden one.
    bool selectShown(const SettingRef& ref) {
        const QModelIndex index = model->indexOf(model->findNode(ref));
        if (!index.isValid()) return false;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) tree->expand(p);
        tree->setCurrentIndex(index);
        tree->scrollTo(index);
        return true;
    }

    // ---- drag and drop ---------------------------------------------------

    struct Dragged {
        SourceView* view;
        SettingRef ref;
    };
    static std::optional<Dragged> dragged(const QMimeData* data) {
        if (data == nullptr || !data->hasFormat(dragMimeType())) return std::nullopt;
        const QList<QByteArray> parts = data->data(dragMimeType()).split(' ');
        if (parts.size() != 5) return std::nullopt;
        if (parts[0].toLongLong() != QCoreApplication::applicationPid()) return std::nullopt;
        const auto address = static_cast<quintptr>(parts[1].toULongLong());
        const auto& views = liveViews();
        const auto it = std::find_if(views.begin(), views.end(), [address](SourceView* v) {
            return reinterpret_cast<quintptr>(v) == address;
        });
        if (it == views.end()) return std::nullopt;
        SettingRef ref = makeRef(parts[2].toInt(), parts[3].toInt(), parts[4].toInt());
        if (ref.item == nullptr) return std::nullopt;
        return Dragged{*it, ref};
    }

    void onStartDrag(const QModelIndex& index) {
        const int node = model->nodeOf(index);
        if (node < 0) return;
        auto* drag = new QDrag(tree);
        drag->setMimeData(q->dragData(model->ref(node)));
        drag->setPixmap(dragPixmap(model->indexOf(node).data().toString()));
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }

    bool onDragOver(const QMimeData* data, const QModelIndex& index) {
        const int node = model->nodeOf(index);
        const bool ok = node >= 0 && q->canDropOn(data, model->ref(node));
        model->setDropHighlight(ok ? node : -1);
        return ok;
    }

    bool onDrop(const QMimeData* data, const QModelIndex& index) {
        model->setDropHighlight(-1);
        const int node = model->nodeOf(index);
        return node >= 0 && q->dropOn(data, model->ref(node));
    }
};

SourceView::SourceView(SourceDoc& doc, const ViewOptions& options, QWidget* parent)
    : QWidget(parent), d_(new Impl(this, doc, options)) {
    Impl& d = *d_;
    d.filter = new QLineEdit(this);
    d.filter->setObjectName(QStringLiteral("filterField"));
    d.filter->setPlaceholderText(tr("Filter settings (Ctrl+F)"));
    // The clear button shows only over text, so it is put in when the first
    // text comes: its icon costs the first search of the icon theme, a few
    // milliseconds that every window would otherwise add to its opening.
    connect(d.filter, &QLineEdit::textChanged, this, [filter = d.filter](const QString& text) {
        if (!text.isEmpty() && !filter->isClearButtonEnabled()) filter->setClearButtonEnabled(true);
    });
    // The filter is reached by Ctrl+F or a click; Tab and a window that
    // comes to the front go to the tree.
    d.filter->setFocusPolicy(Qt::ClickFocus);
    d.tree = new TSftTree(this);
    d.model = new SourceTreeModel(doc, this);
    d.tree->setModel(d.model);
    d.delegate = new SftDelegate(d.tree);
    d.tree->setItemDelegate(d.delegate);
    d.filterTimer = new QTimer(this);
    d.filterTimer->setSingleShot(true);
    d.filterTimer->setInterval(kFilterDelayMs);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(d.filter);
    layout->addWidget(d.tree);
    setFocusProxy(d.tree);

    // Commands of the source window.
    auto action = [this](const QString& text, const QKeySequence& key = {}) {
        auto* a = new QAction(text, this);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(a);
        }
        return a;
    };
    d.undo = action(tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    d.undo->setObjectName(QStringLiteral("actionUndo"));
    d.redo = action(tr("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    d.redo->setObjectName(QStringLiteral("actionRedo"));
    d.clear = action(tr("&Clear"), QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    d.clear->setObjectName(QStringLiteral("actionClear"));
    d.search[0] = action(tr("Search all drivers for the same value"));
    d.search[1] = action(tr("Search all drivers for a different value"));
    d.search[2] = action(tr("Search all drivers for a non-null value"));
    d.searchNonEmptyRow = action(tr("Search all drivers for a non-empty field"));
    d.filterAction = action(tr("&Filter"), QKeySequence(Qt::CTRL | Qt::Key_F));
    d.filterAction->setObjectName(QStringLiteral("actionFilter"));
    d.optGrid = action(tr("&Grid style"));
    d.optCopyable = action(tr("&Show drag-and-drop possibilities"));
    d.optDisabled = action(tr("&Show disabled values"));
    for (QAction* a : {d.optGrid, d.optCopyable, d.optDisabled}) a->setCheckable(true);

    auto separator = [this] {
        auto* a = new QAction(this);
        a->setSeparator(true);
        return a;
    };
    d.editActions = {d.undo,      d.redo,      separator(), d.clear,     separator(),
                     d.search[0], d.search[1], d.search[2], separator(), d.filterAction};

    connect(d.undo, &QAction::triggered, this, [this] { d_->doc->undo(); });
    connect(d.redo, &QAction::triggered, this, [this] { d_->doc->redo(); });
    connect(d.clear, &QAction::triggered, this, [this] {
        const int node = d_->currentNode();
        if (node >= 0 && d_->clear->isEnabled() &&
            clearValue(d_->doc->working(), d_->model->ref(node)))
            d_->valueChanged(node);
    });
    for (int i = 0; i < 3; ++i)
        connect(d.search[i], &QAction::triggered, this,
                [this, i] { d_->requestSearch(static_cast<int>(kSearchModes[i])); });
    connect(d.searchNonEmptyRow, &QAction::triggered, this,
            [this] { d_->requestSearch(static_cast<int>(SearchMode::NonEmpty)); });
    connect(d.filterAction, &QAction::triggered, this, [this] {
        d_->filter->setFocus(Qt::ShortcutFocusReason);
        d_->filter->selectAll();
    });
    auto option = [this](bool ViewOptions::*field) {
        return [this, field](bool on) {
            d_->options.*field = on;
            d_->applyOptions();
            d_->measureAnew();
            emit optionsChanged(d_->options);
        };
    };
    connect(d.optGrid, &QAction::toggled, this, option(&ViewOptions::grid));
    connect(d.optCopyable, &QAction::toggled, this, option(&ViewOptions::showCopyable));
    connect(d.optDisabled, &QAction::toggled, this, option(&ViewOptions::showDisabled));

    // Escape in the filter field clears it; in an empty field it goes back
    // to the tree.
    auto* clearFilter = new QAction(d.filter);
    clearFilter->setShortcut(QKeySequence(Qt::Key_Escape));
    clearFilter->setShortcutContext(Qt::WidgetShortcut);
    d.filter->addAction(clearFilter);
    connect(clearFilter, &QAction::triggered, this, [this] {
        if (d_->filter->text().isEmpty()) {
            d_->tree->setFocus(Qt::ShortcutFocusReason);
            return;
        }
        d_->filter->clear();
        d_->applyFilter();
    });
    new EventHook(d.filter, [this](QEvent* e) {
        // The document's undo and redo, not the field's own.
        if (e->type() == QEvent::ShortcutOverride)
            return isUndoOrRedoKey(static_cast<QKeyEvent*>(e));
        // The field takes the focus when asked for (Ctrl+F, a click); a
        // document window that opens or comes to the front puts it in the
        // tree, and so does the main window coming back to the front unless
        // the user was last in the field.
        if (e->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason == Qt::OtherFocusReason ||
                (reason == Qt::ActiveWindowFocusReason && !d_->userInFilter))
                d_->tree->setFocus(Qt::OtherFocusReason);
            else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                d_->userInFilter = true;
        }
        return false;
    });
    connect(d.filter, &QLineEdit::textChanged, d.filterTimer, qOverload<>(&QTimer::start));
    connect(d.filterTimer, &QTimer::timeout, this, [this] { d_->applyFilter(); });
    connect(d.filter, &QLineEdit::returnPressed, this, [this] {
        d_->applyFilter();
        d_->tree->setFocus();
    });

    d.delegate->lengthLimit = [this](const QModelIndex& index) {
        const int node = d_->model->nodeOf(index);
        return node < 0 ? 0 : editLengthLimit(d_->doc->working(), d_->model->ref(node));
    };
    d.delegate->commit = [this](const QModelIndex& index, const QString& text) {
        d_->commitText(d_->model->nodeOf(index), text);
    };
    d.tree->setHandlers(TSftTree::Handlers{
        [this](const QModelIndex& i) { d_->onClick(i); },
        [this](const QModelIndex& i, bool ctrl) { d_->onDoubleClick(i, ctrl); },
        [this](const QModelIndex& i) { d_->onEditKey(i); },
        [this](const QModelIndex& i, const QPoint& p) { d_->onContextMenu(i, p); },
        [this](const QModelIndex& i) { d_->onStartDrag(i); },
        [this](const QMimeData* m, const QModelIndex& i) { return d_->onDragOver(m, i); },
        [this] { d_->model->setDropHighlight(-1); },
        [this](const QMimeData* m, const QModelIndex& i) { return d_->onDrop(m, i); },
    });
    // Rows come into view: the columns make room for them.
    connect(d.tree, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!d_->expanding && d_->measureShownRows(index)) d_->fitColumns();
    });

    liveViews().push_back(this);
    doc.setObserver(d_);
    // The options first: they decide the icons the columns are fitted to.
    d.applyOptions();
    build();

    new EventHook(d.tree, [this](QEvent* e) {
        if (e->type() == QEvent::FocusIn) d_->userInFilter = false;
        return false;
    });

    // Parameter and Value as wide as their texts, Comment the rest; nothing
    // scrolls sideways unless the window is too narrow even for that.
    d.tree->header()->setStretchLastSection(true);
    d.tree->setTextElideMode(Qt::ElideRight);
    new EventHook(d.tree->viewport(), [this](QEvent* e) {
        if (e->type() == QEvent::Resize) d_->fitColumns();
        return false;
    });
    connect(d.tree->header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (!d_->fitting && section != SourceTreeModel::CommentColumn) d_->userSized = true;
    });
    d.fitColumns();

    connect(d.tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) {
                const int node = d_->model->nodeOf(now);
                if (node >= 0) d_->lastSelected = d_->model->ref(node);
                d_->updateActions();
                d_->showHelpText(node);
            });
    d.updateActions();
}

SourceView::~SourceView() {
    // An open edit box would commit while the children go away.
    d_->delegate->commit = nullptr;
    d_->tree->cancelEdit();
    d_->tree->setHandlers({});
    auto& views = liveViews();
    views.erase(std::remove(views.begin(), views.end(), this), views.end());
    d_->doc->setObserver(nullptr);
    // The child widgets go while this view and its state still exist: as they
    // hide and go, their last signals (a header section resized) and events
    // reach handlers that read the state.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    delete d_;
}

SourceDoc& SourceView::document() const {
    return *d_->doc;
}

void SourceView::build(std::optional<SettingRef> select, bool expand) {
    Impl& d = *d_;
    const bool updates = d.tree->updatesEnabled();
    // An open edit box would lose its row: what was typed is stored first,
    // as Enter would (undo and redo have closed it without storing).
    d.tree->commitEdit();
    d.tree->setUpdatesEnabled(false);
    d.expanding = true;
    d.model->rebuild();
    d.expandedBeforeFilter.clear();
    const std::string query = toDriverText(d.filter->text());
    if (!filterWords(query).empty()) {
        const std::vector<bool> shown = filterTreeRows(d.doc->working(), d.model->rows(), query);
        d.model->setShown(&shown);
        d.tree->expandAll();
    }
    // The row asked for, when the filter shows it (a rebuild after undo
    // keeps what the user filtered for).
    const bool selected = select && d.selectShown(*select);
    if (selected && expand) d.tree->expand(d.tree->currentIndex().siblingAtColumn(0));
    if (!selected) {
        const QModelIndex root = d.model->indexOf(d.model->findNode(kRootSetting, -1, -1));
        if (root.isValid()) {
            d.tree->expand(root);
            d.tree->setCurrentIndex(root);
        }
    }
    d.expanding = false;
    d.measureAnew();
    d.tree->setUpdatesEnabled(updates);
    d.updateActions();
}

void SourceView::refreshAllValues() {
    d_->model->allValuesChanged();
    // Another hex prefix makes the values wider or narrower.
    d_->measureAnew();
    d_->tree->viewport()->update();
}

bool SourceView::editValue(const SettingRef& ref, const QString& text) {
    const int node = d_->model->findNode(ref);
    return node >= 0 && d_->model->isEnabled(node) && d_->commitText(node, text);
}

bool SourceView::commitPendingEdit() {
    return d_->tree->commitEdit();
}

std::optional<SettingRef> SourceView::currentRef() const {
    const int node = d_->currentNode();
    if (node < 0) return std::nullopt;
    return d_->model->ref(node);
}

bool SourceView::selectRef(const SettingRef& ref) {
    if (d_->selectShown(ref)) return true;
    if (d_->model->findNode(ref) < 0 || !d_->model->filtered()) return false;
    // A row asked for by name (a search result, a finding) must be seen: the
    // filter that hides it gives way.
    d_->filter->clear();
    d_->applyFilter();
    return d_->selectShown(ref);
}

ViewOptions SourceView::options() const {
    return d_->options;
}

void SourceView::setOptions(const ViewOptions& options) {
    d_->options = options;
    d_->applyOptions();
    d_->measureAnew();
}

QList<QAction*> SourceView::editActions() const {
    return d_->editActions;
}
QAction* SourceView::undoAction() const {
    return d_->undo;
}
QAction* SourceView::redoAction() const {
    return d_->redo;
}
QTreeView* SourceView::tree() const {
    return d_->tree;
}
QLineEdit* SourceView::filterField() const {
    return d_->filter;
}
QList<QAction*> SourceView::optionActions() const {
    return {d_->optGrid, d_->optCopyable, d_->optDisabled};
}

QString SourceView::dragMimeType() {
    return QString::fromLatin1(kSettingMimeType);
}

QMimeData* SourceView::dragData(const SettingRef& ref) const {
    auto* data = new QMimeData;
    const QByteArray payload = QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
                               QByteArray::number(reinterpret_cast<quintptr>(this)) + ' ' +
                               QByteArray::number(ref.id) + ' ' + QByteArray::number(ref.index1) +
                               ' ' + QByteArray::number(ref.index2);
    data->setData(dragMimeType(), payload);
    data->setText(fromDriverText(rowLabel(ref)));
    return data;
}

bool SourceView::canDropOn(const QMimeData* data, const SettingRef& target) const {
    const auto from = Impl::dragged(data);
    if (!from) return false;
    const SourceDoc& source = from->view->document();
    return canDropSetting(source.working(), from->ref, d_->doc->working(),
                          makeRef(target.id, target.index1, target.index2), &source == d_->doc);
}

bool SourceView::dropOn(const QMimeData* data, const SettingRef& target) {
    const auto from = Impl::dragged(data);
    if (!from) return false;
    const SourceDoc& source = from->view->document();
    const SettingRef to = makeRef(target.id, target.index1, target.index2);
    if (!copyDroppedSetting(source.working(), from->ref, d_->doc->working(), to,
                            &source == d_->doc))
        return false;
    d_->doc->checkpoint();
    build(to);
    d_->changed();
    if (from->view != this) {
        from->view->d_->model->evaluateEnabled();
        from->view->d_->updateActions();
    }
    return true;
}

}  // namespace sf::gui
