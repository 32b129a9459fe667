#include "sysex/midisettingsdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/text.h"

namespace sf::gui {

namespace {

void fill(QComboBox* box, const MidiPortList& list) {
    for (const std::string& label : list.labels) box->addItem(fromUtf8(label));
    box->setCurrentIndex(list.selected);
}

}  // namespace

MidiSettingsDialog::MidiSettingsDialog(MidiSystem& system, const MidiPreferences& current,
                                       QWidget* parent)
    : QDialog(parent),
      current_(current),
      inputs_(system.inputs()),
      outputs_(system.outputs()),
      inputList_(midiPortList(inputs_, current.input)),
      outputList_(midiPortList(outputs_, current.output)),
      input_(new QComboBox(this)),
      output_(new QComboBox(this)) {
    setObjectName("MidiSettingsDialog");
    setWindowTitle("MIDI Settings");
    input_->setObjectName("midiInput");
    output_->setObjectName("midiOutput");
    input_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    output_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fill(output_, outputList_);
    fill(input_, inputList_);

    auto* form = new QFormLayout;
    form->addRow("MIDI Input", input_);
    form->addRow("MIDI Output", output_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    if (!system.present()) {
        auto* note = new QLabel(fromUtf8(kNoMidiSystemNote), this);
        note->setObjectName("noMidiSystem");
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(buttons);
}

MidiPreferences MidiSettingsDialog::chosen() const {
    // A stored port that is not there now (unplugged, its program not
    // running) shows no entry; it stays chosen unless another is picked.
    auto pick = [](const QComboBox* box, const MidiPortList& list,
                   const std::vector<MidiPort>& ports, const MidiPortChoice& previous) {
        return box->currentIndex() < 0 ? previous : list.choiceAt(box->currentIndex(), ports);
    };
    return {pick(input_, inputList_, inputs_, current_.input),
            pick(output_, outputList_, outputs_, current_.output)};
}

}  // namespace sf::gui
