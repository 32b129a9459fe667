// "MIDI Settings": the MIDI input and output, chosen among the ports of
// every MIDI system of the machine (listed afresh at each opening).
#pragma once

#include <QDialog>
#include <vector>

#include "sysex/midi.h"
#include "sysex/midisystem.h"

class QComboBox;

namespace sf::gui {

class MidiSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    MidiSettingsDialog(MidiSystem& system, const MidiPreferences& current,
                       QWidget* parent = nullptr);

    // The choices of the lists (meaningful after OK).
    MidiPreferences chosen() const;

    QComboBox* inputList() const { return input_; }
    QComboBox* outputList() const { return output_; }

  private:
    MidiPreferences current_;
    std::vector<MidiPort> inputs_;
    std::vector<MidiPort> outputs_;
    MidiPortList inputList_;
    MidiPortList outputList_;
    QComboBox* input_;
    QComboBox* output_;
};

}  // namespace sf::gui
