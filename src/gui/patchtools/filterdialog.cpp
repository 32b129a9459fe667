#include "patchtools/filterdialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "patchtools/converterdialog.h"
#include "patchtools/listsupport.h"
#include "patchtools/patchinfo.h"
#include "patchtools/templatedialog.h"
#include "ui/help.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kFilterHelp = 2025;
constexpr int kPatchInfoHelp = 2026;

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// OK (the default button), Cancel and Help in a row.
QHBoxLayout* closingButtons(QDialog* dialog, int helpTopic) {
    auto* ok = new QPushButton(QStringLiteral("&OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = button(QStringLiteral("&Cancel"), QStringLiteral("cancelButton"), dialog);
    auto* help = button(QStringLiteral("&Help"), QStringLiteral("helpButton"), dialog);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(help, &QPushButton::clicked, dialog, [helpTopic] { showHelp(helpTopic); });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);
    return row;
}

QLineEdit* readOnlyBox(QWidget* parent, const QString& name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    return e;
}
}  // namespace

DispatcherDialog::DispatcherDialog(MacroData& data, QWidget* parent)
    : QDialog(parent), data_(data) {
    setWindowTitle(QStringLiteral("Macro filter"));
    model_ = new ListModel({QStringLiteral("Value"), QStringLiteral("Group")}, this);
    model_->rows = [] { return macro_data::kFilterValues; };
    model_->text = [this](int row, int column) {
        return column == 0 ? QString::number(row) : fromDriverText(filterGroupText(data_, row));
    };
    model_->commit = [this](int row, int, const QString& typed) {
        setFilterGroup(data_, row, toDriverText(typed));
        QMetaObject::invokeMethod(
            this, [this, row] { relist(row); }, Qt::QueuedConnection);
        return true;
    };
    list_ = new ListView(this);
    list_->setModel(model_);
    list_->setItemDelegate(
        new CellDelegate([](const QModelIndex& i) { return i.column() == 1 ? 0 : -1; }, list_));
    list_->setColumnWidths({60, 80});
    connect(list_, &ListView::cellActivated, this, [this](const QModelIndex& i) {
        list_->selectRow(i.row());
        list_->edit(model_->index(i.row(), 1));
    });

    reference_ = readOnlyBox(this, QStringLiteral("reference"));
    auto* choose = button(QStringLiteral("..."), QStringLiteral("chooseButton"), this);
    auto* clear = button(QStringLiteral("X"), QStringLiteral("clearButton"), this);
    offset_ = new QLineEdit(nonNegativeText(data_.s16(macro_data::kFilterOffset)).c_str(), this);
    offset_->setObjectName(QStringLiteral("offset"));
    offset_->installEventFilter(new DigitsOnly(offset_));
    andMode_ = new QCheckBox(QStringLiteral(" AND mode"), this);
    andMode_->setObjectName(QStringLiteral("andMode"));
    andMode_->setChecked((data_.u16(macro_data::kFilterFlags) & 1) != 0);

    auto* group = new QGroupBox(QStringLiteral(" Reference parameter"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(reference_, 0, 0, 1, 2);
    grid->addWidget(choose, 0, 2);
    grid->addWidget(clear, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Offset"), group), 1, 0);
    grid->addWidget(offset_, 1, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(group);
    side->addWidget(andMode_);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(closingButtons(this, kFilterHelp));
    resize(520, 420);

    connect(choose, &QPushButton::clicked, this, &DispatcherDialog::chooseReference);
    connect(clear, &QPushButton::clicked, this, [this] {
        data_.setU16(macro_data::kFilterReference, 0xFFFF);
        showReference();
    });
    setTabOrder(list_, choose);
    setTabOrder(choose, clear);
    setTabOrder(clear, offset_);
    setTabOrder(offset_, andMode_);
    showReference();
    relist(-1);
    list_->setFocus();
}

void DispatcherDialog::chooseReference() {
    const int chosen = chooseTemplate(this, data_);
    if (chosen >= 0) data_.setU16(macro_data::kFilterReference, static_cast<std::uint16_t>(chosen));
    showReference();
}

void DispatcherDialog::showReference() {
    reference_->setText(
        fromDriverText(data_.templateName(data_.s16(macro_data::kFilterReference))));
}

void DispatcherDialog::relist(int select) {
    model_->refresh();
    list_->selectRow(select);
}

PatchInfoDialog::PatchInfoDialog(MacroData& data, QWidget* parent) : QDialog(parent), data_(data) {
    setWindowTitle(QStringLiteral("Patch info descriptor"));
    auto* halvesRow = new QHBoxLayout;
    QWidget* previous = nullptr;
    for (int h = 0; h < 2; ++h) {
        Half& half = halves_[static_cast<std::size_t>(h)];
        half.model =
            new ListModel({QString(), QStringLiteral("Value"), QStringLiteral("Tag")}, this);
        half.model->rows = [] { return patch_info::kRows; };
        half.model->text = [this, h](int row, int column) -> QString {
            const Block& b = *data_.patchInfo;
            if (column == 0) return QString::number(row + 1);
            if (column == 1) return fromDriverText(nonNegativeText(patchInfoValue(b, h, row)));
            return fromDriverText(patchInfoTag(b, h, row));
        };
        half.model->commit = [this, h](int row, int column, const QString& typed) {
            if (column == 1)
                setPatchInfoValue(*data_.patchInfo, h, row, toDriverText(typed));
            else
                setPatchInfoTag(*data_.patchInfo, h, row, toDriverText(typed));
            QMetaObject::invokeMethod(
                this, [this, h, row] { relist(h, row); }, Qt::QueuedConnection);
            return true;
        };
        half.list = new ListView(this);
        half.list->setObjectName(QStringLiteral("list%1").arg(h));
        half.list->setModel(half.model);
        half.list->setItemDelegate(new CellDelegate(
            [](const QModelIndex& i) { return i.column() == 0 ? -1 : patch_info::kTagChars + 1; },
            half.list));
        half.list->setColumnWidths({30, 60, 110});
        connect(half.list, &ListView::cellActivated, this, [this, h](const QModelIndex& i) {
            ListView* list = halves_[static_cast<std::size_t>(h)].list;
            list->selectRow(i.row());
            list->edit(list->model()->index(i.row(), i.column() == 0 ? 1 : i.column()));
        });
        half.reference = readOnlyBox(this, QStringLiteral("reference%1").arg(h));
        auto* choose = button(QStringLiteral("..."), QStringLiteral("chooseButton%1").arg(h), this);
        auto* clear = button(QStringLiteral("X"), QStringLiteral("clearButton%1").arg(h), this);
        half.offset =
            new QLineEdit(nonNegativeText(patchInfoOffset(*data_.patchInfo, h)).c_str(), this);
        half.offset->setObjectName(QStringLiteral("offset%1").arg(h));
        connect(choose, &QPushButton::clicked, this, [this, h] { chooseReference(h); });
        connect(clear, &QPushButton::clicked, this, [this, h] {
            setPatchInfoReference(*data_.patchInfo, h, -1);
            showReferences();
        });

        auto* group = new QGroupBox(QStringLiteral(" Reference parameter"), this);
        auto* grid = new QGridLayout(group);
        grid->addWidget(half.reference, 0, 0, 1, 2);
        grid->addWidget(choose, 0, 2);
        grid->addWidget(clear, 0, 3);
        grid->addWidget(new QLabel(QStringLiteral("Offset"), group), 1, 0);
        grid->addWidget(half.offset, 1, 1);
        auto* column = new QVBoxLayout;
        column->addWidget(group);
        column->addWidget(half.list, 1);
        halvesRow->addLayout(column);
        for (QWidget* w : std::initializer_list<QWidget*>{choose, clear, half.offset, half.list}) {
            if (previous) setTabOrder(previous, w);
            previous = w;
        }
        relist(h, -1);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(halvesRow);
    layout->addLayout(closingButtons(this, kPatchInfoHelp));
    resize(600, 480);
    showReferences();
}

void PatchInfoDialog::chooseReference(int half) {
    const int chosen = chooseTemplate(this, data_);
    if (chosen >= 0) setPatchInfoReference(*data_.patchInfo, half, chosen);
    showReferences();
}

void PatchInfoDialog::showReferences() {
    for (int h = 0; h < 2; ++h)
        halves_[static_cast<std::size_t>(h)].reference->setText(
            fromDriverText(data_.templateName(patchInfoReference(*data_.patchInfo, h))));
}

void PatchInfoDialog::relist(int half, int select) {
    Half& h = halves_[static_cast<std::size_t>(half)];
    h.model->refresh();
    h.list->selectRow(select);
}

bool editFilter(QWidget* parent, MacroData& data) {
    MacroData duplicate = data;
    DispatcherDialog dialog(duplicate, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptFilter(data, std::move(duplicate), toDriverText(dialog.offset()->text()),
                 dialog.andMode()->isChecked());
    return true;
}

bool editPatchInfo(QWidget* parent, MacroData& data) {
    MacroData duplicate = openPatchInfo(data);
    PatchInfoDialog dialog(duplicate, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptPatchInfo(data, std::move(duplicate), toDriverText(dialog.offset(0)->text()),
                    toDriverText(dialog.offset(1)->text()));
    return true;
}

}  // namespace sf::gui
