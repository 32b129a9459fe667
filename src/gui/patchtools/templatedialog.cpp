#include "patchtools/templatedialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "patchtools/converterdialog.h"
#include "patchtools/listsupport.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kHelpTopic = 2024;
enum Column { Label = 0, Name = 1, Type = 2, Signed = 3, Min = 4, Max = 5, Def = 6 };

QLineEdit* digitsBox(QWidget* parent, int value, const QString& name) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(name);
    edit->setMaxLength(2);
    edit->installEventFilter(new DigitsOnly(edit));
    return edit;
}
}  // namespace

BitRangeDialog::BitRangeDialog(int start, int count, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Bit range of parameter"));
    start_ = digitsBox(this, start, QStringLiteral("bitStart"));
    count_ = digitsBox(this, count, QStringLiteral("bitNumber"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Bit start (0-15)"), start_);
    form->addRow(QStringLiteral("Bit number (1-15)"), count_);
    QHBoxLayout* buttons = okCancelRow(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    start_->setFocus();
    start_->selectAll();
}

ParamEditorDialog::ParamEditorDialog(TemplateEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Parameter templates"));
    model_ = new ListModel(
        {QString(), QStringLiteral("Parameter"), QStringLiteral("Type"), QStringLiteral("Signed"),
         QStringLiteral("Min"), QStringLiteral("Max"), QStringLiteral("Def")},
        this);
    model_->rows = [this] { return editor_.count(); };
    model_->text = [this](int row, int column) -> QString {
        const TemplateView t = editor_.get(row);
        switch (column) {
            case Label:
                return QString::number(row + 1);
            case Name:
                return fromDriverText(t.name);
            case Type:
                return fromDriverText(templateTypeText(t));
            case Min:
                return QString::number(t.min);
            case Max:
                return QString::number(t.max);
            case Def:
                return QString::number(t.def);
            default:
                return {};
        }
    };
    model_->checkState = [this](int row, int column) {
        return column == Signed ? (editor_.get(row).isSigned() ? 1 : 0) : -1;
    };
    model_->commit = [this](int row, int column, const QString& typed) {
        static const TemplateColumn columns[] = {TemplateColumn::Name,   TemplateColumn::Type,
                                                 TemplateColumn::Signed, TemplateColumn::Min,
                                                 TemplateColumn::Max,    TemplateColumn::Def};
        if (column < Name) return false;
        const bool stored = editor_.setText(row, columns[column - Name], toDriverText(typed));
        if (stored)
            QMetaObject::invokeMethod(
                this, [this, row] { relist(row); }, Qt::QueuedConnection);
        return stored;
    };
    list_ = new ListView(this);
    list_->setModel(model_);
    list_->setItemDelegate(new CellDelegate(
        [](const QModelIndex& i) {
            if (i.column() == Name) return param_template::kNameChars + 1;
            return i.column() >= Min ? 0 : -1;
        },
        list_));
    list_->setColumnWidths({40, 140, 80, 50, 60, 60, 64});
    addButton_ = sideButton(QStringLiteral("&Add"), QStringLiteral("addButton"), this);
    deleteButton_ = sideButton(QStringLiteral("&Delete"), QStringLiteral("deleteButton"), this);
    const auto [ok, cancel, help] = dialogButtons(this, kHelpTopic);

    auto* side = new QVBoxLayout;
    for (QPushButton* b : {addButton_, deleteButton_}) side->addWidget(b);
    side->addStretch();
    for (QPushButton* b : {ok, cancel, help}) side->addWidget(b);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(side);
    resize(640, 380);

    connect(list_, &ListView::cellActivated, this, [this](const QModelIndex& i) {
        // A double click on these cells was already taken by its first click.
        if ((i.column() == Type || i.column() == Signed) && !list_->activatedByKey()) return;
        const QRect cell = list_->visualRect(i);
        activateCell(i.row(), i.column(), list_->viewport()->mapToGlobal(cell.bottomLeft()));
    });
    connect(list_, &ListView::cellClicked, this, [this](const QModelIndex& i, const QPoint& at) {
        if (i.column() == Type || i.column() == Signed) activateCell(i.row(), i.column(), at);
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(addButton_, &QPushButton::clicked, this,
            [this] { relist(editor_.add().value_or(selectedRow())); });
    connect(deleteButton_, &QPushButton::clicked, this,
            [this] { relist(editor_.remove(selectedRow()).value_or(-1)); });
    setTabOrder(list_, addButton_);
    setTabOrder(addButton_, deleteButton_);
    setTabOrder(deleteButton_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, help);
    relist(-1);  // nothing is chosen until the user selects a row
    list_->setFocus();
}

int ParamEditorDialog::selectedRow() const {
    return list_->selectedRow();
}

void ParamEditorDialog::activateCell(int row, int column, const QPoint& globalPos) {
    if (row < 0 || row >= editor_.count()) return;
    if (column == Signed) {
        editor_.toggleSigned(row);
        relist(row);
    } else if (column == Type) {
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("typeMenu"));
        for (auto c :
             {TemplateTypeChoice::Byte, TemplateTypeChoice::WordLittle, TemplateTypeChoice::WordBig,
              TemplateTypeChoice::BitsLittle, TemplateTypeChoice::BitsBig}) {
            QAction* a = menu.addAction(QString::fromLatin1(templateTypeMenuText(c)));
            a->setData(static_cast<int>(c));
        }
        if (QAction* chosen = menu.exec(globalPos))
            chooseType(row, static_cast<TemplateTypeChoice>(chosen->data().toInt()));
    } else if (column >= Name) {
        list_->selectRow(row);
        list_->edit(model_->index(row, column));
    }
}

void ParamEditorDialog::chooseType(int row, TemplateTypeChoice choice) {
    if (choice == TemplateTypeChoice::BitsLittle || choice == TemplateTypeChoice::BitsBig) {
        const TemplateView t = editor_.get(row);
        BitRangeDialog range(t.bitStart, t.bitCount, this);
        if (range.exec() != QDialog::Accepted) return;
        editor_.setBitRange(row, toDriverText(range.start()->text()),
                            toDriverText(range.count()->text()),
                            choice == TemplateTypeChoice::BitsLittle);
    } else {
        editor_.setType(row, choice);
    }
    relist(row);
}

void ParamEditorDialog::relist(int select) {
    model_->refresh();
    list_->selectRow(select);
    updateButtons();
}

void ParamEditorDialog::updateButtons() {
    addButton_->setEnabled(editor_.canAdd());
    deleteButton_->setEnabled(selectedRow() >= 0);
}

int chooseTemplate(QWidget* parent, MacroData& data) {
    TemplateEditor editor(data);
    ParamEditorDialog dialog(editor, parent);
    if (dialog.exec() != QDialog::Accepted) return -1;
    const int row = dialog.selectedRow();
    return acceptTemplateChoice(data, editor.takeData(),
                                row >= 0 ? std::optional<int>(row) : std::nullopt);
}

}  // namespace sf::gui
