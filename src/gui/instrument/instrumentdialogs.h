// The windows that talk to the instrument through the MIDI output (and
// input) chosen in the "MIDI Settings":
//   "Send..." on a message row and in the message editor: the values the
//     message's tags take, the bytes they resolve to (updated as the values
//     change) and Send; "Send to MIDI output" on a hex view sends its bytes;
//   "Request dump..." on a module row and in the Tools menu: the module's
//     receive process with a log of every message sent and received, ending
//     in "&Show", which opens what arrived as a binary document that
//     remembers the driver and module it came from.
// The sending runs on a worker thread (sf::InstrumentSession); these
// windows poll its log on a timer and never wait for MIDI.
#pragma once

#include <QDialog>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "instrument/session.h"
#include "sysex/midisystem.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace sf::gui {

class SendDialog : public QDialog {
    Q_OBJECT
  public:
    // A message of a driver: its units, the record it resolves against
    // (copied), the module whose Adr and Len it uses (-1: none) and the
    // setting it is (for the default values).
    SendDialog(MidiSystem& system, const MidiPortChoice& output, const SourceRecord& record,
               int module, int settingId, std::vector<MessageUnit> units, QWidget* parent);
    // Bytes as they are (a binary document).
    SendDialog(MidiSystem& system, const MidiPortChoice& output, std::vector<std::uint8_t> bytes,
               QWidget* parent);
    ~SendDialog() override;

    QSpinBox* field(const QString& name) const;
    QPlainTextEdit* bytesView() const { return bytes_; }
    QPlainTextEdit* logView() const { return log_; }
    QPushButton* sendButton() const { return send_; }
    QPushButton* stopButton() const { return stop_; }
    bool running() const { return session_.running(); }

  protected:
    void done(int result) override;

  private:
    void build(const QStringList& names);
    void refresh();
    void sendNow();
    void tick();

    InstrumentSession session_;
    std::unique_ptr<SourceRecord> record_;
    SendSettings settings_;
    std::vector<MessageUnit> units_;
    std::vector<std::uint8_t> raw_;
    bool isRaw_ = false;
    bool slow_ = false;
    SendContext context_;
    ResolvedMessage resolved_;
    std::map<QString, QSpinBox*> fields_;
    QPlainTextEdit* bytes_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTimer timer_;
};

class RequestDumpDialog : public QDialog {
    Q_OBJECT
  public:
    // Starts the receive process of `module` of `record` (copied) at once;
    // `sourcePath` is remembered by the document "&Show" makes.
    RequestDumpDialog(MidiSystem& system, const MidiPreferences& ports, const SourceRecord& record,
                      int module, const QString& sourcePath, QWidget* parent);
    ~RequestDumpDialog() override;

    QPlainTextEdit* logView() const { return log_; }
    QLabel* statusLine() const { return status_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* showButton() const { return show_; }
    QPushButton* closeButton() const { return close_; }
    bool running() const { return session_.running(); }

  signals:
    // "&Show": a binary document of `bytes`, from `module` of the driver at
    // `sourcePath`.
    void showRequested(const std::vector<std::uint8_t>& bytes, const QString& sourcePath,
                       int module);

  protected:
    void done(int result) override;

  private:
    void tick();

    InstrumentSession session_;
    ReceiveProcess* process_ = nullptr;  // owned by the session
    QString sourcePath_;
    int module_;
    QPlainTextEdit* log_;
    QLabel* status_;
    QPushButton* stop_;
    QPushButton* show_;
    QPushButton* close_;
    QTimer timer_;
};

}  // namespace sf::gui
