#include "instrument/exchange.h"

namespace sf {

SendExchange::SendExchange(std::vector<SendStep> steps) : steps_(std::move(steps)) {
    load();
}

void SendExchange::load() {
    using K = ExchangeAction::Kind;
    if (next_ >= steps_.size()) {
        action_ = {};
        finish(true, kMsgSent);
        return;
    }
    const SendStep& s = steps_[next_];
    switch (s.kind) {
        case SendStep::Kind::Bytes:
            action_ = {K::Send, s.bytes, 0};
            break;
        case SendStep::Kind::Pause:
            action_ = {K::Pause, {}, s.ms};
            break;
        case SendStep::Kind::Flush:
            action_ = {K::Flush, {}, 0};
            break;
        case SendStep::Kind::WaitSysexStart:
            action_ = {K::WaitSysexStart, {}, s.ms};
            break;
        case SendStep::Kind::WaitSysexEnd:
            action_ = {K::WaitSysexEnd, {}, s.ms};
            break;
    }
}

void SendExchange::done() {
    if (finished()) return;
    ++next_;
    load();
}

void SendExchange::received(ConstByteSpan message) {
    const auto k = action_.kind;
    if ((k == ExchangeAction::Kind::WaitSysexStart || k == ExchangeAction::Kind::WaitSysexEnd) &&
        !message.empty() && message[0] == 0xF0)
        done();
}

void SendExchange::timedOut() {
    const auto k = action_.kind;
    if (k == ExchangeAction::Kind::WaitSysexStart || k == ExchangeAction::Kind::WaitSysexEnd)
        done();
}

void SendExchange::stop() {
    if (finished()) return;
    action_ = {};
    next_ = steps_.size() + 1;
    finish(false, kMsgStopped);
}

}  // namespace sf
