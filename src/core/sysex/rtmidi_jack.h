// What the MIDI systems need from JACK beyond RtMidi: asking whether a
// server runs before RtMidi's JACK API is touched (RtMidi prints its failure
// from its constructor, before an error callback can be set), keeping the
// JACK client library off the terminal, and noticing that a server went
// away or a port vanished while an input is open.
#pragma once

#include <atomic>
#include <memory>
#include <string>

struct _jack_client;

namespace sf::jack {

// Process-wide, once: the JACK client library's errors and notes go
// nowhere instead of standard error.
void quietClientLibrary();

// Whether a JACK server answers; none is started for the question.
bool serverAnswers();

// A client of our own on the running server that only watches.
class Watch {
  public:
    // Null when no server answers.
    static std::unique_ptr<Watch> open(const std::string& clientName);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // The server has shut this client down (it stopped or threw us out).
    bool serverGone() const { return gone_.load(std::memory_order_acquire); }
    // Whether the server lists the port of full name `name` ("client:port").
    bool hasPort(const std::string& name) const;

  private:
    Watch() = default;
    static void onShutdown(void* self);

    _jack_client* client_ = nullptr;
    std::atomic<bool> gone_{false};
};

}  // namespace sf::jack
