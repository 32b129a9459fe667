// For the tests that talk to an instrument through JACK: a JACK server of
// the test's own, and a fake instrument, a JACK client with a MIDI input
// "in" and output "out" that records every message it is sent and answers
// with the replies the test prepares.
#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jack/jack_server.h"

namespace sf::testsupport {

using Bytes = std::vector<std::uint8_t>;

class FakeInstrument {
  public:
    // The answer to one whole message received (SysEx pieces joined).
    using Answer = std::function<std::vector<Bytes>(const Bytes& received)>;

    // Opens client `clientName` on the running server.
    explicit FakeInstrument(const std::string& clientName = "sffake");
    ~FakeInstrument();
    bool open() const { return client_ != nullptr; }

    // Set before the test talks to it.
    Answer answer;

    // Everything received so far, message by message.
    std::vector<Bytes> received() const;
    // Everything sent so far, joined.
    Bytes sent() const;

  private:
    static int process(std::uint32_t frames, void* self);
    void work();

    void* client_ = nullptr;  // jack_client_t
    void* in_ = nullptr;      // jack_port_t
    void* out_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Bytes partial_;               // process thread only
    std::deque<Bytes> incoming_;  // to the worker
    std::deque<Bytes> outgoing_;  // events to write, from the worker
    std::vector<Bytes> received_;
    Bytes sent_;
    bool quit_ = false;
    std::thread worker_;
};

// Messages in hex, for a failure's message: "F0 41 F7 | C0 05".
inline QString describe(const std::vector<Bytes>& messages) {
    QStringList lines;
    for (const Bytes& m : messages) {
        QString line;
        for (std::uint8_t b : m) line += QString::asprintf("%02X ", b);
        lines << line.trimmed();
    }
    return lines.join(" | ");
}

}  // namespace sf::testsupport
