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

using sf::gui::SysforgeApp;

namespace {

QProcessEnvironment envFor(const QString& configDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SYSFORGE_CONFIG_DIR", configDir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qt.qpa.*=false");
    return env;
}

bool waitForServer(const QString& name, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QLocalSocket s;
        s.connectToServer(name);
        if (s.waitForConnected(100)) return true;
        QTest::qWait(50);
    }
    return false;
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
        // absolute before it is handed over.
        QProcess second;
        second.setProcessEnvironment(envFor(config));
        second.setWorkingDirectory(dir.path());
        second.start(SF_GUI_PATH, {"handed.d"});
        QVERIFY(second.waitForFinished(8000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);

        QProcess third;  // an empty command line only brings the window forward
        third.setProcessEnvironment(envFor(config));
        third.start(SF_GUI_PATH, {});
        QVERIFY(third.waitForFinished(8000));
        QCOMPARE(third.exitCode(), 1);
        // --version answers itself, not through the running copy.
        QProcess version;
        version.setProcessEnvironment(envFor(config));
        version.start(SF_GUI_PATH, {"--version"});
        QVERIFY(version.waitForFinished(8000));
        QCOMPARE(version.exitCode(), 0);
        QVERIFY(version.readAllStandardOutput().startsWith("sysforge "));
        QCOMPARE(first.state(), QProcess::Running);
        // Nothing has talked MIDI: the MIDI libraries are not loaded yet.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(first.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char* lib : {"librtmidi", "libjack", "libasound"})
            QVERIFY2(!mapped.contains(lib), lib);

        // Ending the running copy the ordinary way writes its layout, which
        // names every document window it had open.
        QTest::qWait(300);
        first.terminate();
        QVERIFY(first.waitForFinished(8000));
        QFile layout(config + "/layout.dat");
        QVERIFY(layout.open(QIODevice::ReadOnly));
        const QByteArray text = layout.readAll();
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
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(SF_GUI_PATH, {QString::fromLatin1(arg)});
            QVERIFY(p.waitForFinished(8000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QVERIFY2(p.exitCode() == 0, arg);
            const QByteArray out = p.readAllStandardOutput();
            const bool help = arg[1] == 'h' || arg[2] == 'h';
            QVERIFY2(help ? out.contains("Usage: sysforge [options] [files...]")
                          : out == "sysforge " SF_VERSION "\n",
                     out.constData());
        }
    }

    void staleSocketOfACrashedCopyIsTakenOver() {
        QTemporaryDir dir;
        const QString name =
            SysforgeApp::socketNameFor(SysforgeApp::defaultPaths(dir.filePath("c")));
        QFile stale(QDir::temp().filePath(name));  // what a killed copy leaves behind
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
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
        QElapsedTimer t;
        t.start();
        while (s.state() == QLocalSocket::ConnectedState && t.elapsed() < 8000) QTest::qWait(20);
        QCOMPARE(s.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(s.readAll(), QByteArray());
        // The server still answers a well-formed request afterwards.
        QLocalSocket next;
        next.connectToServer(name);
        QVERIFY(next.waitForConnected(1000));
        next.write(QByteArray("SFHO\0\0\0\0", 8));
        QTRY_VERIFY_WITH_TIMEOUT(next.bytesAvailable() >= 2, 2000);
        QCOMPARE(next.readAll(), QByteArray("OK"));
    }

    void noRunningCopyMeansNoHandOver() {
        QTemporaryDir dir;
        const QString socket =
            SysforgeApp::socketNameFor(SysforgeApp::defaultPaths(dir.filePath("none")));
        QVERIFY(!sf::gui::handOverToRunningCopy(socket, {"/x.d"}));
    }
};

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
