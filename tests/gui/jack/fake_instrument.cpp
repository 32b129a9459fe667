#include "jack/fake_instrument.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <QTest>

#include "support/leak_suppressions.h"

// The JACK client library keeps a buffer of its own pool after the client
// has closed; that is not ours to free.
SF_LEAK_SUPPRESSIONS("leak:libjack.so\n")

namespace sf::testsupport {

FakeInstrument::FakeInstrument(const std::string& clientName) {
    jack_status_t status{};
    auto* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!client) return;
    in_ = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out_ = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &FakeInstrument::process, this);
    if (!in_ || !out_ || jack_activate(client) != 0) {
        jack_client_close(client);
        return;
    }
    client_ = client;
    worker_ = std::thread([this] { work(); });
}

FakeInstrument::~FakeInstrument() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
    if (client_) {
        auto* client = static_cast<jack_client_t*>(client_);
        jack_deactivate(client);
        jack_client_close(client);
    }
}

int FakeInstrument::process(std::uint32_t frames, void* self) {
    auto* f = static_cast<FakeInstrument*>(self);
    void* in = jack_port_get_buffer(static_cast<jack_port_t*>(f->in_), frames);
    void* out = jack_port_get_buffer(static_cast<jack_port_t*>(f->out_), frames);
    jack_midi_clear_buffer(out);
    // A test helper: a lock on the process thread is acceptable here (the
    // worker holds it only for moments).
    std::unique_lock lock(f->mutex_);
    const std::uint32_t n = jack_midi_get_event_count(in);
    bool any = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        jack_midi_event_t e;
        if (jack_midi_event_get(&e, in, i) != 0) continue;
        for (std::size_t k = 0; k < e.size; ++k) {
            const std::uint8_t b = e.buffer[k];
            if (b >= 0xF8) continue;
            if (b == 0xF0 || (b >= 0x80 && b != 0xF7)) f->partial_.clear();
            f->partial_.push_back(b);
            const bool whole =
                b == 0xF7 || (f->partial_[0] >= 0x80 && f->partial_[0] < 0xF0 &&
                              f->partial_.size() == ((f->partial_[0] & 0xE0) == 0xC0 ? 2u : 3u));
            if (whole) {
                f->incoming_.push_back(f->partial_);
                f->partial_.clear();
                any = true;
            }
        }
    }
    // One event of at most 256 bytes per cycle keeps within any buffer.
    std::uint32_t time = 0;
    while (!f->outgoing_.empty() && time < frames) {
        const Bytes& e = f->outgoing_.front();
        if (jack_midi_event_write(out, time++, e.data(), e.size()) != 0) break;
        f->sent_.insert(f->sent_.end(), e.begin(), e.end());
        f->outgoing_.pop_front();
    }
    lock.unlock();
    if (any) f->cv_.notify_all();
    return 0;
}

void FakeInstrument::work() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        cv_.wait(lock, [&] { return quit_ || !incoming_.empty(); });
        if (quit_) break;
        const Bytes m = incoming_.front();
        incoming_.pop_front();
        received_.push_back(m);
        const Answer a = answer;
        lock.unlock();
        std::vector<Bytes> replies = a ? a(m) : std::vector<Bytes>{};
        lock.lock();
        for (const Bytes& r : replies)
            for (std::size_t p = 0; p < r.size(); p += 256)
                outgoing_.emplace_back(r.begin() + std::ptrdiff_t(p),
                                       r.begin() + std::ptrdiff_t(std::min(r.size(), p + 256)));
    }
}

std::vector<Bytes> FakeInstrument::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

Bytes FakeInstrument::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

}  // namespace sf::testsupport
