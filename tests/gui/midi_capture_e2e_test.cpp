// The bulk capture against real MIDI systems: a JACK server with its dummy
// backend (started here under a name of its own, stopped by its process id),
// and the ALSA sequencer where the machine has one. A second client sends a
// dump of several kilobytes and channel messages; the document made by
// "&Show" must hold exactly those bytes.
#include <unistd.h>

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <memory>

#include "framework/prompter.h"
#include "jack/jack_server.h"
#include "support/leak_suppressions.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisystem.h"
#include "ui/qtprompter.h"
#ifdef SF_HAVE_RTMIDI
#include <RtMidi.h>

#include "sysex/rtmidi_system.h"
#endif

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;

// The JACK client library keeps a buffer of its own pool after the client
// has closed; that is not ours to free.
SF_LEAK_SUPPRESSIONS("leak:libjack.so\n")

namespace {

Bytes dumpMessage(int index, std::size_t length) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i)
        b[i] = static_cast<std::uint8_t>((i * 13 + index * 7) & 0x7F);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

}  // namespace

class MidiCaptureE2ETest : public QObject {
    Q_OBJECT
    RecordingPrompter prompter_;

#ifdef SF_HAVE_RTMIDI
    // A dialog, shown, recording from the input of `system` whose name starts
    // with `port`.
    static std::unique_ptr<MidiBulkDialog> dialogOn(MidiSystem& midi, const std::string& port,
                                                    const std::string& system = "JACK") {
        const std::vector<MidiPort> inputs = midi.inputs();
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (inputs[i].system == system && inputs[i].name.rfind(port, 0) == 0) {
                auto dialog = std::make_unique<MidiBulkDialog>(
                    midi, MidiPortChoice{int(i), inputs[i].label()});
                dialog->show();
                return dialog;
            }
        return nullptr;
    }
    static bool waitCount(MidiBulkDialog& dialog, std::size_t n) {
        const QString line = QString("Number of bytes received : %1").arg(n);
        return QTest::qWaitFor([&] { return dialog.countLine()->text() == line; }, 5000);
    }
    // "&Show" hands over exactly `expected`, once.
    static bool showsExactly(MidiBulkDialog& dialog, const Bytes& expected) {
        QSignalSpy shown(&dialog, &MidiBulkDialog::showRequested);
        QTest::mouseClick(dialog.showButton(), Qt::LeftButton);
        return shown.count() == 1 && shown[0][0].value<Bytes>() == expected;
    }

    void captureThrough(RtMidi::Api api, const std::string& system) {
        // The editor's own systems, loaded as a module on this first use.
        MidiSystem& midi = midiSystem();
        RtMidiOut dumpSender(api, "sfsender");
        dumpSender.openVirtualPort("dump");
        auto dialog = dialogOn(midi, "sfsender:dump", system);
        QVERIFY2(dialog, "the sender's port is not listed");
        QVERIFY2(prompter_.messages.empty(), "the input did not open");

        // A bulk of 8 SysEx messages of 1000 bytes each: 8 kB.
        Bytes expected;
        for (int k = 0; k < 8; ++k) {
            std::vector<unsigned char> m = dumpMessage(k, 1000);
            dumpSender.sendMessage(&m);
            expected.insert(expected.end(), m.begin(), m.end());
            QVERIFY2(waitCount(*dialog, expected.size()), qPrintable(dialog->countLine()->text()));
        }

        // Channel messages (and a clock tick, not kept) from another program,
        // sent to our own port.
        RtMidiOut other(api, "sfother");
        int ours = -1;
        for (unsigned i = 0; i < other.getPortCount(); ++i)
            if (other.getPortName(i).rfind("Sysforge:Sysforge", 0) == 0) ours = int(i);
        QVERIFY2(ours >= 0, "the capture's own port is not offered to other programs");
        other.openPort(unsigned(ours));
        const std::vector<Bytes> channel = {{0x90, 60, 100}, {0xF8}, {0xC1, 12}, { 0x80, 60, 0 }};
        for (const Bytes& m : channel) {
            other.sendMessage(m.data(), m.size());
            if (m[0] != 0xF8) expected.insert(expected.end(), m.begin(), m.end());
        }
        QVERIFY2(waitCount(*dialog, expected.size()), qPrintable(dialog->countLine()->text()));
        QVERIFY(showsExactly(*dialog, expected));
        QVERIFY(prompter_.messages.empty());
    }

    // Runs `body` against a JACK server of this test's own, the default
    // server of every client the test and the capture open meanwhile.
    template <class Body>
    void withJack(Body body) {
        if (!testsupport::JackTestServer::installed()) QSKIP("jackd is not installed");
        // Periods of 2048 frames: one MIDI event carries about 2,000 bytes.
        testsupport::JackTestServer server(2048);
        QVERIFY2(server.up(), qPrintable("the JACK server did not start: " + server.output()));
        body(server);
        if (QTest::currentTestFailed()) qWarning("jackd said: %s", qPrintable(server.output()));
    }

  private slots:
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
    }
    void cleanup() {
        setPrompter(nullptr);
    }

    void captureThroughJack() {
        withJack([&](testsupport::JackTestServer&) { captureThrough(RtMidi::UNIX_JACK, "JACK"); });
    }

    // A dump longer than one JACK event comes in pieces, and a clock tick
    // may come between them: the dump is recorded whole, the tick not.
    void realTimeByteInsideASplitDumpIsNotRecorded() {
        withJack([&](testsupport::JackTestServer&) {
            RtMidiSystem midi;
            RtMidiOut sender(RtMidi::UNIX_JACK, "sfsender");
            sender.openVirtualPort("dump");
            auto dialog = dialogOn(midi, "sfsender:dump");
            QVERIFY(dialog);
            const Bytes dump = dumpMessage(3, 8000);
            for (int piece = 0; piece < 5; ++piece) {
                if (piece == 2) sender.sendMessage(Bytes{0xF8}.data(), 1);
                sender.sendMessage(dump.data() + piece * 1600, 1600);
                QTest::qWait(100);  // one event per period of the server
            }
            QVERIFY2(waitCount(*dialog, dump.size()), qPrintable(dialog->countLine()->text()));
            QVERIFY(showsExactly(*dialog, dump));
        });
    }

    // No signal handling of the test's own: the program must live on.
    void serverStopsDuringCapture() {
        withJack([&](testsupport::JackTestServer& server) {
            RtMidiSystem midi;
            RtMidiOut sender(RtMidi::UNIX_JACK, "sfsender");
            sender.openVirtualPort("dump");
            auto dialog = dialogOn(midi, "sfsender:dump");
            QVERIFY(dialog);
            const Bytes dump = dumpMessage(1, 1000);
            sender.sendMessage(&dump);
            QVERIFY(waitCount(*dialog, dump.size()));
            QVERIFY(prompter_.messages.empty());

            server.stop();
            QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 3000);
            QCOMPARE(
                prompter_.messages[0].text,
                std::string("Error while receiving Midi data. It is adviced to clear the bulk."));
            QTest::qWait(300);  // said once
            QCOMPARE(prompter_.messages.size(), std::size_t(1));
            QCOMPARE(dialog->portLine()->text(), QString("MIDI input: JACK: sfsender:dump (lost)"));
            QVERIFY(showsExactly(*dialog, dump));
        });
    }

    // Without any MIDI system nothing reaches the terminal.
    void noMidiSystemIsFoundQuietly() {
        if (QFileInfo::exists("/dev/snd/seq")) QSKIP("this machine has an ALSA sequencer");
        qputenv("JACK_DEFAULT_SERVER", "sysforge-test-nobody");
        QTemporaryFile err;
        QVERIFY(err.open());
        const int saved = ::dup(2);
        ::dup2(err.handle(), 2);
        bool present = true;
        std::size_t ports = 1;
        {
            RtMidiSystem midi;
            present = midi.present();
            ports = midi.inputs().size() + midi.outputs().size();
        }
        ::dup2(saved, 2);
        ::close(saved);
        qunsetenv("JACK_DEFAULT_SERVER");
        QVERIFY(!present);
        QCOMPARE(ports, std::size_t(0));
        QCOMPARE(QString::fromLocal8Bit(err.readAll()), QString());
    }

    void captureThroughAlsa() {
        if (!QFileInfo::exists("/dev/snd/seq"))
            QSKIP("no ALSA sequencer on this machine (/dev/snd/seq)");
        captureThrough(RtMidi::LINUX_ALSA, "ALSA");
    }
#else
  private slots:
    void initTestCase() {
        QSKIP("built without RtMidi");
    }
#endif
};

QTEST_MAIN(MidiCaptureE2ETest)
#include "midi_capture_e2e_test.moc"
