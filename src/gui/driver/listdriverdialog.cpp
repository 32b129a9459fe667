#include "driver/listdriverdialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/help.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

constexpr int kHelpTopic = 2022;

QLineEdit* makeEdit(QWidget* parent, const QString& name, int limit, bool digits,
                    const std::string& value) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(limit);
    if (digits) {
        static const QRegularExpression kDigits("[0-9]*");
        edit->setValidator(new QRegularExpressionValidator(kDigits, edit));
    }
    edit->setText(fromDriverText(value));
    return edit;
}

}  // namespace

ListDriverValues& ListDriverDialog::savedValues() {
    static ListDriverValues values;
    return values;
}

ListDriverDialog::ListDriverDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ListDriverDialog");
    setWindowTitle("List driver generator");
    const ListDriverValues& v = savedValues();
    name_ = makeEdit(this, "driverName", 9, false, v.driverName);
    nameLength_ = makeEdit(this, "patchNameLength", 3, true, v.patchNameLength);
    columns_ = makeEdit(this, "columns", 4, true, v.columns);
    rows_ = makeEdit(this, "rows", 4, true, v.rows);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel("Driver name", this), 0, 0);
    top->addWidget(name_, 0, 1);
    top->addWidget(new QLabel("Patch name length", this), 1, 0);
    top->addWidget(nameLength_, 1, 1);
    top->addWidget(new QLabel("Number of columns", this), 2, 0);
    top->addWidget(columns_, 2, 1);
    top->addWidget(new QLabel("Number of rows", this), 3, 0);
    top->addWidget(rows_, 3, 1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Bank name", this), 0, 0);
    grid->addWidget(new QLabel("Bank select", this), 0, 1);
    grid->addWidget(new QLabel("1st prog.", this), 0, 2);
    for (int r = 0; r < kListDriverRows; ++r) {
        const auto& b = v.banks[static_cast<std::size_t>(r)];
        const auto i = static_cast<std::size_t>(r);
        banks_[i] = makeEdit(this, QString("bankName%1").arg(r), 9, false, b.name);
        selects_[i] = makeEdit(this, QString("bankSelect%1").arg(r), 6, true, b.bankSelect);
        firsts_[i] = makeEdit(this, QString("firstProgram%1").arg(r), 6, true, b.firstProgram);
        grid->addWidget(banks_[i], r + 1, 0);
        grid->addWidget(selects_[i], r + 1, 1);
        grid->addWidget(firsts_[i], r + 1, 2);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
    help->setObjectName("help");
    connect(buttons, &QDialogButtonBox::accepted, this, &ListDriverDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { showHelp(kHelpTopic); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

ListDriverValues ListDriverDialog::values() const {
    ListDriverValues v;
    v.driverName = toDriverText(name_->text());
    v.patchNameLength = toDriverText(nameLength_->text());
    v.columns = toDriverText(columns_->text());
    v.rows = toDriverText(rows_->text());
    for (std::size_t r = 0; r < kListDriverRows; ++r) {
        v.banks[r].name = toDriverText(banks_[r]->text());
        v.banks[r].bankSelect = toDriverText(selects_[r]->text());
        v.banks[r].firstProgram = toDriverText(firsts_[r]->text());
    }
    return v;
}

void ListDriverDialog::accept() {
    savedValues() = values();
    record_ = generateListDriver(savedValues());
    QDialog::accept();
}

}  // namespace sf::gui
