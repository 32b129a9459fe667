#include "sysex/rtmidi_system.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <optional>

#include "sysex/rtmidi_jack.h"

namespace sf {

namespace {

struct Api {
    RtMidi::Api api;
    const char* name;
};

constexpr Api kApis[] = {{RtMidi::LINUX_ALSA, "ALSA"}, {RtMidi::UNIX_JACK, "JACK"}};

// The systems that are there now. RtMidi prints the failure of a system
// that is not there from its constructor, so each is looked for first: the
// ALSA sequencer by its device node, JACK by a server that answers.
std::vector<Api> compiledApis() {
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    std::error_code ec;
    const bool alsa = std::filesystem::exists("/dev/snd/seq", ec);
    std::vector<Api> out;
    for (const Api& a : kApis) {
        if (a.api == RtMidi::LINUX_ALSA && !alsa) continue;
        if (std::find(compiled.begin(), compiled.end(), a.api) == compiled.end()) continue;
        if (a.api == RtMidi::UNIX_JACK && !jack::serverAnswers()) continue;
        out.push_back(a);
    }
    return out;
}

std::optional<RtMidi::Api> apiOf(const std::string& system) {
    for (const Api& a : compiledApis())
        if (system == a.name) return a.api;
    return std::nullopt;
}

// Enumeration only: a system that is not running (no JACK server) simply
// has no ports. RtMidi reports such failures as warnings; they are not
// errors of ours.
void quiet(RtMidiError::Type, const std::string&, void*) {}

template <class T>
std::vector<MidiPort> listPorts(const std::string& clientName) {
    std::vector<MidiPort> ports;
    for (const Api& a : compiledApis()) {
        try {
            T midi(a.api, clientName);
            midi.setErrorCallback(&quiet, nullptr);
            const unsigned n = midi.getPortCount();
            for (unsigned i = 0; i < n; ++i) {
                std::string name = midi.getPortName(i);
                if (!name.empty()) ports.push_back({std::move(name), a.name});
            }
        } catch (const RtMidiError&) {
        }
    }
    return ports;
}

// What the RtMidi thread calls into; lives until the RtMidiIn is gone.
struct Delivery {
    MidiReceiver* receiver;
    std::atomic<bool> running{false};
};

void onMessage(double, std::vector<unsigned char>* message, void* user) {
    auto* d = static_cast<Delivery*>(user);
    if (!message || !d->running.load(std::memory_order_acquire)) return;
    // A JACK sender cuts a long SysEx into several events, and RtMidi joins
    // them into one message together with any real-time event (clock,
    // active sensing) that came in between. Those bytes are no part of it.
    if (message->size() > 1 && ((*message)[0] == 0xF0 || (*message)[0] < 0x80))
        std::erase_if(*message, [](unsigned char b) { return b >= 0xF8; });
    d->receiver->received(ConstByteSpan(message->data(), message->size()));
}

void onError(RtMidiError::Type type, const std::string&, void* user) {
    // Warnings are RtMidi's notes about ports and connections, not lost data.
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
    auto* d = static_cast<Delivery*>(user);
    if (d->running.load(std::memory_order_acquire)) d->receiver->receptionError();
}

class RtInput : public MidiInput {
  public:
    RtInput(std::unique_ptr<RtMidiIn> in, std::unique_ptr<Delivery> delivery,
            std::unique_ptr<jack::Watch> watch, std::string portName)
        : in_(std::move(in)),
          delivery_(std::move(delivery)),
          watch_(std::move(watch)),
          portName_(std::move(portName)) {}
    ~RtInput() override {
        delivery_->running.store(false, std::memory_order_release);
        // Deleting the RtMidiIn closes the port and joins its thread (ALSA)
        // or closes the client, which waits for its process call (JACK):
        // no callback runs after this.
        try {
            in_->closePort();
        } catch (const RtMidiError&) {
        }
        in_.reset();
    }
    bool start() override {
        delivery_->running.store(true, std::memory_order_release);
        return true;
    }
    void stop() override { delivery_->running.store(false, std::memory_order_release); }
    // A JACK input is lost when its server goes or its sender's port does.
    // The ALSA sequencer lives in the kernel; a port that vanishes there
    // only stops sending.
    bool connected() override { return !watch_ || watch_->hasPort(portName_); }

  private:
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<Delivery> delivery_;
    std::unique_ptr<jack::Watch> watch_;
    std::string portName_;
};

class RtOutput : public MidiOutput {
  public:
    explicit RtOutput(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    ~RtOutput() override {
        try {
            out_->closePort();
        } catch (const RtMidiError&) {
        }
    }
    bool send(ConstByteSpan event) override {
        try {
            out_->sendMessage(event.data(), event.size());
            return true;
        } catch (const RtMidiError&) {
            return false;
        }
    }

  private:
    std::unique_ptr<RtMidiOut> out_;
};

}  // namespace

RtMidiSystem::RtMidiSystem(std::string clientName) : clientName_(std::move(clientName)) {
    // The JACK client library writes to its server's socket without
    // MSG_NOSIGNAL: when the server has gone, that write must fail rather
    // than end the program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    jack::quietClientLibrary();
}

std::vector<std::string> RtMidiSystem::systems() {
    std::vector<std::string> out;
    for (const Api& a : compiledApis()) out.push_back(a.name);
    return out;
}

std::vector<MidiPort> RtMidiSystem::inputs() {
    return listPorts<RtMidiIn>(clientName_);
}
std::vector<MidiPort> RtMidiSystem::outputs() {
    return listPorts<RtMidiOut>(clientName_);
}
bool RtMidiSystem::present() {
    return !compiledApis().empty();
}

std::unique_ptr<MidiInput> RtMidiSystem::openInput(const MidiPort& port, MidiReceiver& receiver,
                                                   const std::string& localName) {
    const auto api = apiOf(port.system);
    if (!api) return nullptr;
    auto delivery = std::make_unique<Delivery>();
    delivery->receiver = &receiver;
    try {
        // A large queue limit: the callback takes every message at once, but
        // RtMidi sizes some buffers from it.
        auto in = std::make_unique<RtMidiIn>(*api, clientName_, 1024);
        in->setErrorCallback(&quiet, nullptr);
        // Look the port up again by name: numbers shift when ports come and go.
        const unsigned n = in->getPortCount();
        unsigned index = n;
        for (unsigned i = 0; i < n; ++i)
            if (index == n && in->getPortName(i) == port.name) index = i;
        if (index == n) return nullptr;
        in->ignoreTypes(false, true, true);  // SysEx in; clock and active sensing out
        in->setCallback(&onMessage, delivery.get());
        in->openPort(index, localName);
        if (!in->isPortOpen()) return nullptr;
        in->setErrorCallback(&onError, delivery.get());
        std::unique_ptr<jack::Watch> watch;
        if (*api == RtMidi::UNIX_JACK) {
            watch = jack::Watch::open(clientName_ + "-watch");
            if (!watch) return nullptr;
        }
        return std::make_unique<RtInput>(std::move(in), std::move(delivery), std::move(watch),
                                         port.name);
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

std::unique_ptr<MidiOutput> RtMidiSystem::openOutput(const MidiPort& port,
                                                     const std::string& localName) {
    const auto api = apiOf(port.system);
    if (!api) return nullptr;
    try {
        auto out = std::make_unique<RtMidiOut>(*api, clientName_);
        out->setErrorCallback(&quiet, nullptr);
        // By name, as for the input: numbers shift when ports come and go.
        const unsigned n = out->getPortCount();
        unsigned index = n;
        for (unsigned i = 0; i < n; ++i)
            if (index == n && out->getPortName(i) == port.name) index = i;
        if (index == n) return nullptr;
        out->openPort(index, localName);
        if (!out->isPortOpen()) return nullptr;
        return std::make_unique<RtOutput>(std::move(out));
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

}  // namespace sf
