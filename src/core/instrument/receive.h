// "Request dump": the receive process of one module, run against the
// instrument.
//
// Automatic mode, in this order: "Init message(s)", its pause; "Request #2"
// once when its usage is "First of all"; then for each position of the loops
// (X1 from its start to its last value by its step, last value included,
// X2 inside it the same way; or the complex loop sets, with X1 and X2 their
// loop counters): "Pre-message(s)" and its pause at the start of each
// iteration of the loop the driver names, "Request #1" and "Request #2" as
// its usage says, each followed by the wait for the answer; at the end "End
// message(s)" and its pause.
//
// "Usage of second request message": "Packet pairs" sends it after Request
// #1 in every iteration; "Loop #1 switch" at the start of every X1
// iteration; "Loop #2 switch" at the start of every X2 iteration, before
// Request #1; "End of loop #2" after the last X2 iteration of every X1
// iteration; "First of all" once before the loops.
//
// The wait, by "Sysex dump protocol": none at all for "Don't wait answer
// from device"; for "Wait for one answer from device", "Number of packets
// returned for one request" SysEx messages (at least one), each within
// "MIDI time out" of the previous one; for "Hand-shake protocol" the
// request is the "Template message" with its Joker set to the start code,
// and every packet is answered with the template carrying the acknowledge
// code, or the packet error code when its checksum fails, until the
// instrument sends the end code; its stop code or an alternate error code
// ends the process, an acknowledge code (or an alternate one) is taken as
// such and waited past.
//
// Manual mode sends nothing and records until the total size or the user's
// Stop. Everything that arrives is recorded, up to "Total size to receive"
// when it is positive (else up to the capture block's size).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instrument/exchange.h"

namespace sf {

inline constexpr const char* kMsgNoAnswer = "No answer from the instrument within %d ms.";
inline constexpr const char* kMsgDumpReceived = "Dump received: %d bytes.";
inline constexpr const char* kMsgInstrumentStopped = "The instrument stopped the dump (code %s).";

class ReceiveProcess : public Exchange {
  public:
    // Checks the settings and resolves the messages of the first iteration;
    // on a fault nothing is sent and refusal() says why.
    ReceiveProcess(const SourceRecord& r, int module, const SendContext& base);
    ~ReceiveProcess() override;

    const std::string& refusal() const { return refusal_; }
    bool manual() const;
    // The module's help lines, for the manual mode's notice.
    std::vector<std::string> helpLines() const;
    bool slowSpeed() const;

    const ExchangeAction& action() const override;
    void done() override;
    void received(ConstByteSpan message) override;
    void timedOut() override;
    void stop() override;

    // What was recorded so far.
    const Bytes& capture() const;
    int requestsSent() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    std::string refusal_;
};

// The values a loop runs through: from `start` to `last` by `step`, `last`
// included when it is reached; once when start equals last, whatever the
// step. Nothing when the step is 0 (or leads away from `last`), since such
// a loop never ends.
std::optional<std::vector<int>> loopValues(int start, int last, int step);

}  // namespace sf
