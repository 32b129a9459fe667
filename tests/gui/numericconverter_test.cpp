// The numeric converter typed into as a user would.
#include "sysex/numericconverter.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using NumericConverter = sf::gui::NumericConverter;
using F = sf::ConverterField;
using sf::savedConverterState;

class NumericConverterTest : public QObject {
    Q_OBJECT
    NumericConverter* c_ = nullptr;

    QString text(F f) { return c_->field(f)->text(); }
    void typeInto(F f, const QString& keys) {
        QLineEdit* e = c_->field(f);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, keys);
    }

  private slots:
    void init() {
        savedConverterState() = {};
        c_ = NumericConverter::showConverter(nullptr);
    }
    void cleanup() {
        if (NumericConverter::instance()) NumericConverter::instance()->close();
        QTRY_VERIFY(!NumericConverter::instance());
    }

    void typingWidensTheRangeAndRewritesEveryField() {
        QVERIFY(c_->isVisible());
        QCOMPARE(c_->windowTitle(), QString("Numeric Converter"));
        QVERIFY(!c_->isModal());
        QTest::mouseClick(c_->sizeButton(8), Qt::LeftButton);
        QCOMPARE(c_->rangeLabel(F::Signed)->text(), QString("(-128 / 127)"));
        typeInto(F::Unsigned, "200");
        QVERIFY(c_->sizeButton(16)->isChecked());
        QCOMPARE(c_->rangeLabel(F::Hex)->text(), QString("(0 / FFFF)"));
        QCOMPARE(text(F::Signed), QString("200"));
        QCOMPARE(text(F::Hex), QString("C8"));
        QCOMPARE(text(F::Bits), QString("00000000-11001000"));
        QCOMPARE(text(F::Roland), QString("01, 48"));
        QCOMPARE(text(F::Nibbles), QString("C, 8"));
        QCOMPARE(text(F::Ascii), QString(""));  // 200 is no ASCII character
        QVERIFY(!c_->label(F::Ascii)->isEnabled());

        QTest::mouseClick(c_->sizeButton(8), Qt::LeftButton);
        typeInto(F::Signed, "-1");
        QVERIFY(c_->sizeButton(8)->isChecked());
        QCOMPARE(text(F::Unsigned), QString("4294967295"));
        QCOMPARE(text(F::Hex), QString("FFFFFFFF"));
        QTest::mouseClick(c_->sizeButton(8), Qt::LeftButton);
        QCOMPARE(text(F::Unsigned), QString("255"));

        typeInto(F::Ascii, "A");
        QCOMPARE(text(F::Unsigned), QString("65"));
        QVERIFY(c_->label(F::Ascii)->isEnabled());
    }

    void fieldsRefuseCharactersOutsideTheirFilterAndLimit() {
        const struct {
            F field;
            const char* keys;
            const char* shown;
        } cases[] = {
            {F::Unsigned, "12a-3", "123"},
            {F::Signed, "-4x5", "-45"},
            {F::Hex, "fgG1", "f1"},
            {F::Bits, "102 1", "10 1"},
            {F::Unsigned, "123456789012", "1234567890"},  // 10 characters
            {F::Hex, "123456789", "12345678"},
            {F::Roland, "7g,1;z", "7,1;"},
        };
        for (const auto& c : cases) {
            typeInto(c.field, c.keys);
            QCOMPARE(text(c.field), QString(c.shown));
        }
        // In the decimal group form hexadecimal letters are refused.
        QTest::mouseClick(c_->groupFormButton(1), Qt::LeftButton);
        typeInto(F::Nibbles, "1a5");
        QCOMPARE(text(F::Nibbles), QString("15"));
        QCOMPARE(text(F::Unsigned), QString("15"));  // 1 × 16 + 5 ... read as groups 15
    }

    void groupsAndBitsBeepOnWhatDoesNotFit() {
        typeInto(F::Roland, "7F, 7F");
        QCOMPARE(text(F::Unsigned), QString("16383"));
        QCOMPARE(c_->beeps(), 0);
        typeInto(F::Roland, "80");
        QCOMPARE(text(F::Unsigned), QString("0"));
        QVERIFY(c_->beeps() > 0);
        const int before = c_->beeps();
        typeInto(F::Bits, QString(33, '1'));
        QCOMPARE(text(F::Bits), QString(33, '1'));
        QCOMPARE(text(F::Unsigned), QString("4294967295"));
        QVERIFY(c_->beeps() > before);
        typeInto(F::Unsigned, "0");
        QCOMPARE(text(F::Roland), QString("00"));
        QCOMPARE(text(F::Nibbles), QString("0"));
    }

    void oneWindowWhoseStateOutlivesIt() {
        QCOMPARE(NumericConverter::showConverter(nullptr), c_);
        QTest::mouseClick(c_->sizeButton(16), Qt::LeftButton);
        QTest::mouseClick(c_->groupFormButton(1), Qt::LeftButton);
        typeInto(F::Hex, "3FF");
        c_->close();
        QTRY_VERIFY(!NumericConverter::instance());
        c_ = NumericConverter::showConverter(nullptr);
        QCOMPARE(text(F::Unsigned), QString("1023"));
        QVERIFY(c_->sizeButton(16)->isChecked());
        QVERIFY(c_->groupFormButton(1)->isChecked());
        QCOMPARE(text(F::Roland), QString("7, 127"));
    }
};

QTEST_MAIN(NumericConverterTest)
#include "numericconverter_test.moc"
