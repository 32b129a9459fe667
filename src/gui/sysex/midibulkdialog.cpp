#include "sysex/midibulkdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

MidiBulkDialog::MidiBulkDialog(MidiSystem& system, const MidiPortChoice& input, QWidget* parent,
                               std::size_t capacity)
    : QDialog(parent),
      capture_(std::make_unique<MidiCapture>(system, input, capacity)),
      port_(new QLabel(this)),
      count_(new QLabel(this)),
      clear_(new QPushButton("&Clear", this)),
      show_(new QPushButton("&Show", this)),
      close_(new QPushButton("&Close", this)) {
    setObjectName("MidiBulkDialog");
    setWindowTitle("Receive MIDI bulk");
    port_->setObjectName("midiPort");
    port_->setAlignment(Qt::AlignCenter);
    count_->setAlignment(Qt::AlignCenter);
    count_->setMinimumWidth(
        count_->fontMetrics().horizontalAdvance("Number of bytes received : 0000000"));
    // Only "&Show" answers Enter, whichever button has the focus.
    clear_->setAutoDefault(false);
    close_->setAutoDefault(false);
    show_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear_);
    buttons->addWidget(show_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(port_);
    layout->addWidget(count_);
    layout->addLayout(buttons);

    connect(clear_, &QPushButton::clicked, this, [this] {
        capture_->clear(prompter());
        if (capture_->cancelled()) return reject();
        tick();
    });
    connect(show_, &QPushButton::clicked, this, [this] {
        if (!capture_->canShow()) return;
        shown_ = capture_->show();
        emit showRequested(shown_);
        accept();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &MidiBulkDialog::tick);
    timer_.start();
    // The dialog stays open without an input when the open fails.
    capture_->open(prompter());
    tick();
}

MidiBulkDialog::~MidiBulkDialog() {
    capture_->close();
}

int MidiBulkDialog::exec() {
    if (!capture_->cancelled()) return QDialog::exec();
    done(Rejected);
    return Rejected;
}

void MidiBulkDialog::tick() {
    capture_->poll(prompter());
    port_->setText(fromUtf8(capture_->portLine()));
    count_->setText(fromUtf8(capture_->countText()));
    clear_->setEnabled(capture_->canClear());
    show_->setEnabled(capture_->canShow());
}

void MidiBulkDialog::done(int result) {
    timer_.stop();
    capture_->close();
    QDialog::done(result);
}

}  // namespace sf::gui
