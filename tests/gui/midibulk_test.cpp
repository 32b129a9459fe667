// "Receive MIDI bulk" on a scripted MIDI system. What is recorded and when
// an error is said are the capture's own tests; here: the dialog's lines and
// buttons follow the MIDI thread, and its timer says an error.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "framework/prompter.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisettingsdialog.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;

class MidiBulkTest : public QObject {
    Q_OBJECT
    RecordingPrompter prompter_;
    FakeMidiSystem midi_;

  private slots:
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
        midi_.inputPorts = {{"Through", "ALSA"}, {"sender:out", "JACK"}};
    }
    void cleanup() { setPrompter(nullptr); }

    void linesAndButtonsFollowTheMidiThread() {
        MidiBulkDialog d(midi_, {1, "JACK: sender:out"});
        d.show();
        QCOMPARE(d.portLine()->text(), QString("MIDI input: JACK: sender:out"));
        QVERIFY(!d.clearButton()->isEnabled() && !d.showButton()->isEnabled());
        Bytes dump(1024, 0x21);
        dump.front() = 0xF0;
        dump.back() = 0xF7;
        QVERIFY(midi_.sendFromThread(dump));
        QVERIFY(midi_.sendFromThread(Bytes{0xC0, 7}));
        QTRY_COMPARE_WITH_TIMEOUT(d.countLine()->text(), QString("Number of bytes received : 1026"),
                                  2000);
        QVERIFY(d.clearButton()->isEnabled() && d.showButton()->isDefault());
        QTest::mouseClick(d.clearButton(), Qt::LeftButton);
        QCOMPARE(d.countLine()->text(), QString("Number of bytes received : 0"));
        QVERIFY(prompter_.messages.empty());

        midi_.sendError();
        QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 2000);
        QTest::mouseClick(d.closeButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!midi_.isOpen());
    }

    void inputThatCannotOpenLeavesTheButtonsDisabled() {
        midi_.inputPorts.clear();
        MidiBulkDialog d(midi_, {-1, ""});
        d.show();
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QTest::qWait(150);
        QVERIFY(!d.clearButton()->isEnabled() && !d.showButton()->isEnabled());
        QVERIFY(d.isVisible());
        QCOMPARE(d.portLine()->text(), QString("MIDI input: no port available"));
    }

    void settingsSayWhenThereIsNoMidiSystemAtAll() {
        midi_.inputPorts.clear();
        for (bool present : {true, false}) {
            midi_.systemPresent = present;
            MidiSettingsDialog d(midi_, {});
            auto* note = d.findChild<QLabel*>("noMidiSystem");
            QCOMPARE(note != nullptr, !present);
            if (note)
                QVERIFY(note->text().contains("ALSA sequencer") &&
                        note->text().contains("JACK server"));
        }
        midi_.systemPresent = true;
    }
};

QTEST_MAIN(MidiBulkTest)
#include "midibulk_test.moc"
