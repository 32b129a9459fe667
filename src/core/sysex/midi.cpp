#include "sysex/midi.h"

#include <thread>

namespace sf {

int resolveMidiPort(const std::vector<MidiPort>& ports, const MidiPortChoice& choice) {
    if (!choice.label.empty()) {
        for (std::size_t i = 0; i < ports.size(); ++i)
            if (ports[i].label() == choice.label) return static_cast<int>(i);
        return -1;
    }
    if (choice.number >= 0 && static_cast<std::size_t>(choice.number) < ports.size())
        return choice.number;
    if (choice.number == -1 && !ports.empty()) return 0;
    return -1;
}

MidiPortChoice MidiPortList::choiceAt(int entry, const std::vector<MidiPort>& ports) const {
    if (entry <= 0 || static_cast<std::size_t>(entry) > ports.size()) return {};
    return {entry - 1, ports[static_cast<std::size_t>(entry - 1)].label()};
}

MidiPortList midiPortList(const std::vector<MidiPort>& ports, const MidiPortChoice& current) {
    MidiPortList list;
    list.labels.push_back(kFirstMidiPortLabel);
    for (const MidiPort& p : ports) list.labels.push_back(p.label());
    // A stored port that is gone selects nothing rather than another port.
    if (current.number == -1 && current.label.empty()) {
        list.selected = 0;
    } else {
        const int index = resolveMidiPort(ports, current);
        list.selected = index < 0 ? -1 : index + 1;
    }
    return list;
}

class FakeMidiSystem::Input : public MidiInput {
  public:
    explicit Input(FakeMidiSystem& system) : system_(system) {}
    ~Input() override {
        std::lock_guard lock(system_.mutex_);
        system_.receiver_ = nullptr;
        system_.started_ = false;
    }
    bool start() override {
        std::lock_guard lock(system_.mutex_);
        system_.started_ = true;
        return true;
    }
    void stop() override {
        std::lock_guard lock(system_.mutex_);
        system_.started_ = false;
    }
    bool connected() override {
        std::lock_guard lock(system_.mutex_);
        return !system_.lost_;
    }

  private:
    FakeMidiSystem& system_;
};

std::unique_ptr<MidiInput> FakeMidiSystem::openInput(const MidiPort& port, MidiReceiver& receiver,
                                                     const std::string& localName) {
    std::lock_guard lock(mutex_);
    if (failOpen || receiver_) return nullptr;
    receiver_ = &receiver;
    started_ = false;
    lost_ = false;
    opened_ = port;
    localName_ = localName;
    ++opens_;
    return std::make_unique<Input>(*this);
}

namespace {
class FakeOutput : public MidiOutput {
  public:
    explicit FakeOutput(std::function<void(ConstByteSpan)> sink) : sink_(std::move(sink)) {}
    bool send(ConstByteSpan event) override {
        sink_(event);
        return true;
    }

  private:
    std::function<void(ConstByteSpan)> sink_;
};
}  // namespace

std::unique_ptr<MidiOutput> FakeMidiSystem::openOutput(const MidiPort& port, const std::string&) {
    std::lock_guard lock(mutex_);
    if (failOpenOutput) return nullptr;
    openedOutput_ = port;
    return std::make_unique<FakeOutput>([this](ConstByteSpan event) {
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(event.begin(), event.end());
        }
        if (onSent) onSent(event);
    });
}

std::vector<std::vector<std::uint8_t>> FakeMidiSystem::sentEvents() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

MidiPort FakeMidiSystem::openedOutput() const {
    std::lock_guard lock(mutex_);
    return openedOutput_;
}

bool FakeMidiSystem::send(ConstByteSpan bytes) {
    // Held while the receiver runs, so that closing the input waits for a
    // delivery in progress, as a real system's close does.
    std::lock_guard lock(mutex_);
    if (!receiver_ || !started_) return false;
    receiver_->received(bytes);
    return true;
}

bool FakeMidiSystem::sendError() {
    std::lock_guard lock(mutex_);
    if (!receiver_ || !started_) return false;
    receiver_->receptionError();
    return true;
}

void FakeMidiSystem::loseInput() {
    std::lock_guard lock(mutex_);
    lost_ = true;
}

bool FakeMidiSystem::sendFromThread(ConstByteSpan bytes) {
    bool delivered = false;
    std::thread t([&] { delivered = send(bytes); });
    t.join();
    return delivered;
}

bool FakeMidiSystem::isOpen() const {
    std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
}
bool FakeMidiSystem::isStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}
MidiPort FakeMidiSystem::openedPort() const {
    std::lock_guard lock(mutex_);
    return opened_;
}
std::string FakeMidiSystem::openedLocalName() const {
    std::lock_guard lock(mutex_);
    return localName_;
}
int FakeMidiSystem::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

}  // namespace sf
