#include "sysex/messagedialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "patchtools/listsupport.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kHelpTopic = 2004;
constexpr int kValueChars = 199;
}  // namespace

ValueDialog::ValueDialog(const QString& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Value"));
    auto* text = new QLabel(
        QStringLiteral("You can type an hexadecimal value, a decimal value, an ASCII value (with "
                       "'quotes') or you can choose a tag in the drop-down list"),
        this);
    text->setWordWrap(true);
    field_ = new QComboBox(this);
    field_->setObjectName(QStringLiteral("valueField"));
    field_->setEditable(true);
    field_->setInsertPolicy(QComboBox::NoInsert);
    field_->lineEdit()->setMaxLength(kValueChars);
    for (const std::string& d : sortedTagDescriptions()) field_->addItem(fromDriverText(d));
    const std::string initialText = toDriverText(initial);
    if (auto i = valueDialogSelection(initialText)) {
        field_->setCurrentIndex(*i);
    } else {
        field_->setCurrentIndex(-1);
        field_->setEditText(initial);
    }
    field_->lineEdit()->selectAll();
    field_->installEventFilter(this);
    field_->lineEdit()->installEventFilter(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(field_);
    layout->addWidget(buttons);
    field_->setFocus();
}

void ValueDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The field opens wholly selected, so that typing replaces it.
    field_->setFocus();
    field_->lineEdit()->selectAll();
}

bool ValueDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || field_->view()->isVisible())
        return QDialog::eventFilter(watched, event);
    // An inline completion is the selected rest of the field: take it whole,
    // in the list's spelling, then close as OK does.
    QLineEdit* edit = field_->lineEdit();
    QCompleter* completer = field_->completer();
    if (completer && edit->hasSelectedText() &&
        edit->selectionStart() + edit->selectedText().size() == edit->text().size() &&
        !completer->currentCompletion().isEmpty())
        edit->setText(completer->currentCompletion());
    accept();
    return true;
}

QString ValueDialog::result() const {
    return field_->currentText().left(kValueChars);
}

SysexMessageDialog::SysexMessageDialog(MessageEditor& editor, QWidget* parent,
                                       std::function<void(QWidget*, std::vector<MessageUnit>)> send)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Midi Message"));
    model_ = new ListModel({QString(), QStringLiteral("Hexa"), QStringLiteral("Decimal"),
                            QStringLiteral("Ascii"), QStringLiteral("Comment")},
                           this);
    model_->rows = [this] { return editor_.capacity(); };
    model_->text = [this](int row, int column) -> QString {
        const MessageRow& r = editor_.rows()[static_cast<std::size_t>(row)];
        switch (column) {
            case 0:
                return QString::number(r.label);
            case 1:
                return fromDriverText(r.hexa);
            case 2:
                return fromDriverText(r.decimal);
            case 3:
                return fromDriverText(r.ascii);
            default:
                return fromDriverText(r.comment);
        }
    };
    list_ = new ListView(this);
    list_->setModel(model_);
    list_->setColumnWidths({40, 70, 70, 70, 180});
    deleteButton_ = sideButton(QStringLiteral("&Delete"), QStringLiteral("deleteButton"), this);
    insertButton_ = sideButton(QStringLiteral("&Insert"), QStringLiteral("insertButton"), this);
    const auto [ok, cancel, help] = dialogButtons(this, kHelpTopic);
    note_ = noteLabel(this);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {deleteButton_, insertButton_, ok, cancel, help}) buttons->addWidget(b);
    if (send) {
        auto* sendButton =
            sideButton(QStringLiteral("&Send..."), QStringLiteral("sendButton"), this);
        buttons->addWidget(sendButton);
        connect(sendButton, &QPushButton::clicked, this, [this, send] {
            const auto& u = editor_.units();
            send(this, std::vector<MessageUnit>(
                           u.begin(), u.begin() + std::min<std::ptrdiff_t>(
                                                      editor_.count(), std::ptrdiff_t(u.size()))));
        });
    }
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Double click on a value to edit it"), this));
    layout->addLayout(row);
    layout->addWidget(note_);
    resize(560, 420);

    connect(list_, &ListView::cellActivated, this,
            [this](const QModelIndex& i) { editRow(i.row()); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] {
        const int row = list_->selectedRow();
        editor_.remove(row);
        relist(row);
    });
    connect(insertButton_, &QPushButton::clicked, this, [this] {
        const int row = list_->selectedRow();
        editor_.insert(row);
        relist(row);
    });
    setTabOrder(list_, deleteButton_);
    setTabOrder(deleteButton_, insertButton_);
    setTabOrder(insertButton_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, help);
    relist(-1);
    list_->setFocus();
}

bool SysexMessageDialog::editRow(int row) {
    if (row < 0 || row >= editor_.capacity()) return false;
    const QString initial = fromDriverText(editor_.rows()[static_cast<std::size_t>(row)].hexa);
    ValueDialog value(initial, this);
    if (value.exec() != QDialog::Accepted) return false;
    const QString result = value.result();
    if (result == initial) return false;
    editor_.edit(row, toDriverText(result));
    relist(row);
    return true;
}

void SysexMessageDialog::relist(int select) {
    model_->refresh();
    list_->selectRow(select);
    showNote();
    updateButtons();
}

void SysexMessageDialog::showNote() {
    note_->setText(
        editor_.lastEditTruncated()
            ? QStringLiteral("The message holds at most %1 values: the values beyond were dropped.")
                  .arg(editor_.capacity())
            : QString());
}

void SysexMessageDialog::updateButtons() {
    const int row = list_->selectedRow();
    const std::optional<int> sel = row >= 0 ? std::optional<int>(row) : std::nullopt;
    deleteButton_->setEnabled(editor_.canDelete(sel));
    insertButton_->setEnabled(editor_.canInsert(sel));
}

bool editMessage(QWidget* parent, std::span<MessageUnit> units, int& count, int capacity,
                 int headerLength, std::function<void(QWidget*, std::vector<MessageUnit>)> send) {
    MessageEditor editor(units, count, capacity, headerLength);
    SysexMessageDialog dialog(editor, parent, std::move(send));
    if (dialog.exec() != QDialog::Accepted || !editor.changed()) return false;
    const auto& result = editor.units();
    std::copy_n(result.begin(), std::min(result.size(), units.size()), units.begin());
    count = editor.count();
    return true;
}

}  // namespace sf::gui
