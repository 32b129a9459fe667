// The state and actions of the windows that talk to the instrument ("Send...",
// "Send to MIDI output", "Request dump..."): the ports chosen in the MIDI
// Settings opened by name, one exchange run on a worker thread, its log
// handed to the interface thread line by line, and the values a message's
// tags start with.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instrument/link.h"
#include "instrument/receive.h"

namespace sf {

inline constexpr const char* kMsgMidiOutputNotOpened = "The MIDI output could not be opened!";

// The values a message's context variables start with, from the driver:
// Chan the "Default sysex ID" (channel 1 with "Type ID" "MIDI Channel"), X1
// and X2 the loops' start values, V1..V3 the first loop set's start values
// when the module uses the complex loop, Joker the hand-shake start code for
// the "Template message", everything else 0.
SendContext defaultContext(const SourceRecord& r, int module, int settingId);

class InstrumentSession {
  public:
    // `input` only for exchanges that listen to the instrument.
    InstrumentSession(MidiSystem& system, MidiPortChoice output,
                      std::optional<MidiPortChoice> input = std::nullopt);
    ~InstrumentSession();
    InstrumentSession(const InstrumentSession&) = delete;
    InstrumentSession& operator=(const InstrumentSession&) = delete;

    // Opens the ports (again, when a run has ended); the message to show
    // when one cannot be opened, else empty. A port stored by name that is
    // gone is not replaced by another.
    std::string open();
    const MidiPort& outputPort() const { return outPort_; }

    // Runs `exchange` on the worker; the session keeps it.
    void start(std::unique_ptr<Exchange> exchange, bool slow);
    bool running() const;
    void stop();
    // Log lines since the last call (interface thread).
    std::vector<std::string> takeLog();
    // The exchange of the last run, once it is no longer running.
    Exchange* finished();

  private:
    MidiSystem& system_;
    MidiPortChoice outChoice_;
    std::optional<MidiPortChoice> inChoice_;
    MidiPort outPort_;
    Inbox inbox_;
    std::unique_ptr<MidiOutput> output_;
    std::unique_ptr<MidiInput> input_;
    std::unique_ptr<Exchange> exchange_;
    std::unique_ptr<ExchangeRunner> runner_;
    std::unique_ptr<ExchangeWorker> worker_;
    std::size_t logShown_ = 0;
};

}  // namespace sf
