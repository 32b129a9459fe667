#include "instrument/link.h"

#include <algorithm>
#include <cstdio>

namespace sf {

namespace {

// Data bytes after a status byte, for the messages that have a fixed length.
int dataBytes(std::uint8_t status) {
    if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 1 : 2;
    switch (status) {
        case 0xF1:
        case 0xF3:
            return 1;
        case 0xF2:
            return 2;
        default:
            return 0;
    }
}

constexpr std::size_t kMaxMessage = 500000;
constexpr std::size_t kLogHead = 8;

}  // namespace

std::vector<Bytes> midiEvents(ConstByteSpan bytes, std::size_t maxPiece) {
    maxPiece = std::max<std::size_t>(1, maxPiece);
    std::vector<Bytes> out;
    std::uint8_t running = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t b = bytes[i];
        if (b == 0xF0) {
            std::size_t end = i + 1;
            while (end < bytes.size() && bytes[end] != 0xF7 && bytes[end] < 0x80) ++end;
            if (end < bytes.size() && bytes[end] == 0xF7) ++end;
            for (std::size_t p = i; p < end; p += maxPiece)
                out.emplace_back(bytes.begin() + std::ptrdiff_t(p),
                                 bytes.begin() + std::ptrdiff_t(std::min(end, p + maxPiece)));
            i = end;
            running = 0;
        } else if (b >= 0x80) {
            const std::size_t n = std::min(bytes.size() - i, std::size_t(1 + dataBytes(b)));
            out.emplace_back(bytes.begin() + std::ptrdiff_t(i),
                             bytes.begin() + std::ptrdiff_t(i + n));
            if (b < 0xF0)
                running = b;
            else if (b < 0xF8)
                running = 0;
            i += n;
        } else if (running != 0) {
            // Data after a channel message: the same status again.
            const std::size_t n = std::min(bytes.size() - i, std::size_t(dataBytes(running)));
            Bytes e{running};
            e.insert(e.end(), bytes.begin() + std::ptrdiff_t(i),
                     bytes.begin() + std::ptrdiff_t(i + n));
            out.push_back(std::move(e));
            i += n;
        } else {
            std::size_t end = i;
            while (end < bytes.size() && bytes[end] < 0x80) ++end;
            out.emplace_back(bytes.begin() + std::ptrdiff_t(i),
                             bytes.begin() + std::ptrdiff_t(end));
            i = end;
        }
    }
    return out;
}

int findPortByName(const std::vector<MidiPort>& ports, std::string_view name) {
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i].label() == name || ports[i].name == name) return int(i);
    int found = -1;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].name.rfind(name, 0) != 0) continue;
        if (found >= 0) return -1;
        found = int(i);
    }
    return found;
}

long long paceMicros(std::size_t bytes, bool slow) {
    return static_cast<long long>(bytes) * (slow ? 960 : 320);
}

void Inbox::received(ConstByteSpan bytes) {
    std::vector<Bytes> whole;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::uint8_t b = bytes[i];
            if (b >= 0xF8) continue;  // real-time, wherever it comes
            if (b == 0xF0) {
                partial_.assign(1, b);
                inSysex_ = true;
            } else if (inSysex_ && b == 0xF7) {
                partial_.push_back(b);
                whole.push_back(std::move(partial_));
                partial_.clear();
                inSysex_ = false;
            } else if (inSysex_ && b < 0x80) {
                if (partial_.size() < kMaxMessage) partial_.push_back(b);
            } else {
                // A channel or system message (it ends an unfinished SysEx).
                inSysex_ = false;
                partial_.clear();
                std::size_t n = b >= 0x80 ? std::size_t(1 + dataBytes(b)) : 1;
                n = std::min(n, bytes.size() - i);
                whole.emplace_back(bytes.begin() + std::ptrdiff_t(i),
                                   bytes.begin() + std::ptrdiff_t(i + n));
                i += n - 1;
            }
        }
        for (Bytes& m : whole) messages_.push_back(std::move(m));
    }
    if (!whole.empty()) cv_.notify_all();
}

void Inbox::receptionError() {
    std::lock_guard lock(mutex_);
    error_ = true;
}

bool Inbox::hadError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void Inbox::wake() {
    { std::lock_guard lock(mutex_); }
    cv_.notify_all();
}

bool Inbox::pop(Bytes& message, int ms, const std::atomic<bool>& cancel) {
    std::unique_lock lock(mutex_);
    auto ready = [&] { return !messages_.empty() || cancel.load(); };
    if (ms < 0)
        cv_.wait(lock, ready);
    else
        cv_.wait_for(lock, std::chrono::milliseconds(ms), ready);
    if (messages_.empty() || cancel.load()) return false;
    message = std::move(messages_.front());
    messages_.pop_front();
    return true;
}

std::string logLine(const LinkLogEntry& e) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", e.seconds);
    std::string s = time;
    if (e.what == LinkLogEntry::What::Note) return s + "  " + e.note;
    s += e.what == LinkLogEntry::What::Sent ? "  sent      " : "  received  ";
    s += std::to_string(e.length) + (e.length == 1 ? " byte  " : " bytes  ");
    s += hexBytes(e.head);
    if (e.length > e.head.size()) s += " ...";
    return s;
}

ExchangeRunner::ExchangeRunner(MidiOutput& output, Inbox* input, bool slow)
    : output_(output), input_(input), slow_(slow), start_(std::chrono::steady_clock::now()) {}

void ExchangeRunner::add(LinkLogEntry e) {
    e.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::lock_guard lock(logMutex_);
    log_.push_back(std::move(e));
}

void ExchangeRunner::note(const std::string& text) {
    LinkLogEntry e;
    e.note = text;
    add(std::move(e));
}

std::vector<LinkLogEntry> ExchangeRunner::log(std::size_t from) const {
    std::lock_guard lock(logMutex_);
    if (from >= log_.size()) return {};
    return {log_.begin() + std::ptrdiff_t(from), log_.end()};
}

std::size_t ExchangeRunner::logSize() const {
    std::lock_guard lock(logMutex_);
    return log_.size();
}

void ExchangeRunner::cancel() {
    cancel_.store(true);
    { std::lock_guard lock(sleepMutex_); }
    sleepCv_.notify_all();
    if (input_) input_->wake();
}

bool ExchangeRunner::sleepMicros(long long us) {
    std::unique_lock lock(sleepMutex_);
    return !sleepCv_.wait_for(lock, std::chrono::microseconds(us), [&] { return cancel_.load(); });
}

bool ExchangeRunner::sendBytes(const Bytes& bytes) {
    LinkLogEntry e;
    e.what = LinkLogEntry::What::Sent;
    e.length = bytes.size();
    e.head.assign(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(kLogHead, bytes.size())));
    add(std::move(e));
    for (const Bytes& event : midiEvents(bytes)) {
        if (!output_.send(event)) return false;
        if (!sleepMicros(paceMicros(event.size(), slow_))) return true;
    }
    return true;
}

void ExchangeRunner::run(Exchange& x) {
    using K = ExchangeAction::Kind;
    start_ = std::chrono::steady_clock::now();
    while (!x.finished()) {
        if (cancel_.load()) {
            x.stop();
            break;
        }
        const ExchangeAction a = x.action();
        Bytes m;
        switch (a.kind) {
            case K::Send:
                if (!sendBytes(a.bytes)) {
                    note("The MIDI output failed.");
                    x.stop();
                    break;
                }
                x.done();
                break;
            case K::Pause:
                sleepMicros(static_cast<long long>(a.ms) * 1000);
                x.done();
                break;
            case K::Flush:  // every send above has already waited for its bytes
                x.done();
                break;
            case K::Finished:
                break;
            default: {
                const int ms = a.kind == K::Record ? 100 : a.ms;
                if (input_ && input_->pop(m, ms, cancel_)) {
                    LinkLogEntry e;
                    e.what = LinkLogEntry::What::Received;
                    e.length = m.size();
                    e.head.assign(m.begin(),
                                  m.begin() + std::ptrdiff_t(std::min(kLogHead, m.size())));
                    add(std::move(e));
                    x.received(m);
                } else if (!cancel_.load() && a.kind != K::Record) {
                    x.timedOut();
                }
            }
        }
    }
    if (!x.resultText().empty()) note(x.resultText());
}

ExchangeWorker::ExchangeWorker(ExchangeRunner& runner, Exchange& exchange)
    : runner_(runner), thread_([this, &runner, &exchange] {
          runner.run(exchange);
          finished_.store(true, std::memory_order_release);
      }) {}

ExchangeWorker::~ExchangeWorker() {
    if (!finished()) runner_.cancel();
    join();
}

void ExchangeWorker::join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace sf
