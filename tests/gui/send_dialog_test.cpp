// "Send...": the values a message's tags need, the bytes updated as a value
// is typed, and Send through the chosen output (a fake MIDI system here);
// "Send..." and "Request dump..." reached from the row menu of the tree.
#include <QContextMenuEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

#include "framework/prompter.h"
#include "instrument/instrumentdialogs.h"
#include "source/message_record.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/midisystem.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;

class SendDialogTest : public QObject {
    Q_OBJECT
    RecordingPrompter prompter_;
    FakeMidiSystem midi_;

    static std::vector<MessageUnit> message(const char* text) {
        std::vector<MessageUnit> u(40);
        u.resize(std::size_t(parseMessage(text, u, 40)));
        return u;
    }

  private slots:
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
        midi_.outputPorts = {{"synth", "ALSA"}};
    }
    void cleanup() { setPrompter(nullptr); }

    void typedValuesChangeTheBytesAndSendSendsThem() {
        auto r = newSource();
        SendDialog dialog(midi_, {0, "ALSA: synth"}, *r, 0, 205, message("$F0,$43,X1,Joker,$F7"),
                          nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSpinBox* x1 = dialog.field("X1");
        QVERIFY(x1 && dialog.field("Joker") && !dialog.field("X2"));
        QCOMPARE(dialog.bytesView()->toPlainText(), QString("F0 43 00 00 F7"));
        QCOMPARE(QApplication::focusWidget(), x1);  // the first value has the focus
        QTest::keyClick(x1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(x1, "9");
        QCOMPARE(dialog.bytesView()->toPlainText(), QString("F0 43 09 00 F7"));
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(!dialog.running() && dialog.sendButton()->isEnabled());
        QCOMPARE(midi_.sentEvents(), (std::vector<Bytes>{{0xF0, 0x43, 0x09, 0x00, 0xF7}}));
        QTRY_VERIFY(dialog.logView()->toPlainText().contains("sent      5 bytes  F0 43 09 00 F7"));
        QVERIFY(prompter_.messages.empty());
    }

    void aPortThatIsGoneSendsNothing() {
        auto r = newSource();
        FakeMidiSystem midi;
        midi.outputPorts = {{"synth", "ALSA"}};
        SendDialog noPort(midi, {0, "ALSA: gone"}, *r, 0, 205, message("$C0,$05"), nullptr);
        QTest::mouseClick(noPort.sendButton(), Qt::LeftButton);
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QCOMPARE(prompter_.messages[0].text, std::string("The MIDI output could not be opened!"));
        QVERIFY(midi.sentEvents().empty());
    }

    // A right click on a row, as the mouse gives it, and the entry `item` of
    // its menu chosen.
    static void rowMenu(SourceView* v, const SettingRef& ref, const QString& item) {
        v->selectRef(ref);
        QTreeView* tree = v->tree();
        const QModelIndex cell = tree->currentIndex().siblingAtColumn(1);
        tree->scrollTo(cell);
        const QPoint at = tree->visualRect(cell).center();
        tree->setCurrentIndex({});  // the click itself picks the row
        testsupport::onNextMenu(item);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
    }

    void rowMenuSendsAMessageAndRequestsAModulesDump() {
        testsupport::AppFixture f;
        const QString file = f.makeSource("m.d");
        QCOMPARE(testsupport::runCli({"set", file, "205:0", "$F0,$41,X1,$F7"}), 0);
        f.app().preferences().midiOut = 0;
        f.app().preferences().midiIn = 0;
        f.app().config().selectPath("\\Paths");
        f.app().config().writeText("MidiOutName", 0, "ALSA: synth");
        f.app().config().writeText("MidiInName", 0, "ALSA: synth out");
        f.app().config().selectRoot();
        FakeMidiSystem midi;
        midi.outputPorts = {{"synth", "ALSA"}};
        midi.inputPorts = {{"synth out", "ALSA"}};
        struct Restore {
            MidiSystem* previous;
            ~Restore() { setMidiSystem(previous); }
        } restore{setMidiSystem(&midi)};
        f.frame().openFiles({file});
        SourceView* v = f.frame().activeSourceView();
        QVERIFY(v);

        QString bytes;
        testsupport::onNextDialog<SendDialog>([&](SendDialog* d) {
            bytes = d->bytesView()->toPlainText();
            QTest::mouseClick(d->sendButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!d->running() && d->sendButton()->isEnabled(), 3000);
            d->reject();
        });
        rowMenu(v, makeRef(205, 0), "Send...");
        QCOMPARE(bytes, QString("F0 41 00 F7"));
        QCOMPARE(midi.sentEvents(), (std::vector<Bytes>{{0xF0, 0x41, 0x00, 0xF7}}));

        QString status;
        testsupport::onNextDialog<RequestDumpDialog>([&](RequestDumpDialog* d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->running() && !d->stopButton()->isEnabled(), 3000);
            status = d->statusLine()->text();
            d->reject();
        });
        rowMenu(v, makeRef(105, 0), "Request dump...");
        QCOMPARE(midi.sentEvents().size(), std::size_t(2));
        QVERIFY(midi.sentEvents()[1] == midi.sentEvents()[0]);
        QVERIFY2(status.startsWith("Dump received"), qPrintable(status));
        QVERIFY(f.prompter().messages.empty());
        QCOMPARE(testsupport::missedDialogs(), 0);
    }
};

QTEST_MAIN(SendDialogTest)
#include "send_dialog_test.moc"
