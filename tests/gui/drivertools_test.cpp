// "Check driver", "Compare with...", "Export as text..." and "Import text..."
// as a user drives them: the findings list beside the source, a double click
// that selects the row, the question before saving a driver with errors.
#include "driver/drivertools.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QTest>
#include <QTreeView>

#include "app/sourcedocument.h"
#include "editor/document.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

class DriverToolsTest : public QObject {
    Q_OBJECT
  private slots:
    void checkListsFindingsAndDoubleClickSelectsTheRow();
    void savingADriverWithErrorsAsksOnce();
    void compareWithAFileListsTheDifferences();
    void exportAndImportText();
    void brokenTextOpensNothing();
};

namespace {

SourceView* openSource(AppFixture& f, const QString& path) {
    f.frame().openFiles({path});
    return f.frame().activeSourceView();
}

// Double-clicks row `row` of a list as the user does.
void doubleClickRow(QTreeView* list, int row) {
    const QModelIndex index = list->model()->index(row, 1);
    list->scrollTo(index);
    const QPoint p = list->visualRect(index).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
}

}  // namespace

void DriverToolsTest::checkListsFindingsAndDoubleClickSelectsTheRow() {
    AppFixture f;
    SourceView* view = openSource(f, f.makeSource("a.d"));
    QVERIFY(view);
    f.trigger("actionCheckDriver");
    QDockWidget* dock = findingsDock();
    QVERIFY(dock && dock->isVisible());
    QVERIFY(dock->windowTitle().contains("3 findings"));
    auto* list = dock->findChild<QTreeView*>("rowList");
    QVERIFY(list);
    QCOMPARE(list->model()->rowCount(), 3);
    QCOMPARE(list->model()->index(1, 0).data().toString(), QStringLiteral("warning"));
    QVERIFY(!list->model()->index(1, 0).data(Qt::DecorationRole).isNull());
    QCOMPARE(list->model()->index(1, 1).data().toString(),
             QStringLiteral("General settings / Identification / File name"));
    QVERIFY(list->model()->index(1, 2).data().toString().contains("no file name"));

    doubleClickRow(list, 1);
    QVERIFY(view->currentRef());
    QCOMPARE(view->currentRef()->id, 6);
    doubleClickRow(list, 2);
    QCOMPARE(view->currentRef()->id, 8);

    // After a correction, checking again lists one finding fewer.
    QVERIFY(view->editValue(makeRef(6), "SYNTH"));
    f.trigger("actionCheckDriver");
    QCOMPARE(list->model()->rowCount(), 2);
}

void DriverToolsTest::savingADriverWithErrorsAsksOnce() {
    AppFixture f;
    const QString path = f.makeSource("a.d");
    SourceView* view = openSource(f, path);
    QVERIFY(view->editValue(makeRef(6), "GENERIC"));  // a reserved name: an error
    const QByteArray before = bytesOf(path);
    // The question itself is the core's; here: No leaves the file alone.
    f.prompter().answers = {Answer::No};
    f.trigger("actionSave");
    QCOMPARE(bytesOf(path), before);
    QVERIFY(f.frame().activeSourceDocument()->isModified());
}

void DriverToolsTest::compareWithAFileListsTheDifferences() {
    AppFixture f;
    const QString other = f.makeSource("b.d");
    sf::testsupport::runCli({"set", other, "9", "113"});
    SourceView* view = openSource(f, f.makeSource("a.d"));
    f.answerFileDialogs(other);
    sf::testsupport::onNextDialog<QInputDialog>([](QInputDialog* d) {
        d->setTextValue("Other file...");
        d->accept();
    });
    f.trigger("actionCompareWith");
    QDockWidget* dock = compareDock();
    QVERIFY(dock && dock->isVisible());
    auto* list = dock->findChild<QTreeView*>("rowList");
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(list->model()->index(0, 0).data().toString(),
             QStringLiteral("General settings / Identification / Driver version"));
    QCOMPARE(list->model()->index(0, 1).data().toString(), QStringLiteral("100"));
    QCOMPARE(list->model()->index(0, 2).data().toString(), QStringLiteral("113"));
    doubleClickRow(list, 0);
    QCOMPARE(view->currentRef()->id, 9);
}

void DriverToolsTest::exportAndImportText() {
    AppFixture f;
    const QString source = f.makeSource("a.d");
    sf::testsupport::runCli({"set", source, "4", "Synth"});
    QVERIFY(openSource(f, source));
    QString suggested;
    QString answer = f.path("a.txt");
    QStringList answers;  // before `answer`
    f.answerFileDialogs([&](const QString& folder) {
        suggested = folder;
        return answers.isEmpty() ? answer : answers.takeFirst();
    });
    f.trigger("actionExportText");
    QCOMPARE(suggested, f.path("a.txt"));
    QVERIFY(bytesOf(f.path("a.txt")).contains("4 = \"Synth\""));

    // Another existing file: replaced only on Yes; No shows the dialog again.
    QVERIFY(writeFile(f.path("b.txt"), "old"));
    answers = {f.path("b.txt"), QString()};
    f.prompter().answers = {Answer::No};
    f.trigger("actionExportText");
    QCOMPARE(suggested, f.path("b.txt"));  // the dialog again, at the name refused
    QCOMPARE(f.prompter().messages.back().text,
             std::string("b.txt already exists. Do you want to replace it?"));
    QCOMPARE(bytesOf(f.path("b.txt")), QByteArray("old"));
    answers = {f.path("b.txt")};
    f.prompter().answers = {Answer::Yes};
    f.trigger("actionExportText");
    QVERIFY(bytesOf(f.path("b.txt")).contains("4 = \"Synth\""));

    // Never over a source that a window has open.
    answer = source;
    f.trigger("actionExportText");
    QVERIFY(readSourceFile(source.toStdString()));
    QCOMPARE(f.prompter().messages.back().text,
             "This file is already open in another window.\n" + source.toStdString());

    answer = f.path("a.txt");
    const auto before = f.frame().documents().documents().size();
    f.trigger("actionImportText");
    QCOMPARE(f.frame().documents().documents().size(), before + 1);
    SourceDocument* imported = f.frame().activeSourceDocument();
    QVERIFY(imported && !imported->hasFile());
    QCOMPARE(imported->source().working().text(16, 17), std::string_view("Synth"));
}

void DriverToolsTest::brokenTextOpensNothing() {
    AppFixture f;
    QVERIFY(writeFile(f.path("bad.txt"), "sysforge source text 1\n9 = 1\n"));
    f.answerFileDialogs(f.path("bad.txt"));
    f.trigger("actionImportText");
    QVERIFY(f.frame().documents().documents().empty());
    QVERIFY(!f.prompter().messages.empty());
    QVERIFY(QString::fromStdString(f.prompter().messages.back().text)
                .contains("line 2: value out of range"));
}

QTEST_MAIN(DriverToolsTest)
#include "drivertools_test.moc"
