// Two real processes: a second start hands its files to the running copy and
// ends with exit code 1; the running copy opens them.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/sysforgeapp.h"
#include "support/app_fixture.h"

using sf::gui::SysforgeApp;

namespace {

QProcessEnvironment envFor(const QString& configDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SYSFORGE_CONFIG_DIR", configDir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qt.qpa.*=false");
    return env;
}

// A start of the program run to its end: its exit code (-1 when it did not
// end by itself) and what it printed.
struct Ended {
    int code = -1;
    QByteArray out;
};
Ended run(const QProcessEnvironment& env, const QStringList& args, const QString& folder = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(SF_GUI_PATH, args);
    if (!p.waitForFinished(8000) || p.exitStatus() != QProcess::NormalExit) return {};
    return {p.exitCode(), p.readAllStandardOutput()};
}

bool waitForServer(const QString& name, int ms) {
    return QTest::qWaitFor(
        [&] {
            QLocalSocket s;
            s.connectToServer(name);
            return s.waitForConnected(100);
        },
        ms);
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT
  private slots:
    void secondStartHandsOverItsFiles() {
        QTemporaryDir dir;
        const QString config = dir.filePath("config");
        const QString socket = SysforgeApp::socketNameFor(SysforgeApp::defaultPaths(config));
        QProcess cli;
        cli.start(SF_CLI_PATH, {"new", dir.filePath("handed.d")});
        QVERIFY(cli.waitForFinished(10000));

        QProcess first;
        first.setProcessEnvironment(envFor(config));
        first.start(SF_GUI_PATH, {"NR"});
        QVERIFY(first.waitForStarted(5000));
        QVERIFY2(waitForServer(socket, 8000), qPrintable(socket));

        // The second start works in another folder: a relative name is made
        // absolute before it is handed over. An empty command line only
        // brings the window forward; --version answers itself.
        QCOMPARE(run(envFor(config), {"handed.d"}, dir.path()).code, 1);
        QCOMPARE(run(envFor(config), {}).code, 1);
        const Ended version = run(envFor(config), {"--version"});
        QCOMPARE(version.code, 0);
        QVERIFY(version.out.startsWith("sysforge "));
        QCOMPARE(first.state(), QProcess::Running);
        // Nothing has talked MIDI: the MIDI libraries are not loaded yet.
        const QByteArray mapped =
            sf::testsupport::bytesOf(QStringLiteral("/proc/%1/maps").arg(first.processId()));
        QVERIFY(!mapped.isEmpty());
        for (const char* lib : {"librtmidi", "libjack", "libasound"})
            QVERIFY2(!mapped.contains(lib), lib);

        // Ending the running copy the ordinary way writes its layout, which
        // names every document window it had open.
        QTest::qWait(300);
        first.terminate();
        QVERIFY(first.waitForFinished(8000));
        const QByteArray text = sf::testsupport::bytesOf(config + "/layout.dat");
        QVERIFY2(text.contains(("File1=" + QDir(dir.path()).filePath("handed.d")).toUtf8()),
                 text.constData());
        QVERIFY(!text.contains("File2="));
        QVERIFY(QFile::exists(config + "/main.set"));
    }

    // Without any display at all: the answer comes before one is needed.
    void helpAndVersionWithoutADisplay() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        for (const char* arg : {"--help", "-h", "--version", "-v"}) {
            const Ended e = run(env, {QString::fromLatin1(arg)});
            QVERIFY2(e.code == 0, arg);
            const bool help = arg[1] == 'h' || arg[2] == 'h';
            QVERIFY2(help ? e.out.contains("Usage: sysforge [options] [files...]")
                          : e.out == "sysforge " SF_VERSION "\n",
                     e.out.constData());
        }
    }

    // What a killed copy leaves behind hands nothing over and is taken over.
    void staleSocketOfACrashedCopyIsTakenOver() {
        QTemporaryDir dir;
        const QString name =
            SysforgeApp::socketNameFor(SysforgeApp::defaultPaths(dir.filePath("c")));
        QVERIFY(sf::testsupport::writeFile(QDir::temp().filePath(name), {}));
        QVERIFY(!sf::gui::handOverToRunningCopy(name, {"/x.d"}));
        SysforgeApp app(SysforgeApp::Options{dir.filePath("c"), name});
        QLocalSocket s;
        s.connectToServer(name);
        QVERIFY(s.waitForConnected(1000));
    }

    // Only the user may talk to the running copy, and a client that sends
    // no request the copy understands is cut off once it has sent too much.
    void socketIsPrivateAndRefusesFloods() {
        QTemporaryDir dir;
        const QString name =
            SysforgeApp::socketNameFor(SysforgeApp::defaultPaths(dir.filePath("c")));
        SysforgeApp app(SysforgeApp::Options{dir.filePath("c"), name});
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(QDir::temp().filePath(name)).constData(), &st), 0);
        QVERIFY(S_ISSOCK(st.st_mode));
        QCOMPARE(st.st_mode & 077, 0u);

        QLocalSocket s;
        s.connectToServer(name);
        QVERIFY(s.waitForConnected(1000));
        const QByteArray flood(2 << 20, 'x');
        s.write(flood);
        QTRY_COMPARE_WITH_TIMEOUT(s.state(), QLocalSocket::UnconnectedState, 8000);
        QCOMPARE(s.readAll(), QByteArray());
        // The server still answers a well-formed request afterwards.
        QLocalSocket next;
        next.connectToServer(name);
        QVERIFY(next.waitForConnected(1000));
        next.write(QByteArray("SFHO\0\0\0\0", 8));
        QTRY_VERIFY_WITH_TIMEOUT(next.bytesAvailable() >= 2, 2000);
        QCOMPARE(next.readAll(), QByteArray("OK"));
    }
};

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
