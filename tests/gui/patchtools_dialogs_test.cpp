// The value editors of messages, ROM names, converter and macros, opened
// from their rows as the settings tree does: each edited and confirmed (the
// document's record changes), and each cancelled (it does not).
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "driver/compiler_limits.h"
#include "editor/document.h"
#include "patchtools/converterdialog.h"
#include "patchtools/filterdialog.h"
#include "patchtools/install_editors.h"
#include "patchtools/listsupport.h"
#include "patchtools/macrodialog.h"
#include "patchtools/patchinfo.h"
#include "patchtools/templatedialog.h"
#include "source/message_record.h"
#include "source/patchnamedialog.h"
#include "source/romnames.h"
#include "source/value_editors.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/messagedialog.h"
#include "ui/help.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

namespace {

bool runEditor(SourceDoc& doc, const SettingRef& ref) {
    const ValueEditor* editor = findValueEditor(ref);
    return editor && (*editor)(ValueEditContext{nullptr, doc, ref});
}

std::string messageText(const SourceDoc& doc, int id) {
    return formatMessageField(doc.working(), *messageField(doc.working(), makeRef(id)));
}

bool enabled(QWidget* dialog, const char* button) {
    return dialog->findChild<QPushButton*>(QString::fromLatin1(button))->isEnabled();
}

// The edit box that is open over a cell (closed ones may linger hidden until
// they are deleted).
EditControl* openEditControl(QTreeView* view) {
    for (EditControl* e : view->findChildren<EditControl*>())
        if (e->isVisible()) return e;
    return nullptr;
}

// Types `text` into the in-place edit box of a cell, reached with F2.
void typeIntoCell(QTreeView* view, const QModelIndex& cell, const QString& text) {
    view->setCurrentIndex(cell);
    QTest::keyClick(view, Qt::Key_F2);
    EditControl* edit = openEditControl(view);
    QVERIFY(edit);
    QVERIFY(edit->hasSelectedText() || edit->text().isEmpty());
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
}

void clickCell(QTreeView* view, const QModelIndex& cell) {
    view->scrollTo(cell);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
}

// Whether a cell shows its whole text (a long one may scroll, not be cut).
bool whole(QTreeView* view, const QModelIndex& cell) {
    view->scrollTo(cell);
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    const int need = view->itemDelegate()->sizeHint(opt, cell).width();
    const int has = view->visualRect(cell).width();
    if (need <= has) return true;
    qWarning("%s: %d of %d pixels", qPrintable(cell.data().toString()), has, need);
    return false;
}

}  // namespace

class PatchToolsDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        installValueEditors();
        setPrompter(&prompter_);
    }
    void cleanupTestCase() { setPrompter(nullptr); }
    void init() {
        prompter_ = {};
        missedDialogs() = 0;
    }
    void cleanup() { QCOMPARE(missedDialogs(), 0); }

    // The message editor: insert, retype through the "Value" dialog, OK
    // writes into the document, Cancel leaves it; the keyboard reaches
    // everything.
    void messageInsertAndRetypeThenOk() {
        SourceDoc doc(newSource());
        parseMessageField(doc.working(), *messageField(doc.working(), makeRef(35)),
                          "$F0,$43,$10,$F7");
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            ListView* list = d->list();
            list->selectRow(2);
            click(d, "insertButton");
            QCOMPARE(list->model()->index(2, 1).data().toString(), QStringLiteral("$0"));
            onNextDialog<ValueDialog>([](ValueDialog* v) {
                v->field()->setCurrentIndex(
                    v->field()->findText(QStringLiteral("Wait100 (Wait 100 ms)")));
                QTest::keyClick(v->field(), Qt::Key_Return);
            });
            doubleClick(list, list->model()->index(2, 1));
            QCOMPARE(list->model()->index(2, 4).data().toString(), QStringLiteral("Wait 100 ms"));
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, makeRef(35)));
        QCOMPARE(messageText(doc, 35), std::string("$F0,$43,Wait100,$10,$F7"));

        // Whether an OK changed anything is the core's; Cancel changes nothing.
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            d->list()->selectRow(0);
            click(d, "deleteButton");
            click(d, "cancelButton");
        });
        QVERIFY(!runEditor(doc, makeRef(35)));
        QCOMPARE(messageText(doc, 35), std::string("$F0,$43,Wait100,$10,$F7"));
    }

    void messageKeyboardOnAFullMessage() {
        SourceDoc doc(newSource());
        // "Common header": eight units fill it; labels and Insert follow.
        parseMessageField(doc.working(), *messageField(doc.working(), makeRef(15)),
                          "1,2,3,4,5,6,7,8");
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            ListView* list = d->list();
            QCOMPARE(d->focusWidget(), static_cast<QWidget*>(list));
            QTest::keyClick(list, Qt::Key_Down);
            QVERIFY(!enabled(d, "insertButton"));
            onNextDialog<ValueDialog>([](ValueDialog* v) {
                QTest::keyClicks(v->field()->lineEdit(), "chk");  // replaces the selected "$2"
                QCOMPARE(v->result(), QStringLiteral("chk (Checksum)"));  // completed from the list
                QTest::keyClick(v->field(), Qt::Key_Return);              // the completion, and OK
            });
            QTest::keyClick(list, Qt::Key_F2);  // F2 retypes the current row
            onNextDialog<ValueDialog>([](ValueDialog* v) { QTest::keyClick(v, Qt::Key_Escape); });
            QTest::keyClick(list, Qt::Key_F2);
            QTest::keyClick(list, Qt::Key_Return);  // Enter is OK
        });
        QVERIFY(runEditor(doc, makeRef(15)));
        QCOMPARE(messageText(doc, 15), std::string("$1,Chk,$3,$4,$5,$6,$7,$8"));
    }

    // Bytes that Windows-1252 leaves undefined show as their C1 controls and
    // come back unchanged; a names file of the wrong size leaves the text as
    // it was and says why. More names than patches are asked about (No keeps
    // the dialog open); Escape changes nothing.
    void romNamesKeepEveryByteRefuseAWrongFileAndAsk() {
        SourceDoc doc(newSource());
        SourceRecord& r = doc.working();
        r.setModU16(0, rec::kModPatchesPerSubBank, 2);
        r.setModU16(0, 2746, 4);  // characters in a patch name
        const Block names{'A', 0x81, 0x8D, 'B', 0x8F, 0x90, 0x9D, ' '};
        storeRomNames(r, 0, 0, names);
        const SettingRef ref = makeRef(265, 0, 0);
        QTemporaryDir dir;
        const QString wrong = dir.filePath("wrong.NAM");
        QVERIFY(writeFile(wrong, QByteArray(12 + 5, 'x')));
        onNextDialog<PatchNameDialog>([&](PatchNameDialog* d) {
            const QString shown = QStringLiteral("A\u0081\u008DB\n\u008F\u0090\u009D\n");
            QCOMPARE(d->textBox()->toPlainText(), shown);
            onNextDialog<QFileDialog>([&](QFileDialog* f) {
                // The whole path typed into the name field, then Enter: what the
                // field holds does not wait for the folder to be listed.
                auto* name = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(wrong);
                QTest::keyClick(name, Qt::Key_Return);
            });
            click(d, "importButton");
            QCOMPARE(d->textBox()->toPlainText(), shown);
            QCOMPARE(prompter_.messages.size(), std::size_t(1));
            QVERIFY(prompter_.messages[0].text.starts_with("The size of wrong.NAM does not fit"));
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, ref));
        QCOMPARE(*r.block(0, rec::kSlotRomNames0), names);

        onNextDialog<PatchNameDialog>([this](PatchNameDialog* d) {
            d->textBox()->setPlainText(QStringLiteral("Pia\nStr\nBra"));
            prompter_.answers = {Answer::No};
            click(d, "okButton");
            QVERIFY(d->isVisible());
            QCOMPARE(prompter_.messages.size(), std::size_t(2));
            d->textBox()->setPlainText(QStringLiteral("Pia\nStr"));
            click(d, "checkButton");
            QCOMPARE(prompter_.messages.back().text, std::string("No problem found"));
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, ref));
        const Block expected{'P', 'i', 'a', ' ', 'S', 't', 'r', ' '};
        QCOMPARE(*r.block(0, rec::kSlotRomNames0), expected);

        onNextDialog<PatchNameDialog>([](PatchNameDialog* d) {
            QCOMPARE(d->textBox()->toPlainText(), QStringLiteral("Pia\nStr\n"));
            d->textBox()->setPlainText(QStringLiteral("Changed"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QVERIFY(!runEditor(doc, ref));
        QCOMPARE(*r.block(0, rec::kSlotRomNames0), expected);
    }

    void converterInsertOperationAndOk() {
        SourceDoc doc(newSource());
        const SettingRef ref = makeRef(305, 0);
        onNextDialog<PatchConverterDialog>([](PatchConverterDialog* d) {
            auto* room = d->findChild<QLabel*>(QStringLiteral("driverRoom"));
            QVERIFY(room && room->text().startsWith(QStringLiteral("Room left in the driver: ")));
            click(d, "insertButton");
            onNextDialog<OperationDialog>([](OperationDialog* op) {
                QVERIFY(op->box(201)->isEnabled());
                QVERIFY(!op->box(208)->isEnabled());
                QTest::mouseClick(op->findChild<QRadioButton*>("radio2"), Qt::LeftButton);
                QVERIFY(!op->box(201)->isEnabled());
                QVERIFY(op->box(208)->isEnabled());
                QTest::keyClicks(op->box(207), "-12x");  // digits only
                QCOMPARE(op->box(207)->text(), QStringLiteral("12"));
                QTest::keyClicks(op->box(208), "5");
                QTest::keyClicks(op->box(213), "3");
                click(op, "okButton");
            });
            doubleClick(d->list(), d->list()->model()->index(0, 1));
            QCOMPARE(d->list()->model()->index(0, 1).data().toString(),
                     QStringLiteral("Copy 3 bits from source position 12 - bit 5 to "
                                    "destination position 0 - bit 0"));
            QVERIFY(whole(d->list(), d->list()->model()->index(0, 1)));
            d->finalSize()->setText(QStringLiteral("64"));
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, ref));
        const SourceRecord& r = doc.working();
        QCOMPARE(r.modU16(0, rec::kModConverterCount), 1);
        QCOMPARE(r.modU16(0, rec::kModConverterFinalSize), 64);
        QCOMPARE(r.block(0, rec::kSlotConverter)->size(), std::size_t{10});

        onNextDialog<PatchConverterDialog>([](PatchConverterDialog* d) {
            d->list()->selectRow(0);
            click(d, "deleteButton");
            QCOMPARE(d->list()->model()->rowCount(), 0);
            click(d, "cancelButton");
        });
        QVERIFY(!runEditor(doc, ref));
        QVERIFY(doc.working().block(0, rec::kSlotConverter).has_value());
    }

    // A macro list that no driver could hold any more: the room line says so
    // as it happens, and OK asks first.
    void macroEditorShowsTheRoomLeftAndAsksBeforeTheDriverOverflows() {
        SourceDoc doc(newSource());
        SourceRecord& r = doc.working();
        r.setText(rec::moduleBase(1) + rec::kModName, rec::kModNameSize, "Second");
        r.setU16(rec::moduleBase(0) + rec::kModHasMacro, 1);
        for (int m = 0; m < 2; ++m) {
            r.setModU16(m, rec::kModFlags, 0x0008);  // displays names
            r.setModU16(m, rec::kModSubBankCount, 1);
            r.setU16(rec::moduleBase(m) + rec::subBankBase(0) + rec::kSbType, 2);  // ROM
            r.block(m, 0) = Block(30000, 'n');
        }
        // Module 1's names leave 31 bytes of room (block starts are even).
        r.block(0, 0) = Block(30000 + std::size_t(*driverRoom(r) - 31), 'n');
        QCOMPARE(*driverRoom(r), 31L);
        doc.checkpoint();
        onNextDialog<MacroEditorDialog>([&](MacroEditorDialog* d) {
            QCOMPARE(d->roomLine()->text(), QStringLiteral("Room left in the driver: 31 bytes"));
            click(d, "addMacroButton");  // 2 + 4 + 36 bytes more
            QCOMPARE(d->roomLine()->text(),
                     QStringLiteral("The driver is 13 bytes too large to compile"));
            prompter_.answers = {Answer::No};
            click(d, "okButton");
            QVERIFY(d->isVisible());
            prompter_.answers = {Answer::Yes};
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, makeRef(307, 0)));
        QCOMPARE(prompter_.messages.size(), std::size_t(2));
        QVERIFY(
            QString::fromStdString(prompter_.messages[0].text)
                .startsWith("With this change the driver can no longer be compiled:\nModule 2"));
        QCOMPARE(prompter_.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!driverRoom(doc.working()) || *driverRoom(doc.working()) < 0);
    }

    void macrosWithTemplatesFilterAndPatchInfo() {
        SourceDoc doc(newSource());
        const SettingRef ref = makeRef(307, 0);
        onNextDialog<MacroEditorDialog>([](MacroEditorDialog* d) {
            click(d, "addMacroButton");
            QTreeView* list = d->list();
            typeIntoCell(list, list->model()->index(0, 1), QStringLiteral("Lead level"));
            onNextMenu(QStringLiteral("Random"));
            clickCell(list, list->model()->index(0, 4));

            // "Add parameter" goes through the template chooser: a new
            // template, made a little-endian bit range, is chosen.
            onNextDialog<ParamEditorDialog>([](ParamEditorDialog* t) {
                click(t, "addButton");
                onNextMenu(QStringLiteral("Bit(s) (<= 16 bits, little endian)"));
                onNextDialog<BitRangeDialog>([](BitRangeDialog* b) {
                    b->start()->setText(QStringLiteral("6"));
                    b->count()->setText(QStringLiteral("4"));
                    click(b, "okButton");
                });
                clickCell(t->list(), t->list()->model()->index(0, 2));
                QCOMPARE(t->list()->model()->index(0, 2).data().toString(),
                         QStringLiteral("Bits 6/4 (little endian)"));
                QVERIFY(whole(t->list(), t->list()->model()->index(0, 2)));
                clickCell(t->list(), t->list()->model()->index(0, 3));  // Signed toggles
                QCOMPARE(t->list()->model()->index(0, 3).data(Qt::CheckStateRole).toInt(),
                         int(Qt::Checked));
                // A double click toggles once, not twice.
                const QModelIndex signedCell = t->list()->model()->index(0, 3);
                doubleClick(t->list(), signedCell);
                QCOMPARE(signedCell.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
                click(t, "okButton");
            });
            click(d, "addParameterButton");
            QVERIFY(whole(list, d->model()->indexOf({0, 0})));

            // The filter: a group, the AND mode, an offset and a reference.
            onNextDialog<DispatcherDialog>([](DispatcherDialog* f) {
                doubleClick(f->list(), f->list()->model()->index(5, 1));
                EditControl* edit = openEditControl(f->list());
                QVERIFY(edit);
                QTest::keyClicks(edit, "3");
                QTest::keyClick(edit, Qt::Key_Return);
                QCoreApplication::processEvents();  // the box commits from the event loop
                onNextDialog<ParamEditorDialog>([](ParamEditorDialog* t) {
                    t->list()->selectRow(0);
                    click(t, "okButton");
                });
                click(f, "chooseButton");
                f->offset()->selectAll();
                QTest::keyClicks(f->offset(), "12");
                QTest::keyClick(f->andMode(), Qt::Key_Space);
                click(f, "okButton");
            });
            click(d, "filterButton");

            // Patch information: a reference for the second descriptor only.
            onNextDialog<PatchInfoDialog>([](PatchInfoDialog* p) {
                onNextDialog<ParamEditorDialog>([](ParamEditorDialog* t) {
                    t->list()->selectRow(0);
                    click(t, "okButton");
                });
                click(p, "chooseButton1");
                typeIntoCell(p->list(1), p->list(1)->model()->index(0, 2), QStringLiteral("Mono"));
                click(p, "okButton");
            });
            click(d, "patchInfoButton");
            QTest::keyClick(list, Qt::Key_Return);  // Enter is OK
        });
        QVERIFY(runEditor(doc, ref));
        const SourceRecord& r = doc.working();
        MacroData data = MacroData::fromModule(r, 0);
        MacroEditor check(data);
        QCOMPARE(check.macro(0).name, std::string("Lead level"));
        QCOMPARE(int(check.macro(0).kind), 1);
        QCOMPARE(check.parameterCount(0), 1);
        QCOMPARE(data.templateCount(), 1);
        QCOMPARE(data.s16(macro_data::kFilterReference), 0);
        QCOMPARE(data.u16(macro_data::kFilterOffset), 12);
        QCOMPARE(data.u16(macro_data::kFilterFlags) & 1, 1);
        QCOMPARE(filterGroupText(data, 5), std::string("3"));
        QVERIFY(data.patchInfo.has_value());
        QCOMPARE(patchInfoReference(*data.patchInfo, 1), 0);
        QCOMPARE(patchInfoTag(*data.patchInfo, 1, 0), std::string("Mono"));

        // Cancel after deleting everything leaves the module as it was.
        onNextDialog<MacroEditorDialog>([](MacroEditorDialog* d) {
            d->select(MacroSel{0, -1});
            click(d, "deleteButton");
            QCOMPARE(d->model()->rowCount(), 0);
            click(d, "cancelButton");
        });
        QVERIFY(!runEditor(doc, ref));
        QVERIFY(doc.working().block(0, rec::kSlotMacros).has_value());
    }

    // The chooser opened from parameter 1-1 (template 3) deletes template 3:
    // the repair deletes 1-1, and the template still selected (2) goes to no
    // other parameter; 1-2 keeps template 1.
    void templateChosenForADeletedParameterChangesNoOther() {
        SourceDoc doc(newSource());
        MacroData start;
        {
            TemplateEditor t{start};
            t.add(), t.add(), t.add();
            start = t.takeData();
        }
        MacroEditor m{start};
        m.addMacro();
        m.addParameter({0, -1}, 2);
        m.addParameter({0, -1}, 0);
        const MacroData d = m.takeData();
        storeMacroEdit(doc.working(), 0, &d);

        onNextDialog<MacroEditorDialog>([](MacroEditorDialog* dialog) {
            dialog->list()->expandAll();
            onNextDialog<ParamEditorDialog>([](ParamEditorDialog* t) {
                t->list()->selectRow(2);
                click(t, "deleteButton");
                QCOMPARE(t->selectedRow(), 1);
                click(t, "okButton");
            });
            doubleClick(dialog->list(), dialog->model()->indexOf({0, 0}, 1));
            QCOMPARE(dialog->model()->rowCount(dialog->model()->indexOf({0, -1})), 1);
            click(dialog, "okButton");
        });
        QVERIFY(runEditor(doc, makeRef(307, 0)));
        MacroEditor after{MacroData::fromModule(doc.working(), 0)};
        QCOMPARE(after.parameterCount(0), 1);
        QCOMPARE(after.macro(0).params[0].templateIndex, 0);
    }

    void fullMacroListRefusesMoreMacros() {
        SourceDoc doc(newSource());
        MacroEditor full{MacroData{}};
        for (int i = 0; i < macro_list::kMaxMacros; ++i) full.addParameter(*full.addMacro(), 0);
        const MacroData d = full.takeData();
        storeMacroEdit(doc.working(), 0, &d);
        onNextDialog<MacroEditorDialog>([](MacroEditorDialog* dialog) {
            QCOMPARE(dialog->model()->rowCount(), 1000);
            QVERIFY(!enabled(dialog, "addMacroButton"));
            QCOMPARE(dialog->findChild<QLabel*>("note")->text(),
                     QStringLiteral("The macro list is full (1000 macros)."));
            dialog->select(MacroSel{999, 0});
            QVERIFY(enabled(dialog, "addParameterButton"));
            click(dialog, "cancelButton");
        });
        QVERIFY(!runEditor(doc, makeRef(307, 0)));
    }

    void helpButtonsOpenTheirTopics() {
        std::vector<int> shown;
        auto previous = setHelpHandler([&shown](int topic) { shown.push_back(topic); });
        auto r = newSource();
        MessageEditor message({}, 0, 8, 1);
        PatchNameEditor names(*r, 0, 0, prompter_);
        ConverterEditor converter(*r, 0);
        MacroEditor macros{MacroData{}};
        TemplateEditor templates{MacroData{}};
        MacroData data = openPatchInfo(MacroData{});
        const std::vector<std::pair<QDialog*, int>> dialogs{
            {new SysexMessageDialog(message, nullptr), 2004},
            {new PatchNameDialog(names, nullptr), 2020},
            {new PatchConverterDialog(converter, nullptr), 2021},
            {new MacroEditorDialog(macros, nullptr), 2023},
            {new ParamEditorDialog(templates, nullptr), 2024},
            {new DispatcherDialog(data, nullptr), 2025},
            {new PatchInfoDialog(data, nullptr), 2026}};
        for (const auto& [dialog, topic] : dialogs) {
            shown.clear();
            dialog->findChild<QPushButton*>("helpButton")->click();
            QCOMPARE(shown, std::vector<int>{topic});
            delete dialog;
        }
        setHelpHandler(previous);
    }

  private:
    RecordingPrompter prompter_;
};

QTEST_MAIN(PatchToolsDialogsTest)
#include "patchtools_dialogs_test.moc"
