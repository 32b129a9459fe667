// The "Numeric Converter": a modeless window showing one 32-bit value in
// every notation of SysEx work at once; typing into any field rewrites the
// others. One window at most; its value, range and group form are kept
// for the next opening while the program runs.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>

#include "sysex/numconv.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace sf::gui {

class NumericConverter : public QDialog {
    Q_OBJECT
  public:
    // "Numeric converter...": opens the window, or restores it and brings
    // it to the front when it is open.
    static NumericConverter* showConverter(QWidget* parent);
    static NumericConverter* instance();

    ~NumericConverter() override;

    QLineEdit* field(ConverterField f) const { return fields_[index(f)]; }
    QLabel* label(ConverterField f) const { return labels_[index(f)]; }
    // The range text beside the signed, unsigned and hexadecimal fields.
    QLabel* rangeLabel(ConverterField f) const;
    QRadioButton* sizeButton(int bits) const;
    QRadioButton* groupFormButton(int form) const { return form == 1 ? decimal_ : hexadecimal_; }
    const ::sf::NumericConverter& converter() const { return core_; }
    // Warning beeps sounded since the window opened.
    int beeps() const { return beeps_; }

  private:
    explicit NumericConverter(QWidget* parent);
    static std::size_t index(ConverterField f) { return static_cast<std::size_t>(f); }
    void typed(ConverterField f, const QString& text);
    void writeFields();
    void beep(int count);

    ::sf::NumericConverter core_;
    std::array<QLineEdit*, kConverterFieldCount> fields_{};
    std::array<QLabel*, kConverterFieldCount> labels_{};
    QLabel* signedRange_;
    QLabel* unsignedRange_;
    QLabel* hexRange_;
    QRadioButton* byte_;
    QRadioButton* word_;
    QRadioButton* long_;
    QRadioButton* hexadecimal_;
    QRadioButton* decimal_;
    int beeps_ = 0;
};

}  // namespace sf::gui
