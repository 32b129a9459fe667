#include "patchtools/converterdialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "patchtools/listsupport.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kHelpTopic = 2021;

struct BoxLayout {
    int id;
    const char* label;  // null: shares the row of the box before
};
struct TypeLayout {
    int type;
    const char* radio;
    std::vector<BoxLayout> boxes;
};
const std::vector<TypeLayout>& typeLayouts() {
    static const std::vector<TypeLayout> layouts{
        {1, "Copy bytes", {{201, "From byte"}, {203, "to byte"}, {205, "number of bytes"}}},
        {2,
         "Copy bits",
         {{207, "From byte / bit"},
          {208, nullptr},
          {210, "to byte / bit"},
          {211, nullptr},
          {213, "number of bits"}}},
        {3,
         "Loop start ",
         {{219, "Loop number"}, {215, "Source increment"}, {217, "Dest. increment"}}},
        {4, "Loop end", {}},
    };
    return layouts;
}
}  // namespace

bool DigitsOnly::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString t = key->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !t.at(0).isDigit()) return true;
    }
    return QObject::eventFilter(watched, event);
}

OperationDialog::OperationDialog(const OperationForm& form, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Operation"));
    types_ = new QButtonGroup(this);
    auto* digits = new DigitsOnly(this);
    auto* grid = new QGridLayout;
    int line = 0;
    QWidget* previous = nullptr;
    for (const TypeLayout& kind : typeLayouts()) {
        auto* radio = new QRadioButton(QString::fromLatin1(kind.radio), this);
        radio->setObjectName(QStringLiteral("radio%1").arg(kind.type));
        types_->addButton(radio, kind.type);
        grid->addWidget(radio, line, 0);
        if (previous) setTabOrder(previous, radio);
        previous = radio;
        int column = 1;
        for (const BoxLayout& b : kind.boxes) {
            if (b.label) {
                auto* label = new QLabel(QString::fromLatin1(b.label), this);
                grid->addWidget(label, line, column++);
                rowWidgets_[kind.type].push_back(label);
            }
            auto* edit = new QLineEdit(this);
            edit->setObjectName(QStringLiteral("box%1").arg(b.id));
            edit->installEventFilter(digits);
            edit->setText(
                fromDriverText(form.boxes.count(b.id) ? form.boxes.at(b.id) : std::string()));
            edit->setMaximumWidth(70);
            grid->addWidget(edit, line, column++);
            boxes_[b.id] = edit;
            rowWidgets_[kind.type].push_back(edit);
            setTabOrder(previous, edit);
            previous = edit;
        }
        ++line;
    }
    if (QAbstractButton* b = types_->button(form.type)) b->setChecked(true);
    QHBoxLayout* buttons = okCancelRow(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    connect(types_, &QButtonGroup::idClicked, this, [this] { updateEnabling(); });
    updateEnabling();
}

void OperationDialog::chooseType(int type) {
    if (QAbstractButton* b = types_->button(type)) b->setChecked(true);
    updateEnabling();
}

void OperationDialog::updateEnabling() {
    const int chosen = types_->checkedId();
    for (auto& [type, widgets] : rowWidgets_)
        for (QWidget* w : widgets) w->setEnabled(type == chosen);
}

OperationForm OperationDialog::form() const {
    OperationForm f;
    f.type = types_->checkedId() > 0 ? types_->checkedId() : 0;
    for (const auto& [id, edit] : boxes_) f.boxes[id] = toDriverText(edit->text());
    return f;
}

PatchConverterDialog::PatchConverterDialog(ConverterEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Patch converter"));
    model_ = new ListModel({QString(), QStringLiteral("Operations")}, this);
    model_->rows = [this] { return editor_.listedCount(); };
    model_->text = [this](int row, int column) -> QString {
        if (column == 0) return QString::number(row + 1);
        return fromDriverText(operationText(editor_.operation(row)));
    };
    list_ = new ListView(this);
    list_->setModel(model_);
    list_->setColumnWidths({40, 460});
    deleteButton_ = sideButton(QStringLiteral("&Delete"), QStringLiteral("deleteButton"), this);
    insertButton_ = sideButton(QStringLiteral("&Insert"), QStringLiteral("insertButton"), this);
    finalSize_ = new QLineEdit(fromDriverText(editor_.finalSizeText), this);
    finalSize_->setObjectName(QStringLiteral("finalSize"));
    const auto [ok, cancel, help] = dialogButtons(this, kHelpTopic);
    note_ = noteLabel(this);
    room_ = noteLabel(this);

    auto* side = new QVBoxLayout;
    side->addWidget(deleteButton_);
    side->addWidget(insertButton_);
    side->addSpacing(12);
    side->addWidget(new QLabel(QStringLiteral("Final size"), this));
    side->addWidget(finalSize_);
    side->addStretch();
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addWidget(help);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Double click on a value to edit it"), this));
    layout->addLayout(row);
    layout->addWidget(note_);
    layout->addWidget(room_);
    resize(640, 380);

    connect(list_, &ListView::cellActivated, this,
            [this](const QModelIndex& i) { editRow(i.row()); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] {
        const auto next = editor_.remove(list_->selectedRow());
        relist(next.value_or(-1));
    });
    connect(insertButton_, &QPushButton::clicked, this, [this] {
        const int row = list_->selectedRow();
        const auto added = editor_.insert(row >= 0 ? std::optional<int>(row) : std::nullopt);
        relist(added.value_or(row));
    });
    setTabOrder(list_, deleteButton_);
    setTabOrder(deleteButton_, insertButton_);
    setTabOrder(insertButton_, finalSize_);
    setTabOrder(finalSize_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, help);
    relist(-1);
    list_->setFocus();
}

bool PatchConverterDialog::editRow(int row) {
    if (row < 0 || row >= editor_.listedCount()) return false;
    OperationDialog dialog(OperationForm::load(editor_.operation(row)), this);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.form().apply(editor_.operation(row));
    relist(row);
    return true;
}

void PatchConverterDialog::accept() {
    editor_.finalSizeText = toDriverText(finalSize_->text());
    if (candidate_ && !confirmDriverRoom(*candidate_())) return;
    QDialog::accept();
}

void PatchConverterDialog::setCandidate(std::function<std::unique_ptr<SourceRecord>()> candidate) {
    candidate_ = std::move(candidate);
    updateButtons();
}

void PatchConverterDialog::relist(int select) {
    model_->refresh();
    list_->selectRow(select);
    updateButtons();
}

void PatchConverterDialog::updateButtons() {
    const int row = list_->selectedRow();
    const std::optional<int> sel = row >= 0 ? std::optional<int>(row) : std::nullopt;
    deleteButton_->setEnabled(editor_.canDelete(sel));
    insertButton_->setEnabled(editor_.canInsert(sel));
    note_->setText(fromUtf8(editor_.insertRefusal()));
    if (candidate_) showDriverRoom(room_, *candidate_());
}

bool editConverter(QWidget* parent, SourceRecord& r, int module) {
    if (module < 0 || module >= rec::kModules) return false;
    ConverterEditor editor(r, module);
    PatchConverterDialog dialog(editor, parent);
    dialog.setCandidate([&r, &editor, module] {
        std::unique_ptr<SourceRecord> candidate = copyRecord(r);
        editor.apply(*candidate, module);
        return candidate;
    });
    if (dialog.exec() != QDialog::Accepted) return false;
    editor.apply(r, module);
    return true;
}

}  // namespace sf::gui
