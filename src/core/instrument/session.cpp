#include "instrument/session.h"

#include "sysex/capture.h"

namespace sf {

namespace {
constexpr int kTemplateMessage = 134;
constexpr std::size_t kStartCode = 146;   // 135
constexpr std::size_t kPacketFlags = 60;  // 161 "Use complex loop" 0x2
constexpr std::size_t kLoopSet0 = 212;    // V1, V2, V3 at +4, +6, +8
constexpr std::size_t kX1Start = 172;     // 149
constexpr std::size_t kX2Start = 178;     // 154
}  // namespace

SendContext defaultContext(const SourceRecord& r, int module, int settingId) {
    const SendSettings s = sendSettings(r, module);
    SendContext c;
    c.chan =
        s.channelType ? 1 : std::max(s.minId, std::min(std::max(s.minId, s.maxId), s.defaultId));
    c.x1 = c.x2 = c.v1 = c.v2 = c.v3 = c.subIns = c.joker = c.sizePack = 0;
    if (module >= 0 && module < rec::kModules) {
        c.x1 = r.modS16(module, kX1Start);
        c.x2 = r.modS16(module, kX2Start);
        if (r.modU16(module, kPacketFlags) & 0x2) {
            c.v1 = r.modS16(module, kLoopSet0 + 4);
            c.v2 = r.modS16(module, kLoopSet0 + 6);
            c.v3 = r.modS16(module, kLoopSet0 + 8);
        }
        const std::uint16_t start = r.modU16(module, kStartCode);
        if (settingId == kTemplateMessage && (start & 0xFF) != 0xFF && start <= 127)
            c.joker = start;
    }
    return c;
}

InstrumentSession::InstrumentSession(MidiSystem& system, MidiPortChoice output,
                                     std::optional<MidiPortChoice> input)
    : system_(system), outChoice_(std::move(output)), inChoice_(std::move(input)) {}

InstrumentSession::~InstrumentSession() {
    stop();
    worker_.reset();  // joined before the ports and the exchange go
}

std::string InstrumentSession::open() {
    if (running()) return {};
    worker_.reset();
    input_.reset();
    output_.reset();
    const std::vector<MidiPort> outs = system_.outputs();
    const int o = resolveMidiPort(outs, outChoice_);
    if (o >= 0) {
        outPort_ = outs[std::size_t(o)];
        output_ = system_.openOutput(outPort_, kCaptureLocalPortName);
    }
    if (!output_) return kMsgMidiOutputNotOpened;
    if (inChoice_) {
        const std::vector<MidiPort> ins = system_.inputs();
        const int i = resolveMidiPort(ins, *inChoice_);
        if (i >= 0) input_ = system_.openInput(ins[std::size_t(i)], inbox_, kCaptureLocalPortName);
        if (!input_ || !input_->start()) {
            input_.reset();
            output_.reset();
            return kMsgMidiInputNotOpened;
        }
    }
    return {};
}

void InstrumentSession::start(std::unique_ptr<Exchange> exchange, bool slow) {
    if (!output_ || running()) return;
    worker_.reset();
    exchange_ = std::move(exchange);
    runner_ = std::make_unique<ExchangeRunner>(*output_, input_ ? &inbox_ : nullptr, slow);
    logShown_ = 0;
    worker_ = std::make_unique<ExchangeWorker>(*runner_, *exchange_);
}

bool InstrumentSession::running() const {
    return worker_ && !worker_->finished();
}

void InstrumentSession::stop() {
    if (running()) runner_->cancel();
}

std::vector<std::string> InstrumentSession::takeLog() {
    std::vector<std::string> lines;
    if (!runner_) return lines;
    for (const LinkLogEntry& e : runner_->log(logShown_)) {
        lines.push_back(logLine(e));
        ++logShown_;
    }
    return lines;
}

Exchange* InstrumentSession::finished() {
    if (!exchange_ || running()) return nullptr;
    if (worker_) worker_->join();
    return exchange_.get();
}

}  // namespace sf
