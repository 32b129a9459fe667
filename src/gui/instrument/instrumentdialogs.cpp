#include "instrument/instrumentdialogs.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "framework/prompter.h"
#include "ui/help.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

constexpr int kPollMs = 50;
constexpr int kHelpTopic = 2032;
constexpr std::size_t kShownBytes = 65536;  // a larger document is shown in part

QPlainTextEdit* textView(QWidget* parent, const char* name) {
    auto* t = new QPlainTextEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setReadOnly(true);
    t->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return t;
}

void appendLines(QPlainTextEdit* log, const std::vector<std::string>& lines) {
    for (const std::string& l : lines) log->appendPlainText(fromUtf8(l));
    if (!lines.empty()) log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
}

}  // namespace

// ---- Send... ------------------------------------------------------------

SendDialog::SendDialog(MidiSystem& system, const MidiPortChoice& output, const SourceRecord& record,
                       int module, int settingId, std::vector<MessageUnit> units, QWidget* parent)
    : QDialog(parent),
      session_(system, output),
      record_(copyRecord(record)),
      settings_(sendSettings(record, module)),
      units_(std::move(units)),
      context_(defaultContext(record, module, settingId)) {
    slow_ = module >= 0 && (record.modU16(module, rec::kModFlags) & 0x200) != 0;
    QStringList names;
    for (const std::string& n : neededVariables(units_, settings_))
        names << QString::fromStdString(n);
    build(names);
}

SendDialog::SendDialog(MidiSystem& system, const MidiPortChoice& output,
                       std::vector<std::uint8_t> bytes, QWidget* parent)
    : QDialog(parent), session_(system, output), raw_(std::move(bytes)), isRaw_(true) {
    build({});
}

SendDialog::~SendDialog() = default;

void SendDialog::build(const QStringList& names) {
    setObjectName(QStringLiteral("SendDialog"));
    setWindowTitle(isRaw_ ? QStringLiteral("Send to MIDI output") : QStringLiteral("Send"));
    auto* layout = new QVBoxLayout(this);
    if (!names.isEmpty()) {
        auto* form = new QFormLayout;
        for (const QString& name : names) {
            auto* box = new QSpinBox(this);
            box->setObjectName(name);
            const std::optional<int>* v = context_.byName(name.toStdString());
            if (name == QLatin1String("Chan") && settings_.channelType) {
                box->setRange(1, 16);
            } else if (name == QLatin1String("Chan")) {
                box->setRange(std::min(settings_.minId, settings_.maxId),
                              std::max(settings_.minId, settings_.maxId));
            } else {
                box->setRange(0, 0x3FFF);
            }
            box->setValue(v && *v ? **v : 0);
            connect(box, &QSpinBox::valueChanged, this, [this] { refresh(); });
            form->addRow(name + QLatin1Char(':'), box);
            fields_[name] = box;
        }
        layout->addLayout(form);
    }
    layout->addWidget(new QLabel(QStringLiteral("Bytes:"), this));
    bytes_ = textView(this, "bytes");
    layout->addWidget(bytes_, 1);
    log_ = textView(this, "log");
    layout->addWidget(log_, 1);
    send_ = new QPushButton(QStringLiteral("&Send"), this);
    stop_ = new QPushButton(QStringLiteral("S&top"), this);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    send_->setDefault(true);
    stop_->setAutoDefault(false);
    close->setAutoDefault(false);
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [] { showHelp(kHelpTopic); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(send_);
    buttons->addWidget(stop_);
    buttons->addWidget(close);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    resize(520, 420);

    connect(send_, &QPushButton::clicked, this, &SendDialog::sendNow);
    connect(stop_, &QPushButton::clicked, this, [this] { session_.stop(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &SendDialog::tick);
    refresh();
    if (!names.isEmpty()) fields_[names.front()]->setFocus();  // the first in list order
}

QSpinBox* SendDialog::field(const QString& name) const {
    const auto it = fields_.find(name);
    return it == fields_.end() ? nullptr : it->second;
}

void SendDialog::refresh() {
    if (isRaw_) {
        resolved_ = {};
        resolved_.steps.push_back({SendStep::Kind::Bytes, raw_, 0});
        const std::size_t n = std::min(raw_.size(), kShownBytes);
        QString text = fromUtf8(hexBytes(std::span(raw_.data(), n)));
        if (n < raw_.size()) text += QStringLiteral("\n... (%1 bytes in all)").arg(raw_.size());
        bytes_->setPlainText(text);
    } else {
        for (const auto& [name, box] : fields_)
            if (std::optional<int>* v = context_.byName(name.toStdString())) *v = box->value();
        resolved_ = resolveMessage(units_, settings_, context_);
        QStringList lines;
        if (!resolved_.ok()) lines << fromUtf8(resolved_.error);
        for (const SendStep& s : resolved_.steps) lines << fromUtf8(stepText(s));
        bytes_->setPlainText(lines.join(QLatin1Char('\n')));
    }
    send_->setEnabled(resolved_.ok() && !resolved_.steps.empty() && !session_.running());
    stop_->setEnabled(session_.running());
}

void SendDialog::sendNow() {
    if (session_.running() || !resolved_.ok() || resolved_.steps.empty()) return;
    const std::string failure = session_.open();
    if (!failure.empty()) {
        prompter().message(failure, MessageIcon::Stop);
        return;
    }
    session_.start(std::make_unique<SendExchange>(resolved_.steps), slow_);
    timer_.start();
    refresh();
}

void SendDialog::tick() {
    appendLines(log_, session_.takeLog());
    if (!session_.running()) {
        timer_.stop();
        session_.finished();
        appendLines(log_, session_.takeLog());
        refresh();
    }
}

void SendDialog::done(int result) {
    session_.stop();
    timer_.stop();
    QDialog::done(result);
}

// ---- Request dump... ------------------------------------------------------

RequestDumpDialog::RequestDumpDialog(MidiSystem& system, const MidiPreferences& ports,
                                     const SourceRecord& record, int module,
                                     const QString& sourcePath, QWidget* parent)
    : QDialog(parent),
      session_(system, ports.output, ports.input),
      sourcePath_(sourcePath),
      module_(module),
      log_(textView(this, "log")),
      status_(new QLabel(this)),
      stop_(new QPushButton(QStringLiteral("S&top"), this)),
      show_(new QPushButton(QStringLiteral("&Show"), this)),
      close_(new QPushButton(QStringLiteral("&Close"), this)) {
    setObjectName(QStringLiteral("RequestDumpDialog"));
    const QString name =
        fromDriverText(std::string(record.text(rec::moduleBase(module), rec::kModNameSize)));
    setWindowTitle(QStringLiteral("Request dump: %1").arg(name));
    status_->setObjectName(QStringLiteral("status"));
    stop_->setAutoDefault(false);
    close_->setAutoDefault(false);
    show_->setDefault(true);
    show_->setEnabled(false);
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [] { showHelp(kHelpTopic); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addWidget(show_);
    buttons->addWidget(close_);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(log_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(560, 400);

    connect(stop_, &QPushButton::clicked, this, [this] { session_.stop(); });
    connect(show_, &QPushButton::clicked, this, [this] {
        if (!process_ || session_.running() || process_->capture().empty()) return;
        emit showRequested(process_->capture(), sourcePath_, module_);
        accept();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &RequestDumpDialog::tick);

    auto process = std::make_unique<ReceiveProcess>(record, module, SendContext{});
    if (!process->refusal().empty()) {
        status_->setText(fromUtf8(process->refusal()));
        stop_->setEnabled(false);
        prompter().message(process->refusal(), MessageIcon::Stop);
        return;
    }
    const std::string failure = session_.open();
    if (!failure.empty()) {
        status_->setText(fromUtf8(failure));
        stop_->setEnabled(false);
        prompter().message(failure, MessageIcon::Stop);
        return;
    }
    if (process->manual()) {
        for (const std::string& line : process->helpLines())
            if (!line.empty()) log_->appendPlainText(fromDriverText(line));
        status_->setText(QStringLiteral("Recording until the total size or Stop."));
    } else {
        status_->setText(QStringLiteral("Requesting..."));
    }
    process_ = process.get();
    const bool slow = process->slowSpeed();
    session_.start(std::move(process), slow);
    timer_.start();
}

RequestDumpDialog::~RequestDumpDialog() = default;

void RequestDumpDialog::tick() {
    appendLines(log_, session_.takeLog());
    if (session_.running()) return;
    timer_.stop();
    session_.finished();
    appendLines(log_, session_.takeLog());
    status_->setText(fromUtf8(process_->resultText()));
    stop_->setEnabled(false);
    show_->setEnabled(!process_->capture().empty());
}

void RequestDumpDialog::done(int result) {
    session_.stop();
    timer_.stop();
    QDialog::done(result);
}

}  // namespace sf::gui
