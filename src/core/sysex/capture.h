// MIDI bulk capture: everything that arrives on one MIDI input is appended
// to a fixed block, which later becomes a binary document.
//
// Threads: the MIDI system's thread is the only writer of the block, its
// count and its error flag; the interface thread reads the count on a timer
// and touches the bytes only after the input is closed. No locks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/prompter.h"
#include "sysex/midi.h"

namespace sf {

inline constexpr std::size_t kCaptureBlockSize = 500000;
inline constexpr const char* kCaptureLocalPortName = "Sysforge";
inline constexpr const char* kMsgMidiInputNotOpened = "The MIDI input could not be opened!";
inline constexpr const char* kMsgMidiReceptionError =
    "Error while receiving Midi data. It is adviced to clear the bulk.";

// "Number of bytes received : %d"
std::string captureCountText(std::size_t count);

class CaptureBlock : public MidiReceiver {
  public:
    explicit CaptureBlock(std::size_t capacity = kCaptureBlockSize);

    // MIDI thread. Channel messages are kept with their own length (2 bytes
    // for program change and channel pressure, else 3); SysEx dumps and
    // their pieces as they come; other system messages (clock, active
    // sensing, ...) are not recorded. Bytes that do not fit are dropped and
    // raise the error flag.
    void received(ConstByteSpan bytes) override;
    void receptionError() override;

    // Any thread.
    std::size_t count() const { return count_.load(std::memory_order_acquire); }
    bool errorFlag() const { return error_.load(std::memory_order_acquire); }
    std::size_t capacity() const { return capacity_; }

    // Interface thread, once the input is closed: the bytes received. The
    // block is empty afterwards.
    std::vector<std::uint8_t> take();

  private:
    void append(const std::uint8_t* bytes, std::size_t n);

    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> data_;
    std::atomic<std::size_t> count_{0};
    std::atomic<bool> error_{false};
};

// The state and actions of the "Receive MIDI bulk" dialog.
class MidiCapture {
  public:
    MidiCapture(MidiSystem& system, MidiPortChoice input, std::size_t capacity = kCaptureBlockSize);
    ~MidiCapture();
    MidiCapture(const MidiCapture&) = delete;
    MidiCapture& operator=(const MidiCapture&) = delete;

    // Opens and starts the chosen input (the ports are enumerated afresh;
    // a port chosen by name is that port or none). On failure asks
    // kMsgMidiInputNotOpened with OK and Cancel and answers false; the
    // capture then stays empty, and `cancelled()` tells that the user
    // wants the dialog closed.
    bool open(Prompter& prompter);
    // Stops and closes the input; no byte arrives afterwards.
    void close();
    bool isOpen() const { return input_ != nullptr; }
    bool cancelled() const { return cancelled_; }
    // The port opened last (empty when none).
    const MidiPort& port() const { return port_; }
    // The line naming the port recorded from, or the one that is missing:
    // "MIDI input: JACK: sender:dump", "... (not available)", "... (lost)".
    std::string portLine() const;

    std::size_t count() const { return block_->count(); }
    std::string countText() const { return captureCountText(count()); }
    bool canClear() const { return count() > 0; }
    bool canShow() const { return count() > 0; }

    // "&Clear": closes the input, starts a new block and opens again.
    void clear(Prompter& prompter);
    // "&Show": closes the input and hands over the bytes received.
    std::vector<std::uint8_t> show();
    // The 100 ms tick: shows kMsgMidiReceptionError the first time a
    // reception error is seen, or the input is found lost, in the capture's
    // life; later ones say nothing.
    void poll(Prompter& prompter);

  private:
    MidiSystem& system_;
    MidiPortChoice choice_;
    std::size_t capacity_;
    MidiPort port_;
    // Declared before the input: the input, which calls into the block,
    // goes first.
    std::unique_ptr<CaptureBlock> block_;
    std::unique_ptr<MidiInput> input_;
    bool noticeShown_ = false;
    bool cancelled_ = false;
    bool lost_ = false;
};

}  // namespace sf
