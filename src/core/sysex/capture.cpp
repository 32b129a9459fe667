#include "sysex/capture.h"

#include <algorithm>
#include <cstring>

namespace sf {

std::string captureCountText(std::size_t count) {
    return "Number of bytes received : " + std::to_string(count);
}

CaptureBlock::CaptureBlock(std::size_t capacity)
    : capacity_(capacity), data_(std::make_unique<std::uint8_t[]>(capacity)) {}

void CaptureBlock::received(ConstByteSpan bytes) {
    if (bytes.empty()) return;
    const std::uint8_t status = bytes[0];
    std::size_t n = bytes.size();
    if (status >= 0x80 && status < 0xF0) {
        const std::uint8_t kind = status & 0xF0;
        n = std::min<std::size_t>(n, kind == 0xC0 || kind == 0xD0 ? 2 : 3);
    } else if (status > 0xF0 && status != 0xF7) {
        return;  // system common and real-time messages
    }
    // 0xF0 starts a dump; a piece that continues one starts with a data
    // byte or with its closing 0xF7.
    append(bytes.data(), n);
}

void CaptureBlock::receptionError() {
    error_.store(true, std::memory_order_release);
}

void CaptureBlock::append(const std::uint8_t* bytes, std::size_t n) {
    // The only writer: a relaxed read of its own count is enough.
    const std::size_t used = count_.load(std::memory_order_relaxed);
    const std::size_t fits = std::min(n, capacity_ - used);
    if (fits > 0) {
        std::memcpy(data_.get() + used, bytes, fits);
        count_.store(used + fits, std::memory_order_release);
    }
    if (fits < n) error_.store(true, std::memory_order_release);
}

std::vector<std::uint8_t> CaptureBlock::take() {
    const std::size_t n = count();
    std::vector<std::uint8_t> out(data_.get(), data_.get() + n);
    count_.store(0, std::memory_order_release);
    return out;
}

MidiCapture::MidiCapture(MidiSystem& system, MidiPortChoice input, std::size_t capacity)
    : system_(system),
      choice_(std::move(input)),
      capacity_(capacity),
      block_(std::make_unique<CaptureBlock>(capacity)) {}

MidiCapture::~MidiCapture() {
    close();
}

bool MidiCapture::open(Prompter& prompter) {
    close();
    lost_ = false;
    const std::vector<MidiPort> ports = system_.inputs();
    const int index = resolveMidiPort(ports, choice_);
    if (index >= 0) {
        port_ = ports[static_cast<std::size_t>(index)];
        input_ = system_.openInput(port_, *block_, kCaptureLocalPortName);
        if (input_ && !input_->start()) input_.reset();
    }
    if (!input_) {
        port_ = {};
        cancelled_ = prompter.ask(kMsgMidiInputNotOpened, Buttons::OkCancel, MessageIcon::Stop) ==
                     Answer::Cancel;
        return false;
    }
    return true;
}

std::string MidiCapture::portLine() const {
    std::string line = "MIDI input: ";
    if (input_) return line + port_.label() + (lost_ ? " (lost)" : "");
    if (!choice_.label.empty()) return line + choice_.label + " (not available)";
    return line + "no port available";
}

void MidiCapture::close() {
    if (!input_) return;
    input_->stop();
    input_.reset();
}

void MidiCapture::clear(Prompter& prompter) {
    close();
    block_ = std::make_unique<CaptureBlock>(capacity_);
    open(prompter);
}

std::vector<std::uint8_t> MidiCapture::show() {
    close();
    return block_->take();
}

void MidiCapture::poll(Prompter& prompter) {
    if (input_ && !lost_ && !input_->connected()) lost_ = true;
    if (noticeShown_ || (!lost_ && !block_->errorFlag())) return;
    noticeShown_ = true;
    prompter.message(kMsgMidiReceptionError, MessageIcon::Exclamation);
}

}  // namespace sf
