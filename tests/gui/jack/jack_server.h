// A JACK server of a test's own, started with the dummy backend.
#pragma once

#include <QProcess>
#include <QString>

namespace sf::testsupport {

// A JACK server with the dummy backend for the life of the object, under a
// name of its own (from a small pool, the first that no running server
// holds: JACK keeps its servers in a small machine-wide table). The name is
// set as JACK_DEFAULT_SERVER of this process while the server is up.
class JackTestServer {
  public:
    // periodFrames: the server's period, which also bounds the size of one
    // MIDI event it carries.
    explicit JackTestServer(int periodFrames = 256);
    ~JackTestServer();
    static bool installed();
    bool up() const { return up_; }
    QString output() const { return output_; }

    // Ends the server now (as when the JACK server of a user stops).
    void stop();

  private:
    void tryStart(const QString& jackd, const QString& name);

    QProcess process_;
    QString name_;
    QString output_;
    int period_;
    bool up_ = false;
};

}  // namespace sf::testsupport
