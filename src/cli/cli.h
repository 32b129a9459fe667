// sysforge-cli: a thin command-line driver over the core library. Each
// command is one function that parses its arguments, calls the core and
// prints the result; run() dispatches and turns failures into exit codes.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "framework/prompter.h"
#include "source/schema.h"

namespace sf::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A mistake in the command line: exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The operation failed: exit status 1. The message (which may be empty when
// the core has already told the user through the prompter) goes to standard
// error.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Messages from the core go to standard error, one per line. Questions are
// printed too and answered Yes: a batch run has nobody to ask, and the core
// only asks where going on is the safe default.
class StreamPrompter : public Prompter {
  public:
    explicit StreamPrompter(std::ostream& err) : err_(err) {}
    using Prompter::ask;
    void message(std::string_view text, MessageIcon icon) override;
    Answer ask(std::string_view text, Buttons buttons) override;
    int messageCount() const { return count_; }

  private:
    std::ostream& err_;
    int count_ = 0;
};

struct Io {
    std::ostream& out;
    std::ostream& err;
    StreamPrompter& prompter;
};

using Args = std::vector<std::string>;

// Entry point: argv without the program name. Never throws.
int run(const Args& args, std::ostream& out, std::ostream& err);

// The global --help: usage, options, the commands, REF, texts, saves.
std::string usageText();

// --- argument helpers (args.cpp) ---------------------------------------

// Options of one command: "--name=value" or "--flag" arguments are taken out
// of `args` (up to a "--" argument, which is dropped); the positional
// arguments stay in order.
struct Options {
    std::vector<std::pair<std::string, std::string>> values;  // name, value
    std::vector<std::string> flags;
    Args positional;
};
Options splitOptions(const Args& args);
// Throws UsageError for an option that is not in `known` (names without "--").
void checkOptions(const Options& o, std::initializer_list<std::string_view> known);

// Strict decimal integer in [min, max]; throws UsageError naming `what`.
long long parseInteger(std::string_view text, long long min, long long max, std::string_view what);

// REF: ID[:INDEX1[:INDEX2]], a missing index being -1. Throws UsageError when
// the text is malformed, the id unknown or the indices do not address one
// value of the setting.
SettingRef parseRef(std::string_view text);

// Positional argument count check; throws UsageError with the usage of
// `command` (the name of a command of the table).
void expectArgs(const Args& positional, std::size_t min, std::size_t max, std::string_view command);

// --- commands --------------------------------------------------------------
int cmdNew(const Args& args, Io& io);
int cmdGet(const Args& args, Io& io);
int cmdSet(const Args& args, Io& io);
int cmdChoose(const Args& args, Io& io);
int cmdTree(const Args& args, Io& io);
int cmdCompile(const Args& args, Io& io);
int cmdMessage(const Args& args, Io& io);
int cmdSearch(const Args& args, Io& io);
int cmdRomNames(const Args& args, Io& io);
int cmdListDriver(const Args& args, Io& io);
int cmdConvert(const Args& args, Io& io);
int cmdHexdump(const Args& args, Io& io);
int cmdResolve(const Args& args, Io& io);
int cmdSend(const Args& args, Io& io);
int cmdRequest(const Args& args, Io& io);
int cmdCheck(const Args& args, Io& io);
int cmdAnalyse(const Args& args, Io& io);
int cmdDiff(const Args& args, Io& io);
int cmdExport(const Args& args, Io& io);
int cmdImport(const Args& args, Io& io);

}  // namespace sf::cli
