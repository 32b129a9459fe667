#include "jack/jack_server.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>

namespace sf::testsupport {

bool JackTestServer::installed() {
    return !QStandardPaths::findExecutable("jackd").isEmpty();
}

JackTestServer::JackTestServer(int periodFrames) : period_(periodFrames) {
    const QString jackd = QStandardPaths::findExecutable("jackd");
    if (jackd.isEmpty()) return;
    for (int n = 0; n < 4 && !up_; ++n) tryStart(jackd, QString("sysforge-test-%1").arg(n));
    if (up_) qputenv("JACK_DEFAULT_SERVER", name_.toLocal8Bit());
}

JackTestServer::~JackTestServer() {
    if (!name_.isEmpty() && qgetenv("JACK_DEFAULT_SERVER") == name_.toLocal8Bit())
        qunsetenv("JACK_DEFAULT_SERVER");
    stop();
}

void JackTestServer::tryStart(const QString& jackd, const QString& name) {
    stop();
    name_ = name;
    output_.clear();
    process_.setProgram(jackd);
    // No client is thrown out for being slow: the machine may be busy.
    process_.setArguments({"-Z", "-t", "5000", "-n", name_, "-d", "dummy", "-r", "48000", "-p",
                           QString::number(period_)});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("JACK_DEFAULT_SERVER", name_);
    process_.setProcessEnvironment(env);
    process_.start();
    if (!process_.waitForStarted(3000)) return;
    const QString socket = QString("/dev/shm/jack-%1/%2/jack_0").arg(::getuid()).arg(name_);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(50);
        output_ += QString::fromLocal8Bit(process_.readAll());
        if (output_.contains("creating dummy driver") && QFileInfo::exists(socket)) {
            QTest::qWait(200);
            up_ = process_.state() == QProcess::Running;
            return;
        }
    }
    stop();
}

void JackTestServer::stop() {
    up_ = false;
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
    output_ += QString::fromLocal8Bit(process_.readAll());
}

}  // namespace sf::testsupport
