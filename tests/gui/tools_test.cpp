// The tools as they are reached from the main window: the searches of a
// source view filling the driver list, opening a driver from it, binary
// documents, the MIDI settings, the list driver generator filled in by hand,
// a dump analysed with its driver, and the driver's check, comparison and
// text form.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <fstream>

#include "app/sourcedocument.h"
#include "driver/driverlistwindow.h"
#include "driver/driversearch.h"
#include "driver/drivertools.h"
#include "driver/listdriverdialog.h"
#include "editor/document.h"
#include "instrument/analysiswindow.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "support/temp_dir.h"
#include "sysex/memorydocument.h"
#include "sysex/memoryview.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisettingsdialog.h"
#include "sysex/midisystem.h"
#include "ui/help.h"
#include "ui/qtprompter.h"

// GCC 12 reports a false -Wrestrict inside std::string assignment at -O3.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kManufacturer = 174;  // "Manufacturer ID" in the header

// A driver of manufacturer 3, which every search here looks for.
void writeDriver(const fs::path& p) {
    auto r = newSource();
    r->setU16(kManufacturer, 3);
    auto image = buildFileImage(*r);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(image->data()),
               static_cast<std::streamsize>(image->size()));
}

DriverSearchRequest request(const fs::path& root) {
    DriverSearchRequest q;
    q.current = newSource();
    q.current->setU16(kManufacturer, 3);
    q.ref = makeRef(10);  // "Manufacturer ID"
    q.mode = SearchMode::SameValue;
    q.root = root;
    return q;
}

SourceView* openSource(AppFixture& f, const QString& path) {
    f.frame().openFiles({path});
    return f.frame().activeSourceView();
}

void pressOk(QDialog& d) {
    for (auto* b : d.findChildren<QPushButton*>())
        if (b->text() == "&OK") QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace

class ToolsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { QCOMPARE(missedDialogs(), 0); }

    void searchFromTheSourceViewOpensTheDriverAtTheRow() {
        AppFixture f;
        QDir().mkpath(f.path("lib/keys"));
        // Module 2 of SYNTH.D and module 0 of DRUMS.D are named "Drums".
        const QString synth = f.makeSource("lib/keys/SYNTH.d", 3);
        runCli({"set", synth, "107:2", "Drums"});
        runCli({"set", f.makeSource("lib/DRUMS.d"), "107:0", "Drums"});
        f.makeSource("lib/OTHER.d", 2);
        const QString current = f.makeSource("current.d", 1);
        runCli({"set", current, "107:0", "Drums"});
        f.app().preferences().driversRoot = f.path("lib").toStdString();

        SFFrameWindow& w = f.frame();
        SourceView* view = openSource(f, current);
        QVERIFY(view->selectRef(makeRef(107, 0)));
        onNextMenu("Search all drivers for the same value");
        QTest::keyClick(view->tree(), Qt::Key_Menu);
        QTRY_VERIFY(DriverListWindow::instance());
        DriverListWindow* list = DriverListWindow::instance();
        QTRY_COMPARE(list->windowTitle(), QString("Driver List (2 items out of 3)"));
        QVERIFY(w.commandAction("actionDriverSelectionList")->isChecked());

        QListView* lv = list->listView();
        const QRect rect = lv->visualRect(lv->model()->index(1, 0));
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {}, rect.center());
        auto* opened = qobject_cast<SourceDocument*>(w.documents().activeDocument());
        QVERIFY(opened && QFileInfo(opened->filePath()) == QFileInfo(synth));
        QCOMPARE(w.focusWidget(), opened->view()->tree());  // the tree takes the keys
        const auto row = opened->view()->currentRef();
        QVERIFY(row && row->id == 107 && row->index1 == 2);

        // Opening it again reuses its window.
        const auto windows = w.client()->subWindowList().size();
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(w.client()->subWindowList().size(), windows);
        list->close();
        QTRY_VERIFY(!w.commandAction("actionDriverSelectionList")->isChecked());
    }

    void searchOfAnEmptyLibraryAsksForThePreferences() {
        AppFixture f;
        testsupport::TempDir lib;
        bool preferences = false;
        QVERIFY(!DriverSearch::start(request(lib.path()), &f.frame(), f.frame().statusBar(),
                                     [&] { preferences = true; }));
        QVERIFY(preferences);
        QCOMPARE(f.prompter().messages.size(), std::size_t(1));
        QCOMPARE(DriverListWindow::instance()->windowTitle(),
                 QString("Driver List (0 items out of 0)"));
    }

    void cancelledSearchKeepsWhatWasFound() {
        AppFixture f;
        testsupport::TempDir lib;
        for (int i = 0; i < 300; ++i) writeDriver(lib / ("D" + std::to_string(1000 + i) + ".D"));
        QStatusBar* bar = f.frame().statusBar();
        QPointer<DriverSearch> s = DriverSearch::start(request(lib.path()), &f.frame(), bar);
        QVERIFY(s);
        QCOMPARE(bar->findChild<QProgressBar*>("searchProgress")->maximum(), 300);
        QSignalSpy done(s.data(), &DriverSearch::finished);
        s->cancel();
        QVERIFY(done.wait(5000));
        const int lines = done[0][0].toInt(), examined = done[0][1].toInt();
        QVERIFY(done[0][2].toBool() || examined == 300);
        QCOMPARE(int(DriverListWindow::instance()->list().size()), lines);
        QCOMPARE(lines, examined);  // every driver examined matched
        QVERIFY(!bar->findChild<QProgressBar*>("searchProgress")->isVisible());
    }

    void closedDriverListReopensWhereItWas() {
        AppFixture f;
        DriverListWindow* w = DriverListWindow::showList(&f.frame());
        QCOMPARE(DriverListWindow::showList(&f.frame()), w);  // one at most
        w->setGeometry(120, 130, 300, 200);
        w->close();
        QTRY_VERIFY(!DriverListWindow::instance());
        w = DriverListWindow::showList(&f.frame());
        QCOMPARE(w->geometry(), QRect(120, 130, 300, 200));
        w->close();
    }

    void binaryFileOpensInAHexView() {
        AppFixture f;
        const QString file = f.path("dump.syx");
        QVERIFY(writeFile(file, QByteArray("\xF0\x43\x00\x7E\xF7", 5)));
        SFFrameWindow& w = f.frame();
        f.answerFileDialogs(file);
        f.trigger("actionOpenBinaryFile");
        auto* doc = qobject_cast<MemoryDocument*>(w.documents().activeDocument());
        QVERIFY(doc && doc->view());
        QCOMPARE(doc->memory().size(), std::size_t(5));
    }

    void rememberedInputThatIsGoneIsNeitherReplacedNorRecorded() {
        AppFixture f;
        FakeMidiSystem midi;
        midi.inputPorts = {{"sender:dump", "JACK"}};
        setMidiSystem(&midi);
        onNextDialog<MidiSettingsDialog>([](MidiSettingsDialog* d) {
            d->inputList()->setCurrentIndex(1);
            d->accept();
        });
        f.trigger("actionMidiSettings");
        // The sender has gone; another port now has its number.
        midi.inputPorts = {{"other:out", "JACK"}};
        Prompter* recording = setPrompter(nullptr);  // the real message box
        // Cancel ends there; OK goes on to the dialog, which records nothing.
        for (auto button : {QMessageBox::Cancel, QMessageBox::Ok}) {
            QString portLine;
            onNextDialog<QMessageBox>([&, button](QMessageBox* box) {
                QCOMPARE(box->text(), QString("The MIDI input could not be opened!"));
                QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
                QCOMPARE(box->icon(), QMessageBox::Critical);
                if (button == QMessageBox::Ok)
                    onNextDialog<MidiBulkDialog>([&](MidiBulkDialog* d) {
                        portLine = d->portLine()->text();
                        QVERIFY(!midi.send(std::vector<std::uint8_t>{0x90, 60, 100}));
                        QTest::mouseClick(d->closeButton(), Qt::LeftButton);
                    });
                QTest::mouseClick(box->button(button), Qt::LeftButton);
            });
            f.frame().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&f.frame()));
            QTest::keyClick(&f.frame(), Qt::Key_F9);
            QCOMPARE(portLine, button == QMessageBox::Cancel
                                   ? QString()
                                   : QString("MIDI input: JACK: sender:dump (not available)"));
        }
        QCOMPARE(midi.opens(), 0);
        QVERIFY(!QApplication::activeModalWidget());
        setPrompter(recording);
        setMidiSystem(nullptr);
    }

    void midiSettingsStoreNumberAndName() {
        AppFixture f;
        FakeMidiSystem midi;
        midi.inputPorts = {{"Through", "ALSA"}, {"sender:out", "JACK"}};
        midi.outputPorts = {{"Synth", "ALSA"}};
        setMidiSystem(&midi);
        onNextDialog<MidiSettingsDialog>([](MidiSettingsDialog* d) {
            d->inputList()->setCurrentIndex(2);
            d->outputList()->setCurrentIndex(1);
            d->accept();
        });
        f.trigger("actionMidiSettings");
        setMidiSystem(nullptr);
        QCOMPARE(f.app().preferences().midiIn, 1);
        QCOMPARE(f.app().preferences().midiOut, 0);
        Config& config = f.app().config();
        config.selectPath("\\Paths");
        QCOMPARE(config.readText("MidiInName", 0, ""), std::string("JACK: sender:out"));
        QCOMPARE(config.readText("MidiOutName", 0, ""), std::string("ALSA: Synth"));
        config.selectRoot();
    }

    void listDriverFieldsTakeOnlyDigitsUpToTheirLimit() {
        ListDriverDialog::savedValues() = {};
        ListDriverDialog d;
        d.show();
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
            retype(c.edit, c.keys);
            QCOMPARE(c.edit->text(), QString(c.kept));
        }
    }

    // Every field reaches the generator: the new source is the one it makes
    // of the values typed, opened untitled.
    void listDriverGeneratorOpensTheSourceOfTheValuesTyped() {
        AppFixture f;
        ListDriverDialog::savedValues() = {};
        onNextDialog<ListDriverDialog>([](ListDriverDialog* d) {
            const std::pair<QLineEdit*, const char*> typed[] = {
                {d->driverName(), "KEYS"},  {d->patchNameLength(), "10"},
                {d->columns(), "8"},        {d->rows(), "16"},
                {d->bankName(0), "ROM1"},   {d->bankSelect(0), "3"},
                {d->firstProgram(0), "32"}, {d->bankName(2), "ROM3"},
                {d->bankSelect(2), "700"}};
            for (const auto& [edit, text] : typed) retype(edit, text);
            pressOk(*d);
        });
        f.trigger("actionListDriverGenerator");
        auto* doc = qobject_cast<SourceDocument*>(f.frame().documents().activeDocument());
        QVERIFY(doc && !doc->hasFile() && doc->view());
        ListDriverValues v;
        v.driverName = "KEYS";
        v.patchNameLength = "10";
        v.columns = "8";
        v.rows = "16";
        v.banks[0] = {"ROM1", "3", "32"};
        v.banks[2] = {"ROM3", "700", ""};
        QVERIFY(sameRecord(doc->source().working(), *generateListDriver(v)));
    }

    void listDriverWithoutANameMakesNothingButKeepsTheValues() {
        ListDriverDialog::savedValues() = {};
        {
            ListDriverDialog d;
            retype(d.bankName(0), "A");
            retype(d.columns(), "4");
            pressOk(d);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(!d.takeRecord());
        }
        {
            ListDriverDialog d;
            QCOMPARE(d.columns()->text(), QString("4"));
            retype(d.columns(), "9");
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

    // "Analyse with driver..." as an author uses it: a binary document
    // analysed with an open driver, the bytes of a patch selected from its
    // row, a finding followed to its setting, the setting corrected and F5
    // analysing again.
    void analyseFollowAFindingAndAnalyseAgain() {
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
            QCOMPARE(runCli(args), 0);
        const QString dumpFile = f.path("two.syx");
        // Two messages, then a stray byte.
        QVERIFY(writeFile(dumpFile, QByteArray("\xF0\x43\x10"
                                               "Ab\x01\x02\xF7"
                                               "\xF0\x43\x10"
                                               "Cd\x03\x04\xF7\x00",
                                               17)));
        f.frame().openFiles({driver, dumpFile});
        auto* dump = qobject_cast<MemoryDocument*>(f.frame().documents().activeDocument());
        QVERIFY(dump && dump->view());
        SourceView* source = f.frame().sourceViews().front();
        // As if a "Request dump" of the second module had received the bytes.
        dump->setRequestOrigin(driver, 1);

        // The chooser offers the open driver with that module; the author picks
        // the first one, OK analyses.
        onNextDialog<AnalyseDialog>([](AnalyseDialog* d) {
            QCOMPARE(d->sourceBox()->currentText(), QStringLiteral("k.d"));
            QCOMPARE(d->moduleBox()->currentIndex(), 1);
            QTest::keyClick(d->moduleBox(), Qt::Key_Up);
            QCOMPARE(d->moduleBox()->currentText(), QStringLiteral("1: Module"));
            auto* buttons = d->findChild<QDialogButtonBox*>();
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        f.trigger("actionAnalyseDump");
        AnalysisWindow* w = analysisWindowOf(dump);
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->messageList()->model()->rowCount(), 2);
        QCOMPARE(w->patchList()->model()->index(1, 6).data().toString(), QStringLiteral("Cd"));
        QCOMPARE(w->findingList()->model()->rowCount(), 2);
        QVERIFY(w->findingList()->model()->index(1, 0).data().toString().contains(
            "Total number of patches says 3"));

        MemoryView* hex = dump->view();
        QVERIFY(hex->backgrounds().size() >= 4);
        QCOMPARE(hex->backgrounds()[0].size, std::size_t(3));
        QVERIFY(hex->backgrounds()[0].colour != hex->backgrounds()[1].colour);

        doubleClick(w->patchList(), w->patchList()->model()->index(1, 1));
        QCOMPARE(hex->selectionOffset(), std::size_t(11));
        QCOMPARE(hex->selectionSize(), std::size_t(4));

        doubleClick(w->findingList(), w->findingList()->model()->index(0, 0));
        QCOMPARE(hex->selectionOffset(), std::size_t(16));
        QCOMPARE(hex->selectionSize(), std::size_t(1));
        w->activateWindow();
        doubleClick(w->findingList(), w->findingList()->model()->index(1, 0));
        const auto row = source->currentRef();
        QVERIFY(row && row->id == 181 && row->index1 == 0);

        QVERIFY(source->editValue(makeRef(181, 0), "2"));
        w->activateWindow();
        QTRY_VERIFY(w->isActiveWindow());
        QTest::keyClick(w, Qt::Key_F5);
        QCOMPARE(w->findingList()->model()->rowCount(), 1);

        w->close();
        QTRY_VERIFY(hex->backgrounds().empty());
    }

    // "Check driver", "Compare with...", "Export as text..." and "Import
    // text...": the findings list beside the source, a double click that
    // selects the row, the question before saving a driver with errors.
    void checkListsFindingsAndDoubleClickSelectsTheRow() {
        AppFixture f;
        SourceView* view = openSource(f, f.makeSource("a.d"));
        QVERIFY(view);
        f.trigger("actionCheckDriver");
        QDockWidget* dock = findingsDock();
        QVERIFY(dock && dock->isVisible());
        QVERIFY(dock->windowTitle().contains("3 findings"));
        auto* list = dock->findChild<QTreeView*>("rowList");
        QCOMPARE(list->model()->rowCount(), 3);
        QVERIFY(!list->model()->index(1, 0).data(Qt::DecorationRole).isNull());
        doubleClick(list, list->model()->index(1, 1));
        QCOMPARE(view->currentRef()->id, 6);
        doubleClick(list, list->model()->index(2, 1));
        QCOMPARE(view->currentRef()->id, 8);

        QVERIFY(view->editValue(makeRef(6), "SYNTH"));
        f.trigger("actionCheckDriver");
        QCOMPARE(list->model()->rowCount(), 2);
    }

    void savingADriverWithErrorsAsksOnce() {
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

    void compareWithAFileListsTheDifferences() {
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
        QCOMPARE(list->model()->index(0, 2).data().toString(), QStringLiteral("113"));
        doubleClick(list, list->model()->index(0, 1));
        QCOMPARE(view->currentRef()->id, 9);
    }

    void exportAndImportText() {
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
        f.trigger("actionImportText");
        SourceDocument* imported = f.frame().activeSourceDocument();
        QVERIFY(imported && !imported->hasFile());
        QCOMPARE(imported->source().working().text(16, 17), std::string_view("Synth"));
    }

    void brokenTextOpensNothing() {
        AppFixture f;
        QVERIFY(writeFile(f.path("bad.txt"), "sysforge source text 1\n9 = 1\n"));
        f.answerFileDialogs(f.path("bad.txt"));
        f.trigger("actionImportText");
        QVERIFY(f.frame().documents().documents().empty());
        QVERIFY(!f.prompter().messages.empty());
        QVERIFY(QString::fromStdString(f.prompter().messages.back().text)
                    .contains("line 2: value out of range"));
    }
};

QTEST_MAIN(ToolsTest)
#include "tools_test.moc"
