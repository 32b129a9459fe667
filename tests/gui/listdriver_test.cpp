// "List driver generator" filled in as a user would.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "driver/listdriverdialog.h"
#include "ui/help.h"

// GCC 12 reports a false -Wrestrict inside std::string assignment at -O3.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

using namespace sf;
using namespace sf::gui;

class ListDriverTest : public QObject {
    Q_OBJECT

    static void type(QLineEdit* e, const QString& keys) {
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, keys);
    }
    static void pressOk(ListDriverDialog& d) {
        for (auto* b : d.findChildren<QPushButton*>())
            if (b->text() == "&OK") QTest::mouseClick(b, Qt::LeftButton);
    }

  private slots:
    void init() { ListDriverDialog::savedValues() = {}; }

    void digitFieldsTakeOnlyDigitsUpToTheirLimit() {
        ListDriverDialog d;
        d.show();
        QCOMPARE(d.windowTitle(), QString("List driver generator"));
        const struct {
            QLineEdit* edit;
            const char* keys;
            const char* kept;
        } cases[] = {
            {d.patchNameLength(), "1a2b34", "123"},
            {d.columns(), "-8x12345", "8123"},
            {d.rows(), "16 ", "16"},
            {d.bankSelect(3), "1234567", "123456"},
            {d.firstProgram(15), "0x7F", "07"},
            {d.driverName(), "My (Synth) 2", "My (Synth"},  // any characters, 9 of them
            {d.bankName(0), "Preset Bank", "Preset Ba"},
        };
        for (const auto& c : cases) {
            type(c.edit, c.keys);
            QCOMPARE(c.edit->text(), QString(c.kept));
        }
    }

    void okCreatesTheSourceTheGeneratorMakesOfTheValues() {
        ListDriverDialog d;
        d.show();
        type(d.driverName(), "KEYS");
        type(d.patchNameLength(), "10");
        type(d.columns(), "8");
        type(d.rows(), "16");
        type(d.bankName(0), "ROM1");
        type(d.bankSelect(0), "3");
        type(d.firstProgram(0), "32");
        type(d.bankName(2), "ROM3");
        type(d.bankSelect(2), "700");
        pressOk(d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        auto made = d.takeRecord();
        QVERIFY(made);

        ListDriverValues v;
        v.driverName = "KEYS";
        v.patchNameLength = "10";
        v.columns = "8";
        v.rows = "16";
        v.banks[0] = {"ROM1", "3", "32"};
        v.banks[2] = {"ROM3", "700", ""};
        auto expected = generateListDriver(v);
        QVERIFY(sameRecord(*made, *expected));
        QCOMPARE(made->modU16(0, rec::kModPatchesPerSubBank), 128);

        // The next opening shows the values typed.
        ListDriverDialog again;
        QCOMPARE(again.rows()->text(), QString("16"));
        QCOMPARE(again.bankName(2)->text(), QString("ROM3"));
        QCOMPARE(again.bankSelect(2)->text(), QString("700"));
    }

    void emptyDriverNameMakesNothingButKeepsTheValues() {
        {
            ListDriverDialog d;
            type(d.bankName(0), "A");
            type(d.columns(), "4");
            pressOk(d);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(!d.takeRecord());
        }
        {
            ListDriverDialog d;
            QCOMPARE(d.columns()->text(), QString("4"));
            type(d.columns(), "9");
            d.reject();  // Cancel keeps the previous values
        }
        ListDriverDialog d;
        QCOMPARE(d.columns()->text(), QString("4"));
        int topic = 0;
        auto previous = setHelpHandler([&](int t) { topic = t; });
        QTest::mouseClick(d.findChild<QPushButton*>("help"), Qt::LeftButton);
        setHelpHandler(previous);
        QCOMPARE(topic, 2022);
    }
};

QTEST_MAIN(ListDriverTest)
#include "listdriver_test.moc"
