#include "cli.h"

#include <exception>
#include <new>

#include "framework/exception.h"
#include "sysex/message.h"
#include "usage.h"

#ifndef SF_VERSION
#define SF_VERSION "0"
#endif

namespace sf::cli {

void StreamPrompter::message(std::string_view text, MessageIcon) {
    ++count_;
    err_ << text << '\n';
}

Answer StreamPrompter::ask(std::string_view text, Buttons) {
    ++count_;
    err_ << text << '\n';
    return Answer::Yes;
}

namespace {

void setHexPrefixOption(std::string_view value) {
    static constexpr std::string_view kPrefixes[] = {"0x", "$", "&H"};
    for (int i = 0; i < 3; ++i) {
        if (value == kPrefixes[i] || (i == 2 && value == "&h")) {
            setHexPrefixIndex(i);
            return;
        }
    }
    throw UsageError("unknown hexadecimal prefix \"" + std::string(value) + "\" (use 0x, $ or &H)");
}

// Whether a command's arguments ask for its usage: "--help" before any "--".
bool asksForHelp(const Args& args) {
    for (const auto& a : args) {
        if (a == "--") return false;
        if (a == "--help") return true;
    }
    return false;
}

// `command` receives the name of the command that runs, for the hint after
// a usage error.
int dispatch(const Args& args, Io& io, std::string& command) {
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            io.out << usageText();
            return kExitOk;
        }
        if (a == "--manual-page") {
            io.out << manualPage(SF_VERSION);
            return kExitOk;
        }
        if (a.rfind("--hex-prefix=", 0) == 0) {
            setHexPrefixOption(std::string_view(a).substr(13));
            continue;
        }
        if (a.rfind("-", 0) == 0) throw UsageError("unknown option " + a);
        break;
    }
    if (i == args.size()) throw UsageError("no command given");
    const std::string& name = args[i];
    const Args rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (name == "help") {
        // "help COMMAND" is "COMMAND --help".
        const Command* c = rest.empty() ? nullptr : findCommand(rest[0]);
        if (!rest.empty() && !c) throw UsageError("unknown command \"" + rest[0] + "\"");
        io.out << (c ? commandHelp(*c) : usageText());
        return kExitOk;
    }
    const Command* c = findCommand(name);
    if (!c) throw UsageError("unknown command \"" + name + "\"");
    command = name;
    if (asksForHelp(rest)) {
        io.out << commandHelp(*c);
        return kExitOk;
    }
    return c->run(rest, io);
}

}  // namespace

int run(const Args& args, std::ostream& out, std::ostream& err) {
    // Everything is caught here: whatever the input, the tool answers with
    // an exit status and a message rather than a crash.
    try {
        StreamPrompter prompter(err);
        Io io{out, err, prompter};
        std::string command;
        try {
            return dispatch(args, io, command);
        } catch (const UsageError& e) {
            err << "sysforge-cli: " << e.what() << "\nTry 'sysforge-cli "
                << (command.empty() ? "" : command + " ") << "--help'.\n";
            return kExitUsage;
        } catch (const Failure& e) {
            if (*e.what()) err << e.what() << '\n';
            return kExitFailure;
        } catch (const AException& e) {
            // File-layer errors carry the text the user is meant to see.
            err << e.text() << '\n';
            return kExitFailure;
        } catch (const std::bad_alloc&) {
            err << "sysforge-cli: out of memory\n";
            return kExitFailure;
        } catch (const std::exception& e) {
            err << "sysforge-cli: " << e.what() << '\n';
            return kExitFailure;
        } catch (...) {
            err << "sysforge-cli: unexpected failure\n";
            return kExitFailure;
        }
    } catch (...) {
        return kExitFailure;
    }
}

}  // namespace sf::cli
