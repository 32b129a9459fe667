// "Receive MIDI bulk" and "MIDI Settings" driven by a scripted MIDI system.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "framework/prompter.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisettingsdialog.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes dump(std::size_t n) {
    Bytes b(n, 0x21);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

}  // namespace

class MidiBulkTest : public QObject {
    Q_OBJECT
    RecordingPrompter prompter_;
    FakeMidiSystem midi_;

    QString countText(MidiBulkDialog& d) { return d.countLine()->text(); }

  private slots:
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
        midi_.inputPorts = {{"Through", "ALSA"}, {"sender:out", "JACK"}};
        midi_.outputPorts = {{"Synth", "ALSA"}};
        midi_.failOpen = false;
    }
    void cleanup() { setPrompter(nullptr); }

    void countLineFollowsEachKindOfMessage() {
        MidiBulkDialog d(midi_, {1, "JACK: sender:out"});
        d.show();
        QCOMPARE(midi_.openedPort().name, std::string("sender:out"));
        QCOMPARE(d.portLine()->text(), QString("MIDI input: JACK: sender:out"));
        QCOMPARE(countText(d), QString("Number of bytes received : 0"));
        QVERIFY(!d.clearButton()->isEnabled());
        QVERIFY(!d.showButton()->isEnabled());
        const struct {
            Bytes message;
            int total;
        } steps[] = {
            {{0x90, 60, 100}, 3},  // note-on
            {{0xC0, 7}, 5},        // program change
            {{0xF8}, 5},           // clock
            {dump(1024), 1029},    // a SysEx buffer
        };
        for (const auto& s : steps) {
            QVERIFY(midi_.sendFromThread(s.message));
            QTRY_COMPARE_WITH_TIMEOUT(countText(d),
                                      QString("Number of bytes received : %1").arg(s.total), 2000);
        }
        QVERIFY(d.clearButton()->isEnabled());
        QVERIFY(d.showButton()->isEnabled());
        QVERIFY(d.showButton()->isDefault());
        QTest::mouseClick(d.clearButton(), Qt::LeftButton);
        QCOMPARE(countText(d), QString("Number of bytes received : 0"));
        QVERIFY(midi_.isStarted());
        QVERIFY(prompter_.messages.empty());
    }

    void showHandsOverExactlyTheBytesReceived() {
        MidiBulkDialog d(midi_, {});
        QSignalSpy shown(&d, &MidiBulkDialog::showRequested);
        d.show();
        Bytes expected = dump(3000);
        midi_.sendFromThread(ConstByteSpan(expected.data(), 1000));  // a dump in pieces
        midi_.sendFromThread(ConstByteSpan(expected.data() + 1000, 2000));
        midi_.sendFromThread(Bytes{0xB0, 7, 100});
        expected.insert(expected.end(), {0xB0, 7, 100});
        QTRY_VERIFY_WITH_TIMEOUT(d.showButton()->isEnabled(), 2000);
        QTest::mouseClick(d.showButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown[0][0].value<Bytes>(), expected);
        QCOMPARE(d.takeBytes(), expected);
        QVERIFY(!midi_.isOpen());
    }

    void fullBlockDropsTheRestAndNotifiesOnce() {
        MidiBulkDialog d(midi_, {}, nullptr, 100);
        d.show();
        midi_.sendFromThread(dump(90));
        midi_.sendFromThread(dump(30));
        midi_.sendFromThread(dump(30));
        midi_.sendError();
        QTRY_COMPARE_WITH_TIMEOUT(countText(d), QString("Number of bytes received : 100"), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 2000);
        QTest::qWait(250);  // more ticks say nothing more
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QCOMPARE(prompter_.messages[0].text,
                 std::string("Error while receiving Midi data. It is adviced to clear the bulk."));
        QTest::mouseClick(d.closeButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!midi_.isOpen());
    }

    void inputThatCannotOpenLeavesTheButtonsDisabled() {
        midi_.inputPorts.clear();
        MidiBulkDialog d(midi_, {-1, ""});
        d.show();
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QCOMPARE(prompter_.messages[0].text, std::string("The MIDI input could not be opened!"));
        QTest::qWait(150);
        QVERIFY(!d.clearButton()->isEnabled());
        QVERIFY(!d.showButton()->isEnabled());
        QVERIFY(d.isVisible());
        QCOMPARE(d.portLine()->text(), QString("MIDI input: no port available"));
    }

    void lostInputIsSaidOnceAndShowStillHandsOver() {
        MidiBulkDialog d(midi_, {1, "JACK: sender:out"});
        QSignalSpy shown(&d, &MidiBulkDialog::showRequested);
        d.show();
        midi_.sendFromThread(dump(10));
        midi_.loseInput();
        QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 2000);
        QTest::qWait(250);
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QCOMPARE(d.portLine()->text(), QString("MIDI input: JACK: sender:out (lost)"));
        QTest::mouseClick(d.showButton(), Qt::LeftButton);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown[0][0].value<Bytes>(), dump(10));
    }

    void settingsSayWhenThereIsNoMidiSystemAtAll() {
        for (bool present : {true, false}) {
            midi_.inputPorts.clear();
            midi_.outputPorts.clear();
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

    void settingsListEveryPortAndStoreNumberAndName() {
        MidiPreferences current{{-1, ""}, {0, "ALSA: Synth"}};
        MidiSettingsDialog d(midi_, current);
        QCOMPARE(d.windowTitle(), QString("MIDI Settings"));
        QCOMPARE(d.inputList()->count(), 3);
        QCOMPARE(d.inputList()->itemText(2), QString("JACK: sender:out"));
        QCOMPARE(d.inputList()->currentIndex(), 0);
        QCOMPARE(d.outputList()->currentIndex(), 1);
        d.inputList()->setCurrentIndex(2);
        const MidiPreferences chosen = d.chosen();
        QCOMPARE(chosen.input, (MidiPortChoice{1, "JACK: sender:out"}));
        QCOMPARE(chosen.output, (MidiPortChoice{0, "ALSA: Synth"}));

        // A port that is gone shows no entry and stays chosen.
        midi_.inputPorts = {{"Through", "ALSA"}};
        MidiSettingsDialog again(midi_, chosen);
        QCOMPARE(again.inputList()->currentIndex(), -1);
        QCOMPARE(again.chosen().input, chosen.input);
    }
};

QTEST_MAIN(MidiBulkTest)
#include "midibulk_test.moc"
