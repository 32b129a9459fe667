// The numeric converter typed into as a user would. What each field shows
// is the core's; here: the keys go through the fields' filters into the
// other fields, the size buttons and the beeps, the Bits field keeps its
// width, and the one window's state outlives it.
#include "sysex/numericconverter.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using NumericConverter = sf::gui::NumericConverter;
using F = sf::ConverterField;

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
        sf::savedConverterState() = {};
        c_ = NumericConverter::showConverter(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(c_));
    }
    void cleanup() {
        if (NumericConverter::instance()) NumericConverter::instance()->close();
        QTRY_VERIFY(!NumericConverter::instance());
    }

    void typingRewritesTheOtherFields() {
        QTest::mouseClick(c_->sizeButton(8), Qt::LeftButton);
        const int bits8 = c_->field(F::Bits)->width();
        typeInto(F::Unsigned, "2x00");  // the filter drops the letter
        QCOMPARE(text(F::Unsigned), QString("200"));
        QVERIFY(c_->sizeButton(16)->isChecked());
        QCOMPARE(c_->rangeLabel(F::Hex)->text(), QString("(0 / FFFF)"));
        QCOMPARE(text(F::Roland), QString("01, 48"));
        QVERIFY(!c_->label(F::Ascii)->isEnabled());
        typeInto(F::Ascii, "A");
        QCOMPARE(text(F::Unsigned), QString("65"));
        QVERIFY(c_->label(F::Ascii)->isEnabled());
        QCOMPARE(c_->beeps(), 0);
        typeInto(F::Roland, "80");
        QVERIFY(c_->beeps() > 0);

        // A whole 32-bit pattern fits the Bits field, as wide as at 8 bits.
        QTest::mouseClick(c_->sizeButton(32), Qt::LeftButton);
        typeInto(F::Hex, "FFFFFFFF9");  // eight digits at most
        QCOMPARE(text(F::Hex), QString("FFFFFFFF"));
        QCoreApplication::processEvents();
        QLineEdit* bits = c_->field(F::Bits);
        QCOMPARE(bits->width(), bits8);
        QCOMPARE(bits->text().size(), 35);
        QVERIFY(bits->fontMetrics().horizontalAdvance(bits->text()) < bits->contentsRect().width());
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
        QCOMPARE(text(F::Roland), QString("7, 127"));
    }
};

QTEST_MAIN(NumericConverterTest)
#include "numericconverter_test.moc"
