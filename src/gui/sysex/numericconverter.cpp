#include "sysex/numericconverter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>

namespace sf::gui {

namespace {

QPointer<NumericConverter> g_converter;

// Refuses what the field's filter refuses, as it is typed or pasted.
class FieldValidator : public QValidator {
  public:
    FieldValidator(const ::sf::NumericConverter& core, ConverterField field, QObject* parent)
        : QValidator(parent), core_(core), field_(field) {}
    State validate(QString& input, int&) const override {
        if (input.size() > ::sf::NumericConverter::limit(field_)) return Invalid;
        for (QChar c : input)
            if (c.unicode() > 0x7F || !core_.accepts(field_, static_cast<char>(c.unicode())))
                return Invalid;
        return Acceptable;
    }

  private:
    const ::sf::NumericConverter& core_;
    ConverterField field_;
};

struct FieldLayout {
    ConverterField field;
    const char* label;
};

constexpr FieldLayout kFields[] = {
    {ConverterField::Signed, "&Signed decimal"},
    {ConverterField::Unsigned, "&Unsigned decimal"},
    {ConverterField::Hex, "&Hexadecimal"},
    {ConverterField::Bits, "&Bits"},
    {ConverterField::Ascii, "&ASCII character"},
    {ConverterField::Roland, "&Roland format (sequence of 7 bit values, from high to low)"},
    {ConverterField::Nibbles, "&Nibbles (sequence of 4 bit values, from high to low)"},
};

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

NumericConverter* NumericConverter::instance() {
    return g_converter.data();
}

NumericConverter* NumericConverter::showConverter(QWidget* parent) {
    if (!g_converter) {
        g_converter = new NumericConverter(parent);
        g_converter->show();
    } else {
        if (g_converter->isMinimized()) g_converter->showNormal();
        g_converter->show();
        g_converter->raise();
        g_converter->activateWindow();
    }
    return g_converter;
}

NumericConverter::NumericConverter(QWidget* parent)
    : QDialog(parent),
      core_(savedConverterState()),
      signedRange_(new QLabel(this)),
      unsignedRange_(new QLabel(this)),
      hexRange_(new QLabel(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setObjectName("NumericConverter");
    setWindowTitle("Numeric Converter");

    auto* grid = new QGridLayout;
    int row = 0;
    for (const FieldLayout& entry : kFields) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString("field_") + converterFieldName(entry.field));
        edit->setMaxLength(::sf::NumericConverter::limit(entry.field));
        edit->setValidator(new FieldValidator(core_, entry.field, edit));
        auto* label = new QLabel(entry.label, this);
        label->setBuddy(edit);
        fields_[index(entry.field)] = edit;
        labels_[index(entry.field)] = label;
        const bool wide =
            entry.field == ConverterField::Roland || entry.field == ConverterField::Nibbles;
        if (wide) {
            grid->addWidget(label, row++, 0, 1, 3);
            grid->addWidget(edit, row++, 0, 1, 3);
        } else {
            grid->addWidget(label, row, 0);
            grid->addWidget(edit, row, 1);
            if (QLabel* range = rangeLabel(entry.field)) grid->addWidget(range, row, 2);
            ++row;
        }
        const ConverterField f = entry.field;
        connect(edit, &QLineEdit::textEdited, this,
                [this, f](const QString& text) { typed(f, text); });
    }

    auto* rangeBox = new QGroupBox(" Value Range ", this);
    byte_ = new QRadioButton(" B&yte (8 bits)", rangeBox);
    word_ = new QRadioButton(" &Word (16 bits)", rangeBox);
    long_ = new QRadioButton(" &Long (32 bits)", rangeBox);
    auto* rangeLayout = new QVBoxLayout(rangeBox);
    auto* sizes = new QButtonGroup(this);
    int bits = 8;
    for (QRadioButton* b : {byte_, word_, long_}) {
        rangeLayout->addWidget(b);
        sizes->addButton(b, bits);
        bits *= 2;
    }
    connect(sizes, &QButtonGroup::idClicked, this, [this](int size) {
        core_.chooseSize(size);
        writeFields();
    });

    auto* formBox = new QGroupBox(this);
    hexadecimal_ = new QRadioButton(" as hexadecimal", formBox);
    decimal_ = new QRadioButton(" as decimal", formBox);
    auto* formLayout = new QVBoxLayout(formBox);
    auto* forms = new QButtonGroup(this);
    forms->addButton(hexadecimal_, 0);
    forms->addButton(decimal_, 1);
    formLayout->addWidget(hexadecimal_);
    formLayout->addWidget(decimal_);
    connect(forms, &QButtonGroup::idClicked, this, [this](int form) {
        core_.chooseGroupForm(form);
        writeFields();
    });

    // Fields and range texts keep one width whatever the range: the Bits
    // field holds a whole 32-bit pattern, the range column its longest text.
    const QFontMetrics fm = fontMetrics();
    const int pattern = fm.horizontalAdvance(QStringLiteral("00000000-00000000-00000000-00000000"));
    for (QLineEdit* edit : fields_)
        if (edit) edit->setMinimumWidth(pattern + 24);
    const int range = fm.horizontalAdvance(QStringLiteral("(-2147483648 / 2147483647)"));
    for (QLabel* label : {signedRange_, unsignedRange_, hexRange_})
        label->setMinimumWidth(range + 4);

    auto* radios = new QHBoxLayout;
    radios->addWidget(rangeBox);
    radios->addWidget(formBox);
    radios->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(radios);
    writeFields();
}

NumericConverter::~NumericConverter() {
    core_.store();
}

QLabel* NumericConverter::rangeLabel(ConverterField f) const {
    switch (f) {
        case ConverterField::Signed:
            return signedRange_;
        case ConverterField::Unsigned:
            return unsignedRange_;
        case ConverterField::Hex:
            return hexRange_;
        default:
            return nullptr;
    }
}

QRadioButton* NumericConverter::sizeButton(int bits) const {
    return bits == 8 ? byte_ : bits == 16 ? word_ : long_;
}

void NumericConverter::beep(int count) {
    for (int i = 0; i < count; ++i) QApplication::beep();
    beeps_ += count;
}

void NumericConverter::typed(ConverterField f, const QString& text) {
    if (core_.updating()) return;
    beep(core_.textChanged(f, text.toLatin1().toStdString()));
    writeFields();
}

void NumericConverter::writeFields() {
    core_.beginUpdate();
    // The field being typed in keeps its text (the core leaves it as typed),
    // and so its cursor.
    for (const FieldLayout& entry : kFields) {
        QLineEdit* edit = fields_[index(entry.field)];
        const QString text = latin1(core_.text(entry.field));
        if (edit->text() != text) edit->setText(text);
    }
    labels_[index(ConverterField::Ascii)]->setEnabled(core_.asciiEnabled());
    signedRange_->setText(core_.signedRange());
    unsignedRange_->setText(core_.unsignedRange());
    hexRange_->setText(core_.hexRange());
    sizeButton(core_.size())->setChecked(true);
    groupFormButton(core_.groupForm())->setChecked(true);
    core_.endUpdate();
}

}  // namespace sf::gui
