// "Receive MIDI bulk" driven by a scripted MIDI system.
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
        // What counts is the core's; here: the line follows from the MIDI thread.
        QVERIFY(midi_.sendFromThread(dump(1024)));
        QVERIFY(midi_.sendFromThread(Bytes{0xC0, 7}));
        QTRY_COMPARE_WITH_TIMEOUT(countText(d), QString("Number of bytes received : 1026"), 2000);
        QVERIFY(d.clearButton()->isEnabled());
        QVERIFY(d.showButton()->isEnabled());
        QVERIFY(d.showButton()->isDefault());
        QTest::mouseClick(d.clearButton(), Qt::LeftButton);
        QCOMPARE(countText(d), QString("Number of bytes received : 0"));
        QVERIFY(midi_.isStarted());
        QVERIFY(prompter_.messages.empty());
    }

    void showHandsOverTheBytesAndCloseKeepsNothing() {
        MidiBulkDialog d(midi_, {});
        QSignalSpy shown(&d, &MidiBulkDialog::showRequested);
        d.show();
        const Bytes expected = dump(3000);
        midi_.sendFromThread(expected);
        QTRY_VERIFY_WITH_TIMEOUT(d.showButton()->isEnabled(), 2000);
        QTest::mouseClick(d.showButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown[0][0].value<Bytes>(), expected);
        QVERIFY(!midi_.isOpen());

        // A reception error is said once, from the dialog's timer.
        MidiBulkDialog other(midi_, {});
        other.show();
        midi_.sendError();
        QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 2000);
        QTest::mouseClick(other.closeButton(), Qt::LeftButton);
        QCOMPARE(other.result(), int(QDialog::Rejected));
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
};

QTEST_MAIN(MidiBulkTest)
#include "midibulk_test.moc"
