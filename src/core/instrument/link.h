// Running a conversation with the instrument over real (or fake) MIDI ports.
//
// Threads. A run happens on one thread, the worker: the editor starts it on
// a thread of its own so that the interface never waits for MIDI, the
// command line runs it on its main thread. The worker alone touches the
// exchange and the output while the run lasts. Three things are shared:
//   - the inbox, written by the MIDI system's thread and read by the worker,
//     under the inbox's mutex (unlike the bulk capture's lock-free block, the
//     worker must sleep until a message or its time-out comes);
//   - the log, appended by the worker and read by the interface thread on
//     its timer, under the log's mutex;
//   - the cancel flag, an atomic that any thread may set; the worker looks
//     at it between actions and wakes from every wait to do so.
// Everything else (the exchange's result and capture) is read by the
// interface thread only once the worker has finished (ExchangeWorker
// publishes that with release/acquire ordering) or been joined.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/exchange.h"
#include "sysex/midi.h"

namespace sf {

// Cuts the bytes of resolved messages into MIDI events an output takes:
// each channel and system message on its own (a running status is written
// out), SysEx messages in pieces of at most `maxPiece` bytes, which a JACK
// port accepts whatever its buffer. Bytes that belong to no message go out
// alone, as typed.
std::vector<Bytes> midiEvents(ConstByteSpan bytes, std::size_t maxPiece = 256);

// How long `bytes` take on a MIDI cable (31250 baud: 320 us a byte); with
// "Slow speed", three times as long.
long long paceMicros(std::size_t bytes, bool slow);

// The port named `name` in `ports`: the one whose label ("JACK: synth:in")
// or name equals it, else the only one whose name begins with it; -1 when
// none or several fit.
int findPortByName(const std::vector<MidiPort>& ports, std::string_view name);

// Gathers what an input receives into whole messages (SysEx pieces joined,
// real-time bytes dropped) for the worker to take.
class Inbox : public MidiReceiver {
  public:
    void received(ConstByteSpan bytes) override;  // MIDI thread
    void receptionError() override;
    // Worker: the next whole message, waiting at most `ms` (forever when
    // negative) and returning early (false) when `cancel` is set.
    bool pop(Bytes& message, int ms, const std::atomic<bool>& cancel);
    // Any thread: wakes a waiting pop() to look at its cancel flag.
    void wake();
    bool hadError() const;

  private:
    void deliver(Bytes message);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Bytes> messages_;
    Bytes partial_;
    bool inSysex_ = false;
    bool error_ = false;
};

struct LinkLogEntry {
    double seconds = 0;  // since the start of the run
    enum class What { Sent, Received, Note } what = What::Note;
    std::size_t length = 0;
    Bytes head;  // the first bytes
    std::string note;
};
// "0.125  sent      13 bytes  F0 41 10 16 11 08 00 00 ..."
std::string logLine(const LinkLogEntry& e);

class ExchangeRunner {
  public:
    // `input` may be null when nothing is to be received.
    ExchangeRunner(MidiOutput& output, Inbox* input, bool slow);

    // Runs `exchange` to its end on the calling thread.
    void run(Exchange& exchange);
    // Any thread.
    void cancel();
    std::vector<LinkLogEntry> log(std::size_t from = 0) const;
    std::size_t logSize() const;
    void note(const std::string& text);

  private:
    void add(LinkLogEntry e);
    bool sleepMicros(long long us);  // false when cancelled
    bool sendBytes(const Bytes& bytes);

    MidiOutput& output_;
    Inbox* input_;
    bool slow_;
    std::atomic<bool> cancel_{false};
    std::mutex sleepMutex_;
    std::condition_variable sleepCv_;
    mutable std::mutex logMutex_;
    std::vector<LinkLogEntry> log_;
    std::chrono::steady_clock::time_point start_;
};

// Runs an exchange on a thread of its own.
class ExchangeWorker {
  public:
    ExchangeWorker(ExchangeRunner& runner, Exchange& exchange);
    ~ExchangeWorker();  // cancels and joins
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    void join();

  private:
    ExchangeRunner& runner_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace sf
