// A conversation with the instrument as a state machine: it says what to do
// next (send bytes, pause, wait for an answer, record) and is told what
// happened (the action is done, a message came, the time ran out, the user
// stopped). Whoever runs it owns the MIDI ports and the clock, so the
// machine itself is tested without MIDI.
#pragma once

#include <string>
#include <vector>

#include "instrument/resolve.h"

namespace sf {

struct ExchangeAction {
    enum class Kind {
        Send,            // bytes: send them, then done()
        Pause,           // ms: wait, then done()
        Flush,           // wait until everything sent has gone out, then done()
        WaitSysexStart,  // ms: received() with the next message, or timedOut()
        WaitSysexEnd,    //   (the same: messages come whole)
        AwaitAnswer,     // ms: received() with each message, or timedOut()
        Record,          // received() with each message until stop(); no time-out
        Finished,
    };
    Kind kind = Kind::Finished;
    Bytes bytes;
    int ms = 0;
};

class Exchange {
  public:
    virtual ~Exchange() = default;
    virtual const ExchangeAction& action() const = 0;
    virtual void done() = 0;
    // A whole message from the instrument (a SysEx from F0 to F7, or one
    // channel message), whatever the action.
    virtual void received(ConstByteSpan message) = 0;
    virtual void timedOut() = 0;
    virtual void stop() = 0;

    bool finished() const { return action().kind == ExchangeAction::Kind::Finished; }
    // After the end: whether it went as planned, and what to tell the user.
    bool succeeded() const { return succeeded_; }
    const std::string& resultText() const { return resultText_; }

  protected:
    void finish(bool ok, std::string text) {
        succeeded_ = ok;
        resultText_ = std::move(text);
    }

  private:
    bool succeeded_ = false;
    std::string resultText_;
};

inline constexpr const char* kMsgSent = "Sent.";
inline constexpr const char* kMsgStopped = "Stopped.";

// Sends the steps of resolved messages in order. Waits that see no SysEx
// in their time go on all the same.
class SendExchange : public Exchange {
  public:
    explicit SendExchange(std::vector<SendStep> steps);
    const ExchangeAction& action() const override { return action_; }
    void done() override;
    void received(ConstByteSpan message) override;
    void timedOut() override;
    void stop() override;

  private:
    void load();

    std::vector<SendStep> steps_;
    std::size_t next_ = 0;
    ExchangeAction action_;
};

}  // namespace sf
