#include "cli.h"

#include <exception>
#include <new>
#include <sstream>

#include "framework/exception.h"
#include "sysex/message.h"

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

std::string usageText() {
    return R"(Usage: sysforge-cli [--hex-prefix=0x|$|&H] COMMAND ARGS...

Commands:
  new FILE                      write a new driver source with its defaults
  get FILE REF                  print the value of REF
  set FILE REF TEXT             type TEXT into the value of REF, then save
  choose FILE REF ENTRY         pick ENTRY from the choice list of REF, then save
  tree FILE                     print the settings tree, one row per line:
                                DEPTH ID INDEX1 INDEX2 LABEL VALUE ENABLED (tab-separated)
  message [--capacity=N] TEXT   parse a SysEx message template (default capacity 60);
                                numbers are decimal unless prefixed with "$", "0x" or "&H"
  compile FILE [OUT]            compile FILE (default OUT: FILE with extension "dev")
  search ROOT FILE REF same|different|non-empty
                                search the driver sources under ROOT for the value of REF
  rom-names FILE MODULE SUBBANK [TEXTFILE]
                                print a sub-bank's ROM patch names, or store them from
                                TEXTFILE and save (the check report goes to standard error)
  list-driver --name=NAME --name-length=N --columns=N --rows=N
              [--bank=ROW:NAME:SELECT:FIRST]... OUT
                                generate a list driver into OUT
  convert [--size=8|16|32] [--decimal-groups] FIELD TEXT
                                numeric converter; FIELD is one of signed, unsigned, hex,
                                bits, ascii, roland, nibbles
  hexdump FILE                  print FILE as a hex dump
  check [--root=DIR] FILE...    check driver sources; one line per finding:
                                FILE SEVERITY REF TEXT (tab-separated); exit status 0 no
                                finding, 3 warnings only, 4 errors. Driver file names are
                                also compared among the FILEs and the drivers under DIR
  diff A.d B.d                  list the settings whose values differ, one line per row:
                                REF LABEL-PATH VALUE-IN-A VALUE-IN-B (tab-separated), then
                                differing blocks and bytes; exit status 0 equal, 1 different
  export FILE.d [OUT.txt]       write FILE.d as UTF-8 text (default: standard output)
  import TEXT OUT.d             build a driver source from its text and save it as OUT.d
  --help                        show this text

REF names one value as ID[:INDEX1[:INDEX2]], a missing index being -1:
  9 driver version; 31:3 help line 3; 107:2 name of module 2 (from 0);
  262:0:5 name of sub-bank 5 of module 0; 128:1:4 real size of packet 4 of module 1.

Texts are UTF-8 on the command line and Windows-1252 in driver files; in printed
values control bytes, undefined bytes and the backslash are written as \xNN.
A command that changes a source saves it as the editor does: the source goes to
FILE with its last extension replaced by ".d", the previous file becomes FILE.bak
and the compiled driver is written beside it as FILE.dev. A write-protected file
stops the save.

Exit status: 0 success, 1 failure (reason on standard error), 2 usage error;
check and diff answer as described above.
)";
}

namespace {

struct Command {
    const char* name;
    int (*fn)(const Args&, Io&);
};

constexpr Command kCommands[] = {
    {"new", cmdNew},         {"get", cmdGet},         {"set", cmdSet},
    {"choose", cmdChoose},   {"tree", cmdTree},       {"message", cmdMessage},
    {"compile", cmdCompile}, {"search", cmdSearch},   {"rom-names", cmdRomNames},
    {"list-driver", cmdListDriver}, {"convert", cmdConvert}, {"hexdump", cmdHexdump},
    {"check", cmdCheck},     {"diff", cmdDiff},       {"export", cmdExport},
    {"import", cmdImport},
};

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

int dispatch(const Args& args, Io& io) {
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            io.out << usageText();
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
    if (name == "help") {
        io.out << usageText();
        return kExitOk;
    }
    const Args rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    for (const auto& c : kCommands)
        if (name == c.name) return c.fn(rest, io);
    throw UsageError("unknown command \"" + name + "\"");
}

}  // namespace

int run(const Args& args, std::ostream& out, std::ostream& err) {
    // Everything is caught here: whatever the input, the tool answers with
    // an exit status and a message rather than a crash.
    try {
        StreamPrompter prompter(err);
        Io io{out, err, prompter};
        try {
            return dispatch(args, io);
        } catch (const UsageError& e) {
            err << "sysforge-cli: " << e.what() << "\nTry 'sysforge-cli --help'.\n";
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
