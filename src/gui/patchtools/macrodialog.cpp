#include "patchtools/macrodialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "patchtools/filterdialog.h"
#include "patchtools/listsupport.h"
#include "patchtools/templatedialog.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kHelpTopic = 2023;
enum Column { Label = 0, Name = 1, From = 2, To = 3, Type = 4, Group = 5, Columns = 6 };

MacroColumn macroColumn(int column) {
    return static_cast<MacroColumn>(column - Name);
}
}  // namespace

MacroTreeModel::MacroTreeModel(MacroEditor& editor, QObject* parent)
    : QAbstractItemModel(parent), editor_(editor) {}

QModelIndex MacroTreeModel::indexOf(const MacroSel& sel, int column) const {
    if (sel.isMacro()) return index(sel.macro, column);
    return index(sel.param, column, index(sel.macro, 0));
}

MacroSel MacroTreeModel::selOf(const QModelIndex& index) {
    if (index.internalId() == 0) return {index.row(), -1};
    return {static_cast<int>(index.internalId()) - 1, index.row()};
}

QModelIndex MacroTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= Columns) return {};
    if (!parent.isValid())
        return row < editor_.macroCount() ? createIndex(row, column, quintptr{0}) : QModelIndex();
    if (parent.internalId() != 0 || row >= editor_.parameterCount(parent.row())) return {};
    return createIndex(row, column, static_cast<quintptr>(parent.row() + 1));
}

QModelIndex MacroTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) return {};
    return createIndex(static_cast<int>(child.internalId()) - 1, 0, quintptr{0});
}

int MacroTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return editor_.macroCount();
    if (parent.internalId() != 0 || parent.column() != 0) return 0;
    return editor_.parameterCount(parent.row());
}

int MacroTreeModel::columnCount(const QModelIndex&) const {
    return Columns;
}

QVariant MacroTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const MacroSel sel = selOf(index);
    if (index.column() == Label) return fromDriverText(editor_.label(sel));
    return fromDriverText(editor_.cells(sel)[static_cast<std::size_t>(index.column() - Name)]);
}

QVariant MacroTreeModel::headerData(int section, Qt::Orientation o, int role) const {
    static const char* headers[] = {"", "Macro Name", "From", "To", "Type", "Group"};
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < Columns)
        return QString::fromLatin1(headers[section]);
    return {};
}

Qt::ItemFlags MacroTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool macroRow = index.internalId() == 0;
    const int c = index.column();
    if ((macroRow && (c == Name || c == From || c == To || c == Group)) || (!macroRow && c == From))
        f |= Qt::ItemIsEditable;
    return f;
}

bool MacroTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    const MacroSel sel = selOf(index);
    if (!editor_.editCell(sel, macroColumn(index.column()), toDriverText(value.toString())))
        return false;
    rowChanged(sel);
    return true;
}

void MacroTreeModel::rowChanged(const MacroSel& sel) {
    emit dataChanged(indexOf(sel, 0), indexOf(sel, Columns - 1));
}

std::optional<MacroSel> MacroTreeModel::addMacro() {
    if (!editor_.canAddMacro()) return std::nullopt;
    const int row = editor_.macroCount();
    beginInsertRows({}, row, row);
    auto added = editor_.addMacro();
    endInsertRows();
    return added;
}

std::optional<MacroSel> MacroTreeModel::addParameter(const MacroSel& sel, int templateIndex) {
    if (!editor_.canAddParameter(sel)) return std::nullopt;
    const int row = editor_.parameterCount(sel.macro);
    beginInsertRows(index(sel.macro, 0), row, row);
    auto added = editor_.addParameter(sel, templateIndex);
    endInsertRows();
    return added;
}

std::optional<MacroSel> MacroTreeModel::remove(const MacroSel& sel) {
    if (!editor_.canDelete(sel)) return std::nullopt;
    const QModelIndex at = indexOf(sel);
    beginRemoveRows(at.parent(), at.row(), at.row());
    auto next = editor_.remove(sel);
    endRemoveRows();
    // Labels after the removed row are numbered anew.
    if (sel.isMacro() && sel.macro < editor_.macroCount())
        emit dataChanged(index(sel.macro, Label), index(editor_.macroCount() - 1, Label));
    if (!sel.isMacro() && sel.param < editor_.parameterCount(sel.macro))
        emit dataChanged(indexOf({sel.macro, sel.param}),
                         indexOf({sel.macro, editor_.parameterCount(sel.macro) - 1}));
    return next;
}

bool MacroTreeModel::setKind(int macro, int kind) {
    if (!editor_.setKind(macro, kind)) return false;
    rowChanged({macro, -1});
    return true;
}

bool MacroTreeModel::setParameterTemplate(const MacroSel& sel, int templateIndex) {
    if (!editor_.setParameterTemplate(sel, templateIndex)) return false;
    rowChanged(sel);
    return true;
}

void MacroTreeModel::replaceData(MacroData data) {
    beginResetModel();
    editor_.replaceData(std::move(data));
    endResetModel();
}

MacroEditorDialog::MacroEditorDialog(MacroEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Macro editor builder"));
    model_ = new MacroTreeModel(editor_, this);
    list_ = new ListView(this);
    list_->setRootIsDecorated(true);
    list_->setItemsExpandable(true);
    list_->setModel(model_);
    list_->setItemDelegate(new CellDelegate(
        [](const QModelIndex& i) {
            const bool macroRow = i.internalId() == 0;
            if (macroRow && i.column() == Name) return macro_list::kNameChars + 1;
            if (!macroRow && i.column() == From) return macro_list::kParamOffsetChars + 1;
            return macroRow && (i.column() == From || i.column() == To || i.column() == Group) ? 0
                                                                                               : -1;
        },
        list_));
    list_->setColumnWidths({60, 140, 50, 50, 80, 64});
    list_->expandAll();

    addMacro_ = sideButton(QStringLiteral("Add &macro"), QStringLiteral("addMacroButton"), this);
    addParameter_ =
        sideButton(QStringLiteral("Add &parameter"), QStringLiteral("addParameterButton"), this);
    delete_ = sideButton(QStringLiteral("&Delete"), QStringLiteral("deleteButton"), this);
    QPushButton* filter =
        sideButton(QStringLiteral("&Filter..."), QStringLiteral("filterButton"), this);
    QPushButton* info =
        sideButton(QStringLiteral("Patch &info..."), QStringLiteral("patchInfoButton"), this);
    const auto [ok, cancel, help] = dialogButtons(this, kHelpTopic);
    note_ = noteLabel(this);
    room_ = noteLabel(this);
    if (!editor_.editable())
        note_->setText(
            QStringLiteral("The macro list of this module is damaged and cannot be changed."));

    auto* side = new QVBoxLayout;
    for (QPushButton* b : {addMacro_, addParameter_, delete_}) side->addWidget(b);
    side->addSpacing(12);
    side->addWidget(filter);
    side->addWidget(info);
    side->addStretch();
    for (QPushButton* b : {ok, cancel, help}) side->addWidget(b);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(note_);
    layout->addWidget(room_);
    resize(640, 460);

    connect(list_, &ListView::cellActivated, this, [this](const QModelIndex& i) {
        // The kind menu already opened on the first click of a double click.
        if (i.column() == Type && i.internalId() == 0 && !list_->activatedByKey()) return;
        activateCell(i, list_->viewport()->mapToGlobal(list_->visualRect(i).bottomLeft()));
    });
    connect(list_, &ListView::cellClicked, this, [this](const QModelIndex& i, const QPoint& at) {
        if (i.column() == Type && i.internalId() == 0) activateCell(i, at);
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { updateButtons(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { updateButtons(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { updateButtons(); });
    connect(addMacro_, &QPushButton::clicked, this, &MacroEditorDialog::addMacro);
    connect(addParameter_, &QPushButton::clicked, this, &MacroEditorDialog::addParameter);
    connect(delete_, &QPushButton::clicked, this, &MacroEditorDialog::removeSelected);
    connect(filter, &QPushButton::clicked, this, &MacroEditorDialog::editFilter);
    connect(info, &QPushButton::clicked, this, &MacroEditorDialog::editPatchInfo);
    QWidget* order[] = {list_, addMacro_, addParameter_, delete_, filter, info, ok, cancel, help};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    select(editor_.macroCount() > 0 ? std::optional<MacroSel>(MacroSel{0, -1}) : std::nullopt);
    updateButtons();
    list_->setFocus();
}

std::optional<MacroSel> MacroEditorDialog::selected() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return MacroTreeModel::selOf(rows.first());
}

void MacroEditorDialog::select(const std::optional<MacroSel>& sel) {
    if (!sel) {
        list_->clearSelection();
        updateButtons();
        return;
    }
    const QModelIndex at = model_->indexOf(*sel);
    if (!at.isValid()) return;
    list_->setCurrentIndex(at);
    list_->selectionModel()->select(
        at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(at);
    updateButtons();
}

void MacroEditorDialog::setCandidate(Candidate candidate) {
    candidate_ = std::move(candidate);
    updateButtons();
}

void MacroEditorDialog::accept() {
    if (candidate_ && !confirmDriverRoom(*candidate_(editor_.data()))) return;
    QDialog::accept();
}

void MacroEditorDialog::updateButtons() {
    if (candidate_) showDriverRoom(room_, *candidate_(editor_.data()));
    const auto sel = selected();
    addMacro_->setEnabled(editor_.canAddMacro());
    addParameter_->setEnabled(editor_.canAddParameter(sel));
    delete_->setEnabled(editor_.canDelete(sel));
    if (!editor_.editable()) return;
    std::string note = editor_.addMacroRefusal();
    if (note.empty() && sel) note = editor_.addParameterRefusal(sel->macro);
    note_->setText(fromUtf8(note));
}

template <typename Fn>
void MacroEditorDialog::onDuplicate(Fn&& dialog) {
    const auto sel = selected();
    MacroData copy = editor_.data();
    dialog(copy);
    if (copy == editor_.data()) return;
    model_->replaceData(std::move(copy));
    list_->expandAll();
    select(editor_.keep(sel));
}

void MacroEditorDialog::addMacro() {
    if (auto added = model_->addMacro()) select(added);
}

void MacroEditorDialog::addParameter() {
    const auto sel = selected();
    if (!editor_.canAddParameter(sel)) return;
    int chosen = -1;
    onDuplicate([&](MacroData& d) { chosen = chooseTemplate(this, d); });
    if (chosen < 0) return;
    // The repair after the chooser may have removed parameters: add to the macro.
    if (auto added = model_->addParameter({sel->macro, -1}, chosen)) {
        list_->expand(model_->indexOf({sel->macro, -1}));
        select(added);
    }
}

void MacroEditorDialog::removeSelected() {
    const auto sel = selected();
    if (!sel) return;
    select(model_->remove(*sel));
}

void MacroEditorDialog::editFilter() {
    onDuplicate([this](MacroData& d) { sf::gui::editFilter(this, d); });
}

void MacroEditorDialog::editPatchInfo() {
    onDuplicate([this](MacroData& d) { sf::gui::editPatchInfo(this, d); });
}

void MacroEditorDialog::activateCell(const QModelIndex& index, const QPoint& globalPos) {
    if (!index.isValid()) return;
    const MacroSel sel = MacroTreeModel::selOf(index);
    select(sel);
    if (sel.isMacro() && index.column() == Type) {
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("kindMenu"));
        for (int k = 0; k < 3; ++k)
            menu.addAction(fromDriverText(macroKindText(static_cast<std::uint8_t>(k))))->setData(k);
        if (QAction* chosen = menu.exec(globalPos))
            model_->setKind(sel.macro, chosen->data().toInt());
    } else if (!sel.isMacro() && (index.column() == Name || index.column() == Label)) {
        // The choice is for this parameter only, and for none when the repair
        // after the chooser deleted it.
        int chosen = -1;
        std::optional<MacroSel> edited;
        onDuplicate([&](MacroData& d) {
            chosen = chooseTemplate(this, d);
            edited = editor_.afterTemplateRepair(sel, d.usableTemplateCount());
        });
        if (chosen >= 0 && edited) model_->setParameterTemplate(*edited, chosen);
        select(edited ? edited : editor_.keep(sel));
    } else if (sel.isMacro() && index.column() == Label) {
        list_->edit(index.siblingAtColumn(Name));  // F2 on a fresh row names the macro
    } else if (model_->flags(index) & Qt::ItemIsEditable) {
        list_->edit(index);
    }
}

bool editMacros(QWidget* parent, SourceRecord& r, int module) {
    if (module < 0 || module >= rec::kModules) return false;
    MacroEditor editor(MacroData::fromModule(r, module));
    MacroEditorDialog dialog(editor, parent);
    dialog.setCandidate([&r, module](const MacroData& data) {
        std::unique_ptr<SourceRecord> candidate = copyRecord(r);
        storeMacroEdit(*candidate, module, &data);
        return candidate;
    });
    if (dialog.exec() != QDialog::Accepted) {
        storeMacroEdit(r, module, nullptr);
        return false;
    }
    const MacroData result = editor.takeData();
    storeMacroEdit(r, module, &result);
    return true;
}

}  // namespace sf::gui
