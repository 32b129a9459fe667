// Requests and sends against a fake instrument through a real JACK server
// started here. "Request dump...": the hand-shake over a two-step X1 loop
// sends exactly the requests and acknowledges expected and "&Show" holds
// exactly what the instrument sent; a silent instrument ends in the
// time-out message (the hand-shake's other turns are the receive process's
// own tests). sysforge-cli's send and request do the same from the command
// line.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#include "framework/prompter.h"
#include "instrument/instrumentdialogs.h"
#include "source/message_record.h"
#include "source/valuetext.h"
#include "support/app_fixture.h"
#include "ui/qtprompter.h"
#ifdef SF_HAVE_JACK
#include "jack/fake_instrument.h"
#include "sysex/rtmidi_system.h"
#endif

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;

#ifdef SF_HAVE_JACK
namespace {

constexpr std::uint8_t kStart = 0x41, kAck = 0x43, kEnd = 0x45;

void type(SourceRecord& r, int id, const char* text, int module = -1) {
    const SettingRef ref = makeRef(id, module);
    if (const auto f = messageField(r, ref))
        parseMessageField(r, *f, text);
    else
        parseValue(r, ref, text);
}

// A module dumped by hand-shake: "F0 41 10 14 <code> <X1> F7" asks and
// answers; data packets "F0 41 10 14 42 <X1> <k> <data> <chk> F7" carry a
// 2nd-complement checksum from byte 5; X1 runs 0, 1.
std::unique_ptr<SourceRecord> handshakeDriver() {
    auto r = newSource();
    const std::pair<int, const char*> module[] = {{134, "$F0,$41,$10,$14,Joker,X1,$F7"},
                                                  {135, "$41"},
                                                  {136, "$43"},
                                                  {137, "$45"},
                                                  {138, "$4E"},
                                                  {139, "$4F"},
                                                  {178, "5"},
                                                  {150, "1"},
                                                  {151, "1"}};
    for (const auto& [id, text] : module) type(*r, id, text, 0);
    type(*r, 17, "1000");
    applyChoice(*r, makeRef(121, 0), 72);  // hand-shake protocol
    applyChoice(*r, makeRef(116, 0), 71);  // use checksum
    applyChoice(*r, makeRef(27), 72);      // 2nd complement
    return r;
}

Bytes packet(std::uint8_t x1, std::uint8_t k) {
    Bytes p = {0xF0, 0x41, 0x10, 0x14, 0x42, x1, k, 0x20, 0x33};
    unsigned sum = 0;
    for (std::size_t i = 5; i < p.size(); ++i) sum += p[i];
    p.push_back(std::uint8_t(-sum & 0x7F));
    p.push_back(0xF7);
    return p;
}

Bytes handshake(std::uint8_t code, std::uint8_t x1) {
    return {0xF0, 0x41, 0x10, 0x14, code, x1, 0xF7};
}

}  // namespace
#endif

class RequestDumpE2ETest : public QObject {
    Q_OBJECT
#ifdef SF_HAVE_JACK
    RecordingPrompter prompter_;
    QTemporaryDir dir_;
    std::unique_ptr<testsupport::JackTestServer> server_;
    std::unique_ptr<RtMidiSystem> midi_;

    // The dialog on the fake's ports, run to its end.
    std::unique_ptr<RequestDumpDialog> run(const SourceRecord& r) {
        MidiPreferences ports;
        ports.output = {0, "JACK: sffake:in"};
        ports.input = {0, "JACK: sffake:out"};
        auto dialog = std::make_unique<RequestDumpDialog>(*midi_, ports, r, 0, "synth.d", nullptr);
        dialog->show();
        if (!QTest::qWaitFor(
                [&] { return !dialog->running() && !dialog->stopButton()->isEnabled(); }, 10000))
            qWarning("the request did not end");
        return dialog;
    }
    void ok(const QStringList& args) {
        QString err;
        QVERIFY2(testsupport::runCli(args, dir_.path(), &err) == 0,
                 qPrintable(args.join(' ') + ": " + err));
    }

  private slots:
    void initTestCase() {
        ::signal(SIGPIPE, SIG_IGN);
        if (!testsupport::JackTestServer::installed()) QSKIP("jackd is not installed");
        server_ = std::make_unique<testsupport::JackTestServer>();
        QVERIFY2(server_->up(), qPrintable("the JACK server did not start: " + server_->output()));
        midi_ = std::make_unique<RtMidiSystem>("sfe2e");
    }
    void cleanupTestCase() {
        midi_.reset();
        server_.reset();
    }
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
    }
    void cleanup() {
        setPrompter(nullptr);
    }

    void handshakeOverTwoLoopStepsShowsTheInstrumentsBytes() {
        testsupport::FakeInstrument fake;
        QVERIFY(fake.open());
        int next = 0;
        fake.answer = [&](const Bytes& m) -> std::vector<Bytes> {
            if (m.size() < 7) return {};
            if (m[4] == kStart) next = 0;
            if (next == 2) return {handshake(kEnd, m[5])};
            return {packet(m[5], std::uint8_t(next++))};
        };
        const auto r = handshakeDriver();
        const auto dialog = run(*r);
        const std::vector<Bytes> expected = {handshake(kStart, 0), handshake(kAck, 0),
                                             handshake(kAck, 0),   handshake(kStart, 1),
                                             handshake(kAck, 1),   handshake(kAck, 1)};
        QVERIFY2(fake.received() == expected, qPrintable(testsupport::describe(fake.received())));
        const Bytes sent = fake.sent();
        QCOMPARE(dialog->statusLine()->text(),
                 QString("Dump received: %1 bytes.").arg(sent.size()));
        QVERIFY(
            dialog->logView()->toPlainText().contains("sent      7 bytes  F0 41 10 14 41 01 F7"));
        QSignalSpy shown(dialog.get(), &RequestDumpDialog::showRequested);
        QVERIFY(dialog->showButton()->isEnabled());
        QTest::mouseClick(dialog->showButton(), Qt::LeftButton);
        QCOMPARE(shown.count(), 1);
        QVERIFY(shown[0][0].value<Bytes>() == sent);
        QCOMPARE(shown[0][1].toString(), QString("synth.d"));
        QCOMPARE(shown[0][2].toInt(), 0);
        QVERIFY(prompter_.messages.empty());
    }

    void silentInstrumentEndsInTimeOut() {
        testsupport::FakeInstrument fake;
        QVERIFY(fake.open());
        const auto r = handshakeDriver();
        const auto dialog = run(*r);
        QVERIFY2(fake.received() == std::vector<Bytes>{handshake(kStart, 0)},
                 qPrintable(testsupport::describe(fake.received())));
        QCOMPARE(dialog->statusLine()->text(),
                 QString("No answer from the instrument within 1000 ms."));
        QVERIFY(!dialog->showButton()->isEnabled());
    }

    // sysforge-cli send delivers exactly the resolved bytes.
    void cliSendDeliversTheResolvedBytes() {
        testsupport::FakeInstrument fake;
        QVERIFY(fake.open());
        ok({"new", "send.d"});
        ok({"set", "send.d", "15", "$F0,$41,Chan,$16"});
        ok({"set", "send.d", "23", "31"});
        ok({"set", "send.d", "24", "16"});
        ok({"choose", "send.d", "27", "2nd complement (-sum & 127)"});
        ok({"set", "send.d", "28", "5"});
        ok({"set", "send.d", "158:0", "08 00 00"});
        ok({"set", "send.d", "160:0", "00 01 00"});
        ok({"set", "send.d", "205:0", "Head,$11,Adr,Len,Chk,$F7,Wait20,AddNext,$C0,X1,$05"});
        ok({"send", "send.d", "205:0", "--var", "X1=7", "--port", "JACK: sffake:in"});
        const Bytes sysex = {0xF0, 0x41, 0x10, 0x16, 0x11, 0x08, 0x00,
                             0x00, 0x00, 0x01, 0x00, 0x77, 0xF7};
        const Bytes program = {0xC7, 0x05};
        const std::vector<Bytes> expected = {sysex, program};
        // The client may close before the cycle that carries its last event
        // reaches the fake.
        QVERIFY2(QTest::qWaitFor([&] { return fake.received() == expected; }, 2000),
                 qPrintable(testsupport::describe(fake.received())));
    }

    // sysforge-cli request over a two-step X1 loop, each request waiting for
    // one answer, saves exactly the dump, packets larger than one JACK event
    // included.
    void cliRequestSavesExactlyTheDump() {
        testsupport::FakeInstrument fake;
        QVERIFY(fake.open());
        fake.answer = [](const Bytes& m) -> std::vector<Bytes> {
            if (m.size() != 7) return {};
            Bytes p = {0xF0, 0x41, 0x10, 0x14, 0x12, m[5]};
            for (int i = 0; i < 300; ++i) p.push_back(std::uint8_t((i + m[5]) & 0x7F));
            p.push_back(0xF7);
            return {p};
        };
        ok({"new", "dump.d"});
        ok({"set", "dump.d", "17", "2000"});
        ok({"set", "dump.d", "205:0", "$F0,$41,$10,$14,$11,X1,$F7"});
        ok({"set", "dump.d", "150:0", "1"});
        ok({"set", "dump.d", "151:0", "1"});
        ok({"choose", "dump.d", "121:0", "Wait for one answer from device"});
        ok({"request", "dump.d", "0", "out.syx", "--port", "sffake"});

        auto request = [](std::uint8_t x1) {
            return Bytes{0xF0, 0x41, 0x10, 0x14, 0x11, x1, 0xF7};
        };
        const std::vector<Bytes> requests = {request(0), request(1)};
        QVERIFY2(fake.received() == requests, qPrintable(testsupport::describe(fake.received())));
        const QByteArray saved = testsupport::bytesOf(dir_.filePath("out.syx"));
        const Bytes sent = fake.sent();
        QCOMPARE(sent.size(), std::size_t(2 * 307));
        QVERIFY(Bytes(saved.begin(), saved.end()) == sent);
    }
#else
  private slots:
    void initTestCase() {
        QSKIP("built without JACK and RtMidi");
    }
#endif
};

QTEST_MAIN(RequestDumpE2ETest)
#include "request_dump_e2e_test.moc"
