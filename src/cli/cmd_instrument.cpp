// resolve, send, request: a driver's messages as bytes, sent to the
// instrument, and a module's dump requested from it.
#include <chrono>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "cli.h"
#include "framework/fileio.h"
#include "instrument/link.h"
#include "instrument/receive.h"
#include "source/message_record.h"
#include "source_io.h"
#include "sysex/capture.h"
#include "sysex/midi_module.h"

namespace sf::cli {

namespace {

struct InstrumentArgs {
    Args positional;
    SendContext context;
    std::string port;
};

int parseVarValue(const std::string& name, std::string_view text) {
    long long v = 0;
    try {
        std::size_t used = 0;
        const std::string t(text);
        if (t.rfind("$", 0) == 0)
            v = std::stoll(t.substr(1), &used, 16), ++used;
        else if (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0)
            v = std::stoll(t.substr(2), &used, 16), used += 2;
        else
            v = std::stoll(t, &used, 10);
        if (used != t.size() || v < 0 || v > 0x7FFFFFFF) throw std::out_of_range("range");
    } catch (const std::exception&) {
        throw UsageError("--var " + name + ": \"" + std::string(text) +
                         "\" is not a number from 0 (decimal, or hexadecimal after $ or 0x)");
    }
    return static_cast<int>(v);
}

InstrumentArgs parseInstrumentArgs(const Args& args, bool port) {
    InstrumentArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        auto take = [&](std::string_view option) {
            if (a == option) {
                if (i + 1 >= args.size()) throw UsageError(std::string(option) + " needs a value");
                value = args[++i];
                return true;
            }
            if (a.rfind(std::string(option) + "=", 0) == 0) {
                value = a.substr(option.size() + 1);
                return true;
            }
            return false;
        };
        if (take("--var")) {
            const auto eq = value.find('=');
            const std::string name = value.substr(0, eq);
            std::optional<int>* slot = out.context.byName(name);
            if (eq == std::string::npos || !slot) {
                std::string names;
                for (const char* n : contextVariableNames()) names += std::string(" ") + n;
                throw UsageError("--var takes NAME=VALUE, NAME one of" + names);
            }
            *slot = parseVarValue(name, std::string_view(value).substr(eq + 1));
        } else if (port && take("--port")) {
            out.port = value;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            throw UsageError("unknown option " + a);
        } else {
            out.positional.push_back(a);
        }
    }
    return out;
}

// The message REF names, with the module whose Adr and Len it uses.
std::vector<MessageUnit> messageOf(const SourceRecord& r, const SettingRef& ref,
                                   std::string_view text) {
    requireTreeRow(r, ref, text);
    const auto field = messageField(r, ref);
    if (!field) throw UsageError(std::string(text) + " is not a message");
    return readMessage(r, *field);
}

ResolvedMessage resolveRef(const SourceRecord& r, const InstrumentArgs& a) {
    const SettingRef ref = parseRef(a.positional[1]);
    const auto units = messageOf(r, ref, a.positional[1]);
    const int module = isModuleSetting(ref.id) ? ref.index1 : -1;
    ResolvedMessage m = resolveMessage(units, sendSettings(r, module), a.context);
    if (!m.ok()) throw Failure(m.error);
    return m;
}

// The MIDI systems, loaded with the first command that talks MIDI.
MidiSystem& midi() {
#ifdef SF_MIDI_MODULE
    static std::string error;
    static const std::unique_ptr<MidiSystem> system =
        loadMidiModule(midiModuleBesideProgram(SF_MIDI_MODULE), "sysforge-cli", error);
    if (!system) throw Failure("MIDI is not available: " + error);
    return *system;
#else
    static FakeMidiSystem system;  // built without MIDI: no ports
    return system;
#endif
}

MidiPort pickPort(const std::vector<MidiPort>& ports, const std::string& name, const char* what) {
    const int i = name.empty() ? (ports.empty() ? -1 : 0) : findPortByName(ports, name);
    if (i < 0)
        throw Failure(std::string("No MIDI ") + what + " port" +
                      (name.empty() ? "." : " named \"" + name + "\"."));
    return ports[std::size_t(i)];
}

// Runs `x` on a worker while the log goes to standard error.
void runLogged(ExchangeRunner& runner, Exchange& x, Io& io) {
    std::size_t shown = 0;
    auto show = [&] {
        for (const LinkLogEntry& e : runner.log(shown)) {
            io.err << logLine(e) << '\n';
            ++shown;
        }
    };
    ExchangeWorker worker(runner, x);
    while (!worker.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        show();
    }
    worker.join();
    show();
}

}  // namespace

int cmdResolve(const Args& args, Io& io) {
    const InstrumentArgs a = parseInstrumentArgs(args, false);
    expectArgs(a.positional, 2, 2, "resolve");
    const auto record = loadSource(a.positional[0], io);
    for (const SendStep& s : resolveRef(*record, a).steps) io.out << stepText(s) << '\n';
    return kExitOk;
}

int cmdSend(const Args& args, Io& io) {
    const InstrumentArgs a = parseInstrumentArgs(args, true);
    expectArgs(a.positional, 2, 2, "send");
    const auto record = loadSource(a.positional[0], io);
    const ResolvedMessage m = resolveRef(*record, a);
    const MidiPort port = pickPort(midi().outputs(), a.port, "output");
    auto output = midi().openOutput(port, kCaptureLocalPortName);
    if (!output) throw Failure("The MIDI output could not be opened!");
    const SettingRef ref = parseRef(a.positional[1]);
    const bool slow =
        isModuleSetting(ref.id) && (record->modU16(ref.index1, rec::kModFlags) & 0x200);
    SendExchange x(m.steps);
    ExchangeRunner runner(*output, nullptr, slow);
    runLogged(runner, x, io);
    return x.succeeded() ? kExitOk : kExitFailure;
}

int cmdRequest(const Args& args, Io& io) {
    const InstrumentArgs a = parseInstrumentArgs(args, true);
    expectArgs(a.positional, 3, 3, "request");
    const auto record = loadSource(a.positional[0], io);
    const int module = static_cast<int>(parseInteger(a.positional[1], 0, 15, "MODULE"));
    requireModuleInUse(*record, module);
    ReceiveProcess process(*record, module, a.context);
    if (!process.refusal().empty()) throw Failure(process.refusal());

    const MidiPort out = pickPort(midi().outputs(), a.port, "output");
    const MidiPort in = pickPort(midi().inputs(), a.port, "input");
    auto output = midi().openOutput(out, kCaptureLocalPortName);
    if (!output) throw Failure("The MIDI output could not be opened!");
    Inbox inbox;
    auto input = midi().openInput(in, inbox, kCaptureLocalPortName);
    if (!input || !input->start()) throw Failure(kMsgMidiInputNotOpened);

    ExchangeRunner runner(*output, &inbox, process.slowSpeed());
    struct StopLink {
        std::mutex mutex;
        ExchangeRunner* runner;
    };
    const auto stopLink = std::make_shared<StopLink>();
    stopLink->runner = &runner;
    if (process.manual()) {
        for (const std::string& line : process.helpLines())
            if (!line.empty()) io.err << line << '\n';
        io.err << "Recording; press Enter to stop.\n";
        // Ends the recording when standard input has a line or ends. The
        // reader may outlive this function: it finds the runner through a
        // link that is cut before the runner goes.
        std::thread([link = stopLink] {
            std::string line;
            std::getline(std::cin, line);
            std::lock_guard lock(link->mutex);
            if (link->runner) link->runner->cancel();
        }).detach();
    }
    runLogged(runner, process, io);
    {
        std::lock_guard lock(stopLink->mutex);
        stopLink->runner = nullptr;
    }
    input.reset();
    if (!process.succeeded()) throw Failure("");
    writeFileAtomic(a.positional[2], process.capture());
    return kExitOk;
}

}  // namespace sf::cli
