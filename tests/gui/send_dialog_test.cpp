// "Send...": the values a message's tags need, the bytes updated as a value
// is typed, and Send through the chosen output (a fake MIDI system here).
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "framework/prompter.h"
#include "instrument/instrumentdialogs.h"
#include "source/message_record.h"
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
};

QTEST_MAIN(SendDialogTest)
#include "send_dialog_test.moc"
