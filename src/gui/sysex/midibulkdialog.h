// "Receive MIDI bulk": records everything that arrives on the chosen MIDI
// input and shows the number of bytes received; "&Show" hands the bytes
// over as a new binary document.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "sysex/capture.h"

class QLabel;
class QPushButton;

namespace sf::gui {

class MidiBulkDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens `input` of `system` at once (asking whether to go on when it
    // cannot: Cancel ends the dialog before it shows).
    MidiBulkDialog(MidiSystem& system, const MidiPortChoice& input, QWidget* parent = nullptr,
                   std::size_t capacity = kCaptureBlockSize);
    ~MidiBulkDialog() override;

    // The bytes "&Show" took (the dialog is then accepted).
    std::vector<std::uint8_t> takeBytes() { return std::move(shown_); }

    int exec() override;

    MidiCapture& capture() { return *capture_; }
    QLabel* portLine() const { return port_; }
    QLabel* countLine() const { return count_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* showButton() const { return show_; }
    QPushButton* closeButton() const { return close_; }

  signals:
    // "&Show": a new binary document is to be made of `bytes`.
    void showRequested(const std::vector<std::uint8_t>& bytes);

  protected:
    void done(int result) override;

  private:
    void tick();

    std::unique_ptr<MidiCapture> capture_;
    QTimer timer_;
    QLabel* port_;
    QLabel* count_;
    QPushButton* clear_;
    QPushButton* show_;
    QPushButton* close_;
    std::vector<std::uint8_t> shown_;
};

}  // namespace sf::gui
