// "Analyse with driver..." as an author uses it: a binary document analysed
// with an open driver, the bytes of a patch selected from its row, a finding
// followed to its setting, the setting corrected and F5 analysing again.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "instrument/analysiswindow.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/memorydocument.h"
#include "sysex/memoryview.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

class AnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void analyseFollowAFindingAndAnalyseAgain();
};

void AnalysisTest::analyseFollowAFindingAndAnalyseAgain() {
    AppFixture f;
    // A module of one 4-byte patch per message, 2-character names; the
    // driver expects three patches where the dump holds two.
    const QString driver = f.makeSource("k.d", 2);
    for (const QStringList& args :
         {QStringList{"choose", driver, "108:0", "Dump memory and display patch names"},
          QStringList{"set", driver, "224:0", "$F0,$43,$10"},
          QStringList{"set", driver, "177:0", "3"}, QStringList{"set", driver, "181:0", "3"},
          QStringList{"set", driver, "182:0", "4"}, QStringList{"set", driver, "238:0", "2"},
          QStringList{"set", driver, "256:0", "1"}, QStringList{"set", driver, "257:0", "4"}})
        QCOMPARE(sf::testsupport::runCli(args), 0);
    const QString dumpFile = f.path("two.syx");
    {
        QFile out(dumpFile);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(
            QByteArray("\xF0\x43\x10"
                       "Ab\x01\x02\xF7"
                       "\xF0\x43\x10"
                       "Cd\x03\x04\xF7"
                       "\x00",  // a stray byte after the messages
                       17));
    }
    f.frame().openFiles({driver, dumpFile});
    auto* dump = qobject_cast<MemoryDocument*>(f.frame().documents().activeDocument());
    QVERIFY(dump && dump->view());
    SourceView* source = f.frame().sourceViews().front();
    // As if a "Request dump" of the second module had received the bytes.
    dump->setRequestOrigin(driver, 1);

    // The chooser offers the open driver with that module; the author picks
    // the first one, OK analyses.
    sf::testsupport::onNextDialog<AnalyseDialog>([](AnalyseDialog* d) {
        QCOMPARE(d->sourceBox()->currentText(), QStringLiteral("k.d"));
        QCOMPARE(d->moduleBox()->currentIndex(), 1);
        QTest::keyClick(d->moduleBox(), Qt::Key_Up);
        QCOMPARE(d->moduleBox()->currentText(), QStringLiteral("1: Module"));
        auto* buttons = d->findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    f.trigger("actionAnalyseDump");
    AnalysisWindow* w = analysisWindowOf(dump);
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->messageList()->model()->rowCount(), 2);
    QCOMPARE(w->patchList()->model()->rowCount(), 2);
    QCOMPARE(w->patchList()->model()->index(1, 6).data().toString(), QStringLiteral("Cd"));
    QCOMPARE(w->findingList()->model()->rowCount(), 2);
    QVERIFY(w->findingList()->model()->index(1, 0).data().toString().contains(
        "Total number of patches says 3"));

    // The hex view shows the analysis in colour: the first header, then data.
    MemoryView* hex = dump->view();
    QVERIFY(hex->backgrounds().size() >= 4);
    QCOMPARE(hex->backgrounds()[0].size, std::size_t(3));
    QVERIFY(hex->backgrounds()[0].colour != hex->backgrounds()[1].colour);

    // A double click on the second patch selects its bytes.
    sf::testsupport::doubleClick(w->patchList(), w->patchList()->model()->index(1, 1));
    QCOMPARE(hex->selectionOffset(), std::size_t(11));
    QCOMPARE(hex->selectionSize(), std::size_t(4));

    // A double click on the finding about the stray byte selects it; one on
    // the count's finding selects its setting in the source window.
    sf::testsupport::doubleClick(w->findingList(), w->findingList()->model()->index(0, 0));
    QCOMPARE(hex->selectionOffset(), std::size_t(16));
    QCOMPARE(hex->selectionSize(), std::size_t(1));
    w->activateWindow();
    sf::testsupport::doubleClick(w->findingList(), w->findingList()->model()->index(1, 0));
    QVERIFY(source->currentRef());
    QCOMPARE(source->currentRef()->id, 181);
    QCOMPARE(source->currentRef()->index1, 0);

    // The author corrects the setting; F5 in the analysis window analyses again.
    QVERIFY(source->editValue(makeRef(181, 0), "2"));
    w->activateWindow();
    QTRY_VERIFY(w->isActiveWindow());
    QTest::keyClick(w, Qt::Key_F5);
    QCOMPARE(w->findingList()->model()->rowCount(), 1);

    // Closing the window takes the colours off the hex view.
    w->close();
    QTRY_VERIFY(hex->backgrounds().empty());
}

QTEST_MAIN(AnalysisTest)
#include "analysis_test.moc"
