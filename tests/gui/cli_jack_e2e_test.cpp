// sysforge-cli's send and request against a fake instrument through a real
// JACK server started here: send delivers exactly the resolved bytes, and
// request saves exactly what the instrument dumped, a packet larger than one
// JACK event included.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#ifdef SF_HAVE_JACK
#include "jack/fake_instrument.h"
#endif

using Bytes = std::vector<std::uint8_t>;

namespace {

struct Run {
    int status = -1;
    QString err;
};

// The CLI in `dir`, killed when it takes longer than a few seconds.
Run cli(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(SF_CLI_PATH, args);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(1000);
        return {-1, "timed out: " + args.join(' ')};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

class CliJackE2ETest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
#ifdef SF_HAVE_JACK
    std::unique_ptr<sf::testsupport::JackTestServer> server_;
#endif

    void ok(const QStringList& args) {
        const Run r = cli(dir_.path(), args);
        QVERIFY2(r.status == 0, qPrintable(args.join(' ') + ": " + r.err));
    }

  private slots:
    void initTestCase() {
        ::signal(SIGPIPE, SIG_IGN);
#ifndef SF_HAVE_JACK
        QSKIP("built without JACK and RtMidi");
#else
        if (!sf::testsupport::JackTestServer::installed()) QSKIP("jackd is not installed");
        server_ = std::make_unique<sf::testsupport::JackTestServer>();
        QVERIFY2(server_->up(), qPrintable("the JACK server did not start: " + server_->output()));
        QVERIFY(dir_.isValid());
#endif
    }
    void cleanupTestCase() {
#ifdef SF_HAVE_JACK
        server_.reset();
#endif
    }

#ifdef SF_HAVE_JACK
    void sendDeliversTheResolvedBytes() {
        sf::testsupport::FakeInstrument fake;
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
                 qPrintable(sf::testsupport::describe(fake.received())));
    }

    // A two-step X1 loop, each request waiting for one answer.
    void requestSavesExactlyTheDump() {
        sf::testsupport::FakeInstrument fake;
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
        const Run r = cli(dir_.path(), {"request", "dump.d", "0", "out.syx", "--port", "sffake"});
        QVERIFY2(r.status == 0, qPrintable(r.err));

        auto request = [](std::uint8_t x1) {
            return Bytes{0xF0, 0x41, 0x10, 0x14, 0x11, x1, 0xF7};
        };
        const std::vector<Bytes> requests = {request(0), request(1)};
        QVERIFY2(fake.received() == requests,
                 qPrintable(sf::testsupport::describe(fake.received())));
        QFile out(dir_.filePath("out.syx"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QByteArray saved = out.readAll();
        const Bytes sent = fake.sent();
        QCOMPARE(sent.size(), std::size_t(2 * 307));
        QVERIFY(Bytes(saved.begin(), saved.end()) == sent);
    }
#endif
};

QTEST_MAIN(CliJackE2ETest)
#include "cli_jack_e2e_test.moc"
